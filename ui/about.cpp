// SPDX-License-Identifier: Apache-2.0
#include "ui/about.h"

namespace mivaro {
namespace {

// The contact lines. Mivaro publishes no personal accounts, so these are
// neutral values.
constexpr std::string_view kEmail = "mivaro@example.org";
constexpr std::string_view kBlog = "https://example.org/mivaro";

constexpr std::string_view kNotPublished =
    MIVARO_TRANSLATABLE("mivaro::ui::Form1", "not published");

ShownLine WindowText(std::string_view text) {
  return ShownLine{kWindowContext, text};
}

}  // namespace

std::array<AboutLine, 6> AboutLines(std::string_view version) {
  const std::string name = "Mivaro v" + std::string(version);
  return {{
      //: The first line of About: %1 is the program's name and version.
      {WindowText(MIVARO_TRANSLATABLE("mivaro::ui::Form1", "%1 by the Mivaro developers")), name},
      {ShownLine{{}, "%1"}, name},
      {WindowText(MIVARO_TRANSLATABLE("mivaro::ui::Form1", "E-Mail: %1")), std::string(kEmail)},
      {WindowText(MIVARO_TRANSLATABLE("mivaro::ui::Form1", "Twitter: %1")),
       std::string(kNotPublished), true},
      {WindowText(MIVARO_TRANSLATABLE("mivaro::ui::Form1", "BitCoin: %1")),
       std::string(kNotPublished), true},
      {WindowText(MIVARO_TRANSLATABLE("mivaro::ui::Form1", "Blog: %1")), std::string(kBlog)},
  }};
}

}  // namespace mivaro
