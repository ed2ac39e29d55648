// SPDX-License-Identifier: Apache-2.0
#include "cli/records.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "cli/report.h"
#include "cli/utf8.h"
#include "core/utf8.h"

namespace mivaro::cli {
namespace {

using namespace std::string_view_literals;

constexpr std::size_t kFlushAt = std::size_t{64} * 1024;

// Columns of the text format; the input column shows at most this many
// characters, a longer entry ends in an ellipsis.
constexpr std::size_t kInputColumn = 16;

void AppendInteger(TextBuffer& out, std::uint64_t value) {
  const fmt::format_int text(value);
  out.Append(text.data(), text.size());
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
  std::string words;                // the region captions, "NB PEI NF NS"
  std::array<std::string, 2> text;  // by IsValid: group column, details, newline
  std::string json;                 // "group", "regions" and "error" to the end
  std::string csv;                  // group and regions to the end of the row
};

const GroupTails& TailsOf(RegionGroup group) {
  static const std::array<GroupTails, 8> kTails = [] {
    std::array<GroupTails, 8> tails;
    for (std::size_t index = 0; index < tails.size(); ++index) {
      const auto each = static_cast<RegionGroup>(index);
      std::string words;
      std::string json;
      for (const RegionBox& box : kRegionBoxes) {
        if (box.Group != each) continue;
        words += words.empty() ? "" : " ";
        words += box.Caption;
        json += json.empty() ? "\"" : ",\"";
        json += box.Caption;
        json += '"';
      }
      const std::string_view name = RegionGroupName(each);
      const auto series = SeriesName(each);
      for (const bool valid : {false, true}) {
        // A series is named only for a number that passes, as the window does.
        std::string details = series ? (valid ? "series: " + std::string(*series) : "") : words;
        std::string& text = tails[index].text[valid ? 1 : 0];
        text = fmt::format("{:<15}{}", name, details);
        while (text.back() == ' ') text.pop_back();
        text += '\n';
      }
      tails[index].json =
          fmt::format(R"(,"group":"{}","regions":[{}],"error":null}})", name, json) + "\n";
      tails[index].csv = fmt::format(",{},{},\r\n", name, words);
      tails[index].words = std::move(words);
    }
    return tails;
  }();
  return kTails[static_cast<std::size_t>(group)];
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
      out += MalformedText(record.error);
      out += '\n';
    } else {
      // NUMBER, RESULT and CHECK are eleven columns each, SUM three and two
      // spaces.
      char* at = out.Extend(3 * 11 + 5);
      std::memcpy(at, ShownNumber(record).data(), kNumberLength);
      std::memcpy(at + 9, "  ", 2);
      std::memcpy(at + 11, record.result.IsValid ? "valid      " : "invalid    ", 11);
      if (Masks()) {
        std::memcpy(at + 22, "-          ", 11);
      } else {
        std::memcpy(at + 22, record.result.CheckString.data(), kNumberLength);
        std::memcpy(at + 31, "  ", 2);
      }
      std::memcpy(WriteSum(at + 33, record.result.CheckSum), "  ", 2);
      out += TailsOf(*record.group).text[record.result.IsValid ? 1 : 0];
    }
    MaybeFlush();
  }

  void Summary(const Tally& tally) override {
    fmt::format_to(std::back_inserter(Buffer()), "summary: {} valid, {} invalid, {} malformed\n",
                   tally.valid, tally.invalid, tally.malformed);
  }

 private:
  // The entry, printable, cut to the column with an ellipsis, then padded.
  void AppendInputColumn(TextBuffer& out, std::string_view input) {
    if (input.size() <= kInputColumn && IsPrintableAscii(input)) {
      out += input;
      out.Fill(kInputColumn + 2 - input.size(), ' ');
      return;
    }
    scratch_.clear();
    AppendPrintable(scratch_, input);
    // Valid UTF-8 now: every byte but a continuation byte starts a character.
    const std::string_view shownText = scratch_.View();
    const auto startsCharacter = [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    };
    std::size_t shown = 0;
    std::size_t lastStart = 0;                // where the column's last character starts
    std::size_t overflow = shownText.size();  // where the first one past the column starts
    for (std::size_t at = 0; at < shownText.size(); ++at) {
      if (!startsCharacter(shownText[at])) continue;
      if (shown == kInputColumn - 1) lastStart = at;
      if (shown == kInputColumn) {
        overflow = at;
        break;
      }
      ++shown;
    }
    if (overflow < shownText.size()) {
      // Too long: keep one character less and end in U+2026 HORIZONTAL ELLIPSIS.
      out += shownText.substr(0, lastStart);
      out += "\xE2\x80\xA6"sv;
      shown = kInputColumn;
    } else {
      out += shownText;
    }
    out.Fill(kInputColumn + 2 - shown, ' ');
  }

  TextBuffer scratch_;
};

class JsonWriter final : public RecordWriter {
 public:
  JsonWriter(std::FILE* stream, bool mask) : RecordWriter(stream, mask) {}

  void Header() override {}

  void Write(const Record& record) override {
    TextBuffer& out = Buffer();
    out += R"({"input":")"sv;
    AppendJsonEscaped(out, ShownInput(record));
    if (record.IsMalformed()) {
      out += R"(","number":null,"valid":false,"check":null,"sum":null,"group":null,)"
             R"("regions":[],"error":")"sv;
      out += MalformedText(record.error);
      out += "\"}\n"sv;
    } else {
      out += R"(","number":")"sv;
      out += ShownNumber(record);
      out +=
          record.result.IsValid ? R"(","valid":true,"check":)"sv : R"(","valid":false,"check":)"sv;
      if (Masks()) {
        out += "null"sv;
      } else {
        out += '"';
        out += record.result.CheckString;
        out += '"';
      }
      out += R"(,"sum":)"sv;
      AppendInteger(out, static_cast<std::uint64_t>(record.result.CheckSum));
      out += TailsOf(*record.group).json;
    }
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

  void Header() override { Buffer() += "input,number,valid,check,sum,group,regions,error\r\n"sv; }

  void Write(const Record& record) override {
    TextBuffer& out = Buffer();
    scratch_.clear();
    AppendPrintable(scratch_, ShownInput(record));
    AppendCsvField(out, scratch_.View(), ',');
    if (record.IsMalformed()) {
      out += ",,false,,,,,"sv;
      out += MalformedText(record.error);
      out += "\r\n"sv;
    } else {
      out += ',';
      out += ShownNumber(record);
      out += record.result.IsValid ? ",true,"sv : ",false,"sv;
      if (!Masks()) out += record.result.CheckString;
      out += ',';
      AppendInteger(out, static_cast<std::uint64_t>(record.result.CheckSum));
      out += TailsOf(*record.group).csv;
    }
    MaybeFlush();
  }

  void Summary(const Tally& tally) override {
    Report(summaryStream_, "summary: {} valid, {} invalid, {} malformed", tally.valid,
           tally.invalid, tally.malformed);
  }

 private:
  std::FILE* summaryStream_;
  TextBuffer scratch_;
};

}  // namespace

Record CheckEntry(const ParsedEntry& entry) {
  Record record;
  record.input = entry.input;
  record.error = entry.error;
  record.digitCount = entry.digitCount;
  if (record.IsMalformed()) return record;
  record.number = entry.digits;
  // Every slot the evaluation reads is rewritten for a nine-digit number, so
  // the tables are made once rather than for every record.
  thread_local DigitSlots digits = EmptyDigitSlots();
  thread_local WeightedSlots weighted = EmptyWeightedSlots();
  record.result = EvaluateNumber(record.number, digits, weighted);
  record.group = RegionForDigit(record.number.front());
  return record;
}

void Tally::Count(const Record& record) {
  if (record.IsMalformed()) {
    ++malformed;
  } else if (record.result.IsValid) {
    ++valid;
  } else {
    ++invalid;
  }
}

std::unique_ptr<RecordWriter> RecordWriter::Create(Format format, std::FILE* stream,
                                                   std::FILE* summaryStream, bool mask) {
  switch (format) {
    case Format::Json:
      return std::make_unique<JsonWriter>(stream, mask);
    case Format::Csv:
      return std::make_unique<CsvWriter>(stream, summaryStream, mask);
    case Format::Text:
      break;
  }
  return std::make_unique<TextWriter>(stream, mask);
}

std::string_view RecordWriter::ShownInput(const Record& record) {
  if (!mask_) return record.input;
  // The echo is a prefix of the entry, and masking keeps every character in
  // its place, so masking the cut echo is cutting the masked entry.
  maskedInput_.clear();
  AppendMasked(maskedInput_, record.input, HiddenDigits(record.digitCount));
  return maskedInput_.View();
}

std::string_view RecordWriter::ShownNumber(const Record& record) {
  if (!mask_) return record.number;
  maskedNumber_.clear();
  AppendMasked(maskedNumber_, record.number, HiddenDigits(kNumberLength));
  return maskedNumber_.View();
}

void AppendMasked(TextBuffer& out, std::string_view text, std::size_t hidden) {
  for (const char c : text) {
    const bool hide = hidden > 0 && c >= '0' && c <= '9';
    out += hide ? '*' : c;
    hidden -= hide ? 1 : 0;
  }
}

std::string_view RegionWords(RegionGroup group) {
  return TailsOf(group).words;
}

void AppendCsvField(TextBuffer& out, std::string_view field, char delimiter, CellOrigin origin,
                    Quoting quoting) {
  // A cell that starts like a formula would run as one when a spreadsheet
  // opens the file; a leading apostrophe makes it text (OWASP's advice).
  const bool formula = origin == CellOrigin::Tool && !field.empty() &&
                       std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
  bool special = false;
  for (const char c : field) {  // no branch: most cells are short
    special |= (c == '"') | (c == '\r') | (c == '\n') | (c == delimiter);
  }
  const bool quoted = formula || special || quoting == Quoting::Always;
  if (!quoted) {
    out += field;
    return;
  }
  // Room for the whole field at once: a cell can be megabytes long.
  out.Reserve(field.size() + static_cast<std::size_t>(std::count(field.begin(), field.end(), '"')) +
              3);
  out += '"';
  if (formula) out += '\'';
  for (std::size_t at = 0; at < field.size();) {
    const std::size_t quote = std::min(field.find('"', at), field.size());
    out += field.substr(at, quote - at);
    if (quote == field.size()) break;
    out += "\"\""sv;
    at = quote + 1;
  }
  out += '"';
}

void TextBuffer::Grow(std::size_t count) {
  const std::size_t capacity = std::max(2 * capacity_, size_ + count);
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void BufferedOutput::WriteBuffer() {
  if (ok_ && !buffer_.empty() &&
      std::fwrite(buffer_.View().data(), 1, buffer_.size(), stream_) != buffer_.size()) {
    Fail();
  }
  buffer_.clear();
}

void BufferedOutput::Fail() {
  if (ok_) error_ = errno;
  ok_ = false;
}

void BufferedOutput::MaybeFlush() {
  if (buffer_.size() >= kFlushAt) WriteBuffer();
}

bool BufferedOutput::Flush() {
  WriteBuffer();
  if (ok_ && std::fflush(stream_) != 0) Fail();
  return ok_;
}

}  // namespace mivaro::cli
