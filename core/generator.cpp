// SPDX-License-Identifier: Apache-2.0
// Generator: the public face of the three ways of drawing numbers.
#include "mivaro/generator.h"

#include <algorithm>

#include "fast_generator.h"
#include "invalid_generator.h"
#include "text/utf8.h"

namespace mivaro {

struct Generator::State {
  detail::FirstDigitRule rule;
  detail::DigitRange range = detail::DigitRange::OneToNine;
  Style style = Style::Bare;
  std::uint64_t distinct = 0;
  std::uint64_t left = 0;  // for a unique run: the numbers not yet given
  // One source of numbers, by the options.
  std::optional<detail::FastGenerator> valid;
  std::optional<detail::UniqueGenerator> unique;
  std::optional<detail::InvalidGenerator> invalid;
};

Generator::Generator() : state_(std::make_unique<State>()) {}

std::optional<Generator> Generator::Create(const GeneratorOptions& options, std::string& error) {
  if (options.regions != 0 && options.firstDigit) {
    error = "regions and a first digit cannot go together";
    return std::nullopt;
  }
  if (options.firstDigit && (*options.firstDigit < 0 || *options.firstDigit > 9)) {
    error =
        "first digit " + std::to_string(*options.firstDigit) + " is out of range (expected 0 to 9)";
    return std::nullopt;
  }
  if (options.unique && !options.invalid.empty()) {
    error = "unique is for valid numbers and cannot go with invalid kinds";
    return std::nullopt;
  }
  Generator generator;
  State& state = *generator.state_;
  state.rule = options.firstDigit ? detail::FirstDigitRule::ForDigit(*options.firstDigit)
                                  : detail::FirstDigitRule::ForRegions(options.regions);
  state.range = options.zeroToNine ? detail::DigitRange::ZeroToNine : detail::DigitRange::OneToNine;
  state.style = options.style;
  state.distinct = detail::CountValidNumbers(state.rule, state.range);
  if (!options.invalid.empty()) {
    const bool keepFirst = options.firstDigit || options.regions != 0;
    state.invalid.emplace(state.rule, keepFirst, options.seed, state.range, options.invalid,
                          options.style);
  } else if (options.unique) {
    state.unique.emplace(state.rule, options.seed, state.range);
    state.left = state.distinct;
  } else {
    state.valid.emplace(state.rule, options.seed, state.range);
  }
  return generator;
}

Generator::~Generator() = default;
Generator::Generator(Generator&&) noexcept = default;
Generator& Generator::operator=(Generator&&) noexcept = default;

std::uint64_t Generator::Distinct() const noexcept {
  return state_->distinct;
}

bool Generator::Gives(std::uint64_t count, std::string& error) const {
  if (state_->unique && count > state_->distinct) {
    error = "count " + std::to_string(count) + " is more than the " +
            std::to_string(state_->distinct) + " distinct valid numbers these options allow";
    return false;
  }
  return true;
}

bool Generator::Next(Number& number) {
  State& state = *state_;
  if (state.valid) {
    state.valid->Next(number);
    return true;
  }
  if (state.unique && state.left > 0) {
    --state.left;
    state.unique->Next(number);
    return true;
  }
  return false;
}

bool Generator::Next(std::string& text) {
  if (state_->invalid) {
    state_->invalid->Next(text);
    return true;
  }
  Number number{};
  if (!Next(number)) return false;
  text = Format(number, state_->style);
  return true;
}

namespace {

// Splits a comma-separated list, each item without the blanks around it.
template <typename Take>
bool EachListItem(std::string_view list, const Take& take) {
  while (true) {
    const std::size_t comma = list.find(',');
    if (!take(text::TrimBlanks(list.substr(0, comma)))) return false;
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace

std::optional<std::vector<InvalidKind>> ParseInvalidKinds(std::string_view list,
                                                          std::string& error) {
  std::vector<InvalidKind> kinds;
  const bool read = EachListItem(list, [&](std::string_view name) {
    const auto known = std::find_if(kInvalidKinds.begin(), kInvalidKinds.end(),
                                    [&](const auto& kind) { return kind.first == name; });
    if (known == kInvalidKinds.end()) {
      std::string names;
      for (const auto& kind : kInvalidKinds)
        names += (names.empty() ? "" : ", ") + std::string(kind.first);
      error = "unknown kind '" + std::string(name) + "' (expected " + names + ")";
      return false;
    }
    if (std::find(kinds.begin(), kinds.end(), known->second) == kinds.end()) {
      kinds.push_back(known->second);
    }
    return true;
  });
  if (!read) return std::nullopt;
  return kinds;
}

std::optional<unsigned> ParseRegions(std::string_view list, std::string& error) {
  unsigned bits = 0;
  const bool read = EachListItem(list, [&](std::string_view caption) {
    const auto box = std::find_if(kRegions.begin(), kRegions.end(), [&](const Region& b) {
      return EqualsIgnoringCase(b.caption, caption);
    });
    if (box == kRegions.end()) {
      std::string known;
      for (const Region& each : kRegions)
        known += (known.empty() ? "" : ", ") + std::string(each.caption);
      error = caption.empty()
                  ? "an empty region in the list (expected " + known + ")"
                  : "unknown region '" + std::string(caption) + "' (expected " + known + ")";
      return false;
    }
    bits |= box->bit;
    return true;
  });
  if (!read) return std::nullopt;
  return bits;
}

}  // namespace mivaro
