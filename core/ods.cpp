// SPDX-License-Identifier: Apache-2.0
// OpenDocument workbooks (.ods): every sheet in content.xml, each cell's
// text as shown in its paragraphs, repeated rows and columns written out
// as far as they hold text.
#include <algorithm>

#include "core/office.h"

namespace mivaro::detail {
namespace {

// A cell element of content.xml, kept when a workbook is to be redacted.
struct OdsCell {
  std::uint64_t tagStart = 0, tagLength = 0;  // its start tag's bytes in the XML
  std::vector<Segment> segments;              // its text's stretches in the XML
  bool hidden = false;                        // a digit of its text was hidden
};
// Where one copy of a cell's text starts in its sheet's text.
struct OdsPlacement {
  std::uint64_t text;
  std::size_t cell;
};

// An .ods file's sheets, all in content.xml: the reader pauses at each
// sheet's start and end, so that each is a text of its own.
class OdsSheets final : public SheetText {
 public:
  OdsSheets(Bytes& input, Walk& walk) : SheetText(input, walk) {}

  // Parses on to the next sheet's start; false at the end, or on failure
  // with error saying why.
  bool FindSheet(std::string& error) {
    found_ = false;
    while (!found_) {
      const Step step = Parse();
      if (step == Step::Failed) error = XmlReader::Error();
      if (step == Step::Failed || step == Step::Ended) return false;
    }
    return true;
  }
  const std::string& Name() const { return name_; }
  // Keeps, as it reads, the cells' places in the XML and in the text; the
  // placements are per sheet, and the caller clears them.
  void RecordInto(std::vector<OdsCell>& cells, std::vector<OdsPlacement>& placements) {
    recorded_ = &cells;
    placements_ = &placements;
  }

 private:
  void Start(std::string_view name, const XML_Char** attributes) override {
    if (name == "table" && ++tables_ == 1) {
      name_ = Attribute(attributes, "name").value_or("");
      NewSheet(name_);
      row_ = 0;
      found_ = true;
      Pause();
    }
    if (tables_ != 1) return;
    if (name == "table-row") {
      rowRepeat_ = ParseCount(Attribute(attributes, "number-rows-repeated"), 1, kMostRows);
      column_ = 0;
      cells_.clear();
    } else if (name == "table-cell" || name == "covered-table-cell") {
      cellRepeat_ = ParseCount(Attribute(attributes, "number-columns-repeated"), 1, kMostColumns);
      text_.clear();
      paragraphs_ = 0;
      inCell_ = true;
      if (recorded_ != nullptr) {
        const auto [start, length] = EventBytes();
        recorded_->push_back({start, length, {}, false});
      }
    } else if (inCell_ && (name == "p" || name == "h")) {
      if (paragraphs_++ > 0) text_ += ' ';
    } else if (inCell_ && name == "s") {
      text_.append(ParseCount(Attribute(attributes, "c"), 1, 100), ' ');
    } else if (inCell_ && (name == "tab" || name == "line-break")) {
      text_ += ' ';
    }
  }

  void End(std::string_view name) override {
    if (name == "table" && tables_ > 0 && --tables_ == 0) Pause();
    if (tables_ != 1) return;
    if (name == "table-cell" || name == "covered-table-cell") {
      if (!text_.empty()) {
        cells_.push_back({column_ + 1, cellRepeat_, text_, recorded_ ? recorded_->size() - 1 : 0});
      }
      column_ = std::min(column_ + cellRepeat_, kMostColumns);
      inCell_ = false;
    } else if (name == "table-row") {
      if (cells_.empty()) {
        row_ = std::min(row_ + rowRepeat_, kMostRows);
        return;
      }
      for (std::uint64_t repeat = 0; repeat < rowRepeat_ && !Full(); ++repeat) {
        ++row_;
        for (const RepeatedCell& cell : cells_) {
          for (std::uint64_t k = 0; k < cell.repeat && cell.column + k <= kMostColumns; ++k) {
            const std::optional<std::uint64_t> at = Cell(row_, cell.column + k, cell.text);
            if (at && placements_ != nullptr) placements_->push_back({*at, cell.element});
          }
        }
      }
    }
  }

  void Characters(std::string_view text) override {
    if (!inCell_ || paragraphs_ == 0 || text_.size() >= kLongestCell) return;
    if (recorded_ != nullptr) {
      if (const std::optional<std::uint64_t> raw = RawAt(text.size())) {
        recorded_->back().segments.push_back({text_.size(), *raw, text.size()});
      }
    }
    text_ += text;
  }

  struct RepeatedCell {
    std::uint64_t column;
    std::uint64_t repeat;
    std::string text;
    std::size_t element;  // when recorded: its cell in recorded_
  };
  std::vector<OdsCell>* recorded_ = nullptr;
  std::vector<OdsPlacement>* placements_ = nullptr;
  std::string name_;
  bool found_ = false;
  int tables_ = 0;
  std::uint64_t row_ = 0;
  std::uint64_t rowRepeat_ = 1;
  std::uint64_t column_ = 0;
  std::uint64_t cellRepeat_ = 1;
  std::vector<RepeatedCell> cells_;  // the row's cells with text
  std::string text_;
  int paragraphs_ = 0;
  bool inCell_ = false;
};

class OdsLevel final : public Level {
 public:
  OdsLevel(std::unique_ptr<ZipFile> zip, Walk& walk) : zip_(std::move(zip)), walk_(walk) {}
  bool Open(std::string& error) {
    MemberBytes* bytes = zip_->Read("content.xml", error);
    if (bytes == nullptr) return false;
    sheets_ = std::make_unique<OdsSheets>(*bytes, walk_);
    return true;
  }
  std::optional<Member> Next() override {
    std::string error;
    if (sheets_->FindSheet(error)) {
      return Member::OfText("", sheets_.get(), &sheets_->Index());
    }
    if (error.empty() || failed_) return std::nullopt;
    failed_ = true;
    return Member::Failure("", "content.xml: " + error);
  }

 private:
  std::unique_ptr<ZipFile> zip_;
  Walk& walk_;
  std::unique_ptr<OdsSheets> sheets_;
  bool failed_ = false;
};

// A cell start tag with its value attributes taken out and its type made
// "string": the cell then shows its text, hidden digits and all, rather
// than the number its value would show.
std::string AsTextCell(std::string_view tag) {
  std::string out;
  std::size_t i = 0;
  while (i < tag.size()) {
    // An attribute: blanks, name, '=', a quoted value.
    const std::size_t nameStart = tag.find_first_not_of(" \t\r\n", i);
    const std::size_t equals = tag.find('=', nameStart);
    if (nameStart == std::string_view::npos || equals == std::string_view::npos ||
        equals + 1 >= tag.size() || (tag[equals + 1] != '"' && tag[equals + 1] != '\'')) {
      out.append(tag.substr(i));
      break;
    }
    const std::size_t close = tag.find(tag[equals + 1], equals + 2);
    if (close == std::string_view::npos) {
      out.append(tag.substr(i));
      break;
    }
    const std::string_view name = tag.substr(nameStart, equals - nameStart);
    const std::string_view local = name.substr(name.rfind(':') + 1);
    if (local == "value-type") {
      out.append(tag.substr(i, equals + 1 - i)).append("\"string\"");
    } else if (!local.ends_with("value") && local != "value-type") {
      out.append(tag.substr(i, close + 1 - i));
    }
    i = close + 1;
  }
  return out;
}

}  // namespace

bool RedactOds(ZipFile& zip, const RedactOptions& options, Walk& walk, ChangedMembers& changed,
               std::uint64_t& redacted, std::string& error) {
  Held held;
  std::optional<std::string> xml = zip.ReadWhole("content.xml", held, error);
  if (!xml) return false;
  std::optional<Changed> copy = CopyToEdit(*xml, walk.budget, error);
  if (!copy) return false;
  std::string& edited = copy->bytes;
  MemoryBytes bytes(*xml);
  OdsSheets sheets(bytes, walk);
  std::vector<OdsCell> cells;
  std::vector<OdsPlacement> placements;
  sheets.RecordInto(cells, placements);
  bool unmapped = false;
  std::uint64_t found = 0;
  while (sheets.FindSheet(error)) {
    placements.clear();
    std::string text;
    Held heldText;
    if (!ReadAll(sheets, text, walk.budget, heldText, error)) return false;
    Searcher({.minimum = options.minimum}).Search(text, [&](const Found& match) {
      std::string hidden(match.text);
      RedactDigits(hidden.data(), hidden.size(), options.allDigits);
      const auto place = std::upper_bound(
          placements.begin(), placements.end(), match.match.offset,
          [](std::uint64_t offset, const OdsPlacement& each) { return offset < each.text; });
      if (place == placements.begin()) return;
      OdsCell& cell = cells[std::prev(place)->cell];
      for (std::size_t i = 0; i < hidden.size(); ++i) {
        if (hidden[i] != '*' || match.text[i] == '*') continue;
        const std::uint64_t pos = match.match.offset + i - std::prev(place)->text;
        const auto segment = std::find_if(
            cell.segments.begin(), cell.segments.end(),
            [&](const Segment& each) { return pos >= each.text && pos < each.text + each.length; });
        if (segment == cell.segments.end()) {
          unmapped = true;
          continue;
        }
        edited[segment->xml + (pos - segment->text)] = '*';
        cell.hidden = true;
      }
      ++found;
    });
  }
  if (!error.empty()) return false;
  if (unmapped) return (error = "a digit of a SIN is written as a character reference"), false;
  // Start tags change length: from the last to the first.
  for (auto cell = cells.rbegin(); cell != cells.rend(); ++cell) {
    if (!cell->hidden) continue;
    const std::string_view tag(edited.data() + cell->tagStart, cell->tagLength);
    const std::size_t attributes = tag.find_first_of(" \t\r\n");
    if (attributes == std::string_view::npos) continue;
    const std::string rewritten =
        std::string(tag.substr(0, attributes)) +
        AsTextCell(
            tag.substr(attributes, tag.size() - attributes - (tag.ends_with("/>") ? 2 : 1))) +
        (tag.ends_with("/>") ? "/>" : ">");
    edited.replace(cell->tagStart, cell->tagLength, rewritten);
  }
  redacted += found;
  if (found != 0) changed["content.xml"] = std::move(*copy);
  return true;
}

std::unique_ptr<Level> OpenOds(std::unique_ptr<ZipFile> zip, Walk& walk, std::string& error) {
  auto level = std::make_unique<OdsLevel>(std::move(zip), walk);
  if (!level->Open(error)) return nullptr;
  return level;
}

}  // namespace mivaro::detail
