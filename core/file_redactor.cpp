// SPDX-License-Identifier: Apache-2.0
// Redacting inside files: a compressed file is decompressed, redacted and
// compressed again in its format; an archive (tar, 7z, zip) is written again
// member by member, each with its name, times and mode, its contents
// redacted (archives and compressed files inside it too) or copied as they
// are when they hold no text, a zip's unchanged members byte for byte; a document's XML has the
// digits of its SINs written over where they stand. What this cannot rewrite honestly is refused
// before anything is written: a PDF's text is drawn, not stored, and the
// formats whose rewriting is still to come are named.
#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <map>

#include "core/archive_reader.h"
#include "core/files_entry.h"
#include "core/levels.h"
#include "core/office.h"
#include "core/zip_rewrite.h"
#include "mivaro/files.h"

namespace mivaro {
namespace detail {
namespace {

using namespace std::string_view_literals;

// Where redacted bytes go: a descriptor, or memory taken from the budget.
class Output {
 public:
  virtual ~Output() = default;
  virtual bool Put(std::string_view bytes) = 0;
};

class DescriptorOutput final : public Output {
 public:
  explicit DescriptorOutput(int fd) : fd_(fd) {}
  bool Put(std::string_view bytes) override { return WriteAll(fd_, bytes); }

 private:
  int fd_;
};

class MemoryOutput final : public Output {
 public:
  explicit MemoryOutput(MemoryBudget& budget) : budget_(budget) {}
  ~MemoryOutput() override { budget_.Give(taken_); }
  bool Put(std::string_view bytes) override {
    if (!budget_.Take(bytes.size())) return false;
    taken_ += bytes.size();
    bytes_.append(bytes);
    return true;
  }
  const std::string& Bytes() const { return bytes_; }
  std::string& Edit() { return bytes_; }
  // Hands over the bytes, and the memory they take with them.
  std::string Release(Held& held) {
    held = Held(budget_, taken_);
    taken_ = 0;
    return std::move(bytes_);
  }

 private:
  MemoryBudget& budget_;
  std::string bytes_;
  std::uint64_t taken_ = 0;
};

class FileRedactor {
 public:
  FileRedactor(const RedactOptions& options, Walk& walk) : options_(options), walk_(walk) {}
  std::uint64_t Redacted() const { return redacted_; }

  // Redacts bytes into out as their first block says they are.
  bool Redact(Bytes& in, Output& out, unsigned depth, std::string& error) {
    PeekedBytes all(ReadHead(in), in);
    if (in.failed()) return Fail(in.error(), error);
    const std::string_view head = all.Head();
    const Sniffed sniffed = Sniff(head);
    switch (sniffed.kind) {
      case FileKind::Text:
        return RedactText(head, all, out, error);
      case FileKind::Compressed:
      case FileKind::Tar:
      case FileKind::SevenZip:
      case FileKind::Zip: {
        if (depth >= walk_.options.limits.depth) {
          return Fail(
              "nested deeper than " + std::to_string(walk_.options.limits.depth) + " containers",
              error);
        }
        if (sniffed.kind == FileKind::Zip) return RedactZip(all, out, depth + 1, error);
        return RedactArchive(sniffed, all, out, depth + 1, error);
      }
      case FileKind::Message:
      case FileKind::Mailbox:
        if (depth >= walk_.options.limits.depth) return Fail("nested too deep", error);
        return RedactMailFile(sniffed.kind == FileKind::Mailbox, all, out, depth + 1, error);
      case FileKind::Pdf:
        return Fail(
            "a PDF cannot be redacted by rewriting its text: the text is drawn on the page; "
            "nothing written",
            error);
      case FileKind::Unopened:
        return Copy(all, out, error);
      default:
        return Fail("redacting inside " + std::string(sniffed.format) +
                        " files is not supported yet; nothing written",
                    error);
    }
  }

 private:
  static bool Fail(std::string why, std::string& error) {
    if (error.empty()) error = std::move(why);
    return false;
  }

  bool Copy(Bytes& in, Output& out, std::string& error) {
    char block[16384];
    while (const std::size_t got = in.ReadInto(block, sizeof block)) {
      if (!out.Put({block, got})) return Fail("cannot write", error);
    }
    return !in.failed() || Fail(in.error(), error);
  }

  // Text as it is, or bytes with a NUL (binary: copied); UTF-16 would need
  // converting back, which a member of an archive is not given.
  bool RedactText(std::string_view head, Bytes& in, Output& out, std::string& error) {
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
      return Fail("redacting UTF-16 text inside a file is not supported yet; nothing written",
                  error);
    }
    if (head.find('\0') != std::string_view::npos) return Copy(in, out, error);
    DecodingStream text(std::make_unique<PeekedBytes>(RawBytes(), in),
                        SourceOptions{.encoding = "UTF-8", .sniffBinary = false});
    Redactor redactor({.minimum = options_.minimum, .allDigits = options_.allDigits});
    bool written = true;
    const bool read =
        redactor.Redact(text, [&](std::string_view bytes) { written = written && out.Put(bytes); });
    redacted_ += redactor.Redacted();
    if (!read) return Fail(std::string(text.Error()), error);
    return written || Fail("cannot write", error);
  }

  // Whether a file written again still shows a SIN to a scan, read as it
  // would be: what is written is checked where the writer's reading of a
  // damaged file may differ from the scan's.
  bool ShowsSin(std::string_view written) const {
    OpenOptions check;
    check.pdftotext = "";
    const std::unique_ptr<Contents> contents = OpenBytesHere(written, "", check);
    struct Counted final : SearchSink {
      void Matched(const Found&) override { ++count; }
      std::uint64_t count = 0;
    } left;
    Searcher searcher({.minimum = options_.minimum});
    while (const std::optional<Entry> entry = contents->Next()) {
      if (entry->kind == EntryKind::Text) searcher.Search(*entry->text, left);
    }
    return left.count != 0;
  }
  bool RedactArchive(const Sniffed& sniffed, Bytes& in, Output& out, unsigned depth,
                     std::string& error);
  bool RedactZip(Bytes& in, Output& out, unsigned depth, std::string& error);
  bool RedactMailFile(bool mailbox, Bytes& in, Output& out, unsigned depth, std::string& error);
  // Writes each member of reader into writer again, with what rewrite makes
  // of a regular file's bytes; before(name) comes before each is written.
  template <typename Rewrite, typename Before>
  bool CopyMembers(archive* reader, archive* writer, Rewrite rewrite, Before before,
                   std::string& error);
  bool RedactMember(std::string_view format, const std::vector<std::string>& parts,
                    const std::string& name, Bytes& bytes, Output& out, unsigned depth,
                    std::string& error);

  const RedactOptions& options_;
  Walk& walk_;
  std::uint64_t redacted_ = 0;
};

// What a reader reads from, with a block of its own: libarchive may still
// hold the last block when a reader nested in it reads.
struct ReadFrom {
  Bytes& bytes;
  std::array<char, 65536> block{};
};

la_ssize_t ReadBytes(archive* reader, void* self, const void** buffer) {
  auto& from = *static_cast<ReadFrom*>(self);
  Bytes& bytes = from.bytes;
  *buffer = from.block.data();
  const std::size_t got = bytes.ReadInto(from.block.data(), from.block.size());
  if (got == 0 && bytes.failed()) {
    archive_set_error(reader, EIO, "%s", bytes.error().c_str());
    return -1;
  }
  return static_cast<la_ssize_t>(got);
}

la_ssize_t WriteBytes(archive* writer, void* self, const void* buffer, size_t length) {
  if (!static_cast<Output*>(self)->Put({static_cast<const char*>(buffer), length})) {
    archive_set_error(writer, EIO, "cannot write");
    return -1;
  }
  return static_cast<la_ssize_t>(length);
}

// A member's bytes as the reader gives them, under the limit on its size.
class EntryBytes final : public Bytes {
 public:
  EntryBytes(archive* reader, const OpenLimits& limits) : reader_(reader), limits_(limits) {}
  std::size_t ReadInto(char* to, std::size_t size) override {
    const la_ssize_t got = archive_read_data(reader_, to, size);
    if (got < 0) {
      const char* why = archive_error_string(reader_);
      Fail(why != nullptr ? why : "damaged");
      return 0;
    }
    read_ += static_cast<std::uint64_t>(got);
    if (read_ > limits_.memberBytes) {
      Fail("expands to more than " + std::to_string(limits_.memberBytes >> 20) + " MiB");
      return 0;
    }
    return static_cast<std::size_t>(got);
  }

 private:
  archive* reader_;
  const OpenLimits& limits_;
  std::uint64_t read_ = 0;
};

// Why libarchive failed, in its words or ours.
std::string Why(archive* handle, std::string_view doing) {
  const char* why = archive_error_string(handle);
  return why != nullptr ? std::string(why) : std::string(doing) + " failed";
}

struct ArchiveFree {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterFree {
  void operator()(archive* a) const { archive_write_free(a); }
};

void SetFilter(archive* writer, std::string_view format) {
  if (format == "gzip") archive_write_add_filter_gzip(writer);
  if (format == "bzip2") archive_write_add_filter_bzip2(writer);
  if (format == "xz") archive_write_add_filter_xz(writer);
  if (format == "zstd") archive_write_add_filter_zstd(writer);
}

template <typename Rewrite, typename Before>
bool FileRedactor::CopyMembers(archive* reader, archive* writer, Rewrite rewrite, Before before,
                               std::string& error) {
  archive_entry* entry = nullptr;
  int status = ARCHIVE_OK;
  while ((status = archive_read_next_header(reader, &entry)) == ARCHIVE_OK ||
         status == ARCHIVE_WARN) {
    if (++walk_.members > walk_.options.limits.members) return Fail("too many members", error);
    const std::string name =
        archive_entry_pathname(entry) != nullptr ? archive_entry_pathname(entry) : "";
    if (archive_entry_is_encrypted(entry) != 0) {
      return Fail(name + ": encrypted; nothing written", error);
    }
    MemoryOutput redacted(walk_.budget);
    if (archive_entry_filetype(entry) == AE_IFREG) {
      if (!rewrite(entry, name, redacted, error)) return false;
      archive_entry_set_size(entry, static_cast<la_int64_t>(redacted.Bytes().size()));
    }
    before(name);
    if (archive_write_header(writer, entry) != ARCHIVE_OK ||
        (!redacted.Bytes().empty() &&
         archive_write_data(writer, redacted.Bytes().data(), redacted.Bytes().size()) < 0)) {
      return Fail(Why(writer, "writing a member"), error);
    }
  }
  if (status != ARCHIVE_EOF) return Fail(Why(reader, "reading"), error);
  if (archive_write_close(writer) != ARCHIVE_OK) return Fail(Why(writer, "finishing"), error);
  return true;
}

// Reads all of a stream into memory, within the walk's budget.
bool ReadAll(Bytes& in, MemoryOutput& whole, std::string& error) {
  char block[65536];
  while (const std::size_t got = in.ReadInto(block, sizeof block)) {
    if (!whole.Put({block, got})) {
      error = "needs more than the memory limit to be redacted";
      return false;
    }
  }
  if (in.failed()) error = in.error();
  return !in.failed();
}

bool FileRedactor::RedactArchive(const Sniffed& sniffed, Bytes& in, Output& out, unsigned depth,
                                 std::string& error) {
  const bool compressed = sniffed.kind == FileKind::Compressed;
  std::unique_ptr<archive, ArchiveFree> reader(archive_read_new());
  if (compressed) {
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_bzip2(reader.get());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_filter_zstd(reader.get());
    archive_read_support_format_raw(reader.get());
    archive_read_support_format_empty(reader.get());
  } else {
    archive_read_support_format_tar(reader.get());
    archive_read_support_format_7zip(reader.get());
  }
  // A 7z archive is read out of order, so whole; the rest in one pass.
  MemoryOutput whole(walk_.budget);
  auto from = std::make_unique<ReadFrom>(ReadFrom{in});
  const bool opened =
      sniffed.kind == FileKind::SevenZip
          ? ReadAll(in, whole, error) &&
                archive_read_open_memory(reader.get(), whole.Bytes().data(),
                                         whole.Bytes().size()) == ARCHIVE_OK
          : archive_read_open(reader.get(), from.get(), nullptr, ReadBytes, nullptr) == ARCHIVE_OK;
  if (!opened) return Fail(Why(reader.get(), "opening"), error);
  std::unique_ptr<archive, WriterFree> writer(archive_write_new());
  if (compressed) {
    SetFilter(writer.get(), sniffed.format);
    archive_write_set_format_raw(writer.get());
  } else if (sniffed.kind == FileKind::SevenZip) {
    archive_write_set_format_7zip(writer.get());
  } else {
    archive_write_set_format_pax_restricted(writer.get());
  }
  // No padding to a tape's block: the output is a file.
  archive_write_set_bytes_in_last_block(writer.get(), 1);
  if (archive_write_open(writer.get(), &out, nullptr, WriteBytes, nullptr) != ARCHIVE_OK) {
    return Fail(Why(writer.get(), "starting to write"), error);
  }
  return CopyMembers(
      reader.get(), writer.get(),
      [&](archive_entry* entry, const std::string& name, Output& redacted, std::string& why) {
        EntryBytes bytes(reader.get(), walk_.options.limits);
        if (compressed) archive_entry_set_filetype(entry, AE_IFREG);
        if (Redact(bytes, redacted, depth, why)) return true;
        if (!compressed && !name.empty()) why = name + ": " + why;
        return false;
      },
      [](const std::string&) {}, error);
}

// A zip is read out of order, so whole. A document (.docx, .pptx, .odt,
// .odp) has the XML of its text parts redacted where the XML holds each
// digit, a workbook its sheets and shared strings; any other zip has its
// members redacted as files. Members that come out the same are copied.
bool FileRedactor::RedactZip(Bytes& in, Output& out, unsigned depth, std::string& error) {
  MemoryOutput whole(walk_.budget);
  if (!ReadAll(in, whole, error)) return false;
  ZipFile zip(Input{.whole = whole.Bytes()}, walk_);
  if (!zip.Open(error)) return false;
  const std::string_view format = OfficeFormat(zip);
  // A workbook's members are redacted together (its sheets share strings).
  ChangedMembers changed;
  if (format == "xlsx" && !RedactXlsx(zip, options_, walk_, changed, redacted_, error)) {
    return false;
  }
  if (format == "ods" && !RedactOds(zip, options_, walk_, changed, redacted_, error)) {
    return false;
  }
  const std::vector<std::string> parts =
      format.empty() ? std::vector<std::string>() : DocumentParts(format, zip);
  return RewriteZip(
      whole.Bytes(), walk_,
      [&](const std::string& name, Bytes& bytes, std::string& rewritten, Held& held,
          std::string& why) {
        // Taken once: a second member of the same name is redacted anew.
        if (auto done = changed.extract(name); !done.empty()) {
          rewritten = std::move(done.mapped().bytes);
          held = std::move(done.mapped().held);
          return true;
        }
        MemoryOutput redacted(walk_.budget);
        if (!RedactMember(format, parts, name, bytes, redacted, depth, why)) return false;
        rewritten = redacted.Release(held);
        return true;
      },
      [&](std::string_view bytes) {
        // A damaged zip may be read otherwise by the scan than by libzip.
        if (ShowsSin(bytes)) {
          return Fail(
              "the zip is damaged so that written again it would still show a SIN; "
              "nothing written",
              error);
        }
        return out.Put(bytes) || Fail("cannot write", error);
      },
      error);
}

bool FileRedactor::RedactMailFile(bool mailbox, Bytes& in, Output& out, unsigned depth,
                                  std::string& error) {
  MemoryOutput whole(walk_.budget);
  if (!ReadAll(in, whole, error)) return false;
  const RedactBytes attachment = [&](std::string_view bytes, std::string& redacted,
                                     std::string& why) {
    MemoryBytes attached(bytes);
    MemoryOutput rewritten(walk_.budget);
    if (!Redact(attached, rewritten, depth, why)) return false;
    redacted = rewritten.Bytes();
    return true;
  };
  std::string mail;
  if (!RedactMail(whole.Bytes(), mailbox, options_, walk_, attachment, mail, redacted_, error)) {
    return false;
  }
  // Mail is written again by GMime, and a damaged message may come out read
  // otherwise than it went in (a part that was binary now text).
  if (ShowsSin(mail)) {
    return Fail(
        "the message is damaged so that written again it would still show a SIN; "
        "nothing written",
        error);
  }
  return out.Put(mail) || Fail("cannot write", error);
}

bool FileRedactor::RedactMember(std::string_view format, const std::vector<std::string>& parts,
                                const std::string& name, Bytes& bytes, Output& out, unsigned depth,
                                std::string& error) {
  std::string why;
  const bool part = std::find(parts.begin(), parts.end(), name) != parts.end();
  bool done = false;
  if (part) {
    MemoryOutput xml(walk_.budget);
    done = ReadAll(bytes, xml, why) &&
           RedactPart(xml.Edit(), format, options_, walk_, redacted_, why) && out.Put(xml.Bytes());
  } else if (!format.empty() &&
             (name == "Thumbnails/thumbnail.png" || name.starts_with("docProps/thumbnail."))) {
    // The preview picture shows the first page, SINs and all: a blank one
    // (one white pixel) takes its place.
    static constexpr std::string_view kBlankPng =
        "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x01\0\0\0\x01\x08\0\0\0\0\x3A\x7E\x9B"
        "\x55\0\0\0\x0AIDAT\x78\x9C\x63\xF8\x0F\0\x01\x01\x01\0\xB1\x38\xF6\x14\0\0\0\0IEND"
        "\xAE\x42\x60\x82"sv;
    done = out.Put(kBlankPng);
  } else if (!format.empty()) {
    done = Copy(bytes, out, why);  // a document's pictures, styles, settings
  } else {
    done = Redact(bytes, out, depth, why);
  }
  if (!done) Fail(name + ": " + why, error);
  return done;
}

}  // namespace
}  // namespace detail

bool detail::RedactFileHere(int in, int out, const RedactOptions& options, std::uint64_t& redacted,
                            std::string& error) {
  const OpenOptions open;
  detail::Walk walk{open};
  detail::DescriptorBytes bytes(in);
  detail::DescriptorOutput output(out);
  detail::FileRedactor redactor(options, walk);
  const bool done = redactor.Redact(bytes, output, 0, error);
  redacted = redactor.Redacted();
  return done;
}

std::string_view detail::FormatOfHere(std::string_view head) {
  return detail::Sniff(head).format;
}

}  // namespace mivaro
