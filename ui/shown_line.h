// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string_view>

#include "ui/translatable.h"

namespace mivaro {

// The translation context of the window's own texts: every view files them
// under the window's class, so one translation serves them all.
inline constexpr char kWindowContext[] = "mivaro::ui::Form1";

// A text people read, as written in the sources: each view shows it in its
// language by looking up the context and the English text.
struct ShownLine {
  std::string_view context;
  std::string_view text;

  friend bool operator==(const ShownLine&, const ShownLine&) = default;
};

}  // namespace mivaro
