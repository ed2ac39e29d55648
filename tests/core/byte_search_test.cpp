// SPDX-License-Identifier: Apache-2.0
// The searches over every byte of a text, held to their portable
// definitions: the accelerated routes must find exactly the same runs of
// digits, keyword starts and counts, on texts that cross their blocks every
// way.
#include "byte_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "places.h"

namespace mivaro::detail {
namespace {

// Every kept run's start, window by window, from a route.
template <typename Next>
std::vector<std::size_t> KeptStarts(std::string_view text, const Next& next) {
  std::vector<std::size_t> found;
  KeptRuns runs;
  for (std::size_t from = 0;;) {
    runs = next(text, from, runs);
    if (runs.starts == 0) return found;
    for (std::uint64_t left = runs.starts; left != 0; left &= left - 1) {
      found.push_back(runs.at + static_cast<std::size_t>(__builtin_ctzll(left)));
    }
    from = runs.at + 64;
  }
}

std::vector<std::size_t> KeywordStarts(std::string_view text, bool accelerated) {
  std::vector<std::size_t> found;
  for (std::size_t at = 0;; ++at) {
    at = accelerated ? NextKeywordStart(text, at, text.size())
                     : NextKeywordStartPortable(text, at, text.size());
    if (at == text.size()) return found;
    found.push_back(at);
  }
}

// Lines of the shapes the scanner meets, with bytes beyond ASCII among them.
const std::vector<std::string> kLines = {
    "2026-12-17T05:43:02Z INFO user=675204150 order=58956113 amount=6,120.78 account "
    "68729-339 ref 555 715 9489 call 123 456 7820 or 046-454-2861 or 123.456.782_\n",
    "SIN 046 454 286; NAS: 130-692-544, s.i.n. 193.456.787 social_insurance 046454286\n",
    "id_046454286 x046454286 046454286a 1046454286 046454289 assurance 800 000 002\n",
    "  123 456 782 012  9 123 456 782  0.046454286 046454286,5 046454286,123456782\n",
    // Beyond ASCII: the last two.
    "Zoë 046\u00A0454\u00A0286 é123456782 04\u200B6454286 \U0001F600 12345678901234567890\n",
    "\xFF\x80 046 454 286\xC3 123-456-782\xE2\x80\x8B"
    "9\n",
};

// Texts made of those lines, shuffled, cut at every length near a block's;
// half of them of the ASCII lines alone, which the fastest route takes.
std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  std::mt19937 random(20261208);
  for (int round = 0; round < 80; ++round) {
    std::string text;
    const std::size_t lines = round % 2 == 0 ? kLines.size() : kLines.size() - 2;
    while (text.size() < 600) text += kLines[random() % lines];
    texts.push_back(text.substr(0, 64 * (round % 9) + round));
    texts.push_back(text.substr(random() % 64));
  }
  texts.push_back(std::string(300, '7'));
  texts.push_back(std::string(200, '7') + " 046454286 " + std::string(200, '8'));
  return texts;
}

TEST(ByteSearch, AcceleratedRoutesFindWhatThePortableDefinitionsFind) {
  for (const std::string& text : Texts()) {
    SCOPED_TRACE(text);
    const auto portable = [](std::string_view t, std::size_t from, const KeptRuns&) {
      return NextKeptRunsPortable(t, from);
    };
    const auto routed = [](std::string_view t, std::size_t from, const KeptRuns& last) {
      return NextKeptRuns(t, from, last);
    };
    EXPECT_EQ(KeptStarts(text, routed), KeptStarts(text, portable));
    EXPECT_EQ(KeywordStarts(text, true), KeywordStarts(text, false));
    for (std::size_t cut = 0; cut <= text.size(); cut += 7) {
      const Counted fast = Count(std::string_view(text).substr(cut));
      const Counted portableCount = CountPortable(std::string_view(text).substr(cut));
      EXPECT_EQ(fast.codePoints, portableCount.codePoints);
      EXPECT_EQ(fast.utf16, portableCount.utf16);
    }
  }
}

}  // namespace
}  // namespace mivaro::detail
