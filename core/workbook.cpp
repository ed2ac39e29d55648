// SPDX-License-Identifier: Apache-2.0
// Workbooks: .xlsx (a sheet per member, strings shared in one table, numbers
// shown through their cells' formats) and .ods (every sheet in content.xml,
// each cell's text as shown). A number is written with the digits a person
// sees: 46454286 in a cell formatted "000 000 000" is "046 454 286".
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "core/office.h"

namespace mivaro::detail {
namespace {

// "C5": column 3, row 5; nothing when the reference is missing or odd.
bool ParseReference(std::optional<std::string_view> reference, std::uint64_t& row,
                    std::uint64_t& column) {
  if (!reference) return false;
  std::uint64_t letters = 0;
  std::size_t i = 0;
  for (; i < reference->size() && (*reference)[i] >= 'A' && (*reference)[i] <= 'Z'; ++i) {
    letters = letters * 26 + static_cast<std::uint64_t>((*reference)[i] - 'A' + 1);
    if (letters > kMostColumns) return false;
  }
  std::uint64_t number = 0;
  const std::string_view digits = reference->substr(i);
  if (letters == 0 ||
      std::from_chars(digits.data(), digits.data() + digits.size(), number).ec != std::errc{} ||
      number == 0 || number > kMostRows) {
    return false;
  }
  row = number;
  column = letters;
  return true;
}

// A number as its cell's format shows it, when the format is digits and
// literal text ("000 000 000", "000-000-000"); else as written.
std::string ShowNumber(std::string_view value, std::string_view format) {
  // A whole number written plainly, in a cell of no format, shows as it is.
  if (format.empty() && !value.empty() && value.size() < 16 && (value[0] != '0' || value == "0") &&
      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::string(value);
  }
  const std::string text(value);
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || number < 0 || number >= 1e15 ||
      number != std::floor(number)) {
    return text;
  }
  std::string digits = std::to_string(static_cast<std::uint64_t>(number));
  // The format's pattern: '0' and '#' take digits, the rest is literal.
  std::string pattern;
  std::size_t zeros = 0;
  for (std::size_t i = 0; i < format.size() && format[i] != ';'; ++i) {
    const char c = format[i];
    if (c == '\\' && i + 1 < format.size()) {
      pattern += '\x01';
      pattern += format[++i];
    } else if (c == '"') {
      for (++i; i < format.size() && format[i] != '"'; ++i) (pattern += '\x01') += format[i];
    } else if (c == '0' || c == '#') {
      zeros += c == '0' ? 1 : 0;
      pattern += c;
    } else if (c == ' ' || c == '-' || c == '(' || c == ')' || c == '/') {
      (pattern += '\x01') += c;
    } else {
      return digits;  // decimals, dates, exponents: the digits as they are
    }
  }
  if (zeros == 0) return digits;
  if (digits.size() < zeros) digits.insert(0, zeros - digits.size(), '0');
  std::string shown;
  std::size_t left = digits.size();
  for (std::size_t i = pattern.size(); i-- > 0;) {
    if (i > 0 && pattern[i - 1] == '\x01') {
      shown.insert(shown.begin(), pattern[i--]);
    } else if (left > 0) {
      shown.insert(shown.begin(), digits[--left]);
    }
  }
  return digits.substr(0, left) + shown;
}

// xl/sharedStrings.xml: every <si>'s text, phonetic runs left out.
class SharedStrings final : public XmlReader {
 public:
  SharedStrings(Bytes& input, Walk& walk) : XmlReader(input, walk.budget), walk_(walk) {}
  std::vector<std::string> strings;
  // Where each string's stretches lie in the XML, when asked for.
  std::vector<std::vector<Segment>>* maps = nullptr;

 private:
  void Start(std::string_view name, const XML_Char**) override {
    if (name == "si") {
      current_.clear();
      if (maps != nullptr) maps->emplace_back();
    }
    if (name == "t") ++inText_;
    if (name == "rPh") ++inPhonetic_;
  }
  void End(std::string_view name) override {
    if (name == "t") --inText_;
    if (name == "rPh") --inPhonetic_;
    if (name == "si") {
      // The strings are held for the whole workbook, within the limit.
      if (!walk_.budget.Take(current_.size() + sizeof(std::string))) {
        Pause();
        full_ = true;
        return;
      }
      held_.emplace_back(walk_.budget, current_.size() + sizeof(std::string));
      strings.push_back(current_);
    }
  }
  void Characters(std::string_view text) override {
    if (inText_ == 0 || inPhonetic_ != 0 || current_.size() >= kLongestCell) return;
    if (maps != nullptr && !maps->empty()) {
      if (const std::optional<std::uint64_t> raw = RawAt(text.size())) {
        maps->back().push_back({current_.size(), *raw, text.size()});
      }
    }
    current_ += text;
  }

 public:
  bool full_ = false;

 private:
  Walk& walk_;
  std::string current_;
  int inText_ = 0;
  int inPhonetic_ = 0;
  std::vector<Held> held_;
};

// What a workbook's small parts say of its sheets.
struct WorkbookFacts {
  std::vector<std::pair<std::string, std::string>> sheets;   // name, relation id
  std::vector<std::pair<std::string, std::string>> targets;  // relation id, path
  std::vector<std::string> cellFormats;                      // a format id per cell style
  std::vector<std::pair<std::string, std::string>> formats;  // id, code
};

// Reads a small part into the facts.
class WorkbookParts final : public XmlReader {
 public:
  enum class Part { Workbook, Relations, Styles };
  WorkbookParts(Bytes& input, Walk& walk, Part part, WorkbookFacts& facts)
      : XmlReader(input, walk.budget), part_(part), facts_(facts) {}

 private:
  void Start(std::string_view name, const XML_Char** attributes) override {
    const auto get = [&](std::string_view key) {
      return std::string(Attribute(attributes, key).value_or(""));
    };
    if (part_ == Part::Workbook && name == "sheet") {
      facts_.sheets.emplace_back(get("name"), get("id"));
    }
    if (part_ == Part::Relations && name == "Relationship") {
      facts_.targets.emplace_back(get("Id"), get("Target"));
    }
    if (part_ != Part::Styles) return;
    if (name == "numFmt") facts_.formats.emplace_back(get("numFmtId"), get("formatCode"));
    if (name == "cellXfs") inCellFormats_ = true;
    if (name == "xf" && inCellFormats_) facts_.cellFormats.push_back(get("numFmtId"));
  }
  void End(std::string_view name) override {
    if (name == "cellXfs") inCellFormats_ = false;
  }
  void Characters(std::string_view) override {}

  Part part_;
  WorkbookFacts& facts_;
  bool inCellFormats_ = false;
};

// Where a cell's text came from, kept when a sheet is to be redacted.
struct CellSource {
  std::uint64_t text = 0;            // where its text starts in the sheet's text
  std::string type;                  // its t attribute: "s" shared, "n" number, ...
  std::size_t shared = 0;            // "s": the string's index
  std::uint64_t start = 0, end = 0;  // the <c> element's bytes in the XML
  std::vector<Segment> segments;     // its own characters' places in the XML
  std::string shown;                 // "n": the number as shown
  std::string reference, style;      // its r and s attributes
  bool hidden = false;               // "n": shown has digits hidden
};

// An .xlsx sheet's cells.
class XlsxSheet final : public SheetText {
 public:
  // Keeps, as it reads, where each cell's text came from.
  void RecordInto(std::vector<CellSource>& sources) {
    sources_ = &sources;
    UseFastRoute(false);  // which does not say where each character lies
  }
  XlsxSheet(Bytes& input, Walk& walk, std::string name, const std::vector<std::string>& strings,
            const std::vector<std::string>& formats)
      : SheetText(input, walk), strings_(strings), formats_(formats) {
    UseFastRoute(true);
    NewSheet(std::move(name));
  }

 private:
  void Start(std::string_view name, const XML_Char** attributes) override {
    if (name == "row") {
      row_ = ParseCount(Attribute(attributes, "r"), row_ + 1, kMostRows);
      column_ = 0;
    } else if (name == "c") {
      std::uint64_t row = row_;
      if (!ParseReference(Attribute(attributes, "r"), row, column_)) ++column_;
      type_ = Attribute(attributes, "t").value_or("n");
      style_ = ParseCount(Attribute(attributes, "s"), 0, formats_.size() + 1);
      value_.clear();
      if (sources_ != nullptr) {
        source_ = CellSource{};
        source_.start = EventBytes().first;
        source_.reference = Attribute(attributes, "r").value_or("");
        source_.style = Attribute(attributes, "s").value_or("");
      }
    } else if (name == "v" || name == "t") {
      reading_ = true;
    }
  }
  void End(std::string_view name) override {
    if (name == "v" || name == "t") reading_ = false;
    if (name != "c") return;
    std::optional<std::uint64_t> at;
    if (type_ == "s") {
      std::size_t index = 0;
      if (std::from_chars(value_.data(), value_.data() + value_.size(), index).ec == std::errc{} &&
          index < strings_.size()) {
        at = Cell(row_, column_, strings_[index]);
        source_.shared = index;
      }
    } else if (type_ == "n") {
      source_.shown = ShowNumber(value_, style_ < formats_.size() ? formats_[style_] : "");
      at = Cell(row_, column_, source_.shown);
    } else {
      at = Cell(row_, column_, value_);
    }
    if (sources_ != nullptr && at) {
      const auto [start, count] = EventBytes();
      source_.text = *at;
      source_.type = type_;
      source_.end = start + count;
      sources_->push_back(std::move(source_));
    }
  }
  void Characters(std::string_view text) override {
    if (!reading_ || value_.size() >= kLongestCell) return;
    if (sources_ != nullptr) {
      if (const std::optional<std::uint64_t> raw = RawAt(text.size())) {
        source_.segments.push_back({value_.size(), *raw, text.size()});
      }
    }
    value_ += text;
  }

  const std::vector<std::string>& strings_;
  const std::vector<std::string>& formats_;
  std::uint64_t row_ = 0;
  std::uint64_t column_ = 0;
  std::string type_;
  std::size_t style_ = 0;
  std::string value_;
  bool reading_ = false;
  std::vector<CellSource>* sources_ = nullptr;
  CellSource source_;
};

std::string Resolve(std::string_view target) {
  if (target.starts_with('/')) return std::string(target.substr(1));
  return "xl/" + std::string(target);
}

// What the sheets of a workbook need: where they are, the shared strings
// and the cells' number formats.
struct Workbook {
  std::vector<std::pair<std::string, std::string>> sheets;  // name, member
  std::vector<std::string> strings;
  std::vector<std::vector<Segment>> stringMaps;  // when asked for
  std::vector<std::string> formats;
};

void ReadPart(ZipFile& zip, Walk& walk, const char* path, WorkbookParts::Part part,
              WorkbookFacts& facts, std::string& error) {
  if (!error.empty()) return;
  MemberBytes* bytes = zip.Read(path, error);
  if (bytes == nullptr) {
    error = std::string(path) + ": " + error;
    return;
  }
  WorkbookParts parts(*bytes, walk, part, facts);
  if (!parts.ParseAll()) error = std::string(path) + ": " + parts.Error();
}

bool ReadWorkbook(ZipFile& zip, Walk& walk, bool mapStrings, Workbook& book, std::string& error) {
  WorkbookFacts facts;
  ReadPart(zip, walk, "xl/workbook.xml", WorkbookParts::Part::Workbook, facts, error);
  ReadPart(zip, walk, "xl/_rels/workbook.xml.rels", WorkbookParts::Part::Relations, facts, error);
  if (zip.Has("xl/styles.xml")) {
    ReadPart(zip, walk, "xl/styles.xml", WorkbookParts::Part::Styles, facts, error);
  }
  if (!error.empty()) return false;
  for (const auto& [name, id] : facts.sheets) {
    for (const auto& [relation, target] : facts.targets) {
      if (relation == id) book.sheets.emplace_back(name, Resolve(target));
    }
  }
  for (const std::string& id : facts.cellFormats) {
    std::string code = id == "1" ? "0" : "";
    for (const auto& [formatId, formatCode] : facts.formats) {
      if (formatId == id) code = formatCode;
    }
    book.formats.push_back(std::move(code));
  }
  if (!zip.Has("xl/sharedStrings.xml")) return true;
  MemberBytes* bytes = zip.Read("xl/sharedStrings.xml", error);
  if (bytes == nullptr) return false;
  SharedStrings shared(*bytes, walk);
  if (mapStrings) shared.maps = &book.stringMaps;
  while (!shared.full_) {
    const XmlReader::Step step = shared.Parse();
    if (step == XmlReader::Step::Ended) break;
    if (step == XmlReader::Step::Failed) {
      error = "xl/sharedStrings.xml: " + shared.Error();
      return false;
    }
  }
  if (shared.full_) {
    error = "its strings need more than the memory limit of " +
            std::to_string(walk.budget.Most() >> 20) + " MiB";
    return false;
  }
  book.strings = std::move(shared.strings);
  return true;
}

class XlsxLevel final : public Level {
 public:
  XlsxLevel(std::unique_ptr<ZipFile> zip, Walk& walk) : zip_(std::move(zip)), walk_(walk) {}

  bool Open(std::string& error) { return ReadWorkbook(*zip_, walk_, false, book_, error); }

  std::optional<Member> Next() override {
    if (next_ == book_.sheets.size()) return std::nullopt;
    const auto& [name, path] = book_.sheets[next_++];
    sheet_.reset();
    std::string error;
    MemberBytes* bytes = zip_->Read(path, error);
    if (bytes == nullptr) {
      return Member::Failure("", "sheet " + name + ": " + error);
    }
    sheet_ = std::make_unique<XlsxSheet>(*bytes, walk_, name, book_.strings, book_.formats);
    return Member::OfText("", sheet_.get(), &sheet_->Index());
  }

 private:
  std::unique_ptr<ZipFile> zip_;
  Walk& walk_;
  Workbook book_;
  std::size_t next_ = 0;
  std::unique_ptr<XlsxSheet> sheet_;
};

// Writes '*' over the digits a match hides, in the text it came from.
class SheetRedaction {
 public:
  SheetRedaction(std::vector<CellSource>& cells, std::string& xml,
                 std::vector<std::set<std::size_t>>& strings)
      : cells_(cells), xml_(xml), strings_(strings) {}

  // Hides one character of a cell's text, at pos from the cell's start.
  void Hide(CellSource& cell, std::size_t pos) {
    if (cell.type == "s") {
      strings_[cell.shared].insert(pos);
    } else if (cell.type == "n") {
      if (pos < cell.shown.size()) cell.shown[pos] = '*';
      cell.hidden = true;
    } else if (!HideAt(cell.segments, pos, xml_)) {
      unmapped_ = true;
    }
  }
  bool Unmapped() const { return unmapped_; }

  // Hides the character at pos of a text whose stretches lie as segments say.
  static bool HideAt(const std::vector<Segment>& segments, std::size_t pos, std::string& xml) {
    for (const Segment& segment : segments) {
      if (pos >= segment.text && pos < segment.text + segment.length) {
        xml[segment.xml + (pos - segment.text)] = '*';
        return true;
      }
    }
    return false;
  }

  // Numbers that held a SIN become text cells with the hidden digits.
  void RewriteNumbers() {
    for (auto cell = cells_.rbegin(); cell != cells_.rend(); ++cell) {
      if (!cell->hidden) continue;
      std::string replaced = "<c r=\"" + cell->reference + "\"";
      if (!cell->style.empty()) replaced += " s=\"" + cell->style + "\"";
      replaced += " t=\"inlineStr\"><is><t>" + cell->shown + "</t></is></c>";
      xml_.replace(cell->start, cell->end - cell->start, replaced);
    }
  }

 private:
  std::vector<CellSource>& cells_;
  std::string& xml_;
  std::vector<std::set<std::size_t>>& strings_;
  bool unmapped_ = false;
};

}  // namespace

bool RedactXlsx(ZipFile& zip, const RedactOptions& options, Walk& walk, ChangedMembers& changed,
                std::uint64_t& redacted, std::string& error) {
  Workbook book;
  if (!ReadWorkbook(zip, walk, true, book, error)) return false;
  std::vector<std::set<std::size_t>> strings(book.strings.size());
  for (const auto& [name, path] : book.sheets) {
    Held held;
    std::optional<std::string> xml = zip.ReadWhole(path, held, error);
    if (!xml) return (error = "sheet " + name + ": " + error), false;
    MemoryBytes bytes(*xml);
    XlsxSheet sheet(bytes, walk, name, book.strings, book.formats);
    std::vector<CellSource> cells;
    sheet.RecordInto(cells);
    std::string text;
    Held heldText;
    if (!ReadAll(sheet, text, walk.budget, heldText, error)) return false;
    std::optional<Changed> copy = CopyToEdit(*xml, walk.budget, error);
    if (!copy) return (error = "sheet " + name + ": " + error), false;
    std::string& edited = copy->bytes;
    SheetRedaction redaction(cells, edited, strings);
    std::uint64_t found = 0;
    Searcher({.minimum = options.minimum}).Search(text, [&](const Found& match) {
      std::string hidden(match.text);
      RedactDigits(hidden.data(), hidden.size(), options.allDigits);
      const auto cell = std::upper_bound(
          cells.begin(), cells.end(), match.match.offset,
          [](std::uint64_t offset, const CellSource& each) { return offset < each.text; });
      if (cell == cells.begin()) return;
      for (std::size_t i = 0; i < hidden.size(); ++i) {
        if (hidden[i] == '*' && match.text[i] != '*') {
          redaction.Hide(*std::prev(cell), match.match.offset + i - std::prev(cell)->text);
        }
      }
      ++found;
    });
    if (redaction.Unmapped()) {
      return (error = "sheet " + name + ": a digit of a SIN is written as a character reference"),
             false;
    }
    redaction.RewriteNumbers();
    redacted += found;
    if (found != 0) changed[path] = std::move(*copy);
  }
  if (std::all_of(strings.begin(), strings.end(), [](const auto& each) { return each.empty(); })) {
    return true;
  }
  Held held;
  std::optional<std::string> xml = zip.ReadWhole("xl/sharedStrings.xml", held, error);
  if (!xml) return false;
  for (std::size_t k = 0; k < strings.size(); ++k) {
    for (const std::size_t pos : strings[k]) {
      if (k >= book.stringMaps.size() || !SheetRedaction::HideAt(book.stringMaps[k], pos, *xml)) {
        return (error = "a shared string's digit is written as a character reference"), false;
      }
    }
  }
  changed["xl/sharedStrings.xml"] = Changed{std::move(*xml), std::move(held)};
  return true;
}

std::unique_ptr<Level> OpenXlsx(std::unique_ptr<ZipFile> zip, Walk& walk, std::string& error) {
  auto level = std::make_unique<XlsxLevel>(std::move(zip), walk);
  if (!level->Open(error)) return nullptr;
  return level;
}

}  // namespace mivaro::detail
