// SPDX-License-Identifier: Apache-2.0
// The random bits every seeded generator draws from.
#include "pcg32.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace mivaro {
namespace {

TEST(Pcg32, ReproducesTheReferenceSequenceForSeed42Stream54) {
  // The first outputs of the reference implementation's demo.
  Pcg32 generator(42U, 54U);
  for (const std::uint32_t expected :
       {0xa15c02b7U, 0x7b47f409U, 0xba1d3330U, 0x83d2f293U, 0xbfa4784bU, 0xcbed606eU}) {
    EXPECT_EQ(generator.Next(), expected);
  }
}

TEST(Pcg32, DrawsBelowABoundUniformly) {
  Pcg32 generator(7U);
  constexpr int kDraws = 90'000;
  int counts[9] = {};
  for (int i = 0; i < kDraws; ++i) {
    const std::uint32_t value = generator.Below(9);
    ASSERT_LT(value, 9U);
    ++counts[value];
  }
  double chiSquare = 0;
  for (const int count : counts) {
    chiSquare += (count - kDraws / 9.0) * (count - kDraws / 9.0) / (kDraws / 9.0);
  }
  EXPECT_LT(chiSquare, 26.12);  // 0.1% critical value, 8 degrees of freedom
}

}  // namespace
}  // namespace mivaro
