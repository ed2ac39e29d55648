// SPDX-License-Identifier: Apache-2.0
// scan and redact run as a program on real files and folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "run_cli.h"

namespace {

using namespace mivaro::testing;

// scan and redact on real files: what goes to standard output, the status,
// and a word on standard error that names what went wrong.
struct TextRow {
  const char* name;
  std::vector<std::string> args;  // "{a}" and "{b}": the two files below
  std::string input;              // standard input
  std::string out;
  int status;
  std::string errHas;  // a part of standard error
};

void PrintTo(const TextRow& row, std::ostream* os) {
  *os << row.name;
}

const std::string kFileA = "Ticket 7: my SIN is 046 454 286.\n";
const std::string kFileB = "nothing here: 613-555-0199\n";
const std::string kUtf16 = std::string("\xFF\xFE", 2) + std::string(
                                                            "N\0A\0S\0 \0"
                                                            "0\0"
                                                            "4\0"
                                                            "6\0 \0"
                                                            "4\0"
                                                            "5\0"
                                                            "4\0 \0"
                                                            "2\0"
                                                            "8\0"
                                                            "6\0\n\0",
                                                            32);

class TextCommands : public ::testing::TestWithParam<TextRow> {};

TEST_P(TextCommands, WriteWhatTheyFindAndSayHowItWent) {
  const TextRow& row = GetParam();
  const std::string a = WriteTemp("a.txt", kFileA);
  const std::string b = WriteTemp("b.txt", kFileB);
  std::vector<std::string> args;
  for (std::string arg : row.args) {
    if (arg == "{a}") arg = a;
    if (arg == "{b}") arg = b;
    args.push_back(arg);
  }
  std::string out = row.out;
  for (const auto& [name, path] :
       {std::pair{std::string("{a}"), a}, std::pair{std::string("{b}"), b}}) {
    for (std::size_t at; (at = out.find(name)) != std::string::npos;)
      out.replace(at, name.size(), path);
  }
  const RunResult result = RunCli(args, WriteTemp("stdin", row.input));
  EXPECT_EQ(result.status, row.status) << result.err;
  EXPECT_EQ(WithoutFingerprints(result.out), out);
  EXPECT_NE(result.err.find(row.errHas), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    ScanAndRedact, TextCommands,
    ::testing::Values(
        TextRow{"ScanFindsAMaskedMatchOnStandardInput",
                {"scan"},
                "id 7\nSIN: 046-454-286\n",
                "-:2:6: ***-***-286 (high: SIN)\n",
                0,
                "1 SIN in 1 file"},
        TextRow{"ScanFindsNothing", {"scan", "{b}"}, "", "", 1, "0 SINs"},
        TextRow{"ScanWritesJsonUnmasked",
                {"scan", "--json", "--unmasked", "{a}"},
                "",
                "{\"path\":\"{a}\",\"line\":1,\"column\":21,\"offset\":20,\"length\":11,"
                "\"number\":\"046454286\",\"confidence\":\"high\",\"keyword\":\"SIN\","
                "\"container\":[\"{a}\"],\"where\":{\"line\":1,\"column\":21},"
                "\"fingerprint\":\"{fp}\"}\n",
                0,
                ""},
        TextRow{"ScanCountsEachFile", {"scan", "-c", "{a}", "{b}"}, "", "{a}:1\n{b}:0\n", 0, ""},
        TextRow{"ScanNamesFilesWithMatches", {"scan", "-l", "{b}", "{a}"}, "", "{a}\n", 0, ""},
        TextRow{"ScanGoesOnPastAFileItCannotRead",
                {"scan", "-l", "/nonexistent/x", "{a}"},
                "",
                "{a}\n",
                2,
                "cannot open /nonexistent/x"},
        TextRow{"ScanSkipsBinaryInput",
                {"scan"},
                std::string("x\0 SIN 046 454 286", 18),
                "",
                1,
                "1 binary file skipped"},
        TextRow{"ScanReadsUtf16", {"scan"}, kUtf16, "-:1:5: *** *** 286 (high: NAS)\n", 0, ""},
        TextRow{"ScanRefusesAnUnknownConfidence",
                {"scan", "--min-confidence", "sure"},
                "",
                "",
                2,
                "--min-confidence"},
        TextRow{"RedactKeepsEveryOtherByte",
                {"redact"},
                "SIN 046\u00A0454\u00A0286 or 613-555-0199\n",
                "SIN ***\u00A0***\u00A0286 or 613-555-0199\n",
                0,
                "redacted 1 SIN"},
        TextRow{"RedactsAllDigitsFromLowUp",
                {"redact", "--all-digits", "--min-confidence", "low"},
                "id 046454286\n",
                "id *********\n",
                0,
                "redacted 1 SIN"},
        TextRow{"RedactKeepsUtf16",
                {"redact"},
                kUtf16,
                std::string("\xFF\xFE", 2) + std::string("N\0A\0S\0 \0*\0*\0*\0 \0*\0*\0*\0 \0"
                                                         "2\0"
                                                         "8\0"
                                                         "6\0\n\0",
                                                         32),
                0,
                "redacted 1 SIN"},
        TextRow{"RedactRefusesBinaryInput",
                {"redact"},
                std::string("SIN 046 454 286\0", 16),
                "",
                2,
                "binary"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MivaroCli, ScansFoldersInNameOrderAndRedactsAFileInPlace) {
  const std::string folder = TempPath("folder");
  mkdir(folder.c_str(), 0755);
  mkdir((folder + "/sub").c_str(), 0755);
  std::ofstream(folder + "/b.log") << "NAS 130 692 544\n";
  std::ofstream(folder + "/sub/a.log") << "social insurance 046 454 286\n";
  std::ofstream(folder + "/a.log") << "nothing\n";
  ASSERT_EQ(mkfifo((folder + "/b.pipe").c_str(), 0600), 0);  // nobody ever writes to it
  const RunResult scanned = RunCli({"scan", "-c", folder});
  EXPECT_EQ(scanned.out, folder + "/a.log:0\n" + folder + "/b.log:1\n" + folder + "/sub/a.log:1\n");
  EXPECT_NE(scanned.err.find("1 pipe, socket or device skipped"), std::string::npos) << scanned.err;
  EXPECT_EQ(RunCli({"redact", "-o", folder + "/b.log", folder + "/b.log"}).status, 0);
  EXPECT_EQ(ReadFile(folder + "/b.log"),
            "NAS ***\x20***\x20"
            "544\n");
}

// A pipe named on the command line is read, as a user who names it expects.
TEST(MivaroCli, ScansAPipeNamedOnTheCommandLine) {
  const std::string fifo = TempPath("named.pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> ended = false;
  std::thread writer([&] {
    // Waits for the reader without blocking, so a run that never opens the pipe
    // fails the test rather than hanging it.
    int end = -1;
    while (!ended && (end = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0) usleep(1000);
    if (end < 0) return;
    const std::string text = "SIN 046 454 286\n";
    EXPECT_EQ(write(end, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(end);
  });
  const RunResult scanned = RunCli({"scan", "-c", fifo});
  ended = true;
  writer.join();
  EXPECT_EQ(scanned.out, fifo + ":1\n");
  unlink(fifo.c_str());
}

}  // namespace
