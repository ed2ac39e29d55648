// SPDX-License-Identifier: Apache-2.0
#include "cli/options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace mivaro::cli {
namespace {

TEST(ParseWholeNumber, ReadsDecimalOnlyAndSaysWhyItRefuses) {
  struct Row {
    std::string_view text;
    std::optional<std::uint64_t> value;
    std::string_view why;  // a part of the error
  };
  const Row kRows[] = {
      {"7", 7, ""},
      {"010", 10, ""},  // decimal, not octal
      {"08", 8, ""},
      {"100000000", 100'000'000, ""},
      {"ten", std::nullopt, "'ten' is not a whole number"},
      {"1e3", std::nullopt, "not a whole number"},
      {"-1", std::nullopt, "not a whole number"},
      {"+5", std::nullopt, "not a whole number"},
      {" 5", std::nullopt, "not a whole number"},
      {"", std::nullopt, "not a whole number"},
      {"0", std::nullopt, "0 is out of range (expected 1 to 100000000)"},
      {"100000001", std::nullopt, "out of range"},
      {"18446744073709551616", std::nullopt, "out of range"},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.text);
    std::string error;
    EXPECT_EQ(ParseWholeNumber(row.text, 1, 100'000'000, error), row.value);
    EXPECT_NE(error.find(row.why), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace mivaro::cli
