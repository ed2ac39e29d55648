// SPDX-License-Identifier: Apache-2.0
// mivaro-cli run as a program: exit statuses, hostile input, reproducible
// output and round trips, through real pipes and files.
#include <dirent.h>
#include <gtest/gtest.h>
#include <mivaro/version.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "run_cli.h"
#include "text/utf8.h"

namespace {

using namespace mivaro::testing;

// Valid UTF-8 with no control characters but the line endings allowed.
bool IsCleanText(const std::string& text, bool crlf) {
  for (std::size_t at = 0; at < text.size();) {
    const mivaro::text::Utf8Step step = mivaro::text::DecodeUtf8(text, at);
    const bool lineEnd = step.codePoint == '\n' || (crlf && step.codePoint == '\r');
    if (!step.valid || (step.codePoint < 0x20 && !lineEnd)) return false;
    at += step.length;
  }
  return true;
}

struct StatusRow {
  const char* name;
  std::vector<std::string> args;
  int status;
};

void PrintTo(const StatusRow& row, std::ostream* os) {
  *os << row.name;
}

class ExitStatus : public ::testing::TestWithParam<StatusRow> {};

TEST_P(ExitStatus, TellsAllValidFromNotAllValidFromAUsageError) {
  const RunResult result = RunCli(GetParam().args);
  EXPECT_EQ(result.status, GetParam().status) << result.err;
  if (GetParam().status == 2) {
    // One clear line on standard error, nothing on standard output.
    EXPECT_EQ(Lines(result.err).size(), 1U) << result.err;
    EXPECT_EQ(result.err.rfind("mivaro-cli: ", 0), 0U) << result.err;
    EXPECT_EQ(result.out, "");
  } else {
    EXPECT_EQ(result.err, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ExitStatus,
    ::testing::Values(
        StatusRow{"AllValid", {"validate", "123456782", "123-456-782", "800000002"}, 0},
        StatusRow{"OneInvalid", {"validate", "123456782", "111111111"}, 1},
        StatusRow{"OneMalformed", {"validate", "123456782", "12"}, 1},
        StatusRow{"NothingOnStandardInput", {"validate"}, 0},
        StatusRow{"GenerateOne", {"generate"}, 0},
        StatusRow{"UnknownOption", {"validate", "--bogus"}, 2},
        StatusRow{"JsonAndCsv", {"validate", "--json", "--csv"}, 2}, StatusRow{"NoCommand", {}, 2},
        StatusRow{"UnknownCommand", {"check", "123456782"}, 2},
        StatusRow{"CountZero", {"generate", "--count", "0"}, 2},
        StatusRow{"CountPastLimit", {"generate", "--count", "100000001"}, 2},
        StatusRow{"CountNotANumber", {"generate", "--count", "ten"}, 2},
        StatusRow{"FirstDigitWithALeadingZero", {"generate", "--first-digit", "08"}, 0},
        StatusRow{"UnknownRegion", {"generate", "--region", "QC,XX"}, 2},
        StatusRow{"RegionAndFirstDigit", {"generate", "--region", "QC", "--first-digit", "2"}, 2},
        StatusRow{"FirstDigitTen", {"generate", "--first-digit", "10"}, 2},
        StatusRow{"UnknownFormat", {"generate", "--format", "fancy"}, 2},
        StatusRow{"NegativeSeed", {"generate", "--seed", "-1"}, 2},
        StatusRow{"SeedPast64Bits", {"generate", "--seed", "18446744073709551616"}, 2},
        StatusRow{"UniqueInvalid", {"generate", "--unique", "--invalid", "zeros"}, 2},
        StatusRow{"UnknownInvalidKind", {"generate", "--invalid", "checksum,typo"}, 2},
        StatusRow{"AnnotateMissingFile", {"annotate", "/nonexistent/payroll.csv"}, 2},
        StatusRow{"AnnotateTwoCharacterDelimiter", {"annotate", "--delimiter", ";;"}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MivaroCli, PrintsHelpForEachCommandAndItsVersion) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"validate", "--help"}, {"generate", "--help"}}) {
    const RunResult result = RunCli(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Usage"), std::string::npos) << result.out;
  }
  EXPECT_EQ(RunCli({"--version"}).out, MIVARO_VERSION "\n");
}

TEST(MivaroCli, ValidatesStandardInputOneRecordPerLineInOrder) {
  const std::string input = WriteTemp(
      "lines", "123456782\r\n111111111\n\n  123 456 782  \n12345678a\n999999998");  // no final LF
  const RunResult result = RunCli({"validate", "--json", "--summary"}, input);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 7U) << result.out;
  EXPECT_NE(lines[0].find(R"("input":"123456782","number":"123456782","valid":true)"),
            std::string::npos);
  EXPECT_NE(lines[1].find(R"("valid":false,"check":"121212121")"), std::string::npos);
  EXPECT_NE(lines[2].find(R"("input":"","number":null)"), std::string::npos);
  EXPECT_NE(lines[3].find(R"("input":"  123 456 782  ","number":"123456782")"), std::string::npos);
  EXPECT_NE(lines[4].find(R"("error":"not digits only")"), std::string::npos);
  EXPECT_NE(lines[5].find(R"("group":"Temporary")"), std::string::npos);
  EXPECT_EQ(lines[6], R"({"summary":{"valid":3,"invalid":1,"malformed":2}})");
  EXPECT_EQ(result.status, 1);
}

TEST(MivaroCli, SurvivesHostileInputWithEveryLineReported) {
  std::string hostile(
      "12345\0"
      "6782\n",
      11);                                      // embedded NUL
  hostile += "\xFF\xFE\xC0\xAF\xED\xA0\x80\n";  // invalid UTF-8
  hostile += std::string(300, '\x01') + "\n";   // control characters
  hostile += "123456782";                       // missing final newline
  const std::string input = WriteTemp("hostile", hostile);

  const RunResult json = RunCli({"validate", "--json"}, input);
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(Lines(json.out).size(), 4U) << json.out;
  EXPECT_TRUE(IsCleanText(json.out, /*crlf=*/false));

  const RunResult csv = RunCli({"validate", "--csv"}, input);
  EXPECT_EQ(csv.status, 1);
  EXPECT_EQ(Lines(csv.out).size(), 1U + 4U) << csv.out;  // header and four rows
  EXPECT_TRUE(IsCleanText(csv.out, /*crlf=*/true));

  const RunResult text = RunCli({"validate"}, input);
  EXPECT_EQ(Lines(text.out).size(), 1U + 4U) << text.out;
  EXPECT_TRUE(IsCleanText(text.out, /*crlf=*/false));
}

TEST(MivaroCli, ReportsAHundredMegabyteLineAsMalformedInBoundedMemory) {
  const RunResult small = RunCli({"validate", "--json"}, WriteTemp("small", "7\n123456782\n"));
  // Digits, and bytes that are not UTF-8 at all (lone continuation bytes).
  for (const auto& [filler, echoed, reason] :
       {std::tuple<char, std::string, std::string>{'7', "7", "too long"},
        {'\x80', "\uFFFD", "not UTF-8 (try --encoding cp1252)"}}) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(filler)));
    const std::string path = TempPath("huge");
    {
      std::ofstream out(path, std::ios::binary);
      const std::string block(1 << 20, filler);
      for (int i = 0; i < 100; ++i) out << block;
      out << "\n123456782\n";
    }
    const RunResult result = RunCli({"validate", "--json"}, path);
    std::remove(path.c_str());
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 2U);
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += echoed;
    EXPECT_NE(lines[0].find(R"("input":")" + hundred + "\""), std::string::npos);
    EXPECT_NE(lines[0].find(R"("error":")" + reason + "\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(R"("valid":true)"), std::string::npos);
    // The line alone is 100 MB; measured against a tiny input so that the
    // sanitizers' own memory does not count.
    EXPECT_LT(result.peakKilobytes - small.peakKilobytes, 8 * 1024);
  }
}

TEST(MivaroCli, SaysSoWhenInputCannotBeReadOrOutputWritten) {
  const RunResult unreadable = RunCli({"validate"}, "/");
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_NE(unreadable.err.find("cannot read standard input"), std::string::npos);

  const RunResult full = RunCli({"generate", "--count", "100000"}, "/dev/null", "/dev/full");
  EXPECT_EQ(full.status, 2);
  EXPECT_NE(full.err.find("cannot write"), std::string::npos);

  const std::string input = WriteTemp("one", "123456782\n");
  EXPECT_EQ(RunCli({"validate"}, input, "/dev/full").status, 2);
  // No summary for records that were never written; no help that never came.
  const RunResult summary = RunCli({"validate", "--csv", "--summary", "1"}, input, "/dev/full");
  EXPECT_EQ(summary.err, "mivaro-cli: cannot write the results: No space left on device\n");
  const RunResult help = RunCli({"--help"}, "/dev/null", "/dev/full");
  EXPECT_EQ(help.status, 2);
  EXPECT_EQ(help.err, "mivaro-cli: cannot write the help: No space left on device\n");

  // Endless input: the first refused write ends the run.
  const RunResult endless = RunCli({"validate"}, "/dev/urandom", "/dev/full");
  EXPECT_EQ(endless.status, 2);
  EXPECT_EQ(endless.err, "mivaro-cli: cannot write the results: No space left on device\n");
}

TEST(MivaroCli, EndsQuietlyAtOnceWhenItsReaderGoesAway) {
  // As after "| head": killed by SIGPIPE, or, where SIGPIPE is ignored, ended
  // by the refused write; either way without a word.
  for (const auto disposition : {SIG_DFL, SIG_IGN}) {
    const auto previous = std::signal(SIGPIPE, disposition);
    const RunResult validate = RunCli({"validate"}, "/dev/urandom", kClosedPipe);
    const RunResult generate =
        RunCli({"generate", "--count", "100000000"}, "/dev/null", kClosedPipe);
    std::signal(SIGPIPE, previous);
    for (const RunResult& run : {validate, generate}) {
      EXPECT_EQ(run.status, disposition == SIG_DFL ? 128 + SIGPIPE : 2);
      EXPECT_EQ(run.err, "");
    }
  }
}

TEST(MivaroCli, PrintsTheSameNumbersForTheSameSeed) {
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--region", "qc", "--json"},
        {"--unique", "--digits", "0-9"},
        {"--invalid", "checksum,length,letters,grouping,zeros", "--csv"}}) {
    std::vector<std::string> args{"generate", "--count", "500", "--seed", "31337"};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult first = RunCli(args);
    const RunResult second = RunCli(args);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, second.out);
    EXPECT_GE(Lines(first.out).size(), 500U);
    args[4] = "31338";
    EXPECT_NE(RunCli(args).out, first.out);
  }
}

TEST(MivaroCli, GeneratesEveryDistinctNumberOfAFirstDigitAndNotOneMore) {
  // 4 304 672 valid numbers start with 9 and have digits 1-9 only.
  const std::string numbers = TempPath("unique");
  const RunResult all = RunCli({"generate", "--unique", "--first-digit", "9", "--count", "4304672"},
                               "/dev/null", numbers);
  EXPECT_EQ(all.status, 0) << all.err;
  std::vector<std::uint32_t> seen;
  std::ifstream in(numbers);
  for (std::string line; std::getline(in, line);) {
    ASSERT_EQ(line.size(), 9U);
    ASSERT_EQ(line.front(), '9');
    seen.push_back(static_cast<std::uint32_t>(std::stoul(line)));
  }
  std::remove(numbers.c_str());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen.size(), 4'304'672U);
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());

  const RunResult oneMore =
      RunCli({"generate", "--unique", "--first-digit", "9", "--count", "4304673"});
  EXPECT_EQ(oneMore.status, 2);
  EXPECT_EQ(oneMore.out, "");
  EXPECT_NE(oneMore.err.find("4304672 distinct valid numbers"), std::string::npos) << oneMore.err;
}

struct RoundTripRow {
  const char* name;
  std::vector<std::string> options;
  std::string group;  // every record's group, or "" for any
};

void PrintTo(const RoundTripRow& row, std::ostream* os) {
  *os << row.name;
}

class RoundTrip : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(RoundTrip, EveryGeneratedNumberPassesValidate) {
  std::vector<std::string> args{"generate", "--count", "20000", "--seed", "5"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  const std::string numbers = TempPath("numbers");
  ASSERT_EQ(RunCli(args, "/dev/null", numbers).status, 0);

  const RunResult checked = RunCli({"validate", "--json", "--summary"}, numbers);
  EXPECT_EQ(checked.status, 0) << checked.out.substr(0, 500);
  const std::vector<std::string> lines = Lines(checked.out);
  ASSERT_EQ(lines.size(), 20001U);
  EXPECT_EQ(lines.back(), R"({"summary":{"valid":20000,"invalid":0,"malformed":0}})");
  if (!GetParam().group.empty()) {
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      ASSERT_NE(lines[i].find("\"group\":\"" + GetParam().group + "\""), std::string::npos)
          << lines[i];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Options, RoundTrip,
    ::testing::Values(
        RoundTripRow{"AnyRegionBare", {}, ""},
        RoundTripRow{"QuebecSpaced", {"--region", "QC", "--format", "spaced"}, "Quebec"},
        RoundTripRow{
            "PrairiesDashed", {"--region", "nu,yt", "--format", "dashed"}, "PrairiesNorth"},
        RoundTripRow{"ForeignTax", {"--first-digit", "0"}, "ForeignTax"},
        RoundTripRow{"Temporary", {"--first-digit", "9"}, "Temporary"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MivaroCli, AnnotatesATableOfAnySizeInFlatMemory) {
  const std::string path = TempPath("table");
  {
    std::ofstream out(path, std::ios::binary);
    out << "id,name,SIN,note\n";
    std::string rows;
    for (int i = 0; i < 10'000; ++i) rows += "1234,\"Roy, Luc\",123 456 782,\"a \"\"b\"\"\"\r\n";
    for (int i = 0; i < 100; ++i) out << rows;  // a million rows, 40 MB
  }
  const RunResult big = RunCli({"annotate", path}, "/dev/null", "/dev/null");
  std::remove(path.c_str());
  const RunResult small =
      RunCli({"annotate"}, WriteTemp("small-table", "SIN\n123456782\n"), "/dev/null");
  EXPECT_EQ(big.status, 0) << big.err;
  EXPECT_LT(big.peakKilobytes - small.peakKilobytes, 4 * 1024);
}

// Whether a temporary file of -o FILE is still beside FILE.
bool TemporaryLeftBeside(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string prefix = "." + path.substr(slash + 1) + ".mivaro-";
  DIR* folder = opendir(path.substr(0, slash).c_str());
  bool left = false;
  while (const dirent* entry = readdir(folder))
    left |= std::string(entry->d_name).rfind(prefix, 0) == 0;
  closedir(folder);
  return left;
}

TEST(MivaroCli, WritesAnOutputFileWholeOrLeavesItAsItWas) {
  const std::string table = WriteTemp("table.csv", "SIN\n123456782\n");
  const std::string broken = WriteTemp("broken.csv", "SIN\n123456782\n\"never closed\n");
  const RunResult failed = RunCli({"annotate", "-o", table, broken});
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(ReadFile(table), "SIN\n123456782\n");
  EXPECT_FALSE(TemporaryLeftBeside(table));

  // In place: the input is read whole before the file is replaced.
  EXPECT_EQ(RunCli({"annotate", "-o", table, table}).status, 0);
  EXPECT_EQ(ReadFile(table),
            "SIN,sin_valid,sin_number,sin_group,sin_regions,sin_error\r\n"
            "123456782,true,123456782,Atlantic,NB PEI NF NS,\r\n");
  EXPECT_FALSE(TemporaryLeftBeside(table));

  // "> FILE" on the input: the shell has emptied it; refused, not a success.
  const RunResult same = RunCli({"annotate", table}, "/dev/null", table);
  EXPECT_EQ(same.status, 2);
  EXPECT_NE(same.err.find("write with -o FILE"), std::string::npos) << same.err;
}

TEST(MivaroCli, StreamsMillionsOfNumbersInFlatMemory) {
  const RunResult many =
      RunCli({"generate", "--count", "3000000", "--seed", "1"}, "/dev/null", "/dev/null");
  const RunResult one =
      RunCli({"generate", "--count", "1", "--seed", "1"}, "/dev/null", "/dev/null");
  EXPECT_EQ(many.status, 0);
  EXPECT_LT(many.peakKilobytes - one.peakKilobytes, 4 * 1024);
}
}  // namespace
