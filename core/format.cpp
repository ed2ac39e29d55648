// SPDX-License-Identifier: Apache-2.0
// Writing a number: its styles and their names, its mask; and the library's
// version.
#include "mivaro/sin.h"
#include "mivaro/version.h"
#include "names.h"

namespace mivaro {

std::string Format(const Number& number, Style style) {
  const std::string_view digits(number.data(), number.size());
  if (style == Style::Bare) return std::string(digits);
  const char separator = style == Style::Spaced ? ' ' : '-';
  std::string text;
  text.reserve(kNumberLength + 2);
  text.append(digits.substr(0, 3)).append(1, separator);
  text.append(digits.substr(3, 3)).append(1, separator);
  text.append(digits.substr(6, 3));
  return text;
}

std::optional<Style> ParseStyle(std::string_view name, std::string& error) {
  const auto index = detail::FindName(kStyleNames, name, "style", error);
  if (!index) return std::nullopt;
  return static_cast<Style>(*index);
}

std::string MaskDigits(std::string_view text, std::size_t hidden) {
  std::string masked(text);
  for (char& c : masked) {
    if (hidden == 0) break;
    if (c >= '0' && c <= '9') {
      c = '*';
      --hidden;
    }
  }
  return masked;
}

std::string Mask(const Number& number, Style style) {
  return MaskDigits(Format(number, style), HiddenDigits(kNumberLength));
}

std::string_view Version() noexcept {
  return MIVARO_VERSION;
}

}  // namespace mivaro
