// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "ui/random_source.h"

namespace mivaro::testing {

// A random source that hands out a script of values in order, ignores reseeds
// (but counts them), and notes when a test draws more than it scripted.
class ScriptedSource final : public RandomSource {
 public:
  ScriptedSource() = default;
  ScriptedSource(std::initializer_list<float> values) : values_(values) {}

  void Append(std::initializer_list<float> values) {
    values_.insert(values_.end(), values.begin(), values.end());
  }

  float NextUniform() override {
    if (next_ >= values_.size()) {
      ++overdrawn_;
      return 0.0F;
    }
    return values_[next_++];
  }

  void Reseed(float seed) override {
    ++reseeds_;
    lastSeed_ = seed;
  }

  std::size_t Drawn() const { return next_; }
  std::size_t Remaining() const { return values_.size() - next_; }
  std::size_t Overdrawn() const { return overdrawn_; }
  int Reseeds() const { return reseeds_; }
  float LastSeed() const { return lastSeed_; }

 private:
  std::vector<float> values_;
  std::size_t next_ = 0;
  std::size_t overdrawn_ = 0;
  int reseeds_ = 0;
  float lastSeed_ = -1.0F;
};

// A DefaultRandomSource with a fixed seed that ignores the clock's reseeds, so
// statistics over whole generate runs repeat exactly.
class FixedSeedSource final : public RandomSource {
 public:
  explicit FixedSeedSource(float seed) { inner_.Reseed(seed); }
  float NextUniform() override { return inner_.NextUniform(); }
  void Reseed(float /*seed*/) override {}

 private:
  DefaultRandomSource inner_;
};

}  // namespace mivaro::testing
