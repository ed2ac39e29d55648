// SPDX-License-Identifier: Apache-2.0
#include "ui/translations.h"

#include <mivaro/regions.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace mivaro::ui {

namespace {

// Loads a translation of a locale's language; on success hands it to app.
bool Install(QCoreApplication& app, const QLocale& locale, const QString& name,
             const QString& directory) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(locale, name, QStringLiteral("_"), directory)) return false;
  translator->setParent(&app);
  QCoreApplication::installTranslator(translator.release());
  return true;
}

}  // namespace

void InstallTranslations(QCoreApplication& app, const QLocale& locale) {
  // Ours is compiled into the window's resources by qt_add_translations.
  // Qt's own only with ours: a language Mivaro does not speak stays all
  // English, buttons included.
  if (Install(app, locale, QStringLiteral("mivaro"), QStringLiteral(":/i18n"))) {
    Install(app, locale, QStringLiteral("qtbase"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  }
}

QString CoreText(std::string_view text) {
  const std::string source(text);  // translate() wants it terminated
  return QCoreApplication::translate(kTextContext, source.c_str());
}

std::string CoreTextUtf8(std::string_view text) {
  return CoreText(text).toStdString();
}

}  // namespace mivaro::ui
