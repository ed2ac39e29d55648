// SPDX-License-Identifier: Apache-2.0
#include "cli/commands.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "cli/entry_parser.h"
#include "cli/fast_generator.h"
#include "core/evaluation.h"

namespace mivaro::cli {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto upper = [](char c) {
             return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
           };
           return upper(x) == upper(y);
         });
}

std::uint64_t SeedFromSystem() {
  std::random_device device;
  const auto now = static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  return (std::uint64_t{device()} << 32U) ^ device() ^ now;
}

}  // namespace

int RunValidate(const ValidateOptions& options, int inputFd, std::FILE* out, std::FILE* err) {
  const std::unique_ptr<RecordWriter> writer =
      RecordWriter::Create(options.format, out, err, options.mask);
  Tally tally;
  // Returns false once the output refuses a write: nothing more can be said.
  const auto emit = [&](const ParsedEntry& entry) {
    const Record record = CheckEntry(entry);
    tally.Count(record);
    writer->Write(record);
    return writer->Ok();
  };

  writer->Header();
  int readError = 0;
  if (!options.numbers.empty()) {
    for (const std::string& number : options.numbers) {
      if (!emit(ParseEntry(number))) break;
    }
  } else {
    // Lines that lie whole in a block are parsed where they lie; only a line
    // that runs across blocks goes through the accumulator.
    EntryAccumulator accumulator;
    bool lineOpen = false;
    bool writing = true;
    std::vector<char> block(kReadBlock);
    while (writing) {
      const long got = ReadBlock(inputFd, block);
      if (got < 0) {
        readError = errno;
        break;
      }
      if (got == 0) {
        // A last line without its newline is an entry all the same.
        if (lineOpen) emit(accumulator.Finish());
        break;
      }
      std::string_view chunk(block.data(), static_cast<std::size_t>(got));
      while (writing && !chunk.empty()) {
        const auto* newline =
            static_cast<const char*>(std::memchr(chunk.data(), '\n', chunk.size()));
        if (newline == nullptr) {
          accumulator.Feed(chunk);
          lineOpen = true;
          break;
        }
        const auto length = static_cast<std::size_t>(newline - chunk.data());
        if (lineOpen) {
          accumulator.Feed(chunk.substr(0, length));
          writing = emit(accumulator.Finish());
          lineOpen = false;
        } else {
          writing = emit(ParseEntry(chunk.substr(0, length)));
        }
        chunk.remove_prefix(length + 1);
      }
    }
  }
  // The summary only once every record has been written.
  if (!writer->Flush()) return ReportWriteFailure(err, writer->Error(), "the results");
  if (readError != 0) {
    Report(err, "cannot read standard input: {}", std::strerror(readError));
    return kExitFailure;
  }
  if (options.summary) {
    writer->Summary(tally);
    if (!writer->Flush()) return ReportWriteFailure(err, writer->Error(), "the results");
  }
  return tally.AllValid() ? kExitAllValid : kExitNotAllValid;
}

int RunGenerate(const GenerateOptions& options, std::FILE* out, std::FILE* err) {
  const FirstDigitRule rule =
      options.firstDigit ? FirstDigitRule::ForDigit(*options.firstDigit)
                         : FirstDigitRule::ForRegions(options.regions.value_or(RegionFlags{}));
  const std::uint64_t seed = options.seed.value_or(SeedFromSystem());
  if (options.unique && !options.invalid.empty()) {
    Report(err, "--unique is for valid numbers and cannot go with --invalid");
    return kExitFailure;
  }
  if (options.unique) {
    const std::uint64_t distinct = CountValidNumbers(rule, options.digits);
    if (options.count > distinct) {
      Report(err, "--count {} is more than the {} distinct valid numbers these options allow",
             options.count, distinct);
      return kExitFailure;
    }
  }

  // One source of numbers, by the options.
  std::optional<FastGenerator> valid;
  std::optional<UniqueGenerator> unique;
  std::optional<InvalidGenerator> invalid;
  if (!options.invalid.empty()) {
    const bool keepFirst = options.firstDigit || options.regions;
    invalid.emplace(rule, keepFirst, seed, options.digits, options.invalid, options.style);
  } else if (options.unique) {
    unique.emplace(rule, seed, options.digits);
  } else {
    valid.emplace(rule, seed, options.digits);
  }

  std::unique_ptr<RecordWriter> writer;
  std::unique_ptr<BufferedOutput> plain;
  if (options.records) {
    writer = RecordWriter::Create(*options.records, out, err);
    writer->Header();
  } else {
    plain = std::make_unique<BufferedOutput>(out);
  }
  BufferedOutput& output = writer ? static_cast<BufferedOutput&>(*writer) : *plain;

  std::array<char, kNumberLength> digits{};
  std::string text;
  for (std::uint64_t i = 0; i < options.count && output.Ok(); ++i) {
    if (invalid) {
      invalid->Next(text);
    } else {
      if (unique) {
        unique->Next(digits);
      } else {
        valid->Next(digits);
      }
      if (writer) {
        text.clear();
        AppendNumber(text, digits, options.style);
      } else {
        // The bulk path: straight into the output, no record.
        TextBuffer& buffer = output.Buffer();
        AppendNumber(buffer, digits, options.style);
        buffer += '\n';
        output.MaybeFlush();
        continue;
      }
    }
    if (writer) {
      const ParsedEntry entry = ParseEntry(text);
      writer->Write(CheckEntry(entry));
    } else {
      TextBuffer& buffer = output.Buffer();
      buffer += text;
      buffer += '\n';
      output.MaybeFlush();
    }
  }

  if (!output.Flush()) return ReportWriteFailure(err, output.Error(), "the numbers");
  return kExitAllValid;
}

long ReadBlock(int fd, std::span<char> block) {
  while (true) {
    const ssize_t got = read(fd, block.data(), block.size());
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::optional<std::uint64_t> ParseWholeNumber(std::string_view text, std::uint64_t min,
                                              std::uint64_t max, std::string& error) {
  std::uint64_t value = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  const bool whole =
      !text.empty() && end == text.data() + text.size() && status != std::errc::invalid_argument;
  if (!whole) {
    error = fmt::format("'{}' is not a whole number (expected {} to {})", text, min, max);
    return std::nullopt;
  }
  if (status == std::errc::result_out_of_range || value < min || value > max) {
    error = fmt::format("{} is out of range (expected {} to {})", text, min, max);
    return std::nullopt;
  }
  return value;
}

std::string RegionCaptionList() {
  std::string list;
  for (const RegionBox& box : kRegionBoxes) {
    if (!list.empty()) list += ", ";
    list += box.Caption;
  }
  return list;
}

std::string RegionPriorityList() {
  std::string list;
  for (const RegionGroup group : kRegionPriority) {
    if (!list.empty()) list += ", ";
    std::string_view separator;
    for (const RegionBox& box : kRegionBoxes) {
      if (box.Group != group) continue;
      list += separator;
      list += box.Caption;
      separator = "/";
    }
  }
  return list;
}

std::string SeriesDigitList() {
  std::string list;
  for (char digit = '0'; digit <= '9'; ++digit) {
    if (const auto series = SeriesName(RegionForDigit(digit).value())) {
      if (!list.empty()) list += ", ";
      list += digit;
      list += ' ';
      list += *series;
    }
  }
  return list;
}

std::optional<RegionFlags> ParseRegionList(std::string_view list, std::string& error) {
  RegionFlags flags{};
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = TrimBlanks(list.substr(0, comma));
    const auto box =
        std::find_if(kRegionBoxes.begin(), kRegionBoxes.end(),
                     [&](const RegionBox& b) { return EqualsIgnoringCase(b.Caption, item); });
    if (box == kRegionBoxes.end()) {
      const std::string known = RegionCaptionList();
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
