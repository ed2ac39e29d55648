// SPDX-License-Identifier: Apache-2.0
// libarchive, read from a level's Input, with every member's bytes held to
// the walk's limits; and a zip read out of order, member by member, for the
// documents made of one.
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <string>
#include <vector>

#include "core/levels.h"

namespace mivaro::detail {

// Which formats and filters a reader takes.
using Configure = void (*)(archive*);

// One libarchive reader over an Input.
class ArchiveReader {
 public:
  ArchiveReader() = default;
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Opens input with what configure enables; false, saying why, when the
  // bytes are none of those formats.
  bool Open(const Input& input, Configure configure, std::string& error);
  archive* get() const { return archive_; }
  // Why the last call failed, in words.
  std::string Error() const;

 private:
  static la_ssize_t ReadCallback(archive*, void* self, const void** buffer);
  static la_int64_t SeekCallback(archive*, void* self, la_int64_t offset, int whence);

  archive* archive_ = nullptr;
  Input input_;
  std::vector<char> buffer_;
  std::uint64_t position_ = 0;
  std::uint64_t size_ = 0;
};

// The bytes of the member a reader is at, counted against the limits: a
// member's expanded size, and the ratio of what the reader has expanded to
// what it has read.
class MemberBytes final : public Bytes {
 public:
  MemberBytes(archive* reader, const OpenLimits& limits) : reader_(reader), limits_(limits) {}
  // Starts the next member; what the reader expanded before still counts.
  void Restart() { memberBytes_ = 0; }
  std::size_t ReadInto(char* to, std::size_t size) override;

 private:
  archive* reader_;
  const OpenLimits& limits_;
  std::uint64_t memberBytes_ = 0;
  std::uint64_t expanded_ = 0;  // by the whole reader
};

// The names and error of a member that is not a regular file with data to
// read: nothing for a regular file; "" for one to pass over in silence (a
// folder, a link); else why it cannot be read.
std::optional<std::string> Unreadable(archive_entry* entry);

// A zip read out of order: its members' names, then any member's bytes.
class ZipFile {
 public:
  ZipFile(const Input& input, Walk& walk) : input_(input), walk_(walk) {}
  // Reads the members' names; false, saying why, when it is no zip.
  bool Open(std::string& error);
  const std::vector<std::string>& Names() const { return names_; }
  bool Has(std::string_view name) const;
  // Starts reading a member; its bytes stay valid until the next call.
  // Nothing, saying why, when it is missing or cannot be read.
  MemberBytes* Read(std::string_view name, std::string& error);
  // Reads a member whole within the walk's memory limit (the memory is
  // held until the result goes).
  std::optional<std::string> ReadWhole(std::string_view name, Held& held, std::string& error);

 private:
  Input input_;
  Walk& walk_;
  std::vector<std::string> names_;
  std::unique_ptr<ArchiveReader> reader_;
  std::unique_ptr<MemberBytes> bytes_;
};

void ConfigureZip(archive* reader);

}  // namespace mivaro::detail
