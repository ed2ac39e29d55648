// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

namespace mivaro {

// PCG32 (XSH RR, 64-bit state) by M. E. O'Neill: small, fast, and fully
// specified, so a seed gives the same sequence on every machine and compiler.
class Pcg32 {
 public:
  // Seeds the generator as the reference pcg32_srandom_r does.
  constexpr explicit Pcg32(std::uint64_t seed, std::uint64_t stream = kDefaultStream)
      : increment_((stream << 1U) | 1U) {
    Next();
    state_ += seed;
    Next();
  }

  // Returns the next 32 uniformly distributed bits.
  constexpr std::uint32_t Next() {
    const std::uint64_t old = state_;
    state_ = old * kMultiplier + increment_;
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
    const auto rotation = static_cast<std::uint32_t>(old >> 59U);
    return (xorshifted >> rotation) | (xorshifted << ((32U - rotation) & 31U));
  }

  // Returns an integer uniformly distributed over [0, bound), bound > 0, with
  // no modulo bias (Lemire's multiply-and-reject).
  constexpr std::uint32_t Below(std::uint32_t bound) {
    std::uint64_t product = std::uint64_t{Next()} * bound;
    auto low = static_cast<std::uint32_t>(product);
    if (low < bound) {
      const std::uint32_t threshold = (0U - bound) % bound;
      while (low < threshold) {
        product = std::uint64_t{Next()} * bound;
        low = static_cast<std::uint32_t>(product);
      }
    }
    return static_cast<std::uint32_t>(product >> 32U);
  }

 private:
  static constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
  static constexpr std::uint64_t kDefaultStream = 0xda3e39cb94b95bdbULL;

  std::uint64_t state_ = 0;
  std::uint64_t increment_;
};

}  // namespace mivaro
