// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where the window's controls lie, in twips (1/1440 inch), as the desktop
// window and the web page both lay them out.

#include <array>

#include "ui/region_boxes.h"

namespace mivaro {

// Twips in one device-independent pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// Returns a layout length in twips as device-independent pixels, rounded.
constexpr int Twips(int twips) {
  return (2 * twips + kTwipsPerPixel) / (2 * kTwipsPerPixel);
}

// The window's client area, below the menu bar.
inline constexpr int kClientWidth = 5235;
inline constexpr int kClientHeight = 1335;

struct Place {
  int left, top, width, height;  // twips
};

inline constexpr Place kText1{2040, 120, 1095, 285};
inline constexpr Place kCommand1{930, 120, 855, 375};
inline constexpr Place kCommand2{3330, 120, 975, 375};
inline constexpr Place kLabel1{2250, 1080, 360, 195};
inline constexpr Place kLabel2{405, 1080, 360, 195};
inline constexpr Place kLabel3{3930, 1080, 795, 195};

// Check1..Check13: two staggered rows, each alphabetical from left to right.
inline constexpr std::array<Place, kRegionBoxCount> kCheckPlaces{{
    {517, 600, 615, 195},   // AB
    {1080, 600, 615, 195},  // BC
    {1717, 600, 615, 195},  // MB
    {2317, 600, 615, 195},  // NB
    {765, 840, 615, 195},   // NU
    {1365, 840, 735, 195},  // NWT
    {2055, 840, 615, 195},  // ON
    {2655, 840, 615, 195},  // PEI
    {2917, 600, 615, 195},  // NF
    {3255, 840, 615, 195},  // QC
    {3840, 840, 585, 195},  // YT
    {3517, 600, 615, 195},  // NS
    {4102, 600, 615, 195},  // SK
}};

// The most characters Text1 takes, Qt's own default.
inline constexpr int kTextMaxLength = 32767;

// The font size in points the layout was drawn for: Qt's default font is
// larger and would clip the check-box captions at their 13-pixel height.
inline constexpr int kFontPointSize = 8;

}  // namespace mivaro
