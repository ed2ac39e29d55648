// SPDX-License-Identifier: Apache-2.0
// Mail through GMime: a message (.eml) or a mailbox (.mbox) is, for each
// message, its headers with encoded words decoded, each text part decoded
// from its transfer encoding and charset, and each attachment as a member
// of its own, which the walk tells and opens like any file.
#include <gmime/gmime.h>

#include <mutex>
#include <vector>

#include "core/levels.h"
#include "core/satellites.h"
#include "mivaro/scan.h"

namespace mivaro::detail {
namespace {

template <typename T>
struct GObjectDeleter {
  void operator()(T* object) const {
    if (object != nullptr) g_object_unref(object);
  }
};
template <typename T>
using GObjectPointer = std::unique_ptr<T, GObjectDeleter<T>>;

// A part's bytes decoded into memory, taken from the walk's budget.
struct Decoded {
  std::string bytes;
  Held held;
};

// Writes a part's content, decoded from its transfer encoding (and, for
// text, converted from its charset to UTF-8), within the memory left.
bool Decode(GMimePart* part, bool toUtf8, Walk& walk, Decoded& decoded, std::string& error) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (content == nullptr) return true;
  const gint64 encoded = g_mime_stream_length(g_mime_data_wrapper_get_stream(content));
  // Decoded, a part is at most as long as encoded, but for a charset's
  // conversion to UTF-8, which may take up to three bytes a byte.
  const std::uint64_t most = encoded < 0 ? 0 : static_cast<std::uint64_t>(encoded) * 3 + 64;
  if (encoded < 0 || !walk.budget.Take(most)) {
    error = "needs more than the memory limit of " + std::to_string(walk.budget.Most() >> 20) +
            " MiB to be read";
    return false;
  }
  decoded.held = Held(walk.budget, most);
  GObjectPointer<GMimeStream> memory(g_mime_stream_mem_new());
  GObjectPointer<GMimeStream> filtered(g_mime_stream_filter_new(memory.get()));
  const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
  if (toUtf8 && charset != nullptr && g_ascii_strcasecmp(charset, "utf-8") != 0) {
    GObjectPointer<GMimeFilter> filter(g_mime_filter_charset_new(charset, "UTF-8"));
    if (filter) g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), filter.get());
  }
  if (g_mime_data_wrapper_write_to_stream(content, filtered.get()) < 0) {
    error = "damaged";
    return false;
  }
  g_mime_stream_flush(filtered.get());
  GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
  decoded.bytes.assign(reinterpret_cast<const char*>(array->data), array->len);
  return true;
}

// One piece of a message to read: a part, the text a multipart holds
// before its first part or after its last (where a message whose boundary
// is damaged keeps all of its body), or the headers of a message attached.
struct Piece {
  enum class Kind { Part, Prologue, Epilogue, Headers };
  GMimeObject* object;  // the part, the multipart, or the message
  std::string path;     // "1.2", "prologue", "1 epilogue", "2 headers"
  Kind kind;
};

// A message's pieces, depth first, numbered as the parts are.
void Collect(GMimeObject* object, const std::string& path, int depth, std::vector<Piece>& pieces) {
  constexpr int kDeepest = 64;  // messages inside messages inside ...
  if (object == nullptr || depth > kDeepest) return;
  if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    const std::string named = path.empty() ? "" : path + " ";
    pieces.push_back({object, named + "prologue", Piece::Kind::Prologue});
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
      const std::string child = (path.empty() ? "" : path + ".") + std::to_string(i + 1);
      Collect(g_mime_multipart_get_part(multipart, i), child, depth + 1, pieces);
    }
    pieces.push_back({object, named + "epilogue", Piece::Kind::Epilogue});
  } else if (GMIME_IS_MESSAGE_PART(object)) {
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
    if (inner == nullptr) return;
    pieces.push_back(
        {GMIME_OBJECT(inner), (path.empty() ? "1" : path) + " headers", Piece::Kind::Headers});
    Collect(g_mime_message_get_mime_part(inner), path, depth + 1, pieces);
  } else if (GMIME_IS_PART(object)) {
    pieces.push_back({object, path.empty() ? "1" : path, Piece::Kind::Part});
  }
}

std::vector<Piece> PiecesOf(GMimeMessage* message) {
  std::vector<Piece> pieces;
  Collect(g_mime_message_get_mime_part(message), "", 0, pieces);
  return pieces;
}

// A multipart's text before or after its parts.
const char* MultipartText(const Piece& piece) {
  GMimeMultipart* multipart = GMIME_MULTIPART(piece.object);
  return piece.kind == Piece::Kind::Prologue ? g_mime_multipart_get_prologue(multipart)
                                             : g_mime_multipart_get_epilogue(multipart);
}

class MailLevel final : public Level, public Locator {
 public:
  explicit MailLevel(Walk& walk) : walk_(walk) {}
  MailLevel(const MailLevel&) = delete;
  MailLevel& operator=(const MailLevel&) = delete;

  bool Open(const Input& input, bool mailbox, std::string& error) {
    static std::once_flag started;
    std::call_once(started, [] { g_mime_init(); });
    mailbox_ = mailbox;
    GMimeStream* stream = nullptr;
    if (input.fd >= 0) {
      // From the file's start, wherever its descriptor has been read to.
      stream = g_mime_stream_fs_new_with_bounds(dup(input.fd), 0, -1);
    } else {
      if (!walk_.budget.Take(input.whole.size())) {
        error = "needs more than the memory limit to be read";
        return false;
      }
      copy_ = Held(walk_.budget, input.whole.size());
      stream = g_mime_stream_mem_new_with_buffer(input.whole.data(), input.whole.size());
    }
    stream_.reset(stream);
    parser_.reset(g_mime_parser_new_with_stream(stream_.get()));
    g_mime_parser_set_format(parser_.get(), mailbox ? GMIME_FORMAT_MBOX : GMIME_FORMAT_MESSAGE);
    return true;
  }

  std::optional<Member> Next() override {
    decoded_ = Decoded{};
    text_.reset();
    attachment_.clear();
    while (true) {
      if (next_ == pieces_.size()) {
        if (messages_ != 0 && g_mime_parser_eos(parser_.get())) return std::nullopt;
        if (ended_) return std::nullopt;
        message_.reset(g_mime_parser_construct_message(parser_.get(), nullptr));
        if (!message_) {
          // The parser cannot step over what it cannot read: the rest is lost.
          ended_ = true;
          if (g_mime_parser_eos(parser_.get())) return std::nullopt;
          return Member::Failure(MessageName(), "damaged: not a message; the rest is not read");
        }
        ++messages_;
        pieces_ = PiecesOf(message_.get());
        next_ = 0;
        part_ = "headers";
        return Headers(GMIME_OBJECT(message_.get()));
      }
      const Piece& piece = pieces_[next_++];
      part_ = piece.path;
      if (piece.kind == Piece::Kind::Part) return Part(GMIME_PART(piece.object));
      if (piece.kind == Piece::Kind::Headers) return Headers(piece.object);
      const char* text = MultipartText(piece);
      if (text != nullptr && *text != '\0') {
        decoded_.bytes = text;
        return TextOf(decoded_.bytes);
      }
    }
  }

  Place Locate(const Found& found) override {
    Place place;
    place.kind = PlaceKind::MailPart;
    place.message = messages_;
    place.part = part_;
    place.line = found.line;
    place.column = found.column.codePoints;
    place.attachment = attachment_;
    return place;
  }

 private:
  std::string MessageName() const {
    return mailbox_ ? "message " + std::to_string(messages_ + 1) : std::string();
  }

  // A message's headers, a line each, their encoded words decoded.
  Member Headers(GMimeObject* message) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(message);
    for (int i = 0; i < g_mime_header_list_get_count(headers); ++i) {
      GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
      const char* value = g_mime_header_get_value(header);
      decoded_.bytes += g_mime_header_get_name(header);
      decoded_.bytes += ": ";
      if (value != nullptr) decoded_.bytes += value;
      decoded_.bytes += '\n';
    }
    return TextOf(decoded_.bytes);
  }

  Member Part(GMimePart* part) {
    GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(part));
    const bool text = type == nullptr || g_mime_content_type_is_type(type, "text", "*");
    const bool attached = g_mime_part_is_attachment(part) || !text;
    std::string error;
    if (!Decode(part, !attached, walk_, decoded_, error)) {
      return Member::Failure(AttachmentName(part), error);
    }
    if (attached) {
      bytes_ = std::make_unique<MemoryBytes>(decoded_.bytes);
      const char* filename = g_mime_part_get_filename(part);
      attachment_ = filename != nullptr ? filename : "";
      Member member = Member::OfBytes(AttachmentName(part), bytes_.get());
      member.locator = this;  // if it is read as text
      return member;
    }
    return TextOf(decoded_.bytes);
  }

  std::string AttachmentName(GMimePart* part) const {
    const char* filename = g_mime_part_get_filename(part);
    std::string name = filename != nullptr && *filename != '\0' ? filename : "part " + part_;
    return mailbox_ ? "message " + std::to_string(messages_) + "/" + name : name;
  }

  Member TextOf(std::string_view bytes) {
    text_ = std::make_unique<DecodingStream>(std::make_unique<MemoryBytes>(bytes), SourceOptions{});
    return Member::OfText("", text_.get(), this);
  }

  Walk& walk_;
  bool mailbox_ = false;
  Held copy_;
  GObjectPointer<GMimeStream> stream_;
  GObjectPointer<GMimeParser> parser_;
  GObjectPointer<GMimeMessage> message_;
  std::vector<Piece> pieces_;
  std::size_t next_ = 0;
  std::uint64_t messages_ = 0;
  bool ended_ = false;
  std::string part_;
  std::string attachment_;  // the file attached, when the part is one
  Decoded decoded_;
  std::unique_ptr<MemoryBytes> bytes_;
  std::unique_ptr<DecodingStream> text_;
};

// Redacts a text in place; returns how many SINs it hid.
std::uint64_t RedactText(std::string& text, const RedactOptions& options) {
  Redactor redactor(options);
  return redactor.RedactInPlace(text);
}

// Puts new content into a part, in its own transfer encoding.
void Replace(GMimePart* part, const std::string& content) {
  const GMimeContentEncoding encoding = g_mime_part_get_content_encoding(part);
  GObjectPointer<GMimeStream> stream(
      g_mime_stream_mem_new_with_buffer(content.data(), content.size()));
  GObjectPointer<GMimeDataWrapper> wrapper(
      g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
  g_mime_part_set_content(part, wrapper.get());
  g_mime_part_set_content_encoding(part, encoding);
}

// Redacts a message's headers, as decoded and as written.
void RedactHeaders(GMimeObject* message, const RedactOptions& options, std::uint64_t& redacted) {
  GMimeHeaderList* headers = g_mime_object_get_header_list(message);
  for (int i = 0; i < g_mime_header_list_get_count(headers); ++i) {
    GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
    const char* value = g_mime_header_get_value(header);
    std::string text = value != nullptr ? value : "";
    if (const std::uint64_t hidden = RedactText(text, options)) {
      g_mime_header_set_value(header, nullptr, text.c_str(), "utf-8");
      redacted += hidden;
    }
    // The header as written too: bytes in no declared charset are decoded
    // by guess, and a digit run the guess joins to a letter stays a SIN to
    // any tool that reads the bytes.
    const char* raw = g_mime_header_get_raw_value(header);
    std::string rawText = raw != nullptr ? raw : "";
    if (const std::uint64_t hidden = RedactText(rawText, options)) {
      g_mime_header_set_raw_value(header, rawText.c_str());
      redacted += hidden;
    }
  }
}

// Redacts one message: its headers, its text parts (written back as UTF-8
// in their own transfer encoding), the headers of messages attached, and
// its attachments, as files.
bool RedactMessage(GMimeMessage* message, const RedactOptions& options, Walk& walk,
                   const RedactBytes& attachment, std::uint64_t& redacted, std::string& error) {
  RedactHeaders(GMIME_OBJECT(message), options, redacted);
  for (const Piece& piece : PiecesOf(message)) {
    if (piece.kind == Piece::Kind::Headers) {
      RedactHeaders(piece.object, options, redacted);
      continue;
    }
    if (piece.kind != Piece::Kind::Part) {
      const char* text = MultipartText(piece);
      std::string redactedText = text != nullptr ? text : "";
      if (const std::uint64_t hidden = RedactText(redactedText, options)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(piece.object);
        if (piece.kind == Piece::Kind::Prologue) {
          g_mime_multipart_set_prologue(multipart, redactedText.c_str());
        } else {
          g_mime_multipart_set_epilogue(multipart, redactedText.c_str());
        }
        redacted += hidden;
      }
      continue;
    }
    GMimeObject* current = piece.object;
    GMimePart* part = GMIME_PART(current);
    GMimeContentType* type = g_mime_object_get_content_type(current);
    const bool text = type == nullptr || g_mime_content_type_is_type(type, "text", "*");
    const bool attached = g_mime_part_is_attachment(part) || !text;
    Decoded decoded;
    if (!Decode(part, !attached, walk, decoded, error)) return false;
    if (!attached) {
      if (const std::uint64_t hidden = RedactText(decoded.bytes, options)) {
        Replace(part, decoded.bytes);
        g_mime_object_set_content_type_parameter(current, "charset", "utf-8");
        redacted += hidden;
      }
      continue;
    }
    std::string rewritten;
    if (!attachment(decoded.bytes, rewritten, error)) {
      const char* name = g_mime_part_get_filename(part);
      error = std::string(name != nullptr ? name : "an attachment") + ": " + error;
      return false;
    }
    if (rewritten != decoded.bytes) Replace(part, rewritten);
  }
  return true;
}

}  // namespace

bool RedactMailHere(std::string_view whole, bool mailbox, const RedactOptions& options, Walk& walk,
                    const RedactBytes& attachment, std::string& out, std::uint64_t& redacted,
                    std::string& error) {
  static std::once_flag started;
  std::call_once(started, [] { g_mime_init(); });
  GObjectPointer<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(whole.data(), whole.size()));
  GObjectPointer<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
  g_mime_parser_set_format(parser.get(), mailbox ? GMIME_FORMAT_MBOX : GMIME_FORMAT_MESSAGE);
  GObjectPointer<GMimeStream> written(g_mime_stream_mem_new());
  std::uint64_t messages = 0;
  while (!g_mime_parser_eos(parser.get()) || messages == 0) {
    GObjectPointer<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message) {
      if (messages != 0 && g_mime_parser_eos(parser.get())) break;
      error = "damaged: not a message; nothing written";
      return false;
    }
    ++messages;
    if (!RedactMessage(message.get(), options, walk, attachment, redacted, error)) return false;
    if (mailbox) {
      char* marker = g_mime_parser_get_mbox_marker(parser.get());
      const std::string line = std::string(marker != nullptr ? marker : "From -") + "\n";
      g_free(marker);
      g_mime_stream_write(written.get(), line.data(), line.size());
    }
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), nullptr, written.get());
    if (mailbox) g_mime_stream_write(written.get(), "\n", 1);
  }
  GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(written.get()));
  out.assign(reinterpret_cast<const char*>(array->data), array->len);
  return true;
}

std::unique_ptr<Level> OpenMailHere(const Input& input, bool mailbox, Walk& walk,
                                    std::string& error) {
  auto level = std::make_unique<MailLevel>(walk);
  if (!level->Open(input, mailbox, error)) return nullptr;
  return level;
}

}  // namespace mivaro::detail

extern "C" const mivaro::detail::MailEntry* mivaro_mail_entry() {
  static constexpr mivaro::detail::MailEntry kEntry{mivaro::detail::OpenMailHere,
                                                    mivaro::detail::RedactMailHere};
  return &kEntry;
}
