// SPDX-License-Identifier: Apache-2.0
#include "ui/form1.h"

#include <mivaro/sin.h>

#include <QAction>
#include <QCheckBox>
#include <QDirIterator>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStringList>

#include "ui/about.h"
#include "ui/toolkit.h"
#include "ui/translations.h"
#include "ui/window_layout.h"

namespace mivaro::ui {
namespace {

void PlaceWidget(QWidget* widget, const Place& place) {
  widget->setGeometry(Twips(place.left), Twips(place.top), Twips(place.width), Twips(place.height));
}

}  // namespace

QIcon AppIcon() {
  // Whatever sizes the build compiled in (ui/CMakeLists.txt chooses them).
  QIcon icon;
  QDirIterator sizes(QStringLiteral(":/icons"));
  while (sizes.hasNext()) icon.addFile(sizes.next());
  return icon;
}

Form1::Form1(Form1Services services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
  if (!services_.showMessage) services_.showMessage = ShowMessageBox;
  if (!services_.pause) services_.pause = Pause;
  if (!services_.randomSource) services_.randomSource = std::make_unique<DefaultRandomSource>();

  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Mivaro v") + FromUtf8(Version()));
  setWindowIcon(AppIcon());
  QFont font = this->font();
  font.setPointSize(kFontPointSize);
  setFont(font);

  BuildControls();
  BuildMenu();
  // The layout is fixed, so the window is too.
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  Form_Load();
}

Form1::~Form1() = default;

void Form1::BuildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  client->setFixedSize(Twips(kClientWidth), Twips(kClientHeight));
  setCentralWidget(client);

  // Created in tab order; Qt's default focus chain follows creation order.
  Text1 = new QLineEdit(QStringLiteral("888888888"), client);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setAccessibleName(tr("SIN"));
  // Qt's default bound of 32767 characters stays: far above anything a person
  // types (a longer entry is still refused as too long), and it keeps a huge
  // paste from freezing the box, which lays out and paints its whole text.
  static_assert(kTextMaxLength > kNumberLength);
  Text1->setMaxLength(kTextMaxLength);
  PlaceWidget(Text1, kText1);

  Command1 = new QPushButton(tr("Validate"), client);
  Command2 = new QPushButton(tr("Generate"), client);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2->setObjectName(QStringLiteral("Command2"));
  for (QPushButton* button : {Command1, Command2}) {
    // Neither button is a default button: Enter and Escape press nothing.
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  PlaceWidget(Command1, kCommand1);
  PlaceWidget(Command2, kCommand2);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

  Label1 = new QLabel(tr("Sum:"), client);
  Label2 = new QLabel(tr("Sum:"), client);
  Label3 = new QLabel(tr("Generated:"), client);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label2->setObjectName(QStringLiteral("Label2"));
  Label3->setObjectName(QStringLiteral("Label3"));
  // No accessible names: a screen reader then reads each label's current
  // caption, and Qt tells it whenever the caption changes. What the value is
  // goes in the description.
  Label1->setAccessibleDescription(tr("Check sum"));
  Label2->setAccessibleDescription(tr("Check values"));
  Label3->setAccessibleDescription(tr("Generated attempts"));
  PlaceWidget(Label1, kLabel1);
  PlaceWidget(Label2, kLabel2);
  PlaceWidget(Label3, kLabel3);

  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    auto* check = new QCheckBox(FromUtf8(kRegions[box].caption), client);
    check->setObjectName(QStringLiteral("Check%1").arg(box + 1));
    // Named by its caption, so "click NB" by voice reaches it; the province
    // is the description.
    check->setAccessibleDescription(CoreText(kRegionNames[box]));
    PlaceWidget(check, kCheckPlaces[box]);
    Check[box] = check;
  }

  setTabOrder(Text1, Command1);
  setTabOrder(Command1, Command2);
  setTabOrder(Command2, Check.front());
  for (std::size_t box = 1; box < kRegionBoxCount; ++box) setTabOrder(Check[box - 1], Check[box]);
}

void Form1::BuildMenu() {
  QMenuBar* bar = menuBar();
  // The menu belongs in the window on every desktop, never in a global bar.
  bar->setNativeMenuBar(false);

  QMenu* file = bar->addMenu(tr("File"));
  file->setObjectName(QStringLiteral("File"));
  Save = file->addAction(tr("Save"));
  Save->setObjectName(QStringLiteral("Save"));
  Save->setEnabled(false);
  Exit = file->addAction(tr("Exit"));
  Exit->setObjectName(QStringLiteral("Exit"));
  connect(Exit, &QAction::triggered, this, &Form1::Exit_Click);

  About = bar->addAction(tr("About"));
  About->setObjectName(QStringLiteral("About"));
  connect(About, &QAction::triggered, this, &Form1::About_Click);
}

void Form1::Form_Load() {
  state_.AppVersion = std::string(Version());
  state_.WeightedTable = EmptyWeightedSlots();
  state_.DigitTable = EmptyDigitSlots();
  Label1->setVisible(false);
  Label2->setVisible(false);
  Label3->setVisible(false);
  state_.IsValid = false;
  Text1->setText(QString());
  Text1->setFocus();
}

void Form1::Command1_Click() {
  RunValidate(state_, ToUtf8(Text1->text()), *this);
}

void Form1::HideGenerated() {
  Label3->setVisible(false);
}

void Form1::ClearEntry() {
  Text1->setText(QString());
}

void Form1::ShowMessage(std::span<const ShownLine> lines) {
  services_.showMessage(this, Shown(lines));
}

void Form1::Command2_Click() {
  Label3->setVisible(true);
  GenerateValidNumber(state_, ReadRegionFlags(), *services_.randomSource, *this);
}

void Form1::Exit_Click() {
  close();
}

void Form1::About_Click() {
  services_.showMessage(this, AboutMessage());
}

QString Form1::AboutMessage() const {
  QStringList lines;
  for (const AboutLine& line : AboutLines(state_.AppVersion)) {
    const QString value =
        line.translateValue ? Shown(ShownLine{kWindowContext, line.value}) : FromUtf8(line.value);
    lines << Shown(line.text).arg(value);
  }
  return lines.join(QStringLiteral("\r\n"));
}

void Form1::AttemptBegun(std::uint64_t Attempts) {
  //: %1 is how many numbers this run has drawn so far.
  SetCaption(Label3, tr("Generated: %1").arg(Attempts));
}

void Form1::CandidateDrawn(std::string_view NumberText) {
  Text1->setText(FromUtf8(NumberText));
  Refresh(Text1);
  Refresh(this);
  services_.pause(GeneratePauseMs);
}

void Form1::CandidateEvaluated(const EvaluationResult& result) {
  ShowCheckLabels(result);
}

void Form1::ShowCheckLabels(const EvaluationResult& result) {
  Label1->setVisible(true);
  Label2->setVisible(true);
  //: %1 is the nine weighted check values, written one after another.
  SetCaption(Label2, tr("Check: %1").arg(FromUtf8(result.CheckString)));
  //: %1 is the sum of the check values, 0 to 81.
  SetCaption(Label1, tr("CheckSum: %1").arg(result.CheckSum));
}

RegionFlags Form1::ReadRegionFlags() const {
  RegionFlags flags{};
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    flags[box] = Check[box]->checkState() == Qt::Checked ? 1 : 0;
  }
  return flags;
}

void Form1::WriteRegionFlags(const RegionFlags& flags) {
  for (std::size_t box = 0; box < kRegionBoxCount; ++box) {
    Check[box]->setCheckState(IsTicked(flags[box]) ? Qt::Checked : Qt::Unchecked);
  }
}

}  // namespace mivaro::ui
