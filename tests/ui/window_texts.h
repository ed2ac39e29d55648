// SPDX-License-Identifier: Apache-2.0
#pragma once

// The window's texts in the language of the current run, and what a screen
// reader reads of a control, for the window's tests.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QString>
#include <QTest>
#include <QWidget>

#include "ui/translations.h"

namespace mivaro::testing {

// Every window test runs twice: in English, the language of the source, and
// in French, with mivaro_fr.ts's translations as the program installs them.
inline bool g_french = false;

inline QString Tr(const char* english, const char* french) {
  return QString::fromUtf8(g_french ? french : english);
}

inline QString Atlantic() {
  return Tr(
      "SIN is VALID for:\r\n"
      "Nova Scotia, New Brunswick, Prince Edward Island, and Newfoundland and Labrador",
      "NAS VALIDE pour\u00A0:\r\n"
      "Nouvelle-\u00C9cosse, Nouveau-Brunswick, \u00CEle-du-Prince-\u00C9douard et "
      "Terre-Neuve-et-Labrador");
}
inline QString Ontario() {
  return Tr("SIN is VALID for:\r\nOntario", "NAS VALIDE pour\u00A0:\r\nOntario");
}
inline QString Quebec() {
  return Tr("SIN is VALID for:\r\nQuebec", "NAS VALIDE pour\u00A0:\r\nQu\u00E9bec");
}
inline QString Prairies() {
  return Tr(
      "SIN is VALID for:\r\nManitoba, Saskatchewan, Alberta, Northwest Territories, and "
      "Nunavut",
      "NAS VALIDE pour\u00A0:\r\nManitoba, Saskatchewan, Alberta, Territoires du "
      "Nord-Ouest et Nunavut");
}
inline QString Pacific() {
  return Tr("SIN is VALID for:\r\nBritish Columbia and Yukon",
            "NAS VALIDE pour\u00A0:\r\nColombie-Britannique et Yukon");
}
inline QString Temporary() {
  return Tr("SIN is VALID for TEMPORARY", "NAS VALIDE pour TEMPORAIRE");
}
inline QString Dummy() {
  return Tr("SIN is VALID but DUMMY", "NAS VALIDE mais FICTIF");
}
inline QString ForeignTax() {
  return Tr("SIN is VALID for FOREIGN//TAX", "NAS VALIDE pour \u00C9TRANGER//IMP\u00D4T");
}
inline QString Invalid() {
  return Tr("SIN is INVALID", "NAS INVALIDE");
}
inline QString TooLong() {
  return Tr("SIN # is only 9 digits!", "Le NAS ne compte que 9 chiffres!");
}
inline QString NotDigits() {
  return Tr("SIN # must contain only digits!", "Le NAS ne doit contenir que des chiffres!");
}
inline QString TooShort() {
  return Tr("SIN # must be 9 digits!", "Le NAS doit compter 9 chiffres!");
}
// The captions of the three labels, with their values.
inline QString Check(const char* values) {
  return Tr("Check: ", "Contr\u00F4le\u00A0: ") + QString::fromLatin1(values);
}
inline QString Sum(int sum) {
  return Tr("CheckSum: ", "Somme\u00A0: ") + QString::number(sum);
}
inline QString Generated(int attempts) {
  return Tr("Generated: ", "G\u00E9n\u00E9r\u00E9s\u00A0: ") + QString::number(attempts);
}

inline const QString kAtlanticFlags = QStringLiteral("0001000110010");
inline const QString kOntarioFlags = QStringLiteral("0000001000000");
inline const QString kNoFlags = QStringLiteral("0000000000000");
inline const QString kAllFlags = QStringLiteral("1111111111111");

// What a screen reader reads of a widget.
inline QString AccessibleText(QWidget* widget, QAccessible::Text which) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible != nullptr ? accessible->text(which) : QString();
}

inline QAction* MenuAction(QWidget* form, const char* name) {
  return form->findChild<QAction*>(QString::fromLatin1(name));
}

// Runs a Qt Test object's tests twice, in English and then in French with
// the translations the program installs for a French user; returns the
// number of failures.
template <typename Tests>
int RunInEnglishAndFrench(int argc, char* argv[]) {
  QApplication application(argc, argv);
  int failures = 0;
  for (const bool french : {false, true}) {
    if (french) {
      mivaro::ui::InstallTranslations(application, QLocale(QLocale::French, QLocale::Canada));
    }
    g_french = french;
    Tests tests;
    failures += QTest::qExec(&tests, argc, argv);
  }
  return failures;
}

}  // namespace mivaro::testing
