// SPDX-License-Identifier: Apache-2.0
#pragma once

// What Validate does with an entry, apart from any toolkit: the desktop
// window and the web page both run it and show what it asks, in the order
// it asks, so the two give the same messages in the same order.

#include <span>
#include <string_view>

#include "ui/evaluation.h"
#include "ui/region_boxes.h"
#include "ui/shown_line.h"
#include "ui/window_state.h"

namespace mivaro {

// The messages for entries that are not nine digits.
inline constexpr ShownLine kTooLongMessage{
    kWindowContext, MIVARO_TRANSLATABLE("mivaro::ui::Form1", "SIN # is only 9 digits!")};
inline constexpr ShownLine kNotDigitsMessage{
    kWindowContext, MIVARO_TRANSLATABLE("mivaro::ui::Form1", "SIN # must contain only digits!")};
inline constexpr ShownLine kTooShortMessage{
    kWindowContext, MIVARO_TRANSLATABLE("mivaro::ui::Form1", "SIN # must be 9 digits!")};
// The message for nine digits whose check fails.
inline constexpr ShownLine kInvalidMessage{
    kWindowContext, MIVARO_TRANSLATABLE("mivaro::ui::Form1", "SIN is INVALID")};

// What a view does when Validate asks. Every call returns before Validate
// goes on, so a view that blocks in ShowMessage shows the rest after it.
class ValidateView {
 public:
  // Hides the count of generated attempts.
  virtual void HideGenerated() = 0;
  // Empties the entry box.
  virtual void ClearEntry() = 0;
  // Shows the check values and their sum.
  virtual void ShowCheckLabels(const EvaluationResult& result) = 0;
  // Ticks the region boxes whose flags are 1 and clears the others.
  virtual void WriteRegionFlags(const RegionFlags& flags) = 0;
  // Shows one modal message whose lines, each in the view's language, are
  // joined by line breaks.
  virtual void ShowMessage(std::span<const ShownLine> lines) = 0;

 protected:
  ~ValidateView() = default;
};

// Validates an entry (UTF-8) into the window state: refuses one that is not
// nine ASCII digits with a message, else evaluates it, shows the check labels,
// ticks its region's boxes and shows the region, "invalid" and series
// messages in that order.
void RunValidate(WindowState& state, std::string_view entry, ValidateView& view);

}  // namespace mivaro
