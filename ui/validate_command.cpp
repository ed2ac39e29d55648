// SPDX-License-Identifier: Apache-2.0
#include "ui/validate_command.h"

#include "ui/entry.h"
#include "ui/region_messages.h"

namespace mivaro {
namespace {

void ShowLine(ValidateView& view, const ShownLine& line) {
  view.ShowMessage(std::span<const ShownLine>(&line, 1));
}

}  // namespace

void RunValidate(WindowState& state, std::string_view entry, ValidateView& view) {
  view.HideGenerated();
  state.NumberText = std::string(entry);

  switch (ClassifyEntry(state.NumberText)) {
    case EntryKind::TooLong:
      ShowLine(view, kTooLongMessage);
      view.ClearEntry();
      return;
    // A short entry or one with other characters is never evaluated: it would
    // reuse digits an earlier number left in the tables. The entry stays so
    // the user can correct it.
    case EntryKind::NotDigitsOnly:
      ShowLine(view, kNotDigitsMessage);
      return;
    case EntryKind::TooShort:
      ShowLine(view, kTooShortMessage);
      return;
    case EntryKind::WellFormed:
      break;
  }

  const EvaluationResult result =
      EvaluateNumber(state.NumberText, state.DigitTable, state.WeightedTable);
  state.CheckSum = result.CheckSum;
  view.ShowCheckLabels(result);

  // Well formed, so the first character is a digit and has a group.
  const RegionGroup group = RegionForDigit(state.NumberText.front()).value();
  view.WriteRegionFlags(RegionFlagsFor(group));

  if (const auto lines = RegionMessageLines(group)) view.ShowMessage(*lines);
  state.IsValid = result.IsValid;
  if (!state.IsValid) {
    ShowLine(view, kInvalidMessage);
  } else if (const auto series = SeriesMessage(group)) {
    ShowLine(view, ShownLine{kTextContext, *series});
  }
}

}  // namespace mivaro
