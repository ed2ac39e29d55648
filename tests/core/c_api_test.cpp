// SPDX-License-Identifier: Apache-2.0
// The C API, through the one table of entries every front end shares, and
// its generator against the C++ one that mivaro-cli uses.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "mivaro/generator.h"
#include "mivaro/mivaro.h"
#include "support/entry_table.h"

namespace {

std::string CaptionsOf(unsigned regions) {
  std::string captions;
  for (unsigned bit = 1; bit != 0 && bit <= MIVARO_REGION_SK; bit <<= 1U) {
    if ((regions & bit) == 0) continue;
    if (!captions.empty()) captions += ' ';
    captions += mivaro_region_caption(bit);
  }
  return captions;
}

TEST(CApi, ChecksEveryEntryOfTheSharedTableAsTheTableSays) {
  const auto rows = mivaro::testing::ReadEntryTable();
  ASSERT_GT(rows.size(), 20U);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    mivaro_result result{};
    const int valid = mivaro_check(row.entry.data(), row.entry.size(), &result);
    EXPECT_EQ(valid, row.valid ? 1 : 0);
    EXPECT_EQ(result.valid, valid);
    EXPECT_EQ(mivaro_is_valid(row.entry.data(), row.entry.size()), valid);
    EXPECT_STREQ(result.number, row.number.c_str());
    EXPECT_STREQ(result.check, row.check.c_str());
    EXPECT_EQ(result.sum, row.sum.value_or(-1));
    EXPECT_STREQ(mivaro_group_name(result.group), row.group.c_str());
    EXPECT_EQ(CaptionsOf(result.regions), row.regions);
    EXPECT_STREQ(mivaro_error_text(result.error), row.error.c_str());
    EXPECT_EQ(result.error == MIVARO_OK, row.error.empty());

    char reason[64];
    const std::size_t length = mivaro_reason(&result, reason, sizeof reason);
    EXPECT_EQ(length, std::strlen(reason));
    if (!row.error.empty()) {
      EXPECT_EQ(reason, row.error);
    } else if (!row.valid) {
      EXPECT_EQ(reason, "check sum " + std::to_string(*row.sum) + " is not a multiple of 10");
    } else {
      EXPECT_STREQ(reason, "");
    }
  }
}

TEST(CApi, ReadsExactlyTheBytesItIsGivenAndRefusesWhatItCannotName) {
  EXPECT_EQ(mivaro_is_valid("123456782999", 9), 1);  // no NUL needed
  EXPECT_EQ(mivaro_is_valid(nullptr, 0), 0);
  EXPECT_EQ(mivaro_check(nullptr, 0, nullptr), 0);
  EXPECT_STREQ(mivaro_error_text(static_cast<mivaro_error>(1000)), "");
  EXPECT_STREQ(mivaro_group_name(static_cast<mivaro_group>(-1)), "");
  EXPECT_STREQ(mivaro_region_caption(MIVARO_REGION_NB | MIVARO_REGION_QC), "");

  char out[12];
  EXPECT_EQ(mivaro_format("046454286", MIVARO_STYLE_SPACED, out), 1);
  EXPECT_STREQ(out, "046 454 286");
  EXPECT_EQ(mivaro_mask("046454286", MIVARO_STYLE_DASHED, out), 1);
  EXPECT_STREQ(out, "***-***-286");
  EXPECT_EQ(mivaro_format("04645428", MIVARO_STYLE_BARE, out), 0);
  EXPECT_EQ(mivaro_format("046454286", static_cast<mivaro_style>(7), out), 0);

  char cut[8];
  mivaro_result result{};
  mivaro_check("123456789", 9, &result);
  EXPECT_EQ(mivaro_reason(&result, cut, sizeof cut), 36U);  // the whole reason's length
  EXPECT_STREQ(cut, "check s");
}

TEST(CApi, GeneratesWhatTheCxxGeneratorAndSoMivaroCliGenerate) {
  const mivaro_generator_options kOptions[] = {
      {MIVARO_REGION_QC | MIVARO_REGION_ON, -1, 0, 0, 7},
      {0, 0, 1, 0, 31337},
      {0, 9, 0, 1, 5},
  };
  for (const mivaro_generator_options& options : kOptions) {
    mivaro::GeneratorOptions same;
    same.regions = options.regions;
    if (options.first_digit >= 0) same.firstDigit = options.first_digit;
    same.zeroToNine = options.zero_to_nine != 0;
    same.unique = options.unique != 0;
    same.seed = options.seed;
    std::string refusal;
    std::optional<mivaro::Generator> made = mivaro::Generator::Create(same, refusal);
    ASSERT_TRUE(made) << refusal;
    mivaro::Generator& cxx = *made;
    mivaro_generator* c = mivaro_generator_create(&options);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(mivaro_generator_distinct(c), cxx.Distinct());
    for (int i = 0; i < 1000; ++i) {
      char number[10];
      mivaro::Number expected{};
      ASSERT_EQ(mivaro_generator_next(c, number), 1);
      ASSERT_TRUE(cxx.Next(expected));
      ASSERT_EQ(std::string(number), std::string(expected.data(), expected.size()));
    }
    mivaro_generator_free(c);
  }
  // What mivaro-cli refuses, the C API refuses.
  const mivaro_generator_options both{MIVARO_REGION_QC, 2, 0, 0, 1};
  const mivaro_generator_options ten{0, 10, 0, 0, 1};
  EXPECT_EQ(mivaro_generator_create(&both), nullptr);
  EXPECT_EQ(mivaro_generator_create(&ten), nullptr);
  char why[64];
  EXPECT_GT(mivaro_generator_refusal(&ten, why, sizeof why), 0U);
  EXPECT_STREQ(why, "first digit 10 is out of range (expected 0 to 9)");
  EXPECT_EQ(mivaro_generator_refusal(&kOptions[0], why, sizeof why), 0U);
  unsigned regions = 0;
  EXPECT_EQ(mivaro_regions_parse(" qc,On", 6, &regions, why, sizeof why), 1);
  EXPECT_EQ(regions, MIVARO_REGION_QC | MIVARO_REGION_ON);
  EXPECT_EQ(mivaro_regions_parse("QC,XX", 5, &regions, why, sizeof why), 0);
  EXPECT_STREQ(why, "unknown region 'XX' (expected AB, BC, MB, NB, NU, NWT, ON, PEI,");  // cut
  mivaro_generator_free(nullptr);
}

TEST(CApi, EndsAUniqueRunWhenEveryNumberHasBeenGiven) {
  // First digit 9 and digits 1-9 allow 4,304,672 numbers; draw them all.
  const mivaro_generator_options options{0, 9, 0, 1, 3};
  mivaro_generator* generator = mivaro_generator_create(&options);
  ASSERT_NE(generator, nullptr);
  char number[10];
  std::uint64_t given = 0;
  while (mivaro_generator_next(generator, number) == 1) ++given;
  EXPECT_EQ(given, 4'304'672U);
  EXPECT_EQ(mivaro_generator_next(generator, number), 0);
  mivaro_generator_free(generator);
}

}  // namespace
