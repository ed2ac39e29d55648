// SPDX-License-Identifier: Apache-2.0
// The window's Validate and Generate commands, driven through clicks on the
// named controls, in English and in French.

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>

#include "form1_harness.h"
#include "quiet_offscreen.h"
#include "window_texts.h"

#ifndef MIVARO_PASTE_BOUND_MS
#define MIVARO_PASTE_BOUND_MS 1000
#endif

namespace mivaro::testing {
namespace {

class Form1CommandsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // After QTest has installed its own log handler, which ours forwards to.
  void initTestCase() { SilenceOffscreenSizeHintWarning(); }

  void validateShowsChecksRegionsAndMessagesInOrder_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("valid");

    QTest::newRow("123456782 Atlantic, valid") << "123456782" << Check("143853772") << Sum(40)
                                               << kAtlanticFlags << QStringList{Atlantic()} << true;
    QTest::newRow("111111111 Atlantic, invalid")
        << "111111111" << Check("121212121") << Sum(13) << kAtlanticFlags
        << QStringList{Atlantic(), Invalid()} << false;
    QTest::newRow("999999998 temporary, valid") << "999999998" << Check("999999998") << Sum(80)
                                                << kNoFlags << QStringList{Temporary()} << true;
    QTest::newRow("000000000 zero sum, invalid") << "000000000" << Check("000000000") << Sum(0)
                                                 << kNoFlags << QStringList{Invalid()} << false;
    QTest::newRow("800000002 dummy, valid")
        << "800000002" << Check("800000002") << Sum(10) << kNoFlags << QStringList{Dummy()} << true;
    QTest::newRow("000000026 foreign or tax, valid")
        << "000000026" << Check("000000046") << Sum(10) << kNoFlags << QStringList{ForeignTax()}
        << true;
    QTest::newRow("900000000 temporary, invalid") << "900000000" << Check("900000000") << Sum(9)
                                                  << kNoFlags << QStringList{Invalid()} << false;
    QTest::newRow("400000006 Ontario, valid") << "400000006" << Check("400000006") << Sum(10)
                                              << kOntarioFlags << QStringList{Ontario()} << true;
    QTest::newRow("500000000 Ontario, invalid")
        << "500000000" << Check("500000000") << Sum(5) << kOntarioFlags
        << QStringList{Ontario(), Invalid()} << false;
    QTest::newRow("300000007 Quebec, valid") << "300000007" << Check("300000007") << Sum(10)
                                             << "0000000001000" << QStringList{Quebec()} << true;
    QTest::newRow("600000004 Prairies and North, valid")
        << "600000004" << Check("600000004") << Sum(10) << "1010110000001"
        << QStringList{Prairies()} << true;
    QTest::newRow("700000000 Pacific and North, invalid")
        << "700000000" << Check("700000000") << Sum(7) << "0100000000100"
        << QStringList{Pacific(), Invalid()} << false;
  }

  void validateShowsChecksRegionsAndMessagesInOrder() {
    QFETCH(QString, entry);
    QFETCH(QString, label2);
    QFETCH(QString, label1);
    QFETCH(QString, flags);
    QFETCH(QStringList, messages);
    QFETCH(bool, valid);
    Form1Harness h;
    h.SetFlags(kAllFlags);  // the user's own ticks are overwritten

    for (int press = 1; press <= 2; ++press) {  // pressing twice gives the same
      h.messages.clear();
      h.Validate(entry);

      QCOMPARE(h.Label(2)->text(), label2);
      QCOMPARE(h.Label(1)->text(), label1);
      QVERIFY(h.Label(1)->isVisible());
      QVERIFY(h.Label(2)->isVisible());
      QVERIFY(!h.Label(3)->isVisible());
      QCOMPARE(h.Flags(), flags);
      QCOMPARE(h.messages, messages);
      QCOMPARE(h.form->State().IsValid, valid);
      QCOMPARE(h.Text1()->text(), entry);
    }
  }

  void validateWidensTheLabelsToFitTheirCaptions() {
    Form1Harness h;
    h.Validate(QStringLiteral("123456782"));
    for (int label = 1; label <= 2; ++label) {
      QLabel* shown = h.Label(label);
      QVERIFY(shown->width() >= shown->fontMetrics().horizontalAdvance(shown->text()));
      QCOMPARE(shown->height(), 13);
    }
    QCOMPARE(h.Label(2)->pos(), QPoint(27, 72));
    QCOMPARE(h.Label(1)->pos(), QPoint(150, 72));
    QVERIFY(h.Label(2)->geometry().right() < h.Label(1)->geometry().left());
  }

  void validateRefusesBadEntriesAndKeepsTheLastResult_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text1After");

    const QString longPaste(100'000, u'7');
    QTest::newRow("ten digits") << "1234567823" << TooLong() << "";
    QTest::newRow("nine digits and a space") << "123456782 " << TooLong() << "";
    QTest::newRow("hyphenated") << "123-456-782" << TooLong() << "";
    QTest::newRow("very long paste") << longPaste << TooLong() << "";
    QTest::newRow("a letter") << "12345678a" << NotDigits() << "12345678a";
    QTest::newRow("inner space") << "1234 5678" << NotDigits() << "1234 5678";
    QTest::newRow("fullwidth digits") << QStringLiteral("１２３４５６７８２") << NotDigits()
                                      << QStringLiteral("１２３４５６７８２");
    QTest::newRow("emoji") << QStringLiteral("12345678😀") << NotDigits()
                           << QStringLiteral("12345678😀");
    QTest::newRow("five digits") << "12345" << TooShort() << "12345";
    QTest::newRow("two digits") << "19" << TooShort() << "19";
    QTest::newRow("empty") << "" << TooShort() << "";
  }

  void validateRefusesBadEntriesAndKeepsTheLastResult() {
    QFETCH(QString, entry);
    QFETCH(QString, message);
    QFETCH(QString, text1After);
    Form1Harness h;
    h.Validate(QStringLiteral("111111111"));
    h.SetFlags(kAllFlags);
    const mivaro::WindowState before = h.form->State();
    h.messages.clear();

    h.Validate(entry);

    QCOMPARE(h.messages, QStringList{message});
    QCOMPARE(h.Text1()->text(), text1After);
    QCOMPARE(h.Label(2)->text(), Check("121212121"));
    QCOMPARE(h.Label(1)->text(), Sum(13));
    QVERIFY(h.Label(1)->isVisible());
    QCOMPARE(h.Flags(), kAllFlags);
    CompareResultState(h.form->State(), before);
  }

  void aTenMegabytePasteLeavesTheWindowIdleWithinASecond() {
    Form1Harness h;
    QGuiApplication::clipboard()->setText(QString(10'000'000, u'1'));
    h.Text1()->setFocus();
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(h.Text1(), Qt::Key_V, Qt::ControlModifier);
    h.form->repaint();
    QCoreApplication::processEvents();
    QVERIFY2(clock.elapsed() < MIVARO_PASTE_BOUND_MS, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!h.Text1()->text().isEmpty());

    h.messages.clear();
    QTest::mouseClick(h.Command(1), Qt::LeftButton);
    QCOMPARE(h.messages, QStringList{TooLong()});
  }

  void validateBeforeAnythingIsTypedAsksForNineDigits() {
    Form1Harness h;
    QTest::mouseClick(h.Command(1), Qt::LeftButton);
    QCOMPARE(h.messages, QStringList{TooShort()});
    QVERIFY(!h.Label(1)->isVisible());
    QVERIFY(!h.form->State().IsValid);
  }

  void validateHidesTheGeneratedCountEvenWhenItRefuses_data() {
    QTest::addColumn<QString>("entry");
    QTest::newRow("valid") << "123456782";
    QTest::newRow("too long") << "1234567890";
    QTest::newRow("not digits") << "abc";
  }

  void validateHidesTheGeneratedCountEvenWhenItRefuses() {
    QFETCH(QString, entry);
    Form1Harness h{0.7F, 0.0F, 0.5F, 0.99F, 0.12F, 0.34F, 0.56F, 0.78F, 0.8F};
    h.Check(10)->setChecked(true);
    h.Generate();
    QVERIFY(h.Label(3)->isVisible());

    h.Validate(entry);

    QVERIFY(!h.Label(3)->isVisible());
  }

  void generateShowsEachAttemptCountAndCandidateBesideThePreviousChecks() {
    // NB only; eight zeros make 111111111 (sum 13), then seven zeros and 0.8
    // make 111111118 (sum 20).
    Form1Harness h{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.8F};
    h.Check(4)->setChecked(true);
    h.Text1()->setText(QStringLiteral("typed by hand"));

    h.Generate();

    QCOMPARE(h.pauses.size(), std::size_t{2});
    // First forced repaint: count 1 and the first candidate, no check labels yet.
    QCOMPARE(h.pauses[0].duration, std::chrono::milliseconds(75));
    QCOMPARE(h.pauses[0].label3, Generated(1));
    QCOMPARE(h.pauses[0].text1, QStringLiteral("111111111"));
    QCOMPARE(h.pauses[0].label2, QString());
    QCOMPARE(h.pauses[0].label1, QString());
    // Second: count 2 and the second candidate beside the first one's checks.
    QCOMPARE(h.pauses[1].duration, std::chrono::milliseconds(75));
    QCOMPARE(h.pauses[1].label3, Generated(2));
    QCOMPARE(h.pauses[1].text1, QStringLiteral("111111118"));
    QCOMPARE(h.pauses[1].label2, Check("121212121"));
    QCOMPARE(h.pauses[1].label1, Sum(13));
    // After the run: the valid number and its checks; nothing else touched.
    QCOMPARE(h.Text1()->text(), QStringLiteral("111111118"));
    QCOMPARE(h.Label(3)->text(), Generated(2));
    QCOMPARE(h.Label(2)->text(), Check("121212128"));
    QCOMPARE(h.Label(1)->text(), Sum(20));
    for (int label = 1; label <= 3; ++label) QVERIFY(h.Label(label)->isVisible());
    QCOMPARE(h.Flags(), QStringLiteral("0001000000000"));
    QVERIFY(h.messages.isEmpty());
    QVERIFY(h.form->State().IsValid);
    QCOMPARE(h.form->State().Attempts, std::uint64_t{2});
    QCOMPARE(h.source->Reseeds(), 1);
    QCOMPARE(h.source->Overdrawn(), std::size_t{0});
  }

  void generateStopsAtAFirstValidCandidateAfterOnePause_data() {
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("label2");
    QTest::newRow("Quebec only") << "0000000001000"
                                 << "315924688" << Check("325928678");
    QTest::newRow("no box ticked") << kNoFlags << "915362578" << Check("925664558");
  }

  void generateStopsAtAFirstValidCandidateAfterOnePause() {
    QFETCH(QString, flags);
    QFETCH(QString, number);
    QFETCH(QString, label2);
    // The two published scripts; both candidates pass at once.
    const bool quebec = flags == QStringLiteral("0000000001000");
    Form1Harness h = quebec
                         ? Form1Harness{0.7F, 0.0F, 0.5F, 0.99F, 0.12F, 0.34F, 0.56F, 0.78F, 0.8F}
                         : Form1Harness{0.9F, 0.05F, 0.5F, 0.25F, 0.6F, 0.15F, 0.45F, 0.7F, 0.8F};
    h.SetFlags(flags);

    h.Generate();

    QCOMPARE(h.pauses.size(), std::size_t{1});
    QCOMPARE(h.pauses[0].label3, Generated(1));
    QCOMPARE(h.Text1()->text(), number);
    QCOMPARE(h.Label(2)->text(), label2);
    QCOMPARE(h.Label(1)->text(), Sum(50));
    QCOMPARE(h.Flags(), flags);
  }

  void generateWithRealDrawsKeepsToTheTickedRegionAndPassesValidate_data() {
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("firstDigits");
    QTest::newRow("Quebec only") << "0000000001000"
                                 << "23";
    QTest::newRow("Ontario only") << kOntarioFlags << "45";
    QTest::newRow("Quebec and Ontario") << "0000001001000"
                                        << "23";
    QTest::newRow("everything") << kAllFlags << "1";
    QTest::newRow("nothing") << kNoFlags << "123456789";
  }

  void generateWithRealDrawsKeepsToTheTickedRegionAndPassesValidate() {
    QFETCH(QString, flags);
    QFETCH(QString, firstDigits);
    Form1Harness h({}, /*realSource=*/true);
    h.SetFlags(flags);

    for (int run = 0; run < 20; ++run) {
      h.Generate();
      QCOMPARE(h.Flags(), flags);
    }
    for (const QString& candidate : h.text1AtPauses) {
      QCOMPARE(candidate.size(), 9);
      QVERIFY2(firstDigits.contains(candidate[0]), qPrintable(candidate));
      QVERIFY2(!candidate.contains(u'0'), qPrintable(candidate));
    }

    const QString generated = h.Text1()->text();
    h.Validate(generated);
    QVERIFY(!h.messages.contains(Invalid()));
    QVERIFY(h.form->State().IsValid);
  }
};

}  // namespace

}  // namespace mivaro::testing

int main(int argc, char* argv[]) {
  QTEST_SET_MAIN_SOURCE_PATH
  return mivaro::testing::RunInEnglishAndFrench<mivaro::testing::Form1CommandsTest>(argc, argv);
}

#include "form1_commands_test.moc"
