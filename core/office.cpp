// SPDX-License-Identifier: Apache-2.0
// Telling an Office or OpenDocument zip from any other, the sheet text both
// workbook formats write, and documents: a text per part, a line per
// paragraph, so that a number split across runs of text is read whole.
#include "core/office.h"

#include <algorithm>

namespace mivaro::detail {

void CellIndex::Add(std::uint64_t offset, std::uint64_t row, std::uint64_t column) {
  cells_.push_back({offset, static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)});
}

void CellIndex::Forget(std::uint64_t offset) {
  while (cells_.size() > 1 && cells_[1].offset <= offset) cells_.pop_front();
}

Place CellIndex::Locate(const Found& found) {
  Forget(found.match.offset);
  Place place;
  place.kind = PlaceKind::Cell;
  place.sheet = sheet_;
  if (!cells_.empty() && cells_.front().offset <= found.match.offset) {
    place.row = cells_.front().row;
    place.column = cells_.front().column;
  }
  return place;
}

std::uint64_t SheetWriter::Cell(std::uint64_t row, std::uint64_t column, std::string_view text,
                                std::string& out, std::uint64_t before) {
  if (row != row_ || rows_ == 0) {
    if (rows_ != 0) out += '\n';
    ++rows_;
    row_ = row;
    column_ = 0;
  }
  const std::uint64_t tabs = column > column_ ? column - std::max<std::uint64_t>(column_, 1) : 1;
  out.append(column_ == 0 && column == 1 ? 0 : tabs, '\t');
  column_ = column;
  const std::uint64_t start = before + out.size();
  index_.Add(start, row, column);
  // A cell stays on its line and in its column whatever it holds.
  for (const char c : text.substr(0, kLongestCell)) {
    out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c == '"' ? '\'' : c;
  }
  return start;
}

namespace {

// What marks a paragraph and its text in each document format.
struct Vocabulary {
  std::string_view paragraphs[2];  // elements that are paragraphs
  std::string_view texts[2];       // elements whose characters are text ("" for any in a paragraph)
};
constexpr Vocabulary kWordVocabulary{{"p", ""}, {"t", "delText"}};
constexpr Vocabulary kOpenDocumentVocabulary{{"p", "h"}, {"", ""}};

// A part of a document as text, a line per paragraph.
class PartText final : public XmlReader, public XmlTextStream, public Locator {
 public:
  PartText(Bytes& input, Walk& walk, const Vocabulary& vocabulary)
      : XmlReader(input, walk.budget),
        XmlTextStream(static_cast<XmlReader&>(*this), walk.options.limits),
        vocabulary_(vocabulary) {}
  // Keeps, as it reads, where the text's stretches lie in the XML.
  void MapInto(std::vector<Segment>& segments) { segments_ = &segments; }

  Place Locate(const Found& found) override {
    Place place;
    place.kind = PlaceKind::Paragraph;
    place.paragraph = found.line;
    return place;
  }

 private:
  bool Is(std::string_view name, const std::string_view (&names)[2]) const {
    return !name.empty() && (name == names[0] || name == names[1]);
  }
  void Start(std::string_view name, const XML_Char** attributes) override {
    if (Is(name, vocabulary_.paragraphs)) ++paragraphs_;
    if (Is(name, vocabulary_.texts)) ++texts_;
    if (paragraphs_ == 0) return;
    if (name == "tab") Out() += '\t';
    if (name == "br" || name == "cr" || name == "line-break") Out() += ' ';
    if (name == "s") {  // OpenDocument's run of spaces
      const auto count = Attribute(attributes, "c");
      const int spaces = count ? std::clamp(std::atoi(std::string(*count).c_str()), 1, 100) : 1;
      Out().append(static_cast<std::size_t>(spaces), ' ');
    }
  }
  void End(std::string_view name) override {
    if (Is(name, vocabulary_.texts)) --texts_;
    if (Is(name, vocabulary_.paragraphs) && paragraphs_ > 0 && --paragraphs_ == 0) Out() += '\n';
  }
  void Characters(std::string_view text) override {
    const bool anyText = vocabulary_.texts[0].empty();
    if (paragraphs_ == 0 || (!anyText && texts_ == 0)) return;
    if (segments_ != nullptr) {
      if (const std::optional<std::uint64_t> raw = RawAt(text.size())) {
        segments_->push_back({Written() + Out().size(), *raw, text.size()});
      }
    }
    for (const char c : text) Out() += c == '\n' || c == '\r' ? ' ' : c;
  }

  std::vector<Segment>* segments_ = nullptr;
  const Vocabulary& vocabulary_;
  int paragraphs_ = 0;
  int texts_ = 0;
};

// A document's parts, one after another.
class DocumentLevel final : public Level {
 public:
  DocumentLevel(std::unique_ptr<ZipFile> zip, Walk& walk, std::vector<std::string> parts,
                const Vocabulary& vocabulary)
      : zip_(std::move(zip)), walk_(walk), parts_(std::move(parts)), vocabulary_(vocabulary) {}

  std::optional<Member> Next() override {
    if (next_ == parts_.size()) return std::nullopt;
    const std::string& part = parts_[next_];
    // The body is the document itself; its other parts go by their names.
    std::string name = next_++ == 0 ? "" : part;
    text_.reset();
    std::string error;
    MemberBytes* bytes = zip_->Read(part, error);
    if (bytes == nullptr) {
      return Member::Failure(std::move(name), error);
    }
    text_ = std::make_unique<PartText>(*bytes, walk_, vocabulary_);
    return Member::OfText(std::move(name), text_.get(), text_.get());
  }

 private:
  std::unique_ptr<ZipFile> zip_;
  Walk& walk_;
  std::vector<std::string> parts_;
  const Vocabulary& vocabulary_;
  std::size_t next_ = 0;
  std::unique_ptr<PartText> text_;
};

// The number in a part's name ("slide12.xml" is 12), to put parts in the
// order their author made them.
std::uint64_t NumberIn(std::string_view name) {
  std::uint64_t number = 0;
  for (const char c : name) {
    if (c >= '0' && c <= '9' && number < 1000000000) number = number * 10 + (c - '0');
  }
  return number;
}

// The members under a folder whose names start with one of the stems, in
// the order of the number in their names.
std::vector<std::string> Parts(const ZipFile& zip, std::string_view folder,
                               std::initializer_list<std::string_view> stems) {
  std::vector<std::string> parts;
  for (const std::string& name : zip.Names()) {
    if (!name.starts_with(folder) || !name.ends_with(".xml")) continue;
    const std::string_view leaf = std::string_view(name).substr(folder.size());
    if (leaf.find('/') != std::string_view::npos) continue;
    for (const std::string_view stem : stems) {
      if (leaf.starts_with(stem)) parts.push_back(name);
    }
  }
  std::stable_sort(parts.begin(), parts.end(), [](const std::string& a, const std::string& b) {
    return NumberIn(a) < NumberIn(b);
  });
  return parts;
}

std::vector<std::string> WordParts(const ZipFile& zip) {
  std::vector<std::string> parts{"word/document.xml"};
  for (const std::string_view stem : {"header", "footer", "footnotes", "endnotes", "comments"}) {
    for (std::string& part : Parts(zip, "word/", {stem})) parts.push_back(std::move(part));
  }
  return parts;
}

std::vector<std::string> SlideParts(const ZipFile& zip) {
  std::vector<std::string> parts = Parts(zip, "ppt/slides/", {"slide"});
  for (std::string& part : Parts(zip, "ppt/notesSlides/", {"notesSlide"})) {
    parts.push_back(std::move(part));
  }
  for (std::string& part : Parts(zip, "ppt/comments/", {"comment"})) {
    parts.push_back(std::move(part));
  }
  return parts;
}

}  // namespace

std::string_view OfficeFormat(ZipFile& zip) {
  if (zip.Has("xl/workbook.xml")) return "xlsx";
  if (zip.Has("word/document.xml")) return "docx";
  if (zip.Has("ppt/presentation.xml")) return "pptx";
  if (!zip.Has("mimetype") || !zip.Has("content.xml")) return {};
  Held held;
  std::string ignored;
  const std::optional<std::string> type = zip.ReadWhole("mimetype", held, ignored);
  constexpr std::string_view kPrefix = "application/vnd.oasis.opendocument.";
  if (!type || type->size() > 100 || !type->starts_with(kPrefix)) return {};
  const std::string_view kind = std::string_view(*type).substr(kPrefix.size());
  if (kind == "spreadsheet") return "ods";
  if (kind == "text") return "odt";
  if (kind == "presentation") return "odp";
  return {};
}

std::vector<std::string> DocumentParts(std::string_view format, const ZipFile& zip) {
  if (format == "docx") return WordParts(zip);
  if (format == "pptx") return SlideParts(zip);
  std::vector<std::string> parts{"content.xml"};
  if (zip.Has("styles.xml")) parts.emplace_back("styles.xml");
  return parts;
}

const Vocabulary& VocabularyOf(std::string_view format) {
  return format == "docx" || format == "pptx" ? kWordVocabulary : kOpenDocumentVocabulary;
}

std::unique_ptr<Level> OpenOffice(std::unique_ptr<ZipFile> zip, Walk& walk,
                                  std::string_view& format, std::string& error) {
  format = OfficeFormat(*zip);
  if (format == "xlsx") return OpenXlsx(std::move(zip), walk, error);
  if (format == "ods") return OpenOds(std::move(zip), walk, error);
  if (format.empty()) return nullptr;
  std::vector<std::string> parts = DocumentParts(format, *zip);
  return std::make_unique<DocumentLevel>(std::move(zip), walk, std::move(parts),
                                         VocabularyOf(format));
}

bool RedactPart(std::string& xml, std::string_view format, const RedactOptions& options, Walk& walk,
                std::uint64_t& redacted, std::string& error) {
  MemoryBytes bytes(xml);
  PartText part(bytes, walk, VocabularyOf(format));
  std::vector<Segment> segments;
  part.MapInto(segments);
  std::string text;
  Held heldText;
  if (!ReadAll(part, text, walk.budget, heldText, error)) return false;
  Searcher searcher({.minimum = options.minimum});
  bool mapped = true;
  searcher.Search(text, [&](const Found& found) {
    std::string hidden(found.text);
    RedactDigits(hidden.data(), hidden.size(), options.allDigits);
    for (std::size_t i = 0; i < hidden.size(); ++i) {
      if (hidden[i] != '*' || found.text[i] == '*') continue;
      const std::uint64_t at = found.match.offset + i;
      const auto segment = std::upper_bound(
          segments.begin(), segments.end(), at,
          [](std::uint64_t offset, const Segment& each) { return offset < each.text; });
      if (segment == segments.begin() ||
          at >= std::prev(segment)->text + std::prev(segment)->length) {
        mapped = false;
        continue;
      }
      xml[std::prev(segment)->xml + (at - std::prev(segment)->text)] = '*';
    }
    ++redacted;
  });
  if (!mapped) error = "a digit of a SIN is written as a character reference; nothing written";
  return mapped;
}

}  // namespace mivaro::detail
