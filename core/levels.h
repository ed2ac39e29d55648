// SPDX-License-Identifier: Apache-2.0
// The walk through an opened file is a stack of levels, one per container
// being read: a compressed file, an archive, a workbook, a document, a PDF.
// Each level yields its members; the walk tells each member's kind by its
// first bytes and either yields its text or opens it as a level of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/decoding_stream.h"
#include "mivaro/files.h"

namespace mivaro::detail {

// Memory taken by the levels of one walk, held under OpenLimits::memory.
class MemoryBudget {
 public:
  explicit MemoryBudget(std::uint64_t most) : most_(most) {}
  // Takes bytes; false, taking nothing, when that would pass the limit.
  bool Take(std::uint64_t bytes) {
    if (bytes > most_ - taken_) return false;
    taken_ += bytes;
    return true;
  }
  void Give(std::uint64_t bytes) { taken_ -= bytes; }
  std::uint64_t Most() const { return most_; }

 private:
  std::uint64_t most_;
  std::uint64_t taken_ = 0;
};

// Memory taken from a budget for as long as this lives.
class Held {
 public:
  Held() = default;
  Held(MemoryBudget& budget, std::uint64_t bytes) : budget_(&budget), bytes_(bytes) {}
  Held(Held&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) { other.bytes_ = 0; }
  Held& operator=(Held&& other) noexcept {
    if (this != &other) {
      Release();
      budget_ = other.budget_;
      bytes_ = other.bytes_;
      other.bytes_ = 0;
    }
    return *this;
  }
  ~Held() { Release(); }

 private:
  void Release() {
    if (budget_ != nullptr && bytes_ != 0) budget_->Give(bytes_);
    bytes_ = 0;
  }
  MemoryBudget* budget_ = nullptr;
  std::uint64_t bytes_ = 0;
};

// What the levels of one walk share.
struct Walk {
  const OpenOptions& options;
  MemoryBudget budget{options.limits.memory};
  std::uint64_t members = 0;  // members met so far, in all containers
};

// A member of a container, as its level yields it.
struct Member {
  enum class Kind {
    Bytes,     // bytes to tell by their first block
    Text,      // text the level made itself (a sheet, a page)
    Unopened,  // may hold text, not read: reason says why
    Failed,    // could not be read: reason says why
  };
  Kind kind = Kind::Bytes;
  // Its name inside the container; "" for the one stream of a compressed
  // file, which takes the file's own name.
  std::string name;
  Bytes* bytes = nullptr;      // Bytes: its bytes, until the level's next member
  TextStream* text = nullptr;  // Text: its text, until the level's next member
  // Text, and Bytes read as text: where its matches lie (for Bytes, when
  // not null, else by line and column).
  Locator* locator = nullptr;
  std::string_view format;  // Unopened: what it is
  std::string reason;       // Unopened and Failed: why

  static Member OfBytes(std::string name, Bytes* bytes) {
    Member member;
    member.name = std::move(name);
    member.bytes = bytes;
    return member;
  }
  static Member OfText(std::string name, TextStream* text, Locator* locator) {
    Member member;
    member.kind = Kind::Text;
    member.name = std::move(name);
    member.text = text;
    member.locator = locator;
    return member;
  }
  static Member Failure(std::string name, std::string reason) {
    Member member;
    member.kind = Kind::Failed;
    member.name = std::move(name);
    member.reason = std::move(reason);
    return member;
  }
};

// One container being read.
class Level {
 public:
  virtual ~Level() = default;
  // Returns the next member, or nothing at the end.
  virtual std::optional<Member> Next() = 0;
};

// The bytes a level reads, from their start: a regular file's descriptor,
// which the level may read at any offset; bytes in memory; or a stream,
// read once in order.
struct Input {
  int fd = -1;              // a regular file, when not -1
  std::string_view whole;   // all the bytes, when fd is -1 and stream null
  Bytes* stream = nullptr;  // a stream, when not null
  bool RandomAccess() const { return stream == nullptr; }
};

// The kinds of file the walk tells apart by their first bytes.
enum class FileKind {
  Text,
  Compressed,  // gzip, bzip2, xz, zstd
  Zip,         // and the documents made of one
  Tar,
  SevenZip,
  Pdf,
  Message,   // one mail message (.eml)
  Mailbox,   // messages one after another (.mbox)
  Unopened,  // may hold text this library cannot read
};

// What a file's first bytes say it is: a kind this library opens, or one
// it cannot, by their magic numbers; anything else is Text, to be decoded
// (and taken for binary if that shows a NUL).
struct Sniffed {
  FileKind kind = FileKind::Text;
  std::string_view format;
};
Sniffed Sniff(std::string_view head);

// Why bytes expanded so far pass the limits: a member's size, or the ratio
// of all expanded to all packed (none when packed is 0, unknown).
inline std::optional<std::string> PastLimits(const OpenLimits& limits, std::uint64_t memberBytes,
                                             std::uint64_t expanded, std::uint64_t packed) {
  if (memberBytes > limits.memberBytes) {
    return "expands to more than " + std::to_string(limits.memberBytes >> 20) +
           " MiB (the limit on a member's size)";
  }
  if (expanded > limits.ratioFrom && packed > 0 && expanded / packed >= limits.ratio) {
    return "expands to more than " + std::to_string(limits.ratio) +
           " times its packed size (the limit on expansion)";
  }
  return std::nullopt;
}

// The levels, one per kind of container. Each returns nothing and says why
// in error when the container cannot be opened at all.
std::unique_ptr<Level> OpenCompressed(const Input& input, Walk& walk, std::string& error);
std::unique_ptr<Level> OpenArchive(const Input& input, FileKind kind, Walk& walk,
                                   std::string& error);
// A zip that is an Office or OpenDocument file opens as a workbook or a
// document; format then says which ("xlsx", "odt", ...). Any other zip
// opens as an archive, format "zip".
std::unique_ptr<Level> OpenZip(const Input& input, Walk& walk, std::string_view& format,
                               std::string& error);
std::unique_ptr<Level> OpenPdf(const Input& input, Walk& walk, std::string& error);
std::unique_ptr<Level> OpenMail(const Input& input, bool mailbox, Walk& walk, std::string& error);
// Redacts bytes of any kind, as a file of their own: for what a container
// holds.
using RedactBytes =
    std::function<bool(std::string_view bytes, std::string& redacted, std::string& error)>;
// Writes mail (a message, or a mailbox) into out with the SINs of its
// headers and text parts hidden, those parts written back as UTF-8 in their
// own transfer encoding, and its attachments redacted as files.
bool RedactMail(std::string_view whole, bool mailbox, const RedactOptions& options, Walk& walk,
                const RedactBytes& attachment, std::string& out, std::uint64_t& redacted,
                std::string& error);
// Whether the program that reads PDFs is there to run.
bool CanReadPdf(const std::string& program);

}  // namespace mivaro::detail
