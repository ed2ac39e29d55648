#include "cli/records.h"

#include <fmt/format.h>

#include <array>
#include <cerrno>

#include "cli/utf8.h"
#include "core/utf8.h"

namespace mivaro::cli {
namespace {

constexpr std::size_t kFlushAt = std::size_t{64} * 1024;

// Columns of the text format; the input column shows at most this many
// characters, a longer entry ends in an ellipsis.
constexpr std::size_t kInputColumn = 16;
constexpr std::size_t kGroupColumn = 13;

// Appends ASCII text and pads it with spaces to width characters.
void AppendPadded(std::string& out, std::string_view ascii, std::size_t width) {
  out += ascii;
  if (ascii.size() < width) out.append(width - ascii.size(), ' ');
}

void AppendInteger(std::string& out, std::uint64_t value) {
  const fmt::format_int text(value);
  out.append(text.data(), text.size());
}

// The captions of the boxes a group ticks, in box order, once as plain words
// ("NB PEI NF NS") and once as the body of a JSON array. Built once per group.
struct RegionLists {
  std::string words;
  std::string json;
};

const RegionLists& RegionListsOf(RegionGroup group) {
  static const std::array<RegionLists, 8> kLists = [] {
    std::array<RegionLists, 8> lists;
    for (const RegionBox& box : kRegionBoxes) {
      RegionLists& list = lists[static_cast<std::size_t>(box.Group)];
      if (!list.words.empty()) {
        list.words += ' ';
        list.json += ',';
      }
      list.words += box.Caption;
      list.json += '"';
      list.json += box.Caption;
      list.json += '"';
    }
    return lists;
  }();
  return kLists[static_cast<std::size_t>(group)];
}

// Fields are written by hand rather than through format strings: this is the
// hot path of bulk validation, and {fmt}'s padding measures the display width
// of every string, which costs more than all the checking.
class TextWriter final : public RecordWriter {
 public:
  using RecordWriter::RecordWriter;

  void Header() override {
    Buffer() += "INPUT             NUMBER     RESULT     CHECK      SUM  GROUP          DETAILS\n";
  }

  void Write(const Record& record) override {
    std::string& out = Buffer();
    AppendInputColumn(out, record.input);
    if (record.IsMalformed()) {
      out += "-          malformed  -            -  -              ";
      out += MalformedText(record.error);
    } else {
      AppendPadded(out, record.number, 11);
      AppendPadded(out, record.result.IsValid ? "valid" : "invalid", 11);
      AppendPadded(out, record.result.CheckString, 11);
      if (record.result.CheckSum < 10) out += ' ';
      out += ' ';
      AppendInteger(out, static_cast<std::uint64_t>(record.result.CheckSum));
      out += "  ";
      AppendPadded(out, RegionGroupName(*record.group), kGroupColumn + 2);
      // A series is named only for a number that passes, as the window does.
      if (const auto series = SeriesName(*record.group)) {
        if (record.result.IsValid) {
          out += "series: ";
          out += *series;
        }
      } else {
        out += RegionListsOf(*record.group).words;
      }
      // No padding after the group when there are no details.
      while (out.back() == ' ') out.pop_back();
    }
    out += '\n';
    MaybeFlush();
  }

  void Summary(const Tally& tally) override {
    fmt::format_to(std::back_inserter(Buffer()), "summary: {} valid, {} invalid, {} malformed\n",
                   tally.valid, tally.invalid, tally.malformed);
  }

 private:
  // The entry, printable, cut to the column with an ellipsis, then padded.
  void AppendInputColumn(std::string& out, std::string_view input) {
    scratch_.clear();
    AppendPrintable(scratch_, input);
    std::size_t at = 0;
    std::size_t shown = 0;
    while (at < scratch_.size() && shown < kInputColumn) {
      at += DecodeUtf8(scratch_, at).length;
      ++shown;
    }
    if (at < scratch_.size()) {
      // Too long: keep one character less and end in U+2026 HORIZONTAL ELLIPSIS.
      at = 0;
      for (std::size_t kept = 0; kept + 1 < kInputColumn; ++kept) {
        at += DecodeUtf8(scratch_, at).length;
      }
      out.append(scratch_, 0, at);
      out += "\xE2\x80\xA6";
      shown = kInputColumn;
    } else {
      out += scratch_;
    }
    out.append(kInputColumn + 2 - shown, ' ');
  }

  std::string scratch_;
};

class JsonWriter final : public RecordWriter {
 public:
  using RecordWriter::RecordWriter;

  void Header() override {}

  void Write(const Record& record) override {
    std::string& out = Buffer();
    out += "{\"input\":\"";
    AppendJsonEscaped(out, record.input);
    if (record.IsMalformed()) {
      out +=
          "\",\"number\":null,\"valid\":false,\"check\":null,\"sum\":null,\"group\":null,"
          "\"regions\":[],\"error\":\"";
      out += MalformedText(record.error);
      out += "\"}\n";
    } else {
      out += "\",\"number\":\"";
      out += record.number;
      out += record.result.IsValid ? "\",\"valid\":true,\"check\":\""
                                   : "\",\"valid\":false,\"check\":\"";
      out += record.result.CheckString;
      out += "\",\"sum\":";
      AppendInteger(out, static_cast<std::uint64_t>(record.result.CheckSum));
      out += ",\"group\":\"";
      out += RegionGroupName(*record.group);
      out += "\",\"regions\":[";
      out += RegionListsOf(*record.group).json;
      out += "],\"error\":null}\n";
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
  CsvWriter(std::FILE* stream, std::FILE* summaryStream)
      : RecordWriter(stream), summaryStream_(summaryStream) {}

  void Header() override { Buffer() += "input,number,valid,check,sum,group,regions,error\r\n"; }

  void Write(const Record& record) override {
    std::string& out = Buffer();
    scratch_.clear();
    AppendPrintable(scratch_, record.input);
    AppendCsvField(out, scratch_, ',');
    if (record.IsMalformed()) {
      out += ",,false,,,,,";
      out += MalformedText(record.error);
    } else {
      out += ',';
      out += record.number;
      out += record.result.IsValid ? ",true," : ",false,";
      out += record.result.CheckString;
      out += ',';
      AppendInteger(out, static_cast<std::uint64_t>(record.result.CheckSum));
      out += ',';
      out += RegionGroupName(*record.group);
      out += ',';
      out += RegionListsOf(*record.group).words;
      out += ',';
    }
    out += "\r\n";
    MaybeFlush();
  }

  void Summary(const Tally& tally) override {
    fmt::print(summaryStream_, "mivaro-cli: summary: {} valid, {} invalid, {} malformed\n",
               tally.valid, tally.invalid, tally.malformed);
  }

 private:
  std::FILE* summaryStream_;
  std::string scratch_;
};

}  // namespace

Record CheckEntry(ParsedEntry entry) {
  Record record;
  record.input = std::move(entry.input);
  record.error = entry.error;
  if (record.IsMalformed()) return record;
  record.number = std::move(entry.digits);
  DigitSlots digits = EmptyDigitSlots();
  WeightedSlots weighted = EmptyWeightedSlots();
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
                                                   std::FILE* summaryStream) {
  switch (format) {
    case Format::Json:
      return std::make_unique<JsonWriter>(stream);
    case Format::Csv:
      return std::make_unique<CsvWriter>(stream, summaryStream);
    case Format::Text:
      break;
  }
  return std::make_unique<TextWriter>(stream);
}

void AppendCsvField(std::string& out, std::string_view field, char delimiter) {
  // A cell that starts like a formula would run as one when a spreadsheet
  // opens the file; a leading apostrophe makes it text (OWASP's advice).
  const bool formula =
      !field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
  const bool quoted = formula || field.find_first_of("\"\r\n") != std::string_view::npos ||
                      field.find(delimiter) != std::string_view::npos;
  if (!quoted) {
    out += field;
    return;
  }
  out += '"';
  if (formula) out += '\'';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void BufferedOutput::WriteBuffer() {
  if (ok_ && !buffer_.empty() &&
      std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size()) {
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
