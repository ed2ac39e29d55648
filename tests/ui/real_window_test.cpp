// SPDX-License-Identifier: Apache-2.0
// The window with its real services: a real QMessageBox, closed by the test,
// and screenshots of the window and the About box for a person to look at.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "quiet_offscreen.h"
#include "ui/form1.h"
#include "ui/translations.h"

namespace {

// Polls (inside the message box's own modal loop) for the box to appear,
// hands it to inspect, then presses its OK button. Gives up after five seconds
// so a box that never comes fails the test instead of hanging it.
void CloseNextMessageBox(const std::function<void(QMessageBox*)>& inspect) {
  auto* poll = new QTimer(qApp);
  poll->setInterval(20);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect, triesLeft = 250]() mutable {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (--triesLeft == 0) poll->deleteLater();
      return;
    }
    poll->stop();
    poll->deleteLater();
    inspect(box);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
  poll->start();
}

QString ScreenshotPath(const QString& name) {
  QDir().mkpath(QStringLiteral(MIVARO_SCREENSHOT_DIR));
  return QStringLiteral(MIVARO_SCREENSHOT_DIR "/%1.png").arg(name);
}

}  // namespace

class RealWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // After QTest has installed its own log handler, which ours forwards to.
  void initTestCase() { mivaro::testing::SilenceOffscreenSizeHintWarning(); }

  void messageBoxHasTheTitleNoIconOneOkButtonAndPlainLineBreaks() {
    mivaro::ui::Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("123456782"));

    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    qsizetype buttons = 0;
    bool okIsThere = false;
    CloseNextMessageBox([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->buttons().size();
      okIsThere = box->button(QMessageBox::Ok) != nullptr;
    });
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    QCOMPARE(title, QStringLiteral("Mivaro"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, 1);
    QVERIFY(okIsThere);
    QCOMPARE(text, QStringLiteral("SIN is VALID for:\nNova Scotia, New Brunswick, Prince Edward "
                                  "Island, and Newfoundland and Labrador"));
    QVERIFY(!text.contains(u'\r'));
    QVERIFY(form.State().IsValid);
  }

  void savesScreenshotsOfTheWindowAndTheAboutBox_data() {
    QTest::addColumn<QString>("prefix");  // of the file names
    QTest::newRow("English") << QString();
    // Last: the French translations stay installed from here on.
    QTest::newRow("French") << QStringLiteral("fr-");
  }

  void savesScreenshotsOfTheWindowAndTheAboutBox() {
    QFETCH(QString, prefix);
    if (!prefix.isEmpty()) {
      mivaro::ui::InstallTranslations(*qApp, QLocale(QLocale::French, QLocale::Canada));
    }
    mivaro::ui::Form1Services services;
    services.pause = [](std::chrono::milliseconds) {};
    mivaro::ui::Form1 form(std::move(services));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.grab().save(ScreenshotPath(prefix + QStringLiteral("1-start-up"))));

    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("123456782"));
    CloseNextMessageBox([prefix](QMessageBox* box) {
      box->grab().save(ScreenshotPath(prefix + QStringLiteral("2-validate-message")));
    });
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QVERIFY(form.grab().save(ScreenshotPath(prefix + QStringLiteral("3-after-validate"))));

    // Only Quebec ticked, so the generated number starts with 2 or 3.
    for (int box = 1; box <= 13; ++box) {
      form.findChild<QWidget*>(QStringLiteral("Check%1").arg(box))
          ->setProperty("checked", box == 10);
    }
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QVERIFY(form.grab().save(ScreenshotPath(prefix + QStringLiteral("4-after-generate"))));

    bool aboutShown = false;
    CloseNextMessageBox([&aboutShown, prefix](QMessageBox* box) {
      aboutShown = box->grab().save(ScreenshotPath(prefix + QStringLiteral("5-about")));
    });
    form.findChild<QAction*>(QStringLiteral("About"))->trigger();
    QVERIFY(aboutShown);
  }
};

QTEST_MAIN(RealWindowTest)
#include "real_window_test.moc"
