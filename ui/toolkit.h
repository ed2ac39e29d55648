// SPDX-License-Identifier: Apache-2.0
#pragma once

// The few operations the window asks of Qt, each with the behaviour the
// commands rely on: message boxes that block until closed, captions that widen
// their label, repaints that happen before the call returns, and a pause that
// holds the user-interface thread.

#include <QString>
#include <chrono>
#include <string>
#include <string_view>

class QLabel;
class QWidget;

namespace mivaro::ui {

// The title of every message box.
inline constexpr char kMessageTitle[] = "Mivaro";

// Shows a modal message box with the text, one OK button, no icon and the
// title "Mivaro", and returns once the user has closed it. A CR LF in the text
// is one line break.
void ShowMessageBox(QWidget* parent, const QString& text);

// Sets a label's caption and widens (or narrows) the label to fit it on one
// line, keeping its left edge, top edge and height.
void SetCaption(QLabel* label, const QString& caption);

// Paints the widget and its visible children on screen before returning.
void Refresh(QWidget* widget);

// Blocks the calling thread for the given time without handling any events.
void Pause(std::chrono::milliseconds duration);

// Converts between the core's UTF-8 text and Qt's strings.
QString FromUtf8(std::string_view text);
std::string ToUtf8(const QString& text);

}  // namespace mivaro::ui
