// SPDX-License-Identifier: Apache-2.0
// Compressed files and archives through libarchive: a compressed file is one
// member with no name of its own; an archive (tar, zip, 7z) is its regular
// files, in the order it stores them. Only the formats and filters the walk
// has sniffed are enabled, none that runs an outside program.
#include "core/archive_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/office.h"

namespace mivaro::detail {

ArchiveReader::~ArchiveReader() {
  if (archive_ != nullptr) archive_read_free(archive_);
}

std::string ArchiveReader::Error() const {
  const char* error = archive_ != nullptr ? archive_error_string(archive_) : nullptr;
  return error != nullptr ? error : "damaged";
}

bool ArchiveReader::Open(const Input& input, Configure configure, std::string& error) {
  input_ = input;
  archive_ = archive_read_new();
  configure(archive_);
  int opened = ARCHIVE_FATAL;
  if (input.fd < 0 && input.stream == nullptr) {
    opened = archive_read_open_memory(archive_, input.whole.data(), input.whole.size());
  } else {
    if (input.fd >= 0) {
      struct stat status {};
      if (fstat(input.fd, &status) == 0) size_ = static_cast<std::uint64_t>(status.st_size);
      archive_read_set_seek_callback(archive_, SeekCallback);
    }
    buffer_.resize(kBlock);
    archive_read_set_read_callback(archive_, ReadCallback);
    archive_read_set_callback_data(archive_, this);
    opened = archive_read_open1(archive_);
  }
  if (opened != ARCHIVE_OK) {
    error = Error();
    return false;
  }
  return true;
}

la_ssize_t ArchiveReader::ReadCallback(archive* reader, void* self, const void** buffer) {
  auto& me = *static_cast<ArchiveReader*>(self);
  *buffer = me.buffer_.data();
  if (me.input_.stream != nullptr) {
    const std::size_t got = me.input_.stream->ReadInto(me.buffer_.data(), me.buffer_.size());
    if (got == 0 && me.input_.stream->failed()) {
      archive_set_error(reader, EIO, "%s", me.input_.stream->error().c_str());
      return -1;
    }
    return static_cast<la_ssize_t>(got);
  }
  while (true) {
    const ssize_t got =
        pread(me.input_.fd, me.buffer_.data(), me.buffer_.size(), static_cast<off_t>(me.position_));
    if (got >= 0) {
      me.position_ += static_cast<std::uint64_t>(got);
      return got;
    }
    if (errno != EINTR) {
      archive_set_error(reader, errno, "%s", std::strerror(errno));
      return -1;
    }
  }
}

la_int64_t ArchiveReader::SeekCallback(archive*, void* self, la_int64_t offset, int whence) {
  auto& me = *static_cast<ArchiveReader*>(self);
  la_int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<la_int64_t>(me.position_);
  if (whence == SEEK_END) base = static_cast<la_int64_t>(me.size_);
  const la_int64_t to = base + offset;
  if (to < 0) return ARCHIVE_FATAL;
  me.position_ = static_cast<std::uint64_t>(to);
  return to;
}

std::size_t MemberBytes::ReadInto(char* to, std::size_t size) {
  if (failed()) return 0;
  const la_ssize_t got = archive_read_data(reader_, to, size);
  if (got < 0) {
    const char* error = archive_error_string(reader_);
    Fail(error != nullptr ? error : "damaged");
    return 0;
  }
  const auto taken = static_cast<std::uint64_t>(got);
  memberBytes_ += taken;
  expanded_ += taken;
  const la_int64_t packed = archive_filter_bytes(reader_, -1);
  if (std::optional<std::string> why =
          PastLimits(limits_, memberBytes_, expanded_,
                     static_cast<std::uint64_t>(std::max<la_int64_t>(packed, 0)))) {
    Fail(std::move(*why));
    return 0;
  }
  return static_cast<std::size_t>(got);
}

std::optional<std::string> Unreadable(archive_entry* entry) {
  if (archive_entry_filetype(entry) != AE_IFREG) return std::string();
  if (archive_entry_is_encrypted(entry) != 0) return std::string("encrypted");
  return std::nullopt;
}

namespace {

// The name as the archive stores it; converted to UTF-8 only when the
// locale cannot hold it, since each conversion opens a converter.
const char* EntryName(archive_entry* entry) {
  const char* name = archive_entry_pathname(entry);
  if (name == nullptr) name = archive_entry_pathname_utf8(entry);
  return name != nullptr ? name : "";
}

// A compressed file's one stream, or an archive's members.
class ArchiveLevel final : public Level {
 public:
  ArchiveLevel(Walk& walk, bool named) : walk_(walk), named_(named) {}
  bool Open(const Input& input, Configure configure, std::string& error) {
    if (!reader_.Open(input, configure, error)) return false;
    bytes_ = std::make_unique<MemberBytes>(reader_.get(), walk_.options.limits);
    return true;
  }

  std::optional<Member> Next() override {
    while (!ended_) {
      archive_entry* entry = nullptr;
      const int status = archive_read_next_header(reader_.get(), &entry);
      if (status == ARCHIVE_EOF) break;
      if (status < ARCHIVE_WARN) {
        ended_ = true;
        return Member::Failure("", "damaged: " + reader_.Error() + "; the rest is not read");
      }
      std::string name = named_ ? EntryName(entry) : "";
      if (const std::optional<std::string> why = Unreadable(entry)) {
        if (why->empty()) continue;
        return Member::Failure(std::move(name), *why);
      }
      bytes_->Restart();
      return Member::OfBytes(std::move(name), bytes_.get());
    }
    ended_ = true;
    return std::nullopt;
  }

 private:
  Walk& walk_;
  bool named_;
  bool ended_ = false;
  ArchiveReader reader_;
  std::unique_ptr<MemberBytes> bytes_;
};

void ConfigureCompressed(archive* reader) {
  archive_read_support_filter_gzip(reader);
  archive_read_support_filter_bzip2(reader);
  archive_read_support_filter_xz(reader);
  archive_read_support_filter_zstd(reader);
  archive_read_support_format_raw(reader);
  archive_read_support_format_empty(reader);
}

void ConfigureTar(archive* reader) {
  archive_read_support_format_tar(reader);
}
void ConfigureSevenZip(archive* reader) {
  archive_read_support_format_7zip(reader);
}

}  // namespace

void ConfigureZip(archive* reader) {
  archive_read_support_format_zip_seekable(reader);
}

std::unique_ptr<Level> OpenCompressed(const Input& input, Walk& walk, std::string& error) {
  auto level = std::make_unique<ArchiveLevel>(walk, /*named=*/false);
  if (!level->Open(input, ConfigureCompressed, error)) return nullptr;
  return level;
}

std::unique_ptr<Level> OpenArchive(const Input& input, FileKind kind, Walk& walk,
                                   std::string& error) {
  auto level = std::make_unique<ArchiveLevel>(walk, /*named=*/true);
  if (!level->Open(input, kind == FileKind::Tar ? ConfigureTar : ConfigureSevenZip, error)) {
    return nullptr;
  }
  return level;
}

std::unique_ptr<Level> OpenZip(const Input& input, Walk& walk, std::string_view& format,
                               std::string& error) {
  auto zip = std::make_unique<ZipFile>(input, walk);
  if (!zip->Open(error)) return nullptr;
  if (std::unique_ptr<Level> document = OpenOffice(std::move(zip), walk, format, error)) {
    return document;
  }
  if (!error.empty()) return nullptr;
  format = "zip";
  auto level = std::make_unique<ArchiveLevel>(walk, /*named=*/true);
  if (!level->Open(input, ConfigureZip, error)) return nullptr;
  return level;
}

bool ZipFile::Open(std::string& error) {
  ArchiveReader reader;
  if (!reader.Open(input_, ConfigureZip, error)) return false;
  archive_entry* entry = nullptr;
  int status = ARCHIVE_OK;
  while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK ||
         status == ARCHIVE_WARN) {
    names_.emplace_back(EntryName(entry));
  }
  if (status != ARCHIVE_EOF) {
    error = "damaged: " + reader.Error();
    return false;
  }
  return true;
}

bool ZipFile::Has(std::string_view name) const {
  return std::find(names_.begin(), names_.end(), name) != names_.end();
}

MemberBytes* ZipFile::Read(std::string_view name, std::string& error) {
  bytes_.reset();
  reader_ = std::make_unique<ArchiveReader>();
  if (!reader_->Open(input_, ConfigureZip, error)) return nullptr;
  archive_entry* entry = nullptr;
  int status = ARCHIVE_OK;
  while ((status = archive_read_next_header(reader_->get(), &entry)) == ARCHIVE_OK ||
         status == ARCHIVE_WARN) {
    if (EntryName(entry) != name) continue;
    if (const std::optional<std::string> why = Unreadable(entry)) {
      error = why->empty() ? "not a file" : *why;
      return nullptr;
    }
    bytes_ = std::make_unique<MemberBytes>(reader_->get(), walk_.options.limits);
    return bytes_.get();
  }
  error = status == ARCHIVE_EOF ? "missing" : "damaged: " + reader_->Error();
  return nullptr;
}

std::optional<std::string> ZipFile::ReadWhole(std::string_view name, Held& held,
                                              std::string& error) {
  MemberBytes* bytes = Read(name, error);
  if (bytes == nullptr) return std::nullopt;
  std::string whole;
  std::uint64_t taken = 0;
  char block[16384];
  while (const std::size_t got = bytes->ReadInto(block, sizeof block)) {
    if (!walk_.budget.Take(got)) {
      walk_.budget.Give(taken);
      error = "needs more than the memory limit of " + std::to_string(walk_.budget.Most() >> 20) +
              " MiB to be read";
      return std::nullopt;
    }
    taken += got;
    whole.append(block, got);
  }
  held = Held(walk_.budget, taken);
  if (bytes->failed()) {
    error = bytes->error();
    return std::nullopt;
  }
  return whole;
}

}  // namespace mivaro::detail
