// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <optional>
#include <string>

namespace mivaro::ui {

// Returns one line saying why no window can be opened here (no display to
// show it on), or nothing when Qt has somewhere to draw.
std::optional<std::string> MissingDisplay();

}  // namespace mivaro::ui
