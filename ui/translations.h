// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QLocale>
#include <QString>
#include <string>
#include <string_view>

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
std::string CoreTextUtf8(std::string_view text);

}  // namespace mivaro::ui
