// SPDX-License-Identifier: Apache-2.0
// libFuzzer target for the entry parser, the whole validate path, annotate
// and the searcher: any bytes as standard input must give one well-formed
// JSON record of bounded length per line, an entry fed in pieces must parse
// exactly as when fed whole, annotate must give back every row it read with
// its cells unchanged, as wide as the header, and five more, and the
// searcher must find the same in pieces as whole and by its portable routes
// as by its accelerated ones; the fast route through XML must give expat's
// events and errors.
#include <csv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/annotator.h"
#include "cli/entry_parser.h"
#include "cli/records.h"
#include "cli/validate.h"
#include "core/xml_reader.h"
#include "entry_grammar.h"
#include "mivaro/files.h"
#include "mivaro/mivaro.h"
#include "mivaro/scan.h"
#include "mivaro/sin.h"
#include "search_routes.h"
#include "text/utf8.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckParsedEntry(std::string_view entry) {
  const mivaro::cli::ParsedEntry whole = mivaro::cli::ParseEntry(entry);
  const mivaro::Result& result = whole.result;
  // A well-formed number is nine digits whose check values add up to its
  // sum; the C API says the same as the C++ one.
  if (result.WellFormed()) {
    int sum = 0;
    for (std::size_t at = 0; at < mivaro::kNumberLength; ++at) {
      Require(result.number[at] >= '0' && result.number[at] <= '9');
      const int value = mivaro::CheckValue(mivaro::kWeights[at], result.number[at] - '0');
      Require(result.check[at] == '0' + value);
      sum += value;
    }
    Require(result.sum == sum && result.valid == mivaro::SumPasses(sum) && result.group);
  } else {
    Require(!result.valid && result.sum == -1 && !result.group && result.regions == 0);
  }
  Require(mivaro_is_valid(entry.data(), entry.size()) == (result.valid ? 1 : 0));
  // Check's fast routes give what the grammar itself gives.
  const mivaro::Result defined = mivaro::detail::CheckByGrammar(entry);
  Require(defined.error == result.error && defined.NumberText() == result.NumberText() &&
          defined.valid == result.valid);
  Require(entry.substr(0, whole.input.size()) == whole.input ||
          entry.substr(0, whole.input.size() + 1) == whole.input + "\r");
  // The echo is bounded whatever the bytes: at most 100 characters, each byte
  // of ill-formed UTF-8 counted as one.
  std::size_t characters = 0;
  for (std::size_t at = 0; at < whole.input.size(); ++characters) {
    at += mivaro::text::DecodeUtf8(whole.input, at).length;
  }
  Require(characters <= mivaro::cli::kInputCharacters);
  Require(whole.digitCount ==
          static_cast<std::size_t>(std::count_if(entry.begin(), entry.end(),
                                                 [](char c) { return c >= '0' && c <= '9'; })));

  // The same entry in three pieces, cut where the entry's own bytes say.
  const std::size_t a =
      entry.empty() ? 0 : static_cast<unsigned char>(entry[0]) % (entry.size() + 1);
  const std::size_t b =
      entry.empty() ? 0 : a + (static_cast<unsigned char>(entry.back()) % (entry.size() - a + 1));
  mivaro::cli::EntryAccumulator accumulator;
  accumulator.Feed(entry.substr(0, a));
  accumulator.Feed(entry.substr(a, b - a));
  accumulator.Feed(entry.substr(b));
  const mivaro::cli::ParsedEntry pieces = accumulator.Finish();
  Require(pieces.result.NumberText() == result.NumberText());
  Require(pieces.result.error == result.error);
  Require(pieces.input == whole.input && pieces.digitCount == whole.digitCount);
}

// What a command wrote, and its exit status.
struct Run {
  int status;
  std::string output;
};

// Runs a command on the bytes as its input, in memory.
template <typename Command>
Run RunOn(std::string_view input, const Command& command) {
  const int fd = memfd_create("mivaro-fuzz-input", 0);
  Require(fd >= 0);
  Require(write(fd, input.data(), input.size()) == static_cast<ssize_t>(input.size()));
  Require(lseek(fd, 0, SEEK_SET) == 0);
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  std::FILE* err = std::fopen("/dev/null", "w");
  const int status = command(fd, out, err);
  std::fclose(out);
  std::fclose(err);
  close(fd);
  Run run{status, std::string(data, size)};
  std::free(data);
  return run;
}

void CheckValidatePath(std::string_view input) {
  mivaro::cli::ValidateOptions options;
  options.format = mivaro::cli::RecordFormat::Json;
  const auto [status, output] = RunOn(input, [&](int fd, std::FILE* out, std::FILE* err) {
    return mivaro::cli::RunValidate(options, fd, out, err);
  });

  // One record per line of input, the last one with or without its newline;
  // a byte-order mark is the file's, before its first line.
  std::string_view body = input;
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  std::size_t lines = 0;
  for (const char c : body) lines += c == '\n' ? 1 : 0;
  if (!body.empty() && body.back() != '\n') ++lines;
  // Each record is bounded too: 100 characters of input escaped at most six
  // bytes each, and the fixed fields.
  constexpr std::size_t kLongestRecord = 100 * 6 + 256;
  std::size_t records = 0;
  std::size_t recordStart = 0;
  for (std::size_t at = 0; at < output.size();) {
    const mivaro::text::Utf8Step step = mivaro::text::DecodeUtf8(output, at);
    Require(step.valid);
    Require(step.codePoint >= 0x20 || step.codePoint == '\n');
    at += step.length;
    if (step.codePoint == '\n') {
      ++records;
      Require(at - recordStart <= kLongestRecord);
      recordStart = at;
    }
  }
  // UTF-16 is converted, and may not convert: its lines are not the bytes'.
  if (input.starts_with("\xFF\xFE") || input.starts_with("\xFE\xFF")) {
    Require(status == 0 || status == 1 || status == 2);
    return;
  }
  Require(records == lines);
  Require(status == 0 || status == 1);
}

// Takes off an Excel "sep=X" first line, which annotate copies as it is.
std::string_view WithoutSepLine(std::string_view text) {
  const std::size_t newline = text.find('\n');
  std::string_view line = text.substr(0, newline);
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (!line.starts_with("sep=") || line.size() != 5) return text;
  return newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
}

using Table = std::vector<std::vector<std::string>>;

// Reads the rows of a table that strict RFC 4180 accepts, up to the first
// error; a byte-order mark at the start, and a sep= line after it, are not
// part of the table.
Table ReadTable(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  text = WithoutSepLine(text);
  struct Reader {
    Table rows;
    std::vector<std::string> row;
  } reader;
  csv_parser parser{};
  csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI);
  csv_set_space_func(&parser, [](unsigned char) { return 0; });
  // libcsv's small default block makes a cell of megabytes quadratic to read
  // under the sanitizers; the inputs are at most a few megabytes.
  csv_set_blk_size(&parser, std::size_t{1} << 20);
  const auto onCell = [](void* bytes, std::size_t size, void* data) {
    static_cast<Reader*>(data)->row.emplace_back(static_cast<const char*>(bytes), size);
  };
  const auto onRowEnd = [](int, void* data) {
    auto* reader = static_cast<Reader*>(data);
    reader->rows.push_back(std::move(reader->row));
    reader->row.clear();
  };
  if (csv_parse(&parser, text.data(), text.size(), onCell, onRowEnd, &reader) == text.size()) {
    csv_fini(&parser, onCell, onRowEnd, &reader);
  }
  csv_free(&parser);
  return reader.rows;
}

void CheckAnnotate(std::string_view input) {
  mivaro::cli::AnnotateOptions options;
  options.column.number = 1;
  options.delimiter = ',';
  options.noHeader = !input.empty() && (input[0] & 1) != 0;
  options.mask = !input.empty() && (input[0] & 2) != 0;
  const auto [status, output] = RunOn(input, [&](int fd, std::FILE* out, std::FILE* err) {
    return mivaro::cli::RunAnnotate(options, fd, out, err);
  });
  Require(status == 0 || status == 1 || status == 2);
  // UTF-16 is converted, so its cells are not the bytes read.
  if (input.starts_with("\xFF\xFE") || input.starts_with("\xFE\xFF")) return;

  // Every row read comes back with the header's width of cells (a short row
  // padded with empty ones) and five more; a broken or ragged table ends
  // early, with status 2. The SIN cell changes only when masked, and a table
  // annotated before gets its own five cells anew.
  const Table in = ReadTable(input);
  const Table back = ReadTable(output);
  Require(back.size() <= in.size());
  Require(status == 2 || back.size() == in.size());
  if (back.empty()) return;
  std::size_t width = in[0].size();
  if (!options.noHeader && width >= 5) {
    const std::vector<std::string> own(in[0].end() - 5, in[0].end());
    if (own == std::vector<std::string>{"sin_valid", "sin_number", "sin_group", "sin_regions",
                                        "sin_error"}) {
      width -= 5;
    }
  }
  for (std::size_t i = 0; i < back.size(); ++i) {
    Require(back[i].size() == width + 5);
    for (std::size_t cell = 0; cell < width; ++cell) {
      const std::string_view read = cell < in[i].size() ? in[i][cell] : std::string_view();
      if (cell == 0 && options.mask && (i != 0 || options.noHeader)) {
        mivaro::cli::TextBuffer masked;
        const mivaro::cli::ParsedEntry parsed = mivaro::cli::ParseEntry(read);
        mivaro::cli::AppendMasked(masked, read, parsed.digitCount);
        const std::string_view shown = back[i][0];
        Require(shown == masked.View() ||
                (shown.size() == masked.size() + 1 && shown.front() == '\'' &&
                 shown.substr(1) == masked.View()));
      } else {
        Require(back[i][cell] == read);
      }
    }
  }
}

}  // namespace

// The searcher finds the same in the text whole and in three pieces cut
// where the text's own bytes say, and the portable routes the same as the
// accelerated ones; every match is nine digits that pass, inside the text;
// redaction changes digits to '*' and nothing else, and the redactor fed the
// same pieces writes what redacting the whole text writes.
void CheckSearcher(std::string_view text) {
  const std::vector<mivaro::Match> whole = mivaro::Find(text, mivaro::Confidence::Low);
  const std::vector<mivaro::Match> portable =
      mivaro::detail::FindPortably(text, mivaro::Confidence::Low);
  const std::size_t a = text.empty() ? 0 : static_cast<unsigned char>(text[0]) % (text.size() + 1);
  const std::size_t b =
      text.empty() ? 0 : a + static_cast<unsigned char>(text.back()) % (text.size() - a + 1);
  const std::string_view pieces[] = {text.substr(0, a), text.substr(a, b - a), text.substr(b)};
  mivaro::Searcher searcher({.minimum = mivaro::Confidence::Low});
  std::vector<mivaro::Match> fed;
  std::uint64_t settled = 0;
  const auto keep = [&](const mivaro::Found& found) {
    Require(found.match.offset >= settled);
    Require(found.text == text.substr(found.match.offset, found.match.length));
    // Its line around it as far as the context reaches, however the text came.
    const std::size_t at = found.match.offset;
    const std::size_t reach = std::min<std::size_t>(at, mivaro::kContextBytes);
    std::string_view before = text.substr(at - reach, reach);
    before.remove_prefix(std::min(before.size(), before.rfind('\n') + 1));
    std::string_view after = text.substr(at + found.match.length, mivaro::kContextBytes);
    after = after.substr(0, after.find('\n'));
    Require(found.before == before && found.after == after);
    fed.push_back(found.match);
  };
  for (const std::string_view piece : pieces) {
    searcher.Feed(piece, keep);
    settled = searcher.Settled();
  }
  searcher.Finish(keep);
  const auto same = [](const mivaro::Match& x, const mivaro::Match& y) {
    return x.offset == y.offset && x.length == y.length && x.number == y.number &&
           x.confidence == y.confidence && x.keyword == y.keyword;
  };
  Require(fed.size() == whole.size() && portable.size() == whole.size());
  for (std::size_t i = 0; i < whole.size(); ++i) {
    const mivaro::Match& match = whole[i];
    Require(same(fed[i], match) && same(portable[i], match));
    Require(match.offset + match.length <= text.size());
    Require(mivaro::IsValid(std::string_view(match.number.data(), match.number.size())));
  }
  const std::string redacted =
      mivaro::Redact(text, {.minimum = mivaro::Confidence::Low, .allDigits = true});
  Require(redacted.size() == text.size());
  std::size_t starred = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (redacted[at] == text[at]) continue;
    Require(redacted[at] == '*' && text[at] >= '0' && text[at] <= '9');
    ++starred;
  }
  Require(starred == whole.size() * mivaro::kNumberLength);
  mivaro::Redactor redactor({.minimum = mivaro::Confidence::Low, .allDigits = true});
  std::string streamed;
  const auto write = [&](std::string_view piece) { streamed += piece; };
  for (const std::string_view piece : pieces) redactor.Feed(piece, write);
  redactor.Finish(write);
  Require(streamed == redacted);
}

// Places each match it takes, as a printer does.
class PlacingSink final : public mivaro::SearchSink {
 public:
  explicit PlacingSink(mivaro::Locator* locator) : locator_(locator) {}
  void Matched(const mivaro::Found& found) override {
    if (locator_ != nullptr) locator_->Locate(found);
  }

 private:
  mivaro::Locator* locator_;
};

// Counts the matches it takes.
struct CountingSink final : public mivaro::SearchSink {
  void Matched(const mivaro::Found&) override { ++count; }
  std::uint64_t count = 0;
};

// Opens the bytes as a file: compressed, archive, workbook, document (the
// XML of each too, as a member), under small limits, and searches every
// text, placing each match. No PDF reader is run.
void CheckOpened(std::string_view bytes) {
  mivaro::OpenOptions options;
  options.pdftotext = "";
  options.limits.memory = std::uint64_t{64} << 20;
  options.limits.memberBytes = std::uint64_t{16} << 20;
  options.limits.members = 1000;
  const std::unique_ptr<mivaro::Contents> contents = mivaro::OpenBytes(bytes, "fuzz", options);
  mivaro::Searcher searcher({.minimum = mivaro::Confidence::Low});
  while (const std::optional<mivaro::Entry> entry = contents->Next()) {
    Require(!entry->container.empty() && entry->container[0] == "fuzz");
    if (entry->kind != mivaro::EntryKind::Text) continue;
    PlacingSink sink(entry->locator);
    searcher.Search(*entry->text, sink);
  }
}

// Redacts the bytes as a file, into memory files: whatever the input, it
// ends, and a rewritten file scans with no SIN left at the least confidence
// redacted.
// Writes down what a reader of XML is told, in order.
class XmlEvents final : public mivaro::detail::XmlReader {
 public:
  XmlEvents(mivaro::detail::Bytes& input, mivaro::detail::MemoryBudget& budget, bool fast)
      : XmlReader(input, budget) {
    UseFastRoute(fast);
  }
  std::string events;

 private:
  void Start(std::string_view name, const XML_Char** attributes) override {
    (events += "\x01") += name;
    for (; *attributes != nullptr; attributes += 2) {
      ((((events += "\x02") += attributes[0]) += "\x03") += attributes[1]);
    }
  }
  void End(std::string_view name) override { (events += "\x04") += name; }
  void Characters(std::string_view text) override { (events += "\x05") += text; }
};

// The fast route through XML tells what expat tells, and fails as it fails.
void CheckXmlRoutes(std::string_view xml) {
  std::string told[2];
  for (int fast = 0; fast < 2; ++fast) {
    mivaro::detail::MemoryBytes bytes(xml);
    mivaro::detail::MemoryBudget budget(std::uint64_t{64} << 20);
    XmlEvents reader(bytes, budget, fast == 1);
    const bool read = reader.ParseAll();
    // Text comes in pieces that differ by route; only what they make counts.
    std::string& events = told[fast];
    char last = 0;  // the last event's mark (XML text never holds these bytes)
    for (const char c : reader.events) {
      if (c >= '\x01' && c <= '\x05') {
        if (c == '\x05' && last == '\x05') continue;
        last = c;
      }
      events += c;
    }
    events += read ? "\nread" : "\nfailed: " + reader.Error();
  }
  if (told[0] != told[1]) {
    std::fprintf(stderr, "expat: %s\nfast route: %s\n", told[0].c_str(), told[1].c_str());
  }
  Require(told[0] == told[1]);
}

void CheckRedactedFile(std::string_view bytes) {
  const int in = memfd_create("in", MFD_CLOEXEC);
  const int out = memfd_create("out", MFD_CLOEXEC);
  Require(in >= 0 && out >= 0);
  Require(write(in, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
  lseek(in, 0, SEEK_SET);
  std::uint64_t redacted = 0;
  std::string error;
  if (mivaro::RedactFile(in, out, {.minimum = mivaro::Confidence::Low, .allDigits = true}, redacted,
                         error)) {
    lseek(out, 0, SEEK_SET);
    mivaro::OpenOptions options;
    options.pdftotext = "";
    const std::unique_ptr<mivaro::Contents> contents = mivaro::OpenFile(out, "out", options);
    mivaro::Searcher searcher({.minimum = mivaro::Confidence::Low});
    CountingSink left;
    while (const std::optional<mivaro::Entry> entry = contents->Next()) {
      if (entry->kind == mivaro::EntryKind::Text) searcher.Search(*entry->text, left);
    }
    Require(left.count == 0);
  }
  close(in);
  close(out);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckParsedEntry(input);
  CheckValidatePath(input);
  CheckAnnotate(input);
  CheckSearcher(input);
  CheckOpened(input);
  CheckXmlRoutes(input);
  if (!mivaro::FormatOf(input.substr(0, 512)).empty()) CheckRedactedFile(input);
  return 0;
}
