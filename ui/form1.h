// SPDX-License-Identifier: Apache-2.0
#pragma once

// Form1 is Mivaro's one window. How data flows through it:
//
//  Validate  Command1_Click hands Text1's text, state_ and Form1 itself as the
//            ValidateView to RunValidate, which keeps it in state_.NumberText,
//            refuses entries that are not nine ASCII digits with a message
//            box, else runs EvaluateNumber on state_'s tables, has the check
//            string and sum written into Label2 and Label1, Check1..Check13
//            ticked from RegionForDigit's flags and the region, "invalid" and
//            series messages shown in order. (The web page runs the same
//            RunValidate and GenerateValidNumber with a view of its own.)
//  Generate  Command2_Click reads Check1..Check13 into RegionFlags and hands
//            them, state_ and the random source to GenerateValidNumber, with
//            Form1 itself as the AttemptObserver: each attempt writes Label3,
//            then Text1 (repainted, then the pause), then Label2 and Label1.
//
// Every message box, every pause and every random value goes through the
// Form1Services the window was built with, so tests can record the messages,
// skip the pauses and script the draws. Every text shown is the window's own
// tr() text or a ShownLine of the rules passed through Shown, so both appear
// in the language whose translation the program installed.

#include <QMainWindow>
#include <array>
#include <chrono>
#include <functional>
#include <memory>

#include "ui/random_source.h"
#include "ui/region_boxes.h"
#include "ui/validate_command.h"
#include "ui/window_generator.h"
#include "ui/window_state.h"

class QAction;
class QIcon;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mivaro::ui {

// What the window needs from outside. Anything left empty is replaced by the
// real thing: QMessageBox, a thread sleep and DefaultRandomSource.
struct Form1Services {
  // Shows one modal message box and returns when the user has closed it.
  std::function<void(QWidget* parent, const QString& text)> showMessage;
  // Holds the user-interface thread after each generated candidate is shown.
  std::function<void(std::chrono::milliseconds)> pause;
  // Draws the generator's random values.
  std::unique_ptr<RandomSource> randomSource;
};

// Returns Mivaro's window icon, in the sizes title bars and task bars use.
QIcon AppIcon();

class Form1 final : public QMainWindow, private AttemptObserver, private ValidateView {
  Q_OBJECT

 public:
  // The pause after each generated candidate is shown.
  static constexpr std::chrono::milliseconds GeneratePauseMs = kGeneratePause;

  // Builds the window with its controls and menu and runs start-up; missing
  // services are replaced by the real ones.
  explicit Form1(Form1Services services = {}, QWidget* parent = nullptr);
  ~Form1() override;

  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The per-window state, for inspection.
  const WindowState& State() const { return state_; }

  // The About message, six lines joined by CR LF.
  QString AboutMessage() const;

 private:
  void BuildControls();
  void BuildMenu();

  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Exit_Click();
  void About_Click();

  void AttemptBegun(std::uint64_t Attempts) override;
  void CandidateDrawn(std::string_view NumberText) override;
  void CandidateEvaluated(const EvaluationResult& result) override;

  void HideGenerated() override;
  void ClearEntry() override;
  void ShowCheckLabels(const EvaluationResult& result) override;
  void WriteRegionFlags(const RegionFlags& flags) override;
  void ShowMessage(std::span<const ShownLine> lines) override;

  RegionFlags ReadRegionFlags() const;

  Form1Services services_;
  WindowState state_;

  QLineEdit* Text1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  std::array<QCheckBox*, kRegionBoxCount> Check{};  // Check1..Check13
  QAction* Save = nullptr;
  QAction* Exit = nullptr;
  QAction* About = nullptr;
};

}  // namespace mivaro::ui
