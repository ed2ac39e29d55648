// SPDX-License-Identifier: Apache-2.0
// Workbooks: .xlsx (a sheet per member, strings shared in one table, numbers
// shown through their cells' formats) and .ods (every sheet in content.xml,
// each cell's text as shown). A number is written with the digits a person
// sees: 46454286 in a cell formatted "000 000 000" is "046 454 286".
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/office.h"

namespace mivaro::detail {
namespace {

// A sheet being read into text, with the index of its cells.
class SheetText : public XmlReader, public XmlTextStream {
 public:
  SheetText(Bytes& input, Walk& walk)
      : XmlReader(input, walk.budget),
        XmlTextStream(static_cast<XmlReader&>(*this), walk.options.limits),
        writer_(index_) {}
  CellIndex& Index() { return index_; }

 protected:
  void Cell(std::uint64_t row, std::uint64_t column, std::string_view text) {
    if (text.empty() || Full()) return;
    // Cells well behind the text read so far are past any match.
    constexpr std::uint64_t kBehind = std::uint64_t{1} << 20;
    if (Written() > kBehind) index_.Forget(Written() - kBehind);
    writer_.Cell(row, column, text, Out(), Written());
  }
  void NewSheet(std::string name) {
    Restart();
    SetContext("sheet " + name + ": ");
    index_.Clear();
    index_.SetSheet(std::move(name));
    writer_.Reset();
  }

 private:
  CellIndex index_;
  SheetWriter writer_;
};

std::uint64_t ParseCount(std::optional<std::string_view> text, std::uint64_t fallback,
                         std::uint64_t most) {
  std::uint64_t value = 0;
  if (!text ||
      std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc{}) {
    return fallback;
  }
  return std::clamp<std::uint64_t>(value, 1, most);
}

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

 private:
  void Start(std::string_view name, const XML_Char**) override {
    if (name == "si") current_.clear();
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
    if (inText_ > 0 && inPhonetic_ == 0 && current_.size() < kLongestCell) current_ += text;
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

// An .xlsx sheet's cells.
class XlsxSheet final : public SheetText {
 public:
  XlsxSheet(Bytes& input, Walk& walk, std::string name, const std::vector<std::string>& strings,
            const std::vector<std::string>& formats)
      : SheetText(input, walk), strings_(strings), formats_(formats) {
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
    } else if (name == "v" || name == "t") {
      reading_ = true;
    }
  }
  void End(std::string_view name) override {
    if (name == "v" || name == "t") reading_ = false;
    if (name != "c") return;
    if (type_ == "s") {
      std::size_t index = 0;
      if (std::from_chars(value_.data(), value_.data() + value_.size(), index).ec == std::errc{} &&
          index < strings_.size()) {
        Cell(row_, column_, strings_[index]);
      }
    } else if (type_ == "n") {
      Cell(row_, column_, ShowNumber(value_, style_ < formats_.size() ? formats_[style_] : ""));
    } else {
      Cell(row_, column_, value_);
    }
  }
  void Characters(std::string_view text) override {
    if (reading_ && value_.size() < kLongestCell) value_ += text;
  }

  const std::vector<std::string>& strings_;
  const std::vector<std::string>& formats_;
  std::uint64_t row_ = 0;
  std::uint64_t column_ = 0;
  std::string type_;
  std::size_t style_ = 0;
  std::string value_;
  bool reading_ = false;
};

std::string Resolve(std::string_view target) {
  if (target.starts_with('/')) return std::string(target.substr(1));
  return "xl/" + std::string(target);
}

class XlsxLevel final : public Level {
 public:
  XlsxLevel(std::unique_ptr<ZipFile> zip, Walk& walk) : zip_(std::move(zip)), walk_(walk) {}

  bool Open(std::string& error) {
    WorkbookFacts facts;
    ReadPart("xl/workbook.xml", WorkbookParts::Part::Workbook, facts, error);
    ReadPart("xl/_rels/workbook.xml.rels", WorkbookParts::Part::Relations, facts, error);
    if (zip_->Has("xl/styles.xml")) {
      ReadPart("xl/styles.xml", WorkbookParts::Part::Styles, facts, error);
    }
    if (!error.empty()) return false;
    for (const auto& [name, id] : facts.sheets) {
      for (const auto& [relation, target] : facts.targets) {
        if (relation == id) sheets_.emplace_back(name, Resolve(target));
      }
    }
    {
      for (const std::string& id : facts.cellFormats) {
        std::string code = id == "1" ? "0" : "";
        for (const auto& [formatId, formatCode] : facts.formats) {
          if (formatId == id) code = formatCode;
        }
        formats_.push_back(std::move(code));
      }
    }
    if (zip_->Has("xl/sharedStrings.xml")) {
      MemberBytes* bytes = zip_->Read("xl/sharedStrings.xml", error);
      if (bytes == nullptr) return false;
      SharedStrings shared(*bytes, walk_);
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
                std::to_string(walk_.budget.Most() >> 20) + " MiB";
        return false;
      }
      strings_ = std::move(shared.strings);
    }
    return error.empty();
  }

  std::optional<Member> Next() override {
    if (next_ == sheets_.size()) return std::nullopt;
    const auto& [name, path] = sheets_[next_++];
    sheet_.reset();
    std::string error;
    MemberBytes* bytes = zip_->Read(path, error);
    if (bytes == nullptr) {
      return Member::Failure("", "sheet " + name + ": " + error);
    }
    sheet_ = std::make_unique<XlsxSheet>(*bytes, walk_, name, strings_, formats_);
    return Member::OfText("", sheet_.get(), &sheet_->Index());
  }

 private:
  void ReadPart(const char* path, WorkbookParts::Part part, WorkbookFacts& facts,
                std::string& error) {
    if (!error.empty()) return;
    MemberBytes* bytes = zip_->Read(path, error);
    if (bytes == nullptr) {
      error = std::string(path) + ": " + error;
      return;
    }
    WorkbookParts parts(*bytes, walk_, part, facts);
    if (!parts.ParseAll()) error = std::string(path) + ": " + parts.Error();
  }

  std::unique_ptr<ZipFile> zip_;
  Walk& walk_;
  std::vector<std::pair<std::string, std::string>> sheets_;  // name, member
  std::vector<std::string> strings_;
  std::vector<std::string> formats_;
  std::size_t next_ = 0;
  std::unique_ptr<XlsxSheet> sheet_;
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
      if (!text_.empty()) cells_.push_back({column_ + 1, cellRepeat_, text_});
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
            Cell(row_, cell.column + k, cell.text);
          }
        }
      }
    }
  }

  void Characters(std::string_view text) override {
    if (inCell_ && paragraphs_ > 0 && text_.size() < kLongestCell) text_ += text;
  }

  struct RepeatedCell {
    std::uint64_t column;
    std::uint64_t repeat;
    std::string text;
  };
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

}  // namespace

std::unique_ptr<Level> OpenXlsx(std::unique_ptr<ZipFile> zip, Walk& walk, std::string& error) {
  auto level = std::make_unique<XlsxLevel>(std::move(zip), walk);
  if (!level->Open(error)) return nullptr;
  return level;
}

std::unique_ptr<Level> OpenOds(std::unique_ptr<ZipFile> zip, Walk& walk, std::string& error) {
  auto level = std::make_unique<OdsLevel>(std::move(zip), walk);
  if (!level->Open(error)) return nullptr;
  return level;
}

}  // namespace mivaro::detail
