// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QLocale>
#include <QString>
#include <span>
#include <string_view>

#include "ui/shown_line.h"

class QCoreApplication;

namespace mivaro::ui {

// Installs Mivaro's own translation and Qt's (for the standard button texts)
// for the language of a locale, where there are any: French (fr, fr_CA, ...)
// has both; English, the language of the source, needs none, and so does
// any language Mivaro has no translation for. The translators belong to app.
void InstallTranslations(QCoreApplication& app, const QLocale& locale = QLocale());

// Returns a text of the rules' tables (see MIVARO_TRANSLATABLE) as shown:
// translated into the installed language, or as it is.
QString CoreText(std::string_view text);

// Returns a text of the rules in the installed language, or as it is when
// its context is empty; several lines are joined by CR LF, one line break.
QString Shown(const ShownLine& line);
QString Shown(std::span<const ShownLine> lines);

}  // namespace mivaro::ui
