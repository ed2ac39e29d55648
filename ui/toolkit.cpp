// SPDX-License-Identifier: Apache-2.0
#include "ui/toolkit.h"

#include <QLabel>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

namespace mivaro::ui {

void ShowMessageBox(QWidget* parent, const QString& text) {
  // The messages separate lines with CR LF; a plain-text label would show the
  // CR as a stray glyph or an extra break, so it becomes a single LF here.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kMessageTitle), shown, QMessageBox::Ok,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void SetCaption(QLabel* label, const QString& caption) {
  label->setText(caption);
  label->resize(label->sizeHint().width(), label->height());
}

void Refresh(QWidget* widget) {
  widget->repaint();
}

void Pause(std::chrono::milliseconds duration) {
  QThread::msleep(static_cast<unsigned long>(duration.count()));
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  return text.toStdString();
}

}  // namespace mivaro::ui
