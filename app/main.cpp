// SPDX-License-Identifier: Apache-2.0
// Opens Mivaro's window and runs the event loop until it closes.
#include <QApplication>
#include <cstdio>

#include "ui/display.h"
#include "ui/form1.h"
#include "ui/translations.h"

int main(int argc, char* argv[]) {
  if (const auto problem = mivaro::ui::MissingDisplay()) {
    std::fprintf(stderr, "%s\n", problem->c_str());
    return 1;
  }
  QApplication application(argc, argv);
  // French for French users (LANGUAGE, LC_ALL, LC_MESSAGES or LANG); English
  // for everyone else.
  mivaro::ui::InstallTranslations(application);
  // Lets the desktop match the window to the installed entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.mivaro"));
  mivaro::ui::Form1 window;
  window.show();
  return QApplication::exec();
}
