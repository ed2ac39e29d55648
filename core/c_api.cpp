// SPDX-License-Identifier: Apache-2.0
// The C API: thin wrappers over the C++ one, with no exception crossing them.
// Checking, formatting and generating; the search is in c_api_search.cpp.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "c_api_text.h"
#include "mivaro/generator.h"
#include "mivaro/mivaro.h"
#include "mivaro/record.h"
#include "mivaro/sin.h"
#include "nine_digits.h"

namespace {

using mivaro::detail::CopyCut;
using mivaro::detail::Entry;

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

mivaro::GeneratorOptions OptionsOf(const mivaro_generator_options& options) {
  mivaro::GeneratorOptions from;
  from.regions = options.regions;
  if (options.first_digit != -1) from.firstDigit = options.first_digit;
  from.zeroToNine = options.zero_to_nine != 0;
  from.unique = options.unique != 0;
  from.seed = options.seed;
  return from;
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

const char* mivaro_record_field_name(mivaro_record_field field) {
  const auto index = static_cast<std::size_t>(field);
  // The names are static literals, NUL-terminated.
  return index < mivaro::kRecordFields.size() ? mivaro::kRecordFields[index].data() : "";
}

const char* mivaro_group_name(mivaro_group group) {
  for (const mivaro::RegionGroup known : mivaro::kGroups) {
    if (static_cast<int>(known) == group) return mivaro::GroupName(known).data();
  }
  return "";
}

const char* mivaro_region_caption(unsigned region) {
  for (const mivaro::Region& box : mivaro::kRegions) {
    if (box.bit == region) return box.caption.data();
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

const char* mivaro_style_name(mivaro_style style) {
  // The names are static literals, NUL-terminated.
  return KnownStyle(style) ? mivaro::StyleName(static_cast<mivaro::Style>(style)).data() : "";
}

int mivaro_style_parse(const char* name, size_t length, mivaro_style* style, char* error,
                       size_t size) {
  return mivaro::detail::ParseForC(name, length, style, error, size, mivaro::ParseStyle);
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
  try {
    std::string refusal;
    std::optional<mivaro::Generator> made = mivaro::Generator::Create(OptionsOf(*options), refusal);
    if (!made) return nullptr;
    // Owned by the caller from here, until mivaro_generator_free.
    return std::make_unique<mivaro_generator>(mivaro_generator{std::move(*made)}).release();
  } catch (const std::bad_alloc&) {
    return nullptr;
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
    std::string refusal;
    if (!mivaro::Generator::Create(OptionsOf(*options), refusal)) {
      return CopyCut(refusal, buffer, size);
    }
  } catch (const std::bad_alloc&) {
    return CopyCut("out of memory", buffer, size);
  }
  return CopyCut("", buffer, size);
}

int mivaro_regions_parse(const char* list, size_t length, unsigned* regions, char* error,
                         size_t size) {
  return mivaro::detail::ParseForC(list, length, regions, error, size, mivaro::ParseRegions);
}

}  // extern "C"
