#include "cli/records.h"

#include <fmt/format.h>

#include <array>

#include "cli/utf8.h"
#include "core/utf8.h"

namespace mivaro::cli {
namespace {

constexpr std::size_t kFlushAt = std::size_t{64} * 1024;

// Columns of the text format; the input column shows at most this many
// characters, a longer entry ends in an ellipsis.
constexpr std::size_t kInputColumn = 16;
constexpr std::size_t kGroupColumn = 13;

std::string_view SeriesName(RegionGroup group) {
  switch (group) {
    case RegionGroup::ForeignTax:
      return "foreign/tax";
    case RegionGroup::Dummy:
      return "dummy";
    case RegionGroup::Temporary:
      return "temporary";
    default:
      return "";
  }
}

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
      if (const std::string_view series = SeriesName(*record.group); !series.empty()) {
        out += "series: ";
        out += series;
      } else {
        out += RegionListsOf(*record.group).words;
      }
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
  using RecordWriter::RecordWriter;

  void Header() override { Buffer() += "input,number,valid,check,sum,group,regions,error\r\n"; }

  void Write(const Record& record) override {
    std::string& out = Buffer();
    std::string input;
    AppendPrintable(input, record.input);
    AppendField(input);
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
    fmt::print(stderr, "mivaro-cli: summary: {} valid, {} invalid, {} malformed\n", tally.valid,
               tally.invalid, tally.malformed);
  }

 private:
  void AppendField(std::string_view field) {
    std::string& out = Buffer();
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
      out += field;
      return;
    }
    out += '"';
    for (const char c : field) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
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

std::unique_ptr<RecordWriter> RecordWriter::Create(Format format, std::FILE* stream) {
  switch (format) {
    case Format::Json:
      return std::make_unique<JsonWriter>(stream);
    case Format::Csv:
      return std::make_unique<CsvWriter>(stream);
    case Format::Text:
      break;
  }
  return std::make_unique<TextWriter>(stream);
}

void BufferedOutput::WriteBuffer() {
  if (ok_ && !buffer_.empty()) {
    ok_ = std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) == buffer_.size();
  }
  buffer_.clear();
}

void BufferedOutput::MaybeFlush() {
  if (buffer_.size() >= kFlushAt) WriteBuffer();
}

bool BufferedOutput::Flush() {
  WriteBuffer();
  ok_ = ok_ && std::fflush(stream_) == 0;
  return ok_;
}

}  // namespace mivaro::cli
