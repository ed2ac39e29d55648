// SPDX-License-Identifier: Apache-2.0
// The walk through an opened file: a stack of levels, depth first. Every
// member is told by its first block: text is yielded as it is read, a
// container is opened as a level of its own, under the limits, and anything
// else is named for what it is.
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "core/files_entry.h"
#include "core/levels.h"
#include "mivaro/files.h"

namespace mivaro {

namespace detail {
namespace {

bool StartsWith(std::string_view head, std::string_view magic) {
  return head.substr(0, magic.size()) == magic;
}

std::string Plural(std::uint64_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// The walk itself.
class Walker final : public Contents {
 public:
  Walker(std::unique_ptr<Bytes> top, Input topInput, std::string name, OpenOptions options)
      : options_(std::move(options)),
        walk_{options_},
        top_(std::move(top)),
        topInput_(topInput),
        name_(std::move(name)) {}

  std::optional<Entry> Next() override {
    if (!started_) {
      started_ = true;
      return Tell(*top_, name_, /*top=*/true);
    }
    while (!stack_.empty()) {
      std::optional<Member> member = stack_.back().level->Next();
      if (!member) {
        Pop();
        continue;
      }
      if (++walk_.members > options_.limits.members) {
        Entry entry = Named(EntryKind::Failed, "");
        entry.reason = "holds more than " + Plural(options_.limits.members, "member") +
                       " in all; the rest is not read";
        while (!stack_.empty()) Pop();
        return entry;
      }
      switch (member->kind) {
        case Member::Kind::Bytes:
          return Tell(*member->bytes, member->name, /*top=*/false, member->locator);
        case Member::Kind::Text: {
          Entry entry = Named(EntryKind::Text, member->name);
          entry.text = member->text;
          entry.locator = member->locator;
          return entry;
        }
        case Member::Kind::Unopened:
        case Member::Kind::Failed: {
          Entry entry =
              Named(member->kind == Member::Kind::Failed ? EntryKind::Failed : EntryKind::Unopened,
                    member->name);
          entry.format = member->format;
          entry.reason = std::move(member->reason);
          return entry;
        }
      }
    }
    return std::nullopt;
  }

 private:
  // One open container, and the bytes it reads.
  struct Frame {
    std::unique_ptr<Bytes> stream;  // a stream's first block and the rest
    std::string whole;              // or all its bytes, read into memory
    Held held;                      // the memory they take
    bool named = false;             // whether it added a name to the chain
    std::unique_ptr<Level> level;   // last: gone before what it reads
  };

  Entry Named(EntryKind kind, const std::string& name) const {
    Entry entry;
    entry.kind = kind;
    entry.container = chain_;
    if (!name.empty()) entry.container.push_back(name);
    return entry;
  }

  void Pop() {
    if (stack_.back().named) chain_.pop_back();
    stack_.pop_back();
  }

  // Tells a file or member by its first block, and yields it or opens it.
  std::optional<Entry> Tell(Bytes& bytes, const std::string& name, bool top,
                            Locator* locator = nullptr) {
    RawBytes head = ReadHead(bytes);
    if (bytes.failed()) {
      Entry entry = Named(EntryKind::Failed, name);
      entry.reason = bytes.error();
      return entry;
    }
    Sniffed sniffed = Sniff(head.view());
    if (!options_.open) sniffed = {};
    switch (sniffed.kind) {
      case FileKind::Text: {
        auto peeked = std::make_unique<PeekedBytes>(std::move(head), bytes);
        text_ = std::make_unique<DecodingStream>(std::move(peeked), options_.text);
        // A NUL in the first block of text, once decoded, says binary, as
        // grep has it (UTF-16 has NULs before it is decoded).
        if (options_.text.sniffBinary && text_->Start().find('\0') != std::string_view::npos) {
          return Named(EntryKind::Binary, name);
        }
        Entry entry = Named(EntryKind::Text, name);
        entry.text = text_.get();
        entry.locator = locator;
        entry.byteOrderMark = text_->ByteOrderMark();
        entry.convertedFrom = text_->ConvertedFrom();
        return entry;
      }
      case FileKind::Unopened: {
        Entry entry = Named(EntryKind::Unopened, name);
        entry.format = sniffed.format;
        entry.reason = "not a kind of file this program reads";
        return entry;
      }
      default:
        return OpenContainer(sniffed, std::move(head), bytes, name, top);
    }
  }

  std::optional<Entry> OpenContainer(const Sniffed& sniffed, RawBytes head, Bytes& bytes,
                                     const std::string& name, bool top) {
    Entry failed = Named(EntryKind::Failed, name);
    failed.format = sniffed.format;
    if (stack_.size() >= options_.limits.depth) {
      failed.reason = "nested deeper than " + Plural(options_.limits.depth, "container");
      return failed;
    }
    if (sniffed.kind == FileKind::Pdf && !PdfReadable()) {
      Entry entry = Named(EntryKind::Unopened, name);
      entry.format = "PDF";
      entry.reason = "pdftotext is not installed (Debian's package poppler-utils)";
      return entry;
    }
    Frame frame;
    Input input;
    // Only compressed files and tars are read in one pass; the rest need
    // their bytes in any order.
    const bool randomAccess = sniffed.kind != FileKind::Compressed && sniffed.kind != FileKind::Tar;
    if (top && topInput_.RandomAccess()) {
      input = topInput_;
    } else {
      frame.stream = std::make_unique<PeekedBytes>(std::move(head), bytes);
      input.stream = frame.stream.get();
      if (randomAccess && !ReadWhole(frame, failed.reason)) return failed;
      if (randomAccess) input = Input{.whole = frame.whole};
    }
    std::string error;
    std::string_view format = sniffed.format;
    switch (sniffed.kind) {
      case FileKind::Compressed:
        frame.level = OpenCompressed(input, walk_, error);
        break;
      case FileKind::Zip:
        frame.level = OpenZip(input, walk_, format, error);
        break;
      case FileKind::Pdf:
        frame.level = OpenPdf(input, walk_, error);
        break;
      case FileKind::Message:
      case FileKind::Mailbox:
        frame.level = OpenMail(input, sniffed.kind == FileKind::Mailbox, walk_, error);
        break;
      default:
        frame.level = OpenArchive(input, sniffed.kind, walk_, error);
        break;
    }
    if (!frame.level) {
      failed.kind = error.empty() ? EntryKind::Unopened : EntryKind::Failed;
      failed.reason = error.empty() ? "not opened" : std::move(error);
      return failed;
    }
    Entry entry = Named(EntryKind::Opened, name);
    entry.format = format;
    frame.named = !name.empty();
    if (frame.named) chain_.push_back(name);
    stack_.push_back(std::move(frame));
    return entry;
  }

  // Reads a member whose format needs to be read out of order into memory,
  // within the walk's memory limit.
  bool ReadWhole(Frame& frame, std::string& reason) {
    constexpr std::size_t kStep = std::size_t{1} << 20;
    std::uint64_t taken = 0;
    while (true) {
      const std::size_t size = frame.whole.size();
      std::string grown = std::move(frame.whole);
      grown.resize(size + kStep);
      const std::uint64_t more = grown.capacity() > taken ? grown.capacity() - taken : 0;
      if (!walk_.budget.Take(more)) {
        walk_.budget.Give(taken);
        reason = "needs more than the memory limit of " +
                 std::to_string(walk_.budget.Most() >> 20) + " MiB to be read";
        return false;
      }
      taken += more;
      frame.whole = std::move(grown);
      const std::size_t got = frame.stream->ReadInto(frame.whole.data() + size, kStep);
      frame.whole.resize(size + got);
      if (got == 0) break;
    }
    frame.held = Held(walk_.budget, taken);
    if (frame.stream->failed()) {
      reason = frame.stream->error();
      return false;
    }
    return true;
  }

  bool PdfReadable() {
    if (!pdfReadable_) pdfReadable_ = CanReadPdf(options_.pdftotext);
    return *pdfReadable_;
  }

  OpenOptions options_;
  Walk walk_;
  std::optional<bool> pdfReadable_;
  std::unique_ptr<Bytes> top_;
  Input topInput_;
  std::string name_;
  bool started_ = false;
  std::vector<Frame> stack_;
  std::vector<std::string> chain_;
  std::unique_ptr<DecodingStream> text_;
};

// Whether a text starts as mail does: a mailbox's "From " line, or a block
// of headers ended by a blank line that names a sender or a route. A note
// that merely starts "From: Luc" is text.
std::optional<FileKind> MailKind(std::string_view head) {
  bool mailbox = head.starts_with("From ");
  if (mailbox) head.remove_prefix(std::min(head.size(), head.find('\n') + 1));
  int headers = 0;
  bool sender = false;
  while (true) {
    const std::size_t end = head.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = head.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    head.remove_prefix(end + 1);
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') continue;  // a header folded onto a new line
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos ||
        line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
      return std::nullopt;
    }
    const std::string_view name = line.substr(0, colon);
    for (const std::string_view known :
         {"From", "Received", "Return-Path", "Message-ID", "MIME-Version", "Delivered-To"}) {
      if (name.size() == known.size() &&
          std::equal(name.begin(), name.end(), known.begin(),
                     [](char a, char b) { return (a | 0x20) == (b | 0x20); })) {
        sender = true;
      }
    }
    ++headers;
  }
  if (headers < 2 || !sender) return std::nullopt;
  return mailbox ? FileKind::Mailbox : FileKind::Message;
}

}  // namespace

Sniffed Sniff(std::string_view head) {
  struct Magic {
    std::size_t at;
    std::string_view bytes;
    FileKind kind;
    std::string_view format;
  };
  using namespace std::string_view_literals;
  static constexpr Magic kMagic[] = {
      {0, "\x1F\x8B"sv, FileKind::Compressed, "gzip"},
      {0, "BZh"sv, FileKind::Compressed, "bzip2"},
      {0,
       "\xFD"
       "7zXZ\0"sv,
       FileKind::Compressed, "xz"},
      {0, "\x28\xB5\x2F\xFD"sv, FileKind::Compressed, "zstd"},
      {0, "PK\x03\x04"sv, FileKind::Zip, "zip"},
      {0, "PK\x05\x06"sv, FileKind::Zip, "zip"},
      {0, "7z\xBC\xAF\x27\x1C"sv, FileKind::SevenZip, "7z"},
      {257, "ustar"sv, FileKind::Tar, "tar"},
      {0, "%PDF-"sv, FileKind::Pdf, "pdf"},
      {0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv, FileKind::Unopened,
       "legacy Office document (.doc, .xls, .ppt)"},
      {0, "Rar!\x1A\x07"sv, FileKind::Unopened, "RAR archive"},
      {0, "\x89PNG"sv, FileKind::Unopened, "image"},
      {0, "\xFF\xD8\xFF"sv, FileKind::Unopened, "image"},
      {0, "GIF8"sv, FileKind::Unopened, "image"},
      {0, "II*\0"sv, FileKind::Unopened, "image"},
      {0, "MM\0*"sv, FileKind::Unopened, "image"},
  };
  if (const std::optional<FileKind> mail = MailKind(head)) {
    return {*mail, *mail == FileKind::Mailbox ? "mbox" : "eml"};
  }
  for (const Magic& magic : kMagic) {
    if (head.size() >= magic.at && StartsWith(head.substr(magic.at), magic.bytes)) {
      // "BZh" also starts words: bzip2 follows it with the block size.
      if (magic.format == "bzip2" && (head.size() < 4 || head[3] < '1' || head[3] > '9')) continue;
      return {magic.kind, magic.format};
    }
  }
  return {};
}

}  // namespace detail

std::unique_ptr<Contents> detail::OpenFileHere(int fd, std::string name,
                                               const OpenOptions& options) {
  auto bytes = std::make_unique<detail::DescriptorBytes>(fd);
  detail::Input input;
  struct stat status {};
  // A regular file read from its start may be read out of order; anything
  // else is read once, in order.
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && lseek(fd, 0, SEEK_CUR) == 0) {
    input.fd = fd;
  } else {
    input.stream = bytes.get();
  }
  return std::make_unique<detail::Walker>(std::move(bytes), input, std::move(name), options);
}

std::unique_ptr<Contents> detail::OpenBytesHere(std::string_view bytes, std::string name,
                                                const OpenOptions& options) {
  return std::make_unique<detail::Walker>(std::make_unique<detail::MemoryBytes>(bytes),
                                          detail::Input{.whole = bytes}, std::move(name), options);
}

}  // namespace mivaro
