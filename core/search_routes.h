// SPDX-License-Identifier: Apache-2.0
#pragma once

// The searcher with its accelerated routes turned off: the portable
// definition that the tests and the fuzz target hold the accelerated routes
// to.

#include <string_view>
#include <vector>

#include "mivaro/scan.h"

namespace mivaro::detail {

// What Searcher hides and the tests reach.
struct SearcherAccess {
  static void TakePortableRoutes(Searcher& searcher);
};

// Returns what Find returns, found by the portable routes alone.
std::vector<Match> FindPortably(std::string_view text, Confidence minimum);

}  // namespace mivaro::detail
