// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <random>

namespace mivaro {

// Where the generator takes its random values from. The window uses
// DefaultRandomSource; tests script the values.
class RandomSource {
 public:
  virtual ~RandomSource() = default;

  // Returns the next uniformly distributed value r with 0 <= r < 1.
  virtual float NextUniform() = 0;

  // Restarts the sequence from a seed.
  virtual void Reseed(float seed) = 0;
};

// The program's random source: Mersenne Twister bits turned into floats.
class DefaultRandomSource final : public RandomSource {
 public:
  DefaultRandomSource() = default;

  float NextUniform() override { return UniformFromBits(static_cast<std::uint32_t>(generator_())); }
  void Reseed(float seed) override;

  // Returns the float in [0, 1) that 32 random bits stand for. Only the top 24
  // bits are used, so every result is exact in a float and the largest is
  // 1 - 2^-24; rounding can never produce 1.0.
  static constexpr float UniformFromBits(std::uint32_t bits) {
    return static_cast<float>(bits >> 8U) * 0x1p-24F;
  }

 private:
  std::mt19937 generator_{0};
};

// Returns the local time of day in seconds since midnight, with its fraction.
float SecondsSinceMidnight();

}  // namespace mivaro
