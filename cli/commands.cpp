#include "cli/commands.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "cli/entry_parser.h"
#include "cli/fast_generator.h"

namespace mivaro::cli {
namespace {

constexpr std::size_t kReadBlock = std::size_t{64} * 1024;

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto upper = [](char c) {
             return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
           };
           return upper(x) == upper(y);
         });
}

void AppendNumber(std::string& out, std::span<const char, 9> digits, NumberStyle style) {
  const std::string_view number(digits.data(), digits.size());
  if (style == NumberStyle::Bare) {
    out += number;
    return;
  }
  const char separator = style == NumberStyle::Spaced ? ' ' : '-';
  out += number.substr(0, 3);
  out += separator;
  out += number.substr(3, 3);
  out += separator;
  out += number.substr(6, 3);
}

std::uint64_t SeedFromSystem() {
  std::random_device device;
  const auto now = static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  return (std::uint64_t{device()} << 32U) ^ device() ^ now;
}

}  // namespace

int RunValidate(const ValidateOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  const std::unique_ptr<RecordWriter> writer = RecordWriter::Create(options.format, out);
  Tally tally;
  const auto emit = [&](ParsedEntry entry) {
    const Record record = CheckEntry(std::move(entry));
    tally.Count(record);
    writer->Write(record);
  };

  writer->Header();
  int readError = 0;
  if (!options.numbers.empty()) {
    for (const std::string& number : options.numbers) emit(ParseEntry(number));
  } else {
    EntryAccumulator accumulator;
    bool lineOpen = false;
    std::array<char, kReadBlock> block{};
    while (true) {
      const ssize_t got = read(inputFd, block.data(), block.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        readError = errno;
        break;
      }
      if (got == 0) break;
      std::string_view chunk(block.data(), static_cast<std::size_t>(got));
      while (!chunk.empty()) {
        const std::size_t newline = chunk.find('\n');
        if (newline == std::string_view::npos) {
          accumulator.Feed(chunk);
          lineOpen = true;
          break;
        }
        accumulator.Feed(chunk.substr(0, newline));
        emit(accumulator.Finish());
        lineOpen = false;
        chunk.remove_prefix(newline + 1);
      }
    }
    // A last line without its newline is an entry all the same.
    if (lineOpen) emit(accumulator.Finish());
  }
  if (options.summary) writer->Summary(tally);

  if (!writer->Flush()) {
    fmt::print(err, "mivaro-cli: cannot write the results: {}\n", std::strerror(errno));
    return kExitFailure;
  }
  if (readError != 0) {
    fmt::print(err, "mivaro-cli: cannot read standard input: {}\n", std::strerror(readError));
    return kExitFailure;
  }
  return tally.AllValid() ? kExitAllValid : kExitNotAllValid;
}

int RunGenerate(const GenerateOptions& options, std::FILE* out, std::FILE* err) {
  const FirstDigitRule rule =
      options.firstDigit ? FirstDigitRule::ForDigit(*options.firstDigit)
                         : FirstDigitRule::ForRegions(options.regions.value_or(RegionFlags{}));
  FastGenerator generator(rule, options.seed.value_or(SeedFromSystem()));
  std::array<char, 9> digits{};

  std::unique_ptr<RecordWriter> writer;
  std::unique_ptr<BufferedOutput> plain;
  if (options.records) {
    writer = RecordWriter::Create(*options.records, out);
    writer->Header();
  } else {
    plain = std::make_unique<BufferedOutput>(out);
  }
  BufferedOutput& output = writer ? static_cast<BufferedOutput&>(*writer) : *plain;

  for (std::uint64_t i = 0; i < options.count && output.Ok(); ++i) {
    generator.Next(digits);
    if (writer) {
      ParsedEntry entry;
      AppendNumber(entry.input, digits, options.style);
      entry.digits.assign(digits.data(), digits.size());
      writer->Write(CheckEntry(std::move(entry)));
    } else {
      std::string& buffer = output.Buffer();
      AppendNumber(buffer, digits, options.style);
      buffer += '\n';
      output.MaybeFlush();
    }
  }

  if (!output.Flush()) {
    fmt::print(err, "mivaro-cli: cannot write the numbers: {}\n", std::strerror(errno));
    return kExitFailure;
  }
  return kExitAllValid;
}

std::optional<RegionFlags> ParseRegionList(std::string_view list, std::string& error) {
  RegionFlags flags{};
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = Trim(list.substr(0, comma));
    const auto box =
        std::find_if(kRegionBoxes.begin(), kRegionBoxes.end(),
                     [&](const RegionBox& b) { return EqualsIgnoringCase(b.Caption, item); });
    if (box == kRegionBoxes.end()) {
      std::string known;
      for (const RegionBox& b : kRegionBoxes)
        known += (known.empty() ? "" : ", ") + std::string(b.Caption);
      error = item.empty() ? fmt::format("an empty region in the list (expected {})", known)
                           : fmt::format("unknown region '{}' (expected {})", item, known);
      return std::nullopt;
    }
    flags[static_cast<std::size_t>(box - kRegionBoxes.begin())] = 1;
    if (comma == std::string_view::npos) return flags;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace mivaro::cli
