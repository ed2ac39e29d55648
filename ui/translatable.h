// SPDX-License-Identifier: Apache-2.0
#pragma once

/// Marks a text that people read so that translation tools collect it (Qt's
/// lupdate is told to read it as QT_TRANSLATE_NOOP); the text itself is all
/// the macro leaves, so the window's rules need no Qt.
#define MIVARO_TRANSLATABLE(context, text) text

namespace mivaro {

// The translation context of the texts in the window's rules' tables.
inline constexpr char kTextContext[] = "mivaro::Regions";

}  // namespace mivaro
