// SPDX-License-Identifier: Apache-2.0
// What a team's pipeline relies on in scan's reports: fingerprints that
// follow a finding from run to run, a baseline that leaves out exactly the
// old findings, and an allow-list that leaves out numbers wherever they are.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "run_cli.h"

namespace {

using namespace mivaro::testing;

// A file scanned once for a baseline ("{json}" or "{sarif}": that run's
// report), then changed and scanned again with the options.
struct ReportRow {
  const char* name;
  std::string before;
  std::string after;
  std::vector<std::string> options;
  std::string allow;               // the allow-list ("{allow}" in options)
  std::vector<std::string> shown;  // the numbers the second run reports, masked
  int status;
  std::string errHas;  // a part of standard error
};

void PrintTo(const ReportRow& row, std::ostream* os) {
  *os << row.name;
}

class Reports : public ::testing::TestWithParam<ReportRow> {};

// The value of a field in each line of scan --json.
std::vector<std::string> Field(const std::string& lines, const std::string& name) {
  std::vector<std::string> values;
  for (const std::string& line : Lines(lines)) {
    const std::size_t at = line.find("\"" + name + "\":\"");
    if (at == std::string::npos) continue;
    const std::size_t start = at + name.size() + 4;
    values.push_back(line.substr(start, line.find('"', start) - start));
  }
  return values;
}

TEST_P(Reports, LeaveOutWhatTheyAreToldAndTrackTheRest) {
  const ReportRow& row = GetParam();
  const std::string file = WriteTemp("tickets.txt", row.before);
  const std::string json = TempPath("before.json");
  const std::string sarif = TempPath("before.sarif");
  ASSERT_NE(RunCli({"scan", "--json", "-o", json, file}).status, 2);
  ASSERT_NE(RunCli({"scan", "--sarif", "-o", sarif, file}).status, 2);
  WriteTemp("tickets.txt", row.after);
  const std::string allow = WriteTemp("allow.txt", row.allow);
  std::vector<std::string> args = {"scan", "--json"};
  for (const std::string& option : row.options) {
    args.push_back(option == "{json}"    ? json
                   : option == "{sarif}" ? sarif
                   : option == "{allow}" ? allow
                                         : option);
  }
  args.push_back(file);
  const RunResult result = RunCli(args);
  EXPECT_EQ(result.status, row.status) << result.err;
  EXPECT_EQ(Field(result.out, "number"), row.shown) << result.out;
  EXPECT_NE(result.err.find(row.errHas), std::string::npos) << result.err;
}

const std::string kTwo = "SIN 046 454 286\nnote: SIN 130-692-544 again\n";

INSTANTIATE_TEST_SUITE_P(
    Scan, Reports,
    ::testing::Values(ReportRow{"LinesAddedAboveKeepEveryFingerprint",
                                kTwo,
                                "a new first line\nand a second\n" + kTwo,
                                {"--baseline", "{json}"},
                                "",
                                {},
                                1,
                                "2 in the baseline left out"},
                      ReportRow{"ABaselineLeavesOutOnlyTheOldFindings",
                                "SIN 046 454 286\n",
                                "SIN 046 454 286\nSIN 130 692 544\n",
                                {"--baseline", "{json}"},
                                "",
                                {"******544"},
                                0,
                                "1 SIN in 1 file, 1 in the baseline left out"},
                      ReportRow{"ASarifLogIsABaselineToo",
                                "SIN 046 454 286\n",
                                "NAS 130 692 544\nSIN 046 454 286\n",
                                {"--baseline", "{sarif}"},
                                "",
                                {"******544"},
                                0,
                                "1 in the baseline left out"},
                      ReportRow{"TheSameLineAddedAgainIsNew",
                                "SIN 046 454 286\n",
                                "SIN 046 454 286\nSIN 046 454 286\n",
                                {"--baseline", "{json}"},
                                "",
                                {"******286"},
                                0,
                                "1 in the baseline left out"},
                      ReportRow{
                          "AllowedNumbersAreLeftOutInAnyForm",
                          "",
                          "SIN 046-454-286\nSIN 130 692 544\nNAS 193.456.787\nSIN 123 456 782\n",
                          {"--allow", "{allow}"},
                          "# published in our docs\n046 454 286\n130-692-544  # the test number\n"
                          "193456787\n",
                          {"******782"},
                          0,
                          "3 allowed left out"},
                      ReportRow{"AnAllowListLineThatIsNoNumberIsAnError",
                                "",
                                "SIN 046 454 286\n",
                                {"--allow", "{allow}"},
                                "046 454 28\n",
                                {},
                                2,
                                "allow.txt:1: not a number"},
                      ReportRow{"AReportWithoutFingerprintsIsNoBaseline",
                                "",
                                "SIN 046 454 286\n",
                                {"--baseline", "{allow}"},
                                "{\"path\":\"x\"}\n",
                                {},
                                2,
                                "has no fingerprint"}));

// The fingerprints a run writes in its SARIF log are those of its JSON lines,
// and a baseline's findings are left out of a SARIF log too.
TEST(Reports, SarifAndJsonShareFingerprints) {
  const std::string file = WriteTemp("shared.txt", kTwo);
  const RunResult json = RunCli({"scan", "--json", file});
  const RunResult sarif = RunCli({"scan", "--sarif", file});
  const std::vector<std::string> prints = Field(json.out, "fingerprint");
  ASSERT_EQ(prints.size(), 2u);
  for (const std::string& print : prints) {
    EXPECT_NE(sarif.out.find("\"mivaro/v1\":\"" + print + "\""), std::string::npos);
  }
  const std::string baseline = WriteTemp("shared.json", json.out);
  const RunResult left = RunCli({"scan", "--sarif", "--baseline", baseline, file});
  EXPECT_EQ(left.status, 1) << left.err;
  EXPECT_NE(left.out.find("\"results\":[]"), std::string::npos) << left.out;
}

// scan --git in a repository made here: a number added, kept for three
// commits and then deleted is reported once, at the commit that added it,
// with its date and its line in that commit's version of the file; and so
// is a workbook's.
TEST(Reports, GitHistoryNamesTheCommitThatAddedANumber) {
  const std::string repo = TempPath("history");
  const std::string in = "cd '" + repo + "' && ";
  ASSERT_EQ(std::system(("rm -rf '" + repo + "' && mkdir '" + repo + "' && " + in +
                         "git init -q && git config user.email t@example.org && "
                         "git config user.name Tests && "
                         "printf 'a note\\n' > notes.txt && git add notes.txt && "
                         "git commit -qm one && "
                         "printf 'a note\\nSIN 046 454 286\\n' > notes.txt && "
                         "git commit -qam adds && "
                         "printf 'a note\\nSIN 046 454 286\\nmore\\n' > notes.txt && "
                         "git commit -qam keeps && "
                         "printf 'first\\na note\\nSIN 046 454 286\\nmore\\n' > notes.txt && "
                         "git commit -qam moves && printf 'a note\\n' > notes.txt && "
                         "git commit -qam deletes")
                            .c_str()),
            0);
  const std::string adding = Printed(in + "git log -1 --format='%cs %h' --abbrev=12 HEAD~3");
  setenv("GIT_DIR", (repo + "/.git").c_str(), 1);
  const RunResult all = RunCli({"scan", "--git"});
  const RunResult late = RunCli({"scan", "--git", "HEAD~2..HEAD"});
  const RunResult json = RunCli({"scan", "--git", "--json"});
  // A workbook committed, then committed again redacted, then deleted: its
  // SINs once, at the commit that added it, read as scan reads workbooks.
  const std::string cli = MIVARO_CLI_PATH;
  ASSERT_EQ(std::system((in + "cp '" MIVARO_TEST_FILES "/book.xlsx' export.xlsx && " +
                         "git add export.xlsx && git commit -qm export && '" + cli +
                         "' redact export.xlsx -o export.xlsx 2>/dev/null && "
                         "git commit -qam redacted && git rm -q export.xlsx && "
                         "git commit -qm gone")
                            .c_str()),
            0);
  const RunResult workbook = RunCli({"scan", "--git", "HEAD~4.."});
  const std::string exported = Printed(in + "git log -1 --format='%cs %h' --abbrev=12 HEAD~2");
  unsetenv("GIT_DIR");
  const std::string at = exported.substr(0, exported.size() - 1);
  EXPECT_EQ(workbook.out, at + "!export.xlsx!Payroll!B2: *** *** 286 (high: SIN)\n" + at +
                              "!export.xlsx!Notes!C5: *** *** 544 (medium)\n")
      << workbook.err;
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out,
            adding.substr(0, adding.size() - 1) + "!notes.txt:2:5: *** *** 286 (high: SIN)\n");
  EXPECT_EQ(late.status, 1) << late.out;
  EXPECT_NE(json.out.find("\"commit\":\"" + adding.substr(11, 12)), std::string::npos) << json.out;
}

}  // namespace
