// SPDX-License-Identifier: Apache-2.0
#include "ui/random_source.h"

#include <chrono>
#include <cstring>
#include <ctime>

namespace mivaro {

void DefaultRandomSource::Reseed(float seed) {
  // The seed's bit pattern, not its rounded value, so that seeds a fraction of
  // a second apart give different sequences.
  // (memcpy rather than std::bit_cast, which the WebAssembly build's
  // standard library lacks.)
  static_assert(sizeof(seed) == sizeof(std::uint32_t));
  std::uint32_t bits = 0;
  std::memcpy(&bits, &seed, sizeof bits);
  generator_.seed(bits);
}

float SecondsSinceMidnight() {
  using std::chrono::system_clock;
  const system_clock::time_point now = system_clock::now();
  const std::time_t whole = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&whole, &local);
  const std::chrono::duration<double> fraction = now - system_clock::from_time_t(whole);
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  return static_cast<float>(seconds + fraction.count());
}

}  // namespace mivaro
