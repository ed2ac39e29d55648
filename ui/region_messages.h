// SPDX-License-Identifier: Apache-2.0
#pragma once

// The window's messages about what a first digit stands for: the region
// message shown for a region group whether or not the number passes, and
// the series message shown for a series only when it passes.

#include <array>
#include <optional>
#include <string_view>

#include "ui/region_boxes.h"
#include "ui/shown_line.h"

namespace mivaro {

// The first line of every region message, before CR LF and the region text.
inline constexpr std::string_view kRegionMessageLead =
    MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID for:");

// Returns the region text of a group ("Quebec", ...), or nothing for a series.
std::optional<std::string_view> RegionText(RegionGroup group);

// Returns the lines of the message shown for a region group whether or not
// the number passes: "SIN is VALID for:" and the region text, each to be
// shown in the view's language. Nothing for a series.
std::optional<std::array<ShownLine, 2>> RegionMessageLines(RegionGroup group);

// Returns the message shown for a series only when the number passes, or
// nothing for a region group.
std::optional<std::string_view> SeriesMessage(RegionGroup group);

}  // namespace mivaro
