// SPDX-License-Identifier: Apache-2.0
#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>
#include <memory>

#include "ui/region_boxes.h"

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
  return Shown(ShownLine{kTextContext, text});
}

QString Shown(const ShownLine& line) {
  // translate() wants both terminated.
  const std::string source(line.text);
  if (line.context.empty()) return QString::fromStdString(source);
  const std::string context(line.context);
  return QCoreApplication::translate(context.c_str(), source.c_str());
}

QString Shown(std::span<const ShownLine> lines) {
  QStringList shown;
  for (const ShownLine& line : lines) shown << Shown(line);
  return shown.join(QStringLiteral("\r\n"));
}

}  // namespace mivaro::ui
