// SPDX-License-Identifier: Apache-2.0
#include "ui/random_source.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace mivaro {
namespace {

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
