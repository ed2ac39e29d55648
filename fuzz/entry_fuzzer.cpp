// libFuzzer target for the entry parser and the whole validate path: any bytes
// as standard input must give one well-formed JSON record of bounded length
// per line, and an entry fed in pieces must parse exactly as when fed whole.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/entry_parser.h"
#include "core/utf8.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckParsedEntry(std::string_view entry) {
  const mivaro::cli::ParsedEntry whole = mivaro::cli::ParseEntry(entry);
  Require(whole.digits.empty() == (whole.error != mivaro::cli::Malformed::None));
  Require(whole.digits.empty() || whole.digits.size() == 9);
  for (const char c : whole.digits) Require(c >= '0' && c <= '9');
  Require(entry.substr(0, whole.input.size()) == whole.input ||
          entry.substr(0, whole.input.size() + 1) == whole.input + "\r");
  // The echo is bounded whatever the bytes: at most 100 characters, each byte
  // of ill-formed UTF-8 counted as one.
  std::size_t characters = 0;
  for (std::size_t at = 0; at < whole.input.size(); ++characters) {
    at += mivaro::DecodeUtf8(whole.input, at).length;
  }
  Require(characters <= mivaro::cli::EntryAccumulator::kInputCharacters);
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
  Require(pieces.digits == whole.digits);
  Require(pieces.error == whole.error);
  Require(pieces.input == whole.input);
}

void CheckValidatePath(std::string_view input) {
  const int fd = memfd_create("mivaro-fuzz-input", 0);
  Require(fd >= 0);
  Require(write(fd, input.data(), input.size()) == static_cast<ssize_t>(input.size()));
  Require(lseek(fd, 0, SEEK_SET) == 0);

  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  std::FILE* err = std::fopen("/dev/null", "w");
  mivaro::cli::ValidateOptions options;
  options.format = mivaro::cli::Format::Json;
  const int status = mivaro::cli::RunValidate(options, fd, out, err);
  std::fclose(out);
  std::fclose(err);
  close(fd);
  const std::string output(data, size);
  std::free(data);

  // One record per line of input, the last one with or without its newline.
  std::size_t lines = 0;
  for (const char c : input) lines += c == '\n' ? 1 : 0;
  if (!input.empty() && input.back() != '\n') ++lines;
  // Each record is bounded too: 100 characters of input escaped at most six
  // bytes each, and the fixed fields.
  constexpr std::size_t kLongestRecord = 100 * 6 + 256;
  std::size_t records = 0;
  std::size_t recordStart = 0;
  for (std::size_t at = 0; at < output.size();) {
    const mivaro::Utf8Step step = mivaro::DecodeUtf8(output, at);
    Require(step.valid);
    Require(step.codePoint >= 0x20 || step.codePoint == '\n');
    at += step.length;
    if (step.codePoint == '\n') {
      ++records;
      Require(at - recordStart <= kLongestRecord);
      recordStart = at;
    }
  }
  Require(records == lines);
  Require(status == 0 || status == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckParsedEntry(input);
  CheckValidatePath(input);
  return 0;
}
