// Opens Mivaro's window and runs the event loop until it closes.
#include <QApplication>
#include <cstdio>

#include "ui/display.h"
#include "ui/form1.h"

int main(int argc, char* argv[]) {
  if (const auto problem = mivaro::ui::MissingDisplay()) {
    std::fprintf(stderr, "%s\n", problem->c_str());
    return 1;
  }
  QApplication application(argc, argv);
  mivaro::ui::Form1 window;
  window.show();
  return QApplication::exec();
}
