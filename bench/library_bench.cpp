// SPDX-License-Identifier: Apache-2.0
// Speed of the library's check through its C and C++ APIs, on the entries
// programs pass it most: nine bare digits, and a number as a spreadsheet
// writes it, grouped by no-break spaces.
#include <benchmark/benchmark.h>
#include <mivaro/mivaro.h>
#include <mivaro/sin.h>

#include <string>

namespace {

const std::string kBare = "123456782";
const std::string kSpreadsheet = "\u00A0046\u00A0454\u00A0286";

void BM_CIsValid(benchmark::State& state) {
  std::string entry = kBare;
  for (auto _ : state) {
    benchmark::DoNotOptimize(entry.data());
    benchmark::DoNotOptimize(mivaro_is_valid(entry.data(), entry.size()));
  }
}
BENCHMARK(BM_CIsValid);

void BM_CCheck(benchmark::State& state) {
  std::string entry = kBare;
  mivaro_result result{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(entry.data());
    benchmark::DoNotOptimize(mivaro_check(entry.data(), entry.size(), &result));
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_CCheck);

void BM_Check(benchmark::State& state, const std::string& entry) {
  std::string copy = entry;
  for (auto _ : state) {
    benchmark::DoNotOptimize(copy.data());
    mivaro::Result result = mivaro::Check(copy);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK_CAPTURE(BM_Check, Bare, kBare);
BENCHMARK_CAPTURE(BM_Check, Spreadsheet, kSpreadsheet);

}  // namespace

BENCHMARK_MAIN();
