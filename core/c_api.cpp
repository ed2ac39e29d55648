// SPDX-License-Identifier: Apache-2.0
// The C API: thin wrappers over the C++ one, with no exception crossing them.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "mivaro/generator.h"
#include "mivaro/mivaro.h"
#include "mivaro/scan.h"
#include "mivaro/sin.h"
#include "nine_digits.h"

namespace {

void Fill(const mivaro::Result& from, mivaro_result* to) {
  to->valid = from.valid ? 1 : 0;
  to->error = static_cast<mivaro_error>(from.error);
  to->number[0] = '\0';
  to->check[0] = '\0';
  if (from.WellFormed()) {
    std::memcpy(to->number, from.number.data(), mivaro::kNumberLength);
    std::memcpy(to->check, from.check.data(), mivaro::kNumberLength);
    to->number[mivaro::kNumberLength] = '\0';
    to->check[mivaro::kNumberLength] = '\0';
  }
  to->sum = from.sum;
  to->group = from.group ? static_cast<mivaro_group>(*from.group) : MIVARO_GROUP_NONE;
  to->regions = from.regions;
}

// Reads nine ASCII digits from the start of text; false when there are not.
bool ReadNumber(const char* text, mivaro::Number& number) {
  if (text == nullptr) return false;
  for (std::size_t at = 0; at < mivaro::kNumberLength; ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    number[at] = text[at];
  }
  return true;
}

bool KnownStyle(mivaro_style style) {
  return style == MIVARO_STYLE_BARE || style == MIVARO_STYLE_SPACED || style == MIVARO_STYLE_DASHED;
}

void CopyOut(const std::string& text, char* out) {
  std::memcpy(out, text.c_str(), text.size() + 1);
}

// Copies text into buffer, cut to size - 1 bytes and NUL-terminated; returns
// the length of the whole text.
std::size_t CopyCut(std::string_view text, char* buffer, std::size_t size) {
  if (buffer != nullptr && size > 0) {
    const std::size_t copied = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
  }
  return text.size();
}

mivaro::GeneratorOptions OptionsOf(const mivaro_generator_options& options) {
  mivaro::GeneratorOptions from;
  from.regions = options.regions;
  if (options.first_digit != -1) from.firstDigit = options.first_digit;
  from.zeroToNine = options.zero_to_nine != 0;
  from.unique = options.unique != 0;
  from.seed = options.seed;
  return from;
}

std::string_view Entry(const char* entry, size_t length) {
  return entry == nullptr ? std::string_view() : std::string_view(entry, length);
}

// The entries that are not nine bare digits, out of the fast path's way.
[[gnu::noinline]] int IsValidOtherwise(std::string_view entry) {
  return mivaro::IsValid(entry) ? 1 : 0;
}

}  // namespace

struct mivaro_generator {
  mivaro::Generator generator;
};

extern "C" {

const char* mivaro_version(void) {
  return mivaro::Version().data();
}

int mivaro_is_valid(const char* entry, size_t length) {
  const std::string_view text = Entry(entry, length);
  if (int sum = 0; mivaro::detail::SumOfNineDigits(text, sum))
    return mivaro::SumPasses(sum) ? 1 : 0;
  return IsValidOtherwise(text);
}

int mivaro_check(const char* entry, size_t length, mivaro_result* result) {
  const mivaro::Result checked = mivaro::Check(Entry(entry, length));
  if (result != nullptr) Fill(checked, result);
  return checked.valid ? 1 : 0;
}

const char* mivaro_error_text(mivaro_error error) {
  const auto value = static_cast<int>(error);
  if (value < MIVARO_OK || value > static_cast<int>(mivaro::kLastError)) return "";
  return mivaro::ErrorText(static_cast<mivaro::Error>(error)).data();
}

const char* mivaro_group_name(mivaro_group group) {
  for (const mivaro::RegionGroup known : mivaro::kGroups) {
    if (static_cast<int>(known) == group) return mivaro::GroupName(known).data();
  }
  return "";
}

const char* mivaro_region_caption(unsigned region) {
  for (const mivaro::RegionBox& box : mivaro::kRegionBoxes) {
    if (box.Bit == region) return box.Caption.data();
  }
  return "";
}

size_t mivaro_reason(const mivaro_result* result, char* buffer, size_t size) {
  if (result == nullptr) return 0;
  mivaro::Result from;
  from.valid = result->valid != 0;
  from.error = static_cast<mivaro::Error>(result->error);
  from.sum = result->sum;
  std::string reason;
  try {
    reason = mivaro::Reason(from);
  } catch (const std::bad_alloc&) {
    reason.clear();
  }
  return CopyCut(reason, buffer, size);
}

int mivaro_format(const char* digits, mivaro_style style, char out[12]) {
  mivaro::Number number{};
  if (!ReadNumber(digits, number) || !KnownStyle(style) || out == nullptr) return 0;
  CopyOut(mivaro::Format(number, static_cast<mivaro::Style>(style)), out);
  return 1;
}

int mivaro_mask(const char* digits, mivaro_style style, char out[12]) {
  mivaro::Number number{};
  if (!ReadNumber(digits, number) || !KnownStyle(style) || out == nullptr) return 0;
  CopyOut(mivaro::Mask(number, static_cast<mivaro::Style>(style)), out);
  return 1;
}

mivaro_generator* mivaro_generator_create(const mivaro_generator_options* options) {
  if (options == nullptr) return nullptr;
  const mivaro::GeneratorOptions from = OptionsOf(*options);
  try {
    // Owned by the caller from here, until mivaro_generator_free.
    return std::make_unique<mivaro_generator>(mivaro_generator{mivaro::Generator(from)}).release();
  } catch (const std::exception&) {
    return nullptr;  // options refused, or no memory
  }
}

int mivaro_generator_next(mivaro_generator* generator, char number[10]) {
  if (generator == nullptr || number == nullptr) return 0;
  mivaro::Number next{};
  try {
    if (!generator->generator.Next(next)) return 0;
  } catch (const std::bad_alloc&) {
    return 0;  // a unique run lists what is left once, which can fail
  }
  std::memcpy(number, next.data(), next.size());
  number[mivaro::kNumberLength] = '\0';
  return 1;
}

uint64_t mivaro_generator_distinct(const mivaro_generator* generator) {
  return generator == nullptr ? 0 : generator->generator.Distinct();
}

void mivaro_generator_free(mivaro_generator* generator) {
  std::unique_ptr<mivaro_generator>{generator};
}

size_t mivaro_generator_refusal(const mivaro_generator_options* options, char* buffer,
                                size_t size) {
  if (options == nullptr) return CopyCut("no options", buffer, size);
  try {
    mivaro::Generator{OptionsOf(*options)};
  } catch (const std::invalid_argument& refused) {
    return CopyCut(refused.what(), buffer, size);
  } catch (const std::bad_alloc&) {
    return CopyCut("out of memory", buffer, size);
  }
  return CopyCut("", buffer, size);
}

int mivaro_regions_parse(const char* list, size_t length, unsigned* regions, char* error,
                         size_t size) {
  std::string why;
  try {
    if (const auto bits = mivaro::ParseRegions(Entry(list, length), why)) {
      if (regions != nullptr) *regions = *bits;
      CopyCut("", error, size);
      return 1;
    }
  } catch (const std::bad_alloc&) {
    why = "out of memory";
  }
  CopyCut(why, error, size);
  return 0;
}

}  // extern "C"

struct mivaro_scanner {
  mivaro::Scanner scanner;
};

namespace {

// Hands a C++ match to a C sink.
struct SinkCall {
  mivaro_match_sink sink;
  void* context;

  void operator()(const mivaro::Match& match) const {
    if (sink == nullptr) return;
    mivaro_match out{};
    out.offset = match.offset;
    out.length = match.length;
    std::memcpy(out.number, match.number.data(), mivaro::kNumberLength);
    out.number[mivaro::kNumberLength] = '\0';
    out.confidence = static_cast<mivaro_confidence>(match.confidence);
    // The names are static literals, NUL-terminated.
    out.keyword = match.keyword.empty() ? "" : match.keyword.data();
    sink(&out, context);
  }
};

bool KnownConfidence(mivaro_confidence confidence) {
  return confidence >= MIVARO_CONFIDENCE_LOW && confidence <= MIVARO_CONFIDENCE_HIGH;
}

}  // namespace

extern "C" {

mivaro_scanner* mivaro_scanner_create(mivaro_confidence minimum) {
  if (!KnownConfidence(minimum)) return nullptr;
  try {
    return std::make_unique<mivaro_scanner>(
               mivaro_scanner{mivaro::Scanner(static_cast<mivaro::Confidence>(minimum))})
        .release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int mivaro_scanner_feed(mivaro_scanner* scanner, const char* text, size_t length,
                        mivaro_match_sink sink, void* context) {
  if (scanner == nullptr || (text == nullptr && length != 0)) return 0;
  try {
    scanner->scanner.Feed(Entry(text, length), SinkCall{sink, context});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int mivaro_scanner_finish(mivaro_scanner* scanner, mivaro_match_sink sink, void* context) {
  if (scanner == nullptr) return 0;
  try {
    scanner->scanner.Finish(SinkCall{sink, context});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

uint64_t mivaro_scanner_settled(const mivaro_scanner* scanner) {
  return scanner == nullptr ? 0 : scanner->scanner.Settled();
}

void mivaro_scanner_free(mivaro_scanner* scanner) {
  delete scanner;
}

const char* mivaro_confidence_name(mivaro_confidence confidence) {
  // The names are static literals, NUL-terminated.
  return KnownConfidence(confidence)
             ? mivaro::ConfidenceName(static_cast<mivaro::Confidence>(confidence)).data()
             : "";
}

void mivaro_redact_digits(char* match, size_t length, int all_digits) {
  if (match != nullptr) mivaro::RedactDigits(match, length, all_digits != 0);
}

}  // extern "C"
