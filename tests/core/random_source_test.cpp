// SPDX-License-Identifier: Apache-2.0
#include "core/random_source.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "core/pcg32.h"

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

TEST(DefaultRandomSource, MapsTheExtremeBitPatternsInsideTheUnitInterval) {
  EXPECT_EQ(DefaultRandomSource::UniformFromBits(0U), 0.0F);
  // The largest value it can give is the largest float below 1, never 1.0.
  EXPECT_EQ(DefaultRandomSource::UniformFromBits(0xFFFFFFFFU), 0.99999994F);
  EXPECT_LT(DefaultRandomSource::UniformFromBits(0xFFFFFFFFU), 1.0F);
  EXPECT_EQ(DefaultRandomSource::UniformFromBits(0x80000000U), 0.5F);
}

TEST(DefaultRandomSource, RepeatsItsSequenceAfterTheSameSeedAndDiffersForAnother) {
  DefaultRandomSource a;
  DefaultRandomSource b;
  a.Reseed(3600.5F);
  b.Reseed(3600.5F);
  bool allEqual = true;
  for (int i = 0; i < 100; ++i) allEqual = allEqual && a.NextUniform() == b.NextUniform();
  EXPECT_TRUE(allEqual);

  b.Reseed(3600.5078125F);  // a seed 8 ms later still gives another sequence
  a.Reseed(3600.5F);
  bool anyDiffers = false;
  for (int i = 0; i < 100; ++i) anyDiffers = anyDiffers || a.NextUniform() != b.NextUniform();
  EXPECT_TRUE(anyDiffers);
}

TEST(SecondsSinceMidnight, LiesWithinOneDay) {
  const float seconds = SecondsSinceMidnight();
  EXPECT_GE(seconds, 0.0F);
  EXPECT_LE(seconds, 86401.0F);
}

}  // namespace
}  // namespace mivaro
