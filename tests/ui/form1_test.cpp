// SPDX-License-Identifier: Apache-2.0
// Behaviour of the main window: start-up, layout, menu and keyboard, driven
// through the named controls, in English and in French.

#include <mivaro/version.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QIcon>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QWindow>

#include "form1_harness.h"
#include "quiet_offscreen.h"
#include "ui/entry.h"
#include "window_texts.h"

using namespace mivaro::testing;

class Form1Test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // After QTest has installed its own log handler, which ours forwards to.
  void initTestCase() { mivaro::testing::SilenceOffscreenSizeHintWarning(); }

  void startsWithAnEmptyEntryHiddenLabelsAndNoTicks() {
    Form1Harness h;
    QCOMPARE(h.form->windowTitle(), QStringLiteral("Mivaro v" MIVARO_VERSION));
    QCOMPARE(h.Text1()->text(), QString());
    for (int label = 1; label <= 3; ++label) QVERIFY(!h.Label(label)->isVisible());
    QCOMPARE(h.Flags(), kNoFlags);
    QVERIFY(!h.form->State().IsValid);
    QCOMPARE(h.form->State().AppVersion, std::string(MIVARO_VERSION));
    QCOMPARE(h.form->State().DigitTable, mivaro::EmptyDigitSlots());
    QCOMPARE(h.form->State().WeightedTable, mivaro::EmptyWeightedSlots());
    QVERIFY(h.messages.isEmpty());
  }

  void placesEveryControlWhereTheTwipLayoutSays_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");  // device-independent pixels, 15 twips each
    QTest::newRow("Text1") << "Text1" << QRect(136, 8, 73, 19);
    QTest::newRow("Command1") << "Command1" << QRect(62, 8, 57, 25);
    QTest::newRow("Command2") << "Command2" << QRect(222, 8, 65, 25);
    QTest::newRow("Check1 AB") << "Check1" << QRect(34, 40, 41, 13);
    QTest::newRow("Check2 BC") << "Check2" << QRect(72, 40, 41, 13);
    QTest::newRow("Check3 MB") << "Check3" << QRect(114, 40, 41, 13);
    QTest::newRow("Check4 NB") << "Check4" << QRect(154, 40, 41, 13);
    QTest::newRow("Check5 NU") << "Check5" << QRect(51, 56, 41, 13);
    QTest::newRow("Check6 NWT") << "Check6" << QRect(91, 56, 49, 13);
    QTest::newRow("Check7 ON") << "Check7" << QRect(137, 56, 41, 13);
    QTest::newRow("Check8 PEI") << "Check8" << QRect(177, 56, 41, 13);
    QTest::newRow("Check9 NF") << "Check9" << QRect(194, 40, 41, 13);
    QTest::newRow("Check10 QC") << "Check10" << QRect(217, 56, 41, 13);
    QTest::newRow("Check11 YT") << "Check11" << QRect(256, 56, 39, 13);
    QTest::newRow("Check12 NS") << "Check12" << QRect(234, 40, 41, 13);
    QTest::newRow("Check13 SK") << "Check13" << QRect(273, 40, 41, 13);
  }

  void placesEveryControlWhereTheTwipLayoutSays() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    Form1Harness h;
    QCOMPARE(h.form->findChild<QWidget*>(name)->geometry(), geometry);
  }

  void hasAFixedClientAreaBelowTheMenuBar() {
    Form1Harness h;
    QCOMPARE(h.form->centralWidget()->size(), QSize(349, 89));
    QCOMPARE(h.form->minimumSize(), h.form->maximumSize());  // not resizable
    QVERIFY(!h.form->menuBar()->isNativeMenuBar());
  }

  void showsEveryCheckBoxCaptionWhole() {
    Form1Harness h;
    for (int box = 1; box <= 13; ++box) {
      QCheckBox* check = h.Check(box);
      QStyleOptionButton option;
      option.initFrom(check);
      option.text = check->text();
      const QRect contents =
          check->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check);
      const QFontMetrics metrics = check->fontMetrics();
      QVERIFY2(metrics.horizontalAdvance(check->text()) <= contents.width(),
               qPrintable(check->text()));
      QVERIFY2(metrics.height() <= check->height(), qPrintable(check->text()));
    }
    for (int command = 1; command <= 2; ++command) {
      QPushButton* button = h.Command(command);
      QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) < button->width() - 8);
    }
  }

  void showsMivarosIconInEverySize() {
    Form1Harness h;
    const QIcon icon = h.form->windowIcon();
    QVERIFY(!icon.isNull());
    for (const int size : {16, 24, 32, 48, 64}) {
      QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
               qPrintable(QString::number(size)));
    }
    // The card's red band runs across the top of the icon.
    const QColor band = icon.pixmap(QSize(64, 64)).toImage().pixelColor(32, 15);
    QVERIFY2(band.red() > 150 && band.green() < 80 && band.blue() < 80, qPrintable(band.name()));
  }

  void namesEveryControlForScreenReaders() {
    Form1Harness h;
    QCOMPARE(AccessibleText(h.Text1(), QAccessible::Name), Tr("SIN", "NAS"));
    for (QWidget* widget : h.form->centralWidget()->findChildren<QWidget*>()) {
      QVERIFY2(!AccessibleText(widget, QAccessible::Name).isEmpty(),
               qPrintable(widget->objectName()));
    }
    QCOMPARE(AccessibleText(h.Check(9), QAccessible::Name), QStringLiteral("NF"));
    QCOMPARE(AccessibleText(h.Check(9), QAccessible::Description),
             Tr("Newfoundland and Labrador", "Terre-Neuve-et-Labrador"));
  }

  void screenReadersHearEveryCaptionTheWindowShows_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("after Validate") << "validate";
    QTest::newRow("after Generate") << "generate";
  }

  void screenReadersHearEveryCaptionTheWindowShows() {
    QFETCH(QString, command);
    Form1Harness h{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.8F};
    h.Check(4)->setChecked(true);
    if (command == QStringLiteral("validate")) {
      h.Validate(QStringLiteral("123456782"));
    } else {
      h.Generate();
      // Each count written during the run was heard as it was painted.
      QCOMPARE(h.label3NamesAtPauses, (QStringList{Generated(1), Generated(2)}));
    }
    for (int label = 1; label <= 3; ++label) {
      QLabel* shown = h.Label(label);
      if (!shown->isVisible()) continue;
      QCOMPARE(AccessibleText(shown, QAccessible::Name), shown->text());
      QVERIFY(!AccessibleText(shown, QAccessible::Description).isEmpty());
    }
    for (QAbstractButton* button : h.form->centralWidget()->findChildren<QAbstractButton*>()) {
      QVERIFY2(AccessibleText(button, QAccessible::Name).contains(button->text()),
               qPrintable(button->objectName()));
    }
  }

  void offersSaveGreyedAndExitUnderFileAndAboutOnTheBar() {
    Form1Harness h;
    const QList<QAction*> bar = h.form->menuBar()->actions();
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar[0]->text(), Tr("File", "Fichier"));
    QCOMPARE(bar[1]->text(), Tr("About", "\u00C0 propos"));
    QVERIFY(bar[1]->menu() == nullptr);
    const QList<QAction*> file = bar[0]->menu()->actions();
    QCOMPARE(file.size(), 2);
    QCOMPARE(file[0]->text(), Tr("Save", "Enregistrer"));
    QVERIFY(!file[0]->isEnabled());
    QCOMPARE(file[1]->text(), Tr("Exit", "Quitter"));
    for (QAction* action : {bar[0], bar[1], file[0], file[1]}) {
      QVERIFY(action->shortcut().isEmpty());
      QVERIFY(!action->text().contains(u'&'));
    }
  }

  void aboutShowsSixLinesAndChangesNothing_data() {
    QTest::addColumn<QStringList>("before");  // entries validated first
    QTest::newRow("right after start-up") << QStringList{};
    QTest::newRow("after validating") << QStringList{"123456782", "111111111"};
    QTest::newRow("after a refusal") << QStringList{"1234567890"};
  }

  void aboutShowsSixLinesAndChangesNothing() {
    QFETCH(QStringList, before);
    Form1Harness h;
    for (const QString& entry : before) h.Validate(entry);
    h.Text1()->setText(QStringLiteral("typed"));
    const QString flags = h.Flags();
    const QString label1 = h.Label(1)->text();
    const bool label1Visible = h.Label(1)->isVisible();
    const mivaro::WindowState state = h.form->State();
    h.messages.clear();

    MenuAction(h.form.get(), "About")->trigger();

    QCOMPARE(h.messages.size(), 1);
    const QStringList lines = h.messages[0].split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], Tr("Mivaro v" MIVARO_VERSION " by the Mivaro developers",
                          "Mivaro v" MIVARO_VERSION " par les d\u00E9veloppeurs de Mivaro"));
    QCOMPARE(lines[1], QStringLiteral("Mivaro v" MIVARO_VERSION));
    QVERIFY(lines[2].startsWith(Tr("E-Mail: ", "Courriel\u00A0: ")));
    QVERIFY(lines[3].startsWith(Tr("Twitter: ", "Twitter\u00A0: ")));
    QVERIFY(lines[4].startsWith(Tr("BitCoin: ", "BitCoin\u00A0: ")));
    QVERIFY(lines[5].startsWith(Tr("Blog: ", "Blogue\u00A0: ")));
    QCOMPARE(h.Text1()->text(), QStringLiteral("typed"));
    QCOMPARE(h.Flags(), flags);
    QCOMPARE(h.Label(1)->text(), label1);
    QCOMPARE(h.Label(1)->isVisible(), label1Visible);
    QCOMPARE(h.form->State().NumberText, state.NumberText);
    CompareResultState(h.form->State(), state);
  }

  void exitClosesTheWindowAndEndsTheEventLoop() {
    Form1Harness h;
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, h.form.get(), [&h] { MenuAction(h.form.get(), "Exit")->trigger(); });
    const int exitCode = RunEventLoopWithDeadline();

    QCOMPARE(exitCode, 0);
    QCOMPARE(lastWindowClosed.count(), 1);
    QVERIFY(!h.form->isVisible());
    QVERIFY(h.messages.isEmpty());  // no question asked
  }

  void closingByTheFrameEndsTheEventLoopToo() {
    Form1Harness h;
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, h.form.get(), [&h] { h.form->windowHandle()->close(); });
    const int exitCode = RunEventLoopWithDeadline();

    QCOMPARE(exitCode, 0);
    QCOMPARE(lastWindowClosed.count(), 1);
    QVERIFY(!h.form->isVisible());
  }

  void tabVisitsEntryButtonsAndBoxesInOrderAndSkipsTheLabels() {
    Form1Harness h;
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    QCOMPARE(QApplication::focusWidget(), h.Text1());

    QStringList visited;
    for (int press = 0; press < 16; ++press) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }

    QStringList expected{"Command1", "Command2"};
    for (int box = 1; box <= 13; ++box) expected << QStringLiteral("Check%1").arg(box);
    expected << "Text1";
    QCOMPARE(visited, expected);
  }

  void enterAndEscapeInTheEntryPressNothing() {
    Form1Harness h;
    QSignalSpy validate(h.Command(1), &QPushButton::clicked);
    QSignalSpy generate(h.Command(2), &QPushButton::clicked);
    h.Text1()->setText(QStringLiteral("123456782"));

    QTest::keyClick(h.Text1(), Qt::Key_Return);
    QTest::keyClick(h.Text1(), Qt::Key_Enter);
    QTest::keyClick(h.Text1(), Qt::Key_Escape);

    QCOMPARE(validate.count(), 0);
    QCOMPARE(generate.count(), 0);
    QVERIFY(h.messages.isEmpty());
    QVERIFY(!h.Label(1)->isVisible());
  }

 private:
  // Runs the application's event loop until something quits it; gives up with
  // -1 after five seconds so that a window that will not close fails the test.
  static int RunEventLoopWithDeadline() {
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, qApp, [] { QCoreApplication::exit(-1); });
    deadline.start(5000);
    return QCoreApplication::exec();
  }
};

int main(int argc, char* argv[]) {
  QTEST_SET_MAIN_SOURCE_PATH
  return RunInEnglishAndFrench<Form1Test>(argc, argv);
}

#include "form1_test.moc"
