// SPDX-License-Identifier: Apache-2.0
#pragma once

// A Form1 wired to test doubles: message boxes are recorded instead of shown,
// pauses are recorded instead of slept, draws come from a script, and every
// paint of the result widgets is logged with the text it showed.

#include <QAccessible>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <chrono>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

#include "support/scripted_source.h"
#include "ui/form1.h"

namespace mivaro::testing {

// What was painted between the previous pause (or the start) and this one: the
// text each watched widget showed when it was last painted, "" if it was not.
struct PauseSnapshot {
  std::chrono::milliseconds duration{};
  QString text1;
  QString label1;
  QString label2;
  QString label3;
};

class Form1Harness : public QObject {
 public:
  // Builds and shows the window. With no draws the real random source is used.
  explicit Form1Harness(std::initializer_list<float> draws = {}, bool realSource = false) {
    ui::Form1Services services;
    services.showMessage = [this](QWidget*, const QString& text) { messages << text; };
    services.pause = [this](std::chrono::milliseconds duration) { OnPause(duration); };
    if (!realSource) {
      auto scripted = std::make_unique<ScriptedSource>(draws);
      source = scripted.get();
      services.randomSource = std::move(scripted);
    } else {
      services.randomSource = std::make_unique<DefaultRandomSource>();
    }
    form = std::make_unique<ui::Form1>(std::move(services));
    for (QWidget* watched : {static_cast<QWidget*>(Text1()), static_cast<QWidget*>(Label(1)),
                             static_cast<QWidget*>(Label(2)), static_cast<QWidget*>(Label(3))}) {
      watched->installEventFilter(this);
    }
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) qFatal("the window never appeared");
  }

  QLineEdit* Text1() const { return form->findChild<QLineEdit*>(QStringLiteral("Text1")); }
  QPushButton* Command(int number) const {
    return form->findChild<QPushButton*>(QStringLiteral("Command%1").arg(number));
  }
  QLabel* Label(int number) const {
    return form->findChild<QLabel*>(QStringLiteral("Label%1").arg(number));
  }
  QCheckBox* Check(int number) const {
    return form->findChild<QCheckBox*>(QStringLiteral("Check%1").arg(number));
  }

  // The thirteen boxes as a string of 0 and 1, Check1 first.
  QString Flags() const {
    QString flags;
    for (int box = 1; box <= 13; ++box) flags += Check(box)->isChecked() ? u'1' : u'0';
    return flags;
  }

  void SetFlags(const QString& flags) const {
    for (int box = 1; box <= 13; ++box) Check(box)->setChecked(flags[box - 1] == u'1');
  }

  void Validate(const QString& entry) const {
    Text1()->setText(entry);
    QTest::mouseClick(Command(1), Qt::LeftButton);
  }

  void Generate() const { QTest::mouseClick(Command(2), Qt::LeftButton); }

  std::unique_ptr<ui::Form1> form;
  ScriptedSource* source = nullptr;  // owned by the form; null with the real source
  QStringList messages;
  std::vector<PauseSnapshot> pauses;
  QStringList text1AtPauses;
  QStringList label3NamesAtPauses;  // what a screen reader read of Label3

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      if (auto* edit = qobject_cast<QLineEdit*>(watched)) lastPainted_[watched] = edit->text();
      if (auto* label = qobject_cast<QLabel*>(watched)) lastPainted_[watched] = label->text();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void OnPause(std::chrono::milliseconds duration) {
    pauses.push_back({duration, lastPainted_[Text1()], lastPainted_[Label(1)],
                      lastPainted_[Label(2)], lastPainted_[Label(3)]});
    text1AtPauses << Text1()->text();
    label3NamesAtPauses << QAccessible::queryAccessibleInterface(Label(3))->text(QAccessible::Name);
    lastPainted_.clear();
  }

  std::map<QObject*, QString> lastPainted_;
};

// Compares what an evaluation leaves behind: the tables, sum and validity.
inline void CompareResultState(const mivaro::WindowState& now, const mivaro::WindowState& before) {
  QCOMPARE(now.IsValid, before.IsValid);
  QCOMPARE(now.CheckSum, before.CheckSum);
  QCOMPARE(now.DigitTable, before.DigitTable);
  QCOMPARE(now.WeightedTable, before.WeightedTable);
}

}  // namespace mivaro::testing
