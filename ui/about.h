// SPDX-License-Identifier: Apache-2.0
#pragma once

// The About message, apart from any toolkit, so the desktop window and the
// web page show the same six lines.

#include <array>
#include <string>
#include <string_view>

#include "ui/shown_line.h"

namespace mivaro {

// One line of the About message: a text in which the value stands for %1.
struct AboutLine {
  ShownLine text;               // an empty context: shown as it is
  std::string value;            // fills %1
  bool translateValue = false;  // the value is a text of kWindowContext
};

// Returns the six lines of the About message for a version ("1.1").
std::array<AboutLine, 6> AboutLines(std::string_view version);

}  // namespace mivaro
