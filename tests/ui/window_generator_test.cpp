// SPDX-License-Identifier: Apache-2.0
#include "ui/window_generator.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/distribution.h"
#include "support/null_observer.h"
#include "support/scripted_source.h"

namespace mivaro {
namespace {

using testing::FixedSeedSource;
using testing::ScriptedSource;

// Box positions in RegionFlags (Check1 is index 0).
enum Box : std::size_t { AB, BC, MB, NB, NU, NWT, ON, PEI, NF, QC, YT, NS, SK };

RegionFlags Ticked(std::initializer_list<Box> boxes) {
  RegionFlags flags{};
  for (const Box box : boxes) flags[box] = 1;
  return flags;
}

// Writes every notification down as one line, in the order it came. Throws
// when a run goes on far longer than any scripted one, so that a wrong script
// fails the test instead of hanging it.
class RecordingObserver final : public AttemptObserver {
 public:
  void AttemptBegun(std::uint64_t Attempts) override {
    if (Attempts > 100) throw std::runtime_error("the run did not end");
    events.push_back("begun " + std::to_string(Attempts));
  }
  void CandidateDrawn(std::string_view NumberText) override {
    events.push_back("drawn " + std::string(NumberText));
  }
  void CandidateEvaluated(const EvaluationResult& result) override {
    events.push_back("evaluated " + result.CheckString + " " + std::to_string(result.CheckSum));
  }

  std::vector<std::string> events;
};

struct ScriptedRun {
  const char* name;
  RegionFlags flags;
  std::vector<float> values;
  std::vector<std::string> events;
};

void PrintTo(const ScriptedRun& run, std::ostream* os) {
  *os << run.name;
}

class GenerateWithScriptedSource : public ::testing::TestWithParam<ScriptedRun> {};

TEST_P(GenerateWithScriptedSource, DrawsInTheFixedOrderAndNotifiesEveryStep) {
  const ScriptedRun& run = GetParam();
  ScriptedSource source;
  for (const float value : run.values) source.Append({value});
  WindowState state;
  RecordingObserver observer;

  GenerateValidNumber(state, run.flags, source, observer);

  EXPECT_EQ(observer.events, run.events);
  EXPECT_EQ(source.Remaining(), 0U);
  EXPECT_EQ(source.Overdrawn(), 0U);
  EXPECT_EQ(source.Reseeds(), 1);
  EXPECT_EQ(state.Attempts, run.events.size() / 3);
  EXPECT_TRUE(state.IsValid);
}

INSTANTIATE_TEST_SUITE_P(
    PublishedRuns, GenerateWithScriptedSource,
    ::testing::Values(ScriptedRun{"QuebecOnly",
                                  Ticked({QC}),
                                  {0.7F, 0.0F, 0.5F, 0.99F, 0.12F, 0.34F, 0.56F, 0.78F, 0.8F},
                                  {"begun 1", "drawn 315924688", "evaluated 325928678 50"}},
                      ScriptedRun{"NoBoxTicked",
                                  {},
                                  {0.9F, 0.05F, 0.5F, 0.25F, 0.6F, 0.15F, 0.45F, 0.7F, 0.8F},
                                  {"begun 1", "drawn 915362578", "evaluated 925664558 50"}},
                      ScriptedRun{"NewBrunswickTwoAttempts",
                                  Ticked({NB}),
                                  {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.8F},
                                  {"begun 1", "drawn 111111111", "evaluated 121212121 13",
                                   "begun 2", "drawn 111111118", "evaluated 121212128 20"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GenerateValidNumber, LeavesTheValidCandidateAndItsTablesInTheState) {
  ScriptedSource source{0.7F, 0.0F, 0.5F, 0.99F, 0.12F, 0.34F, 0.56F, 0.78F, 0.8F};
  WindowState state;
  state.NumberText = "typed text";
  RecordingObserver observer;

  GenerateValidNumber(state, Ticked({QC}), source, observer);

  EXPECT_EQ(state.NumberText, "315924688");
  EXPECT_EQ(state.CheckSum, 50);
  DigitSlots digits = EmptyDigitSlots();
  WeightedSlots weighted = EmptyWeightedSlots();
  const EvaluationResult again = EvaluateNumber(state.NumberText, digits, weighted);
  EXPECT_EQ(again.CheckString, "325928678");
  EXPECT_TRUE(again.IsValid);
  EXPECT_EQ(state.DigitTable, digits);
  EXPECT_EQ(state.WeightedTable, weighted);
}

TEST(GenerateValidNumber, ReseedsFromTheTimeOfDayOncePerRun) {
  ScriptedSource source{0.7F, 0.0F, 0.5F, 0.99F, 0.12F, 0.34F, 0.56F, 0.78F, 0.8F};
  WindowState state;
  RecordingObserver observer;

  GenerateValidNumber(state, Ticked({QC}), source, observer);

  EXPECT_EQ(source.Reseeds(), 1);
  EXPECT_GE(source.LastSeed(), 0.0F);
  EXPECT_LE(source.LastSeed(), 86401.0F);  // a leap second may reach 86400.x
}

struct DigitRow {
  float r;
  int digit;
  int pick;
};

TEST(DrawDigitAndTwoWayPick, MapTheEdgesOfTheUnitIntervalAsPromised) {
  constexpr DigitRow kRows[] = {
      {0.0F, 1, 1},        {0.4999999F, 5, 1},
      {0.5F, 5, 2},        {1.0F / 9.0F, 2, 1},  // rounds up just past 1/9 in float
      {0.99999994F, 9, 2},                       // the largest float below 1
  };
  for (const DigitRow& row : kRows) {
    SCOPED_TRACE(row.r);
    ScriptedSource source{row.r, row.r};
    EXPECT_EQ(DrawDigit(source), row.digit);
    EXPECT_EQ(TwoWayPick(source), row.pick);
  }
}

TEST(DrawDigitAndTwoWayPick, StayInRangeWhenASourceBreaksItsPromise) {
  for (const float r : {1.0F, 1.5F, -0.25F, std::nextafter(0.0F, -1.0F)}) {
    SCOPED_TRACE(r);
    ScriptedSource source{r, r};
    const int digit = DrawDigit(source);
    const int pick = TwoWayPick(source);
    EXPECT_GE(digit, 1);
    EXPECT_LE(digit, 9);
    EXPECT_GE(pick, 1);
    EXPECT_LE(pick, 2);
  }
}

struct PriorityRow {
  const char* name;
  RegionFlags flags;
  std::set<char> firstDigits;  // every digit that must occur, and nothing else
  std::size_t valuesPerCandidate;
};

void PrintTo(const PriorityRow& row, std::ostream* os) {
  *os << row.name;
}

class FirstDigitPriority : public ::testing::TestWithParam<PriorityRow> {};

TEST_P(FirstDigitPriority, StartsEveryCandidateWithTheHighestTickedGroupsDigits) {
  const PriorityRow& row = GetParam();
  FixedSeedSource source(1234.5F);
  std::set<char> seen;

  for (int i = 0; i < 2000; ++i) {
    const std::string candidate = DrawCandidate(row.flags, source);
    ASSERT_EQ(candidate.size(), kNumberLength) << candidate;
    ASSERT_EQ(candidate.find('0'), std::string::npos) << candidate;
    seen.insert(candidate.front());
  }

  EXPECT_EQ(seen, row.firstDigits);
}

TEST_P(FirstDigitPriority, TakesEightValuesWhenTheDigitIsFixedAndNineOtherwise) {
  const PriorityRow& row = GetParam();
  ScriptedSource source{0.1F, 0.2F, 0.3F, 0.4F, 0.5F, 0.6F, 0.7F, 0.8F, 0.9F};

  DrawCandidate(row.flags, source);

  EXPECT_EQ(source.Drawn(), row.valuesPerCandidate);
}

INSTANTIATE_TEST_SUITE_P(
    TickedBoxes, FirstDigitPriority,
    ::testing::Values(PriorityRow{"None", {}, {'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 9},
                      PriorityRow{"QuebecOnly", Ticked({QC}), {'2', '3'}, 9},
                      PriorityRow{"OntarioOnly", Ticked({ON}), {'4', '5'}, 9},
                      PriorityRow{"QuebecAndOntario", Ticked({QC, ON}), {'2', '3'}, 9},
                      PriorityRow{"NewBrunswickAndBritishColumbia", Ticked({NB, BC}), {'1'}, 8},
                      PriorityRow{"AllThirteen",
                                  Ticked({AB, BC, MB, NB, NU, NWT, ON, PEI, NF, QC, YT, NS, SK}),
                                  {'1'},
                                  8},
                      PriorityRow{"SaskatchewanOnly", Ticked({SK}), {'6'}, 8},
                      PriorityRow{"OntarioAndNunavut", Ticked({ON, NU}), {'4', '5'}, 9},
                      PriorityRow{"YukonOnly", Ticked({YT}), {'7'}, 8},
                      PriorityRow{"NunavutAndYukon", Ticked({NU, YT}), {'6'}, 8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PickFirstDigit, IgnoresFlagsThatAreNotExactlyOne) {
  RegionFlags flags{};
  flags[NB] = 2;
  ScriptedSource source;
  EXPECT_EQ(PickFirstDigit(flags, source), std::nullopt);
}

TEST(GeneratorStatistics, DrawsTheFirstDigitUniformlyWhenNoBoxIsTicked) {
  FixedSeedSource source(4242.25F);
  constexpr int kDraws = 90'000;
  std::array<int, 10> counts{};
  for (int i = 0; i < kDraws; ++i) {
    const std::string candidate = DrawCandidate({}, source);
    ASSERT_EQ(candidate.size(), kNumberLength);
    ASSERT_EQ(candidate.find('0'), std::string::npos);
    ++counts[static_cast<std::size_t>(candidate.front() - '0')];
  }

  EXPECT_EQ(counts[0], 0);
  const double expected = kDraws / 9.0;
  double chiSquare = 0;
  for (std::size_t digit = 1; digit <= 9; ++digit) {
    chiSquare += std::pow(counts[digit] - expected, 2) / expected;
  }
  // 26.12 is the 0.1% critical value of chi-square with 8 degrees of freedom.
  EXPECT_LT(chiSquare, 26.12);
}

TEST(GeneratorStatistics, NeedsAboutTenAttemptsPerRunOnAverage) {
  FixedSeedSource source(777.125F);
  WindowState state;
  testing::NullObserver observer;
  constexpr int kRuns = 5'000;
  std::uint64_t total = 0;
  for (int run = 0; run < kRuns; ++run) {
    GenerateValidNumber(state, {}, source, observer);
    ASSERT_TRUE(state.IsValid);
    ASSERT_EQ(state.NumberText.find('0'), std::string::npos);
    total += state.Attempts;
  }
  // The mean of a geometric count with p near 0.1; its standard error over
  // 5000 runs is about 0.13.
  EXPECT_NEAR(static_cast<double>(total) / kRuns, 10.0, 0.6);
}

TEST(GenerateStatistics, TheWindowsLoopFollowsTheSameExactDistribution) {
  // The reference the fast generator is held to: the same sums, computed from
  // the window's own draws.
  const testing::ExactDistribution exact = testing::ExactNoRegionDistribution();
  testing::FixedSeedSource source(12.5F);
  WindowState state;
  testing::NullObserver observer;
  constexpr int kRuns = 30'000;
  std::array<int, 10> first{};
  std::array<int, 10> last{};
  for (int run = 0; run < kRuns; ++run) {
    GenerateValidNumber(state, {}, source, observer);
    ++first[static_cast<std::size_t>(state.NumberText.front() - '0')];
    ++last[static_cast<std::size_t>(state.NumberText.back() - '0')];
  }
  EXPECT_LT(testing::ChiSquare(first, exact.first, kRuns), testing::kCritical);
  EXPECT_LT(testing::ChiSquare(last, exact.last, kRuns), testing::kCritical);
}

}  // namespace
}  // namespace mivaro
