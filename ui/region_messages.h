// SPDX-License-Identifier: Apache-2.0
#pragma once

// The window's messages about what a first digit stands for: the region
// message shown for a region group whether or not the number passes, and
// the series message shown for a series only when it passes.

#include <mivaro/regions.h>

#include <optional>
#include <string>
#include <string_view>

namespace mivaro {

// The first line of every region message, before CR LF and the region text.
inline constexpr std::string_view kRegionMessageLead =
    MIVARO_TRANSLATABLE("mivaro::Regions", "SIN is VALID for:");

// Returns the region text of a group ("Quebec", ...), or nothing for a series.
std::optional<std::string_view> RegionText(RegionGroup group);

// Turns a text of the tables into the text shown, for example its
// translation; none shows it as it is.
using ShownText = std::string (*)(std::string_view text);

// Returns the message shown for a region group whether or not the number
// passes: "SIN is VALID for:", CR LF, the region text, each as shown. Nothing
// for a series.
std::optional<std::string> RegionMessage(RegionGroup group, ShownText shown = nullptr);

// Returns the message shown for a series only when the number passes, or
// nothing for a region group.
std::optional<std::string_view> SeriesMessage(RegionGroup group);

}  // namespace mivaro
