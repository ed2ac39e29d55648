// SPDX-License-Identifier: Apache-2.0
#include "cli/records.h"

#include <fmt/format.h>
#include <mivaro/record.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "cli/csv.h"
#include "cli/escape.h"
#include "cli/report.h"
#include "text/utf8.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

// Columns of the text format; the input column shows at most this many
// characters, a longer entry ends in an ellipsis.
constexpr std::size_t kInputColumn = 16;

// Appends a check sum, 0 to 81.
void AppendSum(TextBuffer& out, int sum) {
  if (sum >= 10) out += static_cast<char>('0' + sum / 10);
  out += static_cast<char>('0' + sum % 10);
}

// Writes a check sum (0 to 81) right-aligned in three columns, two digits at most.
char* WriteSum(char* at, int sum) {
  at[0] = ' ';
  at[1] = sum >= 10 ? static_cast<char>('0' + sum / 10) : ' ';
  at[2] = static_cast<char>('0' + sum % 10);
  return at + 3;
}

// Everything a record of a well-formed number says after its check sum
// depends only on its group and whether it passed, so it is written once per
// group and format and copied from then on.
struct GroupTails {
  std::array<std::string, 2> text;  // by IsValid: group column, details, newline
  std::string csv;                  // group and regions to the end of the row
};

const GroupTails& TailsOf(RegionGroup group) {
  static const std::array<GroupTails, kGroups.size()> kTails = [] {
    std::array<GroupTails, kGroups.size()> tails;
    for (std::size_t index = 0; index < tails.size(); ++index) {
      const RegionGroup each = kGroups[index];
      const std::string_view name = GroupName(each);
      const std::string_view words = RegionWords(each);
      const auto series = SeriesName(each);
      for (const bool valid : {false, true}) {
        // A series is named only for a number that passes, as the window does.
        std::string details =
            series ? (valid ? "series: " + std::string(*series) : "") : std::string(words);
        std::string& text = tails[index].text[valid ? 1 : 0];
        text = fmt::format("{:<15}{}", name, details);
        while (text.back() == ' ') text.pop_back();
        text += '\n';
      }
      tails[index].csv = fmt::format(",{},{},\r\n", name, words);
    }
    return tails;
  }();
  return kTails[static_cast<std::size_t>(group) - static_cast<std::size_t>(kGroups.front())];
}

// Fields are written by hand rather than through format strings: this is the
// hot path of bulk validation, and {fmt}'s padding measures the display width
// of every string, which costs more than all the checking.
class TextWriter final : public RecordWriter {
 public:
  TextWriter(std::FILE* stream, bool mask) : RecordWriter(stream, mask) {}

  void Header() override {
    Buffer() += "INPUT             NUMBER     RESULT     CHECK      SUM  GROUP          DETAILS\n";
  }

  void Write(const Record& record) override {
    TextBuffer& out = Buffer();
    AppendInputColumn(out, ShownInput(record));
    if (record.IsMalformed()) {
      out += "-          malformed  -            -  -              "sv;
      out += ErrorWords(record.result.error);
      out += '\n';
    } else {
      // NUMBER, RESULT and CHECK are eleven columns each, SUM three and two
      // spaces.
      char* at = out.Extend(3 * 11 + 5);
      std::memcpy(at, ShownNumber(record).data(), kNumberLength);
      std::memcpy(at + 9, "  ", 2);
      std::memcpy(at + 11, record.result.valid ? "valid      " : "invalid    ", 11);
      if (Masks()) {
        std::memcpy(at + 22, "-          ", 11);
      } else {
        std::memcpy(at + 22, record.result.check.data(), kNumberLength);
        std::memcpy(at + 31, "  ", 2);
      }
      std::memcpy(WriteSum(at + 33, record.result.sum), "  ", 2);
      out += TailsOf(*record.result.group).text[record.result.valid ? 1 : 0];
    }
    MaybeFlush();
  }

  void Summary(const Tally& tally) override {
    Buffer() += SummaryLine(tally);
    Buffer() += '\n';
  }

 private:
  // The entry, printable, padded by the columns its characters take on a
  // terminal. One pass: runs of characters that show as themselves are
  // copied whole, each other one is written as U+FFFD (one column).
  void AppendInputColumn(TextBuffer& out, std::string_view input) {
    if (input.size() <= kInputColumn && IsPrintableAscii(input)) {
      out += input;
      out.Fill(kInputColumn + 2 - input.size(), ' ');
      return;
    }
    const std::size_t start = out.size();
    std::size_t run = 0;  // where the characters not yet copied start
    std::size_t width = 0;
    std::size_t at = 0;
    // Leaves by returning, or by breaking out when the entry is too wide.
    while (true) {
      const std::size_t ascii = at;  // printable ASCII runs take one column a byte
      while (at < input.size() && kPrintableAscii[static_cast<unsigned char>(input[at])]) ++at;
      width += at - ascii;
      if (width > kInputColumn) break;
      if (at == input.size()) {
        out += input.substr(run);
        out.Fill(kInputColumn + 2 - width, ' ');
        return;
      }
      const text::Utf8Step step = text::DecodeUtf8(input, at);
      const Shown shown = step.valid ? ShownAs(step.codePoint) : Shown{false, 0};
      width += shown.printable ? shown.width : 1;
      if (width > kInputColumn) break;
      if (!shown.printable) {
        out += input.substr(run, at - run);
        out += kReplacement;
        run = at + step.length;
      }
      at += step.length;
    }
    out.Truncate(start);
    AppendCutColumn(out, input);
  }

  // An entry wider than the column: as many characters as leave room for an
  // ellipsis, the ellipsis, and the padding.
  static void AppendCutColumn(TextBuffer& out, std::string_view input) {
    std::size_t width = 0;
    std::size_t at = 0;
    while (at < input.size()) {
      const text::Utf8Step step = text::DecodeUtf8(input, at);
      const bool shown = step.valid && !IsUnprintable(step.codePoint);
      const std::size_t columns = shown ? ColumnWidth(step.codePoint) : 1;
      if (width + columns >= kInputColumn) break;
      width += columns;
      at += step.length;
    }
    AppendPrintable(out, input.substr(0, at));
    out += "\xE2\x80\xA6"sv;  // U+2026 HORIZONTAL ELLIPSIS
    out.Fill(kInputColumn + 1 - width, ' ');
  }
};

class JsonWriter final : public RecordWriter {
 public:
  JsonWriter(std::FILE* stream, bool mask) : RecordWriter(stream, mask) {}

  void Header() override {}

  void Write(const Record& record) override {
    TextBuffer& out = Buffer();
    const std::string_view input = ShownInput(record);
    const std::size_t room = RecordJsonBound(input.size()) + 1;
    char* at = out.Extend(room);
    const std::size_t written =
        WriteRecordJson(at, input, record.result, Masks(), ErrorWords(record.result.error));
    at[written] = '\n';
    out.Truncate(out.size() - room + written + 1);
    MaybeFlush();
  }

  void Summary(const Tally& tally) override {
    fmt::format_to(std::back_inserter(Buffer()),
                   "{{\"summary\":{{\"valid\":{},\"invalid\":{},\"malformed\":{}}}}}\n",
                   tally.valid, tally.invalid, tally.malformed);
  }
};

// RFC 4180: CRLF after every row, fields quoted when they hold a comma, a
// quote or a line break, quotes inside doubled.
class CsvWriter final : public RecordWriter {
 public:
  CsvWriter(std::FILE* stream, std::FILE* summaryStream, bool mask)
      : RecordWriter(stream, mask), summaryStream_(summaryStream) {}

  void Header() override {
    for (const std::string_view field : kRecordFields) {
      if (field != kRecordFields.front()) Buffer() += ',';
      Buffer() += field;
    }
    Buffer() += "\r\n"sv;
  }

  void Write(const Record& record) override {
    TextBuffer& out = Buffer();
    const std::string_view input = ShownInput(record);
    if (IsPrintableAscii(input)) {
      AppendCsvField(out, input, ',');
    } else {
      scratch_.clear();
      AppendPrintable(scratch_, input);
      AppendCsvField(out, scratch_.View(), ',');
    }
    if (record.IsMalformed()) {
      out += ",,false,,,,,"sv;
      out += ErrorWords(record.result.error);
      out += "\r\n"sv;
    } else {
      out += ',';
      out += ShownNumber(record);
      out += record.result.valid ? ",true,"sv : ",false,"sv;
      if (!Masks()) out += record.result.CheckText();
      out += ',';
      AppendSum(out, record.result.sum);
      out += TailsOf(*record.result.group).csv;
    }
    MaybeFlush();
  }

  void Summary(const Tally& tally) override { Report(summaryStream_, SummaryLine(tally)); }

 private:
  std::FILE* summaryStream_;
  TextBuffer scratch_;
};

}  // namespace

Record RecordOf(const ParsedEntry& entry) {
  return Record{entry.input, entry.result, entry.digitCount};
}

void Tally::Count(const Record& record) {
  if (record.IsMalformed()) {
    ++malformed;
  } else if (record.result.valid) {
    ++valid;
  } else {
    ++invalid;
  }
}

std::unique_ptr<RecordWriter> RecordWriter::Create(RecordFormat format, std::FILE* stream,
                                                   std::FILE* summaryStream, bool mask) {
  switch (format) {
    case RecordFormat::Json:
      return std::make_unique<JsonWriter>(stream, mask);
    case RecordFormat::Csv:
      return std::make_unique<CsvWriter>(stream, summaryStream, mask);
    case RecordFormat::Text:
      break;
  }
  return std::make_unique<TextWriter>(stream, mask);
}

std::string_view RecordWriter::ShownInput(const Record& record) {
  if (!mask_) return record.input;
  // The echo is a prefix of the entry, and masking keeps every character in
  // its place, so masking the cut echo is cutting the masked entry.
  maskedInput_.clear();
  AppendMasked(maskedInput_, record.input, record.digitCount);
  return maskedInput_.View();
}

std::string_view RecordWriter::ShownNumber(const Record& record) {
  if (!mask_) return record.result.NumberText();
  maskedNumber_.clear();
  AppendMasked(maskedNumber_, record.result.NumberText(), kNumberLength);
  return maskedNumber_.View();
}

void AppendMasked(TextBuffer& out, std::string_view text, std::size_t digitCount) {
  out += MaskDigits(text, HiddenDigits(digitCount));
}

std::string SummaryLine(const Tally& tally) {
  return fmt::format("summary: {} valid, {} invalid, {} malformed", tally.valid, tally.invalid,
                     tally.malformed);
}

}  // namespace mivaro::cli
