// SPDX-License-Identifier: Apache-2.0
#include "ui/display.h"

#include <cstdlib>
#include <string_view>

namespace mivaro::ui {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::string_view(value).size() > 0;
}

}  // namespace

std::optional<std::string> MissingDisplay() {
  // Without these Qt aborts with several lines about platform plugins; one
  // plain sentence serves the user better.
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) {
    return std::nullopt;
  }
  return std::string(
      "mivaro: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
      "run it in a desktop session");
}

}  // namespace mivaro::ui
