// SPDX-License-Identifier: Apache-2.0
// Speed of the window's own rules: one evaluation, one entry classification
// and one whole generate-until-valid run with no pause.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "ui/entry.h"
#include "ui/evaluation.h"
#include "ui/random_source.h"
#include "ui/window_generator.h"

namespace {

void BM_EvaluateNumber(benchmark::State& state) {
  mivaro::DigitSlots digits = mivaro::EmptyDigitSlots();
  mivaro::WeightedSlots weighted = mivaro::EmptyWeightedSlots();
  std::string number = "123456782";
  for (auto _ : state) {
    benchmark::DoNotOptimize(number.data());
    mivaro::EvaluationResult result = mivaro::EvaluateNumber(number, digits, weighted);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_EvaluateNumber);

void BM_ClassifyEntry(benchmark::State& state) {
  std::string entry = "123456782";
  for (auto _ : state) {
    benchmark::DoNotOptimize(entry.data());
    benchmark::DoNotOptimize(mivaro::ClassifyEntry(entry));
  }
}
BENCHMARK(BM_ClassifyEntry);

class NoPause final : public mivaro::AttemptObserver {
 public:
  void AttemptBegun(std::uint64_t) override {}
  void CandidateDrawn(std::string_view) override {}
  void CandidateEvaluated(const mivaro::EvaluationResult&) override {}
};

// The real source, except that it ignores the clock's reseed: runs started
// within the same few milliseconds would otherwise repeat one sequence and
// make the attempt count meaningless.
class ContinuingSource final : public mivaro::RandomSource {
 public:
  float NextUniform() override { return inner_.NextUniform(); }
  void Reseed(float /*seed*/) override {}

 private:
  mivaro::DefaultRandomSource inner_;
};

void BM_GenerateValidNumber(benchmark::State& state) {
  mivaro::WindowState window;
  ContinuingSource source;
  NoPause observer;
  const mivaro::RegionFlags none{};
  std::uint64_t attempts = 0;
  for (auto _ : state) {
    mivaro::GenerateValidNumber(window, none, source, observer);
    attempts += window.Attempts;
  }
  state.counters["attempts/run"] =
      benchmark::Counter(static_cast<double>(attempts), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GenerateValidNumber);

}  // namespace

BENCHMARK_MAIN();
