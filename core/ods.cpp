// SPDX-License-Identifier: Apache-2.0
// OpenDocument workbooks (.ods): every sheet in content.xml, each cell's
// text as shown in its paragraphs, repeated rows and columns written out
// as far as they hold text.
#include "core/office.h"

namespace mivaro::detail {
namespace {

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

std::unique_ptr<Level> OpenOds(std::unique_ptr<ZipFile> zip, Walk& walk, std::string& error) {
  auto level = std::make_unique<OdsLevel>(std::move(zip), walk);
  if (!level->Open(error)) return nullptr;
  return level;
}

}  // namespace mivaro::detail
