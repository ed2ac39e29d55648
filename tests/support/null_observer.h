// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <string_view>

#include "ui/window_generator.h"

namespace mivaro::testing {

// An AttemptObserver that ignores every notification, for runs where only the
// outcome matters.
class NullObserver final : public AttemptObserver {
 public:
  void AttemptBegun(std::uint64_t /*Attempts*/) override {}
  void CandidateDrawn(std::string_view /*NumberText*/) override {}
  void CandidateEvaluated(const EvaluationResult& /*result*/) override {}
};

}  // namespace mivaro::testing
