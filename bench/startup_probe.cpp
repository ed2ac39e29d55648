// SPDX-License-Identifier: Apache-2.0
// Starts one window, waits until it is shown and the event loop is idle,
// prints how long that took, and quits. bench/startup.py runs all three side
// by side:
//   form1     Mivaro's window;
//   bare      an empty QMainWindow with an empty menu bar, the baseline;
//   controls  a QMainWindow holding the same kinds and number of Qt controls
//             as Mivaro's window, with none of its code, which separates what
//             Qt's widgets and fonts cost from what Mivaro adds.
//
// The launcher passes its own CLOCK_MONOTONIC reading in MIVARO_SPAWN_NS, so
// the time includes loading the libraries, not just main().
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string_view>

#include "ui/form1.h"
#include "ui/translations.h"

namespace {

long long MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

std::unique_ptr<QMainWindow> PlainControlsWindow() {
  auto window = std::make_unique<QMainWindow>();
  window->menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Exit"));
  window->menuBar()->addAction(QStringLiteral("About"));
  auto* client = new QWidget(window.get());
  window->setCentralWidget(client);
  client->setFixedSize(349, 89);
  new QLineEdit(client);
  new QPushButton(QStringLiteral("Validate"), client);
  new QPushButton(QStringLiteral("Generate"), client);
  for (int box = 0; box < 13; ++box) new QCheckBox(QStringLiteral("AB"), client);
  for (int label = 0; label < 3; ++label) new QLabel(QStringLiteral("Sum:"), client);
  return window;
}

}  // namespace

int main(int argc, char* argv[]) {
  const long long mainNs = MonotonicNs();
  const char* spawn = std::getenv("MIVARO_SPAWN_NS");
  const long long startNs = spawn != nullptr ? std::atoll(spawn) : mainNs;
  const std::string_view which = argc > 1 ? argv[1] : "form1";
  if (which != "form1" && which != "bare" && which != "controls") {
    std::fprintf(stderr, "usage: startup_probe form1|bare|controls\n");
    return 2;
  }

  QApplication application(argc, argv);
  std::unique_ptr<QMainWindow> window;
  if (which == "form1") {
    // As the program does: in French when the environment asks for it.
    mivaro::ui::InstallTranslations(application);
    window = std::make_unique<mivaro::ui::Form1>();
  } else if (which == "controls") {
    window = PlainControlsWindow();
  } else {
    window = std::make_unique<QMainWindow>();
    window->menuBar();
  }
  window->show();
  // A zero timer fires once the queued show and paint events have been handled.
  QTimer::singleShot(0, &application, [&] {
    std::printf("%.3f\n", static_cast<double>(MonotonicNs() - startNs) / 1e6);
    QCoreApplication::quit();
  });
  return QApplication::exec();
}
