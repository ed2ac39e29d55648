// SPDX-License-Identifier: Apache-2.0
// Office Open XML and OpenDocument files: zips of XML. A workbook (.xlsx,
// .ods) yields a text per sheet, its rows as lines and its cells joined by
// tabs, so that a header row naming a SIN column is read as in any table;
// a document (.docx, .pptx, .odt, .odp) yields a text per part, its
// paragraphs as lines.
#pragma once

#include <charconv>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/archive_reader.h"
#include "core/xml_reader.h"

namespace mivaro::detail {

// Opens a zip as the workbook or document it is, naming its format; nothing
// for any other zip, and nothing with error set when it is one but cannot
// be read.
std::unique_ptr<Level> OpenOffice(std::unique_ptr<ZipFile> zip, Walk& walk,
                                  std::string_view& format, std::string& error);

// A member's new contents, with the memory they take from the budget.
struct Changed {
  std::string bytes;
  Held held;
};
using ChangedMembers = std::map<std::string, Changed>;

// A copy of XML to edit, its memory taken from the budget; nothing, saying
// why, past the limit.
inline std::optional<Changed> CopyToEdit(std::string_view xml, MemoryBudget& budget,
                                         std::string& error) {
  if (!budget.Take(xml.size())) {
    error = "needs more than the memory limit of " + std::to_string(budget.Most() >> 20) +
            " MiB to be redacted";
    return std::nullopt;
  }
  return Changed{std::string(xml), Held(budget, xml.size())};
}

std::unique_ptr<Level> OpenXlsx(std::unique_ptr<ZipFile> zip, Walk& walk, std::string& error);
// Redacts a workbook's sheets and shared strings as their text shows them:
// the new contents of each member it changed, by name. A number that held
// a SIN becomes a text cell with the hidden digits.
bool RedactXlsx(ZipFile& zip, const RedactOptions& options, Walk& walk, ChangedMembers& changed,
                std::uint64_t& redacted, std::string& error);
// Redacts an .ods workbook's content.xml as its sheets' text shows it; a
// cell whose number showed a SIN becomes a text cell.
bool RedactOds(ZipFile& zip, const RedactOptions& options, Walk& walk, ChangedMembers& changed,
               std::uint64_t& redacted, std::string& error);
std::unique_ptr<Level> OpenOds(std::unique_ptr<ZipFile> zip, Walk& walk, std::string& error);

// The kind of Office or OpenDocument file a zip's members make ("docx",
// "pptx", "xlsx", "odt", "odp", "ods"), or "" for any other zip.
std::string_view OfficeFormat(ZipFile& zip);

// The parts of a document whose text a scan reads, the body first.
std::vector<std::string> DocumentParts(std::string_view format, const ZipFile& zip);

// Redacts a document part's XML in place: the SINs its text holds have
// their digits written over where the XML holds them. False, saying why,
// when a digit to hide is written as a character reference.
bool RedactPart(std::string& xml, std::string_view format, const RedactOptions& options, Walk& walk,
                std::uint64_t& redacted, std::string& error);

// Where each cell of a sheet's text starts, kept for as long as a match may
// still be found in it.
class CellIndex final : public Locator {
 public:
  void Add(std::uint64_t offset, std::uint64_t row, std::uint64_t column);
  // Forgets the cells that end before offset, which no match can reach.
  void Forget(std::uint64_t offset);
  void Clear() { cells_.clear(); }
  void SetSheet(std::string sheet) { sheet_ = std::move(sheet); }
  Place Locate(const Found& found) override;

 private:
  struct Cell {
    std::uint64_t offset;
    std::uint32_t row;
    std::uint32_t column;
  };
  std::deque<Cell> cells_;
  std::string sheet_;
};

// Writes a sheet's cells as text: a line per row that has any, cells joined
// by tabs at their columns' places, each cell's text on one line.
class SheetWriter {
 public:
  SheetWriter(CellIndex& index) : index_(index) {}
  void Reset() {
    rows_ = 0;
    row_ = 0;
    column_ = 0;
  }
  // Writes a cell at row and column (from 1) into out, which follows
  // `before` bytes of the text already written; returns where in the text
  // the cell's text starts.
  std::uint64_t Cell(std::uint64_t row, std::uint64_t column, std::string_view text,
                     std::string& out, std::uint64_t before);

 private:
  CellIndex& index_;
  std::uint64_t rows_ = 0;    // rows written
  std::uint64_t row_ = 0;     // the row being written
  std::uint64_t column_ = 0;  // its last column written
};

// Where a stretch of a part's text lies in its XML.
struct Segment {
  std::uint64_t text;
  std::uint64_t xml;
  std::uint64_t length;
};

// The most rows and columns a sheet has, in either format.
inline constexpr std::uint64_t kMostRows = 1048576;
inline constexpr std::uint64_t kMostColumns = 16384;
// The most text kept of one cell: a spreadsheet's own limit.
inline constexpr std::size_t kLongestCell = 32767;

// A sheet being read into text, with the index of its cells.
class SheetText : public XmlReader, public XmlTextStream {
 public:
  SheetText(Bytes& input, Walk& walk)
      : XmlReader(input, walk.budget),
        XmlTextStream(static_cast<XmlReader&>(*this), walk.options.limits),
        writer_(index_) {}
  CellIndex& Index() { return index_; }

 protected:
  // Writes a cell; returns where its text starts, or nothing when it has none.
  std::optional<std::uint64_t> Cell(std::uint64_t row, std::uint64_t column,
                                    std::string_view text) {
    if (text.empty() || Full()) return std::nullopt;
    // Cells well behind the text read so far are past any match.
    constexpr std::uint64_t kBehind = std::uint64_t{1} << 20;
    if (Written() > kBehind) index_.Forget(Written() - kBehind);
    return writer_.Cell(row, column, text, Out(), Written());
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

inline std::uint64_t ParseCount(std::optional<std::string_view> text, std::uint64_t fallback,
                                std::uint64_t most) {
  std::uint64_t value = 0;
  if (!text ||
      std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc{}) {
    return fallback;
  }
  return std::clamp<std::uint64_t>(value, 1, most);
}

}  // namespace mivaro::detail
