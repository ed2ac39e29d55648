// SPDX-License-Identifier: Apache-2.0
// The window's rules as the web page runs them. Validate and Generate run to
// the end at once, as in the desktop window, and record what the window
// would show as a list of steps (JSON); the page plays the steps back in
// order, each message as a modal dialog it waits on, each generated
// candidate shown for the pause before its check labels.
#include <emscripten/emscripten.h>
#include <mivaro/sin.h>

#include <string>
#include <string_view>

#include "text/json.h"
#include "ui/about.h"
#include "ui/random_source.h"
#include "ui/region_boxes.h"
#include "ui/validate_command.h"
#include "ui/window_generator.h"
#include "ui/window_layout.h"
#include "ui/window_state.h"

namespace mivaro {
namespace {

using text::AppendJsonString;

void AppendLine(std::string& out, const ShownLine& line) {
  out += '[';
  AppendJsonString(out, line.context);
  out += ',';
  AppendJsonString(out, line.text);
  out += ']';
}

class RecordedView final : public ValidateView, public AttemptObserver {
 public:
  // Starts a new list of steps.
  void Begin() { steps_ = "["; }
  // Ends the list and returns it.
  const char* End() {
    steps_ += ']';
    return steps_.c_str();
  }

  void Step(std::string_view step) {
    if (steps_.size() > 1) steps_ += ',';
    steps_ += step;
  }

  void HideGenerated() override { Step(R"({"do":"hideGenerated"})"); }
  void ClearEntry() override { Step(R"({"do":"clearEntry"})"); }

  void ShowCheckLabels(const EvaluationResult& result) override {
    std::string step = R"({"do":"labels","check":)";
    AppendJsonString(step, result.CheckString);
    step += ",\"sum\":" + std::to_string(result.CheckSum) + '}';
    Step(step);
  }

  void WriteRegionFlags(const RegionFlags& flags) override {
    std::string step = R"({"do":"flags","ticked":[)";
    for (std::size_t box = 0; box < flags.size(); ++box) {
      if (box != 0) step += ',';
      step += IsTicked(flags[box]) ? "true" : "false";
    }
    Step(step + "]}");
  }

  void ShowMessage(std::span<const ShownLine> lines) override {
    std::string step = R"({"do":"message","lines":[)";
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i != 0) step += ',';
      AppendLine(step, lines[i]);
    }
    Step(step + "]}");
  }

  void AttemptBegun(std::uint64_t Attempts) override {
    Step(R"({"do":"attempt","count":)" + std::to_string(Attempts) + '}');
  }

  void CandidateDrawn(std::string_view NumberText) override {
    std::string step = R"({"do":"entry","text":)";
    AppendJsonString(step, NumberText);
    Step(step + ",\"pause\":" + std::to_string(kGeneratePause.count()) + '}');
  }

  void CandidateEvaluated(const EvaluationResult& result) override { ShowCheckLabels(result); }

 private:
  std::string steps_;
};

// The page's one window: its state and random source live as long as the page.
WindowState& State() {
  static WindowState state{.AppVersion = std::string(Version())};
  return state;
}

RecordedView g_view;
std::string g_text;

}  // namespace
}  // namespace mivaro

extern "C" {

// Runs Validate on an entry of length UTF-8 bytes and returns its steps.
EMSCRIPTEN_KEEPALIVE const char* web_window_validate(const char* entry, std::size_t length) {
  mivaro::g_view.Begin();
  mivaro::RunValidate(mivaro::State(), std::string_view(entry, length), mivaro::g_view);
  return mivaro::g_view.End();
}

// Runs Generate for the ticked boxes (region bits) and returns its steps.
EMSCRIPTEN_KEEPALIVE const char* web_window_generate(unsigned tickedRegions) {
  static mivaro::DefaultRandomSource source;
  mivaro::g_view.Begin();
  mivaro::g_view.Step(R"({"do":"showGenerated"})");
  mivaro::GenerateValidNumber(mivaro::State(), mivaro::RegionFlagsOf(tickedRegions), source,
                              mivaro::g_view);
  return mivaro::g_view.End();
}

// Returns the About message's lines as JSON: each its text ([context, text])
// and the value that fills %1, itself a [context, text] when translated.
EMSCRIPTEN_KEEPALIVE const char* web_window_about() {
  std::string& out = mivaro::g_text;
  out = "[";
  for (const mivaro::AboutLine& line : mivaro::AboutLines(mivaro::State().AppVersion)) {
    if (out.size() > 1) out += ',';
    out += "{\"text\":";
    mivaro::AppendLine(out, line.text);
    out += ",\"value\":";
    if (line.translateValue) {
      mivaro::AppendLine(out, {mivaro::kWindowContext, line.value});
    } else {
      mivaro::text::AppendJsonString(out, line.value);
    }
    out += '}';
  }
  out += ']';
  return out.c_str();
}

// Returns the window's layout in pixels as JSON: its client area, its font
// size in points, the most characters Text1 takes, the context of the
// window's texts, the place of each control ([left, top, width, height]) and
// the region boxes in order, each with its caption, region bit, name
// ([context, text]) and place.
EMSCRIPTEN_KEEPALIVE const char* web_window_layout() {
  using mivaro::Place;
  const auto place = [](std::string& out, const Place& p) {
    out += '[' + std::to_string(mivaro::Twips(p.left)) + ',' +
           std::to_string(mivaro::Twips(p.top)) + ',' + std::to_string(mivaro::Twips(p.width)) +
           ',' + std::to_string(mivaro::Twips(p.height)) + ']';
  };
  std::string& out = mivaro::g_text;
  out = "{\"width\":" + std::to_string(mivaro::Twips(mivaro::kClientWidth)) +
        ",\"height\":" + std::to_string(mivaro::Twips(mivaro::kClientHeight)) +
        ",\"fontPoints\":" + std::to_string(mivaro::kFontPointSize) +
        ",\"textMaxLength\":" + std::to_string(mivaro::kTextMaxLength) + ",\"windowContext\":\"" +
        mivaro::kWindowContext + "\",\"controls\":{";
  const std::pair<const char*, const Place*> controls[] = {
      {"Text1", &mivaro::kText1},       {"Command1", &mivaro::kCommand1},
      {"Command2", &mivaro::kCommand2}, {"Label1", &mivaro::kLabel1},
      {"Label2", &mivaro::kLabel2},     {"Label3", &mivaro::kLabel3}};
  for (const auto& [name, at] : controls) {
    if (out.back() != '{') out += ',';
    out += '"' + std::string(name) + "\":";
    place(out, *at);
  }
  out += "},\"boxes\":[";
  for (std::size_t box = 0; box < mivaro::kRegions.size(); ++box) {
    const mivaro::Region& region = mivaro::kRegions[box];
    if (box != 0) out += ',';
    out += "{\"caption\":";
    mivaro::text::AppendJsonString(out, region.caption);
    out += ",\"bit\":" + std::to_string(region.bit) + ",\"name\":";
    mivaro::AppendLine(out, {mivaro::kTextContext, mivaro::kRegionNames[box]});
    out += ",\"place\":";
    place(out, mivaro::kCheckPlaces[box]);
    out += '}';
  }
  out += "]}";
  return out.c_str();
}

}  // extern "C"
