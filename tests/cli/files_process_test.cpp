// SPDX-License-Identifier: Apache-2.0
// scan opening files made by the tools people make them with (the build
// makes them with make_test_files.sh): each kind of file, and each limit a
// hostile file meets.
#include <gtest/gtest.h>
#include <mivaro/mivaro.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "run_cli.h"

namespace {

using namespace mivaro::testing;

struct FileRow {
  const char* name;
  std::vector<std::string> args;  // "{}" stands for the folder of files
  std::string out;
  int status;
  std::string errHas;  // a part of standard error
};

void PrintTo(const FileRow& row, std::ostream* os) {
  *os << row.name;
}

std::string Placed(std::string text) {
  const std::string folder = MIVARO_TEST_FILES;
  for (std::size_t at = 0; (at = text.find("{}", at)) != std::string::npos; at += folder.size()) {
    text.replace(at, 2, folder);
  }
  return text;
}

class OpenedFiles : public ::testing::TestWithParam<FileRow> {};

TEST_P(OpenedFiles, SayWhereEachSinIsOrWhyTheyWereNotRead) {
  const FileRow& row = GetParam();
  std::vector<std::string> args;
  for (const std::string& arg : row.args) args.push_back(Placed(arg));
  const RunResult result = RunCli(args);
  EXPECT_EQ(result.status, row.status) << result.err;
  EXPECT_EQ(WithoutFingerprints(result.out), Placed(row.out));
  EXPECT_NE(result.err.find(Placed(row.errHas)), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Scan, OpenedFiles,
    ::testing::Values(
        FileRow{"CompressedFilesAreTheTextInside",
                {"scan", "{}/app.log.gz", "{}/app.log.bz2", "{}/app.log.xz", "{}/app.log.zst"},
                "{}/app.log.gz:1:14: ***-***-286 (high: SIN)\n"
                "{}/app.log.gz:2:10: *** *** 544 (high: SIN)\n"
                "{}/app.log.bz2:1:14: ***-***-286 (high: SIN)\n"
                "{}/app.log.bz2:2:10: *** *** 544 (high: SIN)\n"
                "{}/app.log.xz:1:14: ***-***-286 (high: SIN)\n"
                "{}/app.log.xz:2:10: *** *** 544 (high: SIN)\n"
                "{}/app.log.zst:1:14: ***-***-286 (high: SIN)\n"
                "{}/app.log.zst:2:10: *** *** 544 (high: SIN)\n",
                0,
                "8 SINs in 4 files; opened 1 bzip2, 1 gzip, 1 xz, 1 zstd"},
        FileRow{"ArchivesInsideArchivesAreNamedLinkByLink",
                {"scan", "-l", "{}/outer.zip", "{}/app.7z", "--json"},
                "{}/outer.zip\n{}/app.7z\n",
                0,
                "5 SINs in 2 files; opened 1 7z, 1 gzip, 1 tar, 2 zip"},
        FileRow{"AMemberKeepsItsLinesAndItsTable",
                {"scan", "{}/outer.zip"},
                "{}/outer.zip!inner.zip!pay.csv:2:5: *** *** 286 (high: SIN)\n"
                "{}/outer.zip!logs.tar.gz!logs/app.log:1:14: ***-***-286 (high: SIN)\n"
                "{}/outer.zip!logs.tar.gz!logs/app.log:2:10: *** *** 544 (high: SIN)\n",
                0,
                ""},
        FileRow{"WorkbooksAreSheetsOfCellsShownAsFormatted",
                {"scan", "{}/book.xlsx", "{}/book.ods"},
                "{}/book.xlsx!Payroll!B2: *** *** 286 (high: SIN)\n"
                "{}/book.xlsx!Notes!C5: *** *** 544 (medium)\n"
                "{}/book.ods!Payroll!B2: *** *** 286 (high: SIN)\n"
                "{}/book.ods!Notes!C5: *** *** 544 (medium)\n",
                0,
                "opened 1 ods, 1 xlsx"},
        FileRow{
            "JsonSaysTheChainAndTheCell",
            {"scan", "--json", "{}/book.xlsx", "--min-confidence", "high"},
            R"({"path":"{}/book.xlsx","line":2,"column":5,"offset":13,"length":11,)"
            R"("number":"******286","confidence":"high","keyword":"SIN",)"
            R"("container":["{}/book.xlsx"],)"
            R"("where":{"sheet":"Payroll","cell":"B2","row":2,"column":2},"fingerprint":"{fp}"})"
            "\n",
            0,
            ""},
        FileRow{"DocumentsAreParagraphsWithNumbersSplitAcrossRunsWhole",
                {"scan", "{}/letter.docx", "{}/letter.odt"},
                "{}/letter.docx!paragraph 2: *** *** 286 (high: SIN)\n"
                "{}/letter.docx!word/footer1.xml!paragraph 1: ***-***-544 (high: NAS)\n"
                "{}/letter.odt!paragraph 2: *** *** 286 (high: SIN)\n"
                "{}/letter.odt!styles.xml!paragraph 1: ***-***-544 (high: NAS)\n",
                0,
                ""},
        FileRow{"PdfsArePages",
                {"scan", "--json", "{}/letter.pdf"},
                R"({"path":"{}/letter.pdf","line":2,"column":11,"offset":20,"length":11,)"
                R"("number":"******286","confidence":"high","keyword":"SIN",)"
                R"("container":["{}/letter.pdf"],"where":{"page":1},"fingerprint":"{fp}"})"
                "\n"
                R"({"path":"{}/letter.pdf","line":4,"column":5,"offset":37,"length":11,)"
                R"("number":"******544","confidence":"high","keyword":"NAS",)"
                R"("container":["{}/letter.pdf"],"where":{"page":1},"fingerprint":"{fp}"})"
                "\n",
                0,
                "opened 1 pdf"},
        FileRow{"APresentationIsItsSlidesParagraphs",
                {"scan", "{}/slides.pptx", "{}/slides.odp"},
                "{}/slides.pptx!paragraph 2: *** *** 286 (high: SIN)\n"
                "{}/slides.odp!paragraph 2: *** *** 286 (high: SIN)\n",
                0,
                "opened 1 odp, 1 pptx"},
        FileRow{"MailIsHeadersPartsAndAttachmentsOpenedAsFiles",
                {"scan", "{}/mail.eml"},
                "{}/mail.eml!message 1!headers:3:21: *** *** 544 (high: NAS)\n"
                "{}/mail.eml!message 1!part 1:2:34: *** *** 286 (high: assurance sociale)\n"
                "{}/mail.eml!message 1!part 2!pay.csv:2:5: ***-***-286 (high: SIN)\n"
                "{}/mail.eml!notes.zip!notes.txt:1:5: *** *** 544 (high: SIN)\n",
                0,
                "opened 1 eml, 1 zip"},
        FileRow{"AForwardedMessageHasItsHeadersRead",
                {"scan", "{}/forward.eml"},
                "{}/forward.eml!message 1!part 2 headers:2:14: *** *** 286 (high: SIN)\n",
                0,
                "opened 1 eml"},
        FileRow{"AMailboxNumbersItsMessages",
                {"scan", "{}/box.mbox"},
                "{}/box.mbox!message 1!headers:3:21: *** *** 544 (high: NAS)\n"
                "{}/box.mbox!message 1!part 1:2:34: *** *** 286 (high: assurance sociale)\n"
                "{}/box.mbox!message 1!part 2!pay.csv:2:5: ***-***-286 (high: SIN)\n"
                "{}/box.mbox!message 1/notes.zip!notes.txt:1:5: *** *** 544 (high: SIN)\n"
                "{}/box.mbox!message 2!headers:3:21: *** *** 544 (high: NAS)\n"
                "{}/box.mbox!message 2!part 1:2:34: *** *** 286 (high: assurance sociale)\n"
                "{}/box.mbox!message 2!part 2!pay.csv:2:5: ***-***-286 (high: SIN)\n"
                "{}/box.mbox!message 2/notes.zip!notes.txt:1:5: *** *** 544 (high: SIN)\n",
                0,
                "opened 1 mbox, 2 zip"},
        FileRow{
            "MailSaysMessagePartAndLine",
            {"scan", "--json", "--min-confidence", "high", "{}/mail.eml"},
            R"({"path":"{}/mail.eml","line":3,"column":21,"offset":74,"length":11,)"
            R"("number":"******544","confidence":"high","keyword":"NAS",)"
            R"("container":["{}/mail.eml"],)"
            R"("where":{"message":1,"part":"headers","line":3,"column":21},"fingerprint":"{fp}"})"
            "\n"
            R"({"path":"{}/mail.eml","line":2,"column":34,"offset":43,"length":11,)"
            R"("number":"******286","confidence":"high","keyword":"assurance sociale",)"
            R"("container":["{}/mail.eml"],)"
            R"("where":{"message":1,"part":"1","line":2,"column":34},"fingerprint":"{fp}"})"
            "\n"
            R"({"path":"{}/mail.eml","line":2,"column":5,"offset":13,"length":11,)"
            R"("number":"******286","confidence":"high","keyword":"SIN",)"
            R"("container":["{}/mail.eml","pay.csv"],)"
            R"("where":{"message":1,"part":"2","attachment":"pay.csv","line":2,"column":5},"fingerprint":"{fp}"})"
            "\n"
            R"({"path":"{}/mail.eml","line":1,"column":5,"offset":4,"length":11,)"
            R"("number":"******544","confidence":"high","keyword":"SIN",)"
            R"("container":["{}/mail.eml","notes.zip","notes.txt"],)"
            R"("where":{"line":1,"column":5},"fingerprint":"{fp}"})"
            "\n",
            0,
            ""},
        FileRow{"NoOpenReadsBytesAsBefore",
                {"scan", "--no-open", "{}/app.log.gz", "{}/book.xlsx"},
                "",
                1,
                "2 binary files skipped"},
        FileRow{"WhatMayHoldTextUnreadIsListed",
                {"scan", "--list-skipped", "{}/old.doc"},
                "",
                1,
                "skipped {}/old.doc: legacy Office document"},
        FileRow{"AnEncryptedMemberIsAnError",
                {"scan", "{}/locked.zip"},
                "",
                2,
                "cannot read {}/locked.zip!app.log: encrypted"},
        FileRow{"ATruncatedFileIsAnError", {"scan", "{}/cut.gz"}, "", 2, "cannot read {}/cut.gz"},
        FileRow{"ADamagedSheetLeavesTheOthersRead",
                {"scan", "{}/broken.xlsx"},
                "{}/broken.xlsx!Payroll!B2: *** *** 286 (high: SIN)\n",
                2,
                "cannot read {}/broken.xlsx: sheet Notes: damaged XML"},
        FileRow{"EntitiesAreNeverExpanded",
                {"scan", "{}/laughs.docx"},
                "{}/laughs.docx!word/footer1.xml!paragraph 1: ***-***-544 (high: NAS)\n",
                2,
                "document type declaration"},
        FileRow{"NestingPastTheDepthIsAnError",
                {"scan", "--max-depth", "2", "{}/deep3.zip"},
                "",
                2,
                "cannot read {}/deep3.zip!deep2.zip!deep1.zip: nested deeper than 2 containers"},
        FileRow{"ExpandingPastTheRatioIsAnError",
                {"scan", "{}/quiet.gz"},
                "",
                2,
                "times its packed size"},
        FileRow{"AMemberPastItsSizeIsAnError",
                {"scan", "--max-member-size", "1", "{}/big.log.gz"},
                "",
                2,
                "expands to more than 1 MiB"},
        FileRow{"MembersPastTheCountAreNotRead",
                {"scan", "--max-members", "1", "{}/outer.zip"},
                "",
                2,
                "holds more than 1 member in all"},
        FileRow{"AMemberReadWholePastTheMemoryIsAnError",
                {"scan", "--max-memory", "16", "{}/holder.zip"},
                "",
                2,
                "cannot read {}/holder.zip!stored.zip: needs more than the memory limit of 16 "
                "MiB"}),
    [](const ::testing::TestParamInfo<FileRow>& info) { return std::string(info.param.name); });

// A PDF reader that never ends is stopped at the limit, and the PDF named
// as not read: a scan never hangs on one.
TEST(OpenedPdfs, AReaderThatNeverEndsIsStopped) {
  const std::string folder = TempPath("slow-pdftotext");
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "' && printf '#!/bin/sh\nexec sleep 600\n' > '" +
                         folder + "/pdftotext' && chmod +x '" + folder + "/pdftotext'")
                            .c_str()),
            0);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (folder + ":" + path).c_str(), 1);
  const RunResult result =
      RunCli({"scan", "--max-pdf-seconds", "1", std::string(MIVARO_TEST_FILES) + "/letter.pdf"});
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("letter.pdf: pdftotext took more than 1 seconds"), std::string::npos)
      << result.err;
}

// Runs a shell command and returns what it printed.
// redact FILE -o OUT: the same format, every SIN's digits hidden, every
// member's name, size, time and mode kept as the listing shows them; or a
// refusal with nothing written.
struct RedactRow {
  const char* file;
  const char* listing;  // a command that lists the file, "{}" for its path; "" for none
  int status;
  std::string errHas;
  // A zip's members whose stored bytes change, in order; every other one
  // must come out byte for byte with its name, time, mode and method.
  std::string rewritten = "";
};

TEST(RedactInsideFiles, WritesTheSameFormatWithEverySinHiddenOrNothing) {
  const RedactRow rows[] = {
      {"app.log.gz", "zcat {} | tr -d '0-9*'", 0, "redacted 2 SINs"},
      {"app.log.bz2", "bzcat {} | tr -d '0-9*'", 0, "redacted 2 SINs"},
      {"app.log.xz", "xzcat {} | tr -d '0-9*'", 0, "redacted 2 SINs"},
      {"app.log.zst", "zstdcat {} | tr -d '0-9*'", 0, "redacted 2 SINs"},
      {"logs.tar.gz", "tar tvzf {}", 0, "redacted 2 SINs"},
      {"outer.zip", "unzip -Z1 {}", 0, "redacted 3 SINs", "inner.zip logs.tar.gz"},
      {"app.7z", "7z l -slt {} | sed 1,/^----------/d | grep -E '^(Path|Size|Modified|Attr)'", 0,
       "redacted 2 SINs"},
      {"letter.docx", "unzip -Z1 {}", 0, "redacted 2 SINs",
       "word/document.xml word/footer1.xml docProps/thumbnail.jpeg"},
      {"letter.odt", "unzip -Z1 {}", 0, "redacted 2 SINs",
       "Thumbnails/thumbnail.png styles.xml content.xml"},
      {"slides.pptx", "unzip -Z1 {}", 0, "redacted 1 SIN", "ppt/slides/slide1.xml"},
      {"slides.odp", "unzip -Z1 {}", 0, "redacted 1 SIN", "content.xml Thumbnails/thumbnail.png"},
      {"letter.pdf", "", 2, "a PDF cannot be redacted by rewriting its text"},
      {"book.xlsx", "unzip -Z1 {}", 0, "redacted 2 SINs",
       "xl/worksheets/sheet1.xml xl/worksheets/sheet2.xml"},
      {"book.ods", "unzip -Z1 {}", 0, "redacted 2 SINs", "content.xml Thumbnails/thumbnail.png"},
      {"mail.eml", "grep -E '^Content-(Transfer-Encoding|Disposition):' {}", 0, "redacted 4 SINs"},
      {"box.mbox", "grep -E '^(From |Content-Transfer-Encoding:)' {} | cut -c1-30", 0,
       "redacted 8 SINs"},
      {"forward.eml", "grep -E '^(From|Content-Type):' {}", 0, "redacted 1 SIN"},
      {"laughs.docx", "", 2, "document type declaration"},
      {"locked.zip", "", 2, "app.log: encrypted; nothing written"},
  };
  for (const RedactRow& row : rows) {
    const std::string in = std::string(MIVARO_TEST_FILES) + "/" + row.file;
    const std::string out = TempPath(std::string("redacted-") + row.file);
    std::remove(out.c_str());
    const RunResult result = RunCli({"redact", in, "-o", out});
    EXPECT_EQ(result.status, row.status) << row.file << ": " << result.err;
    EXPECT_NE(result.err.find(row.errHas), std::string::npos) << result.err;
    if (row.status != 0) {
      EXPECT_NE(access(out.c_str(), F_OK), 0) << row.file << ": something was written";
      continue;
    }
    const RunResult scanned = RunCli({"scan", "--min-confidence", "low", out});
    EXPECT_EQ(scanned.status, 1) << row.file << ": " << scanned.out;
    const std::string listing = row.listing;
    const auto list = [&](const std::string& path) {
      return Printed(listing.substr(0, listing.find("{}")) + "'" + path + "'" +
                     listing.substr(listing.find("{}") + 2));
    };
    EXPECT_EQ(list(out), list(in)) << row.file;
    EXPECT_FALSE(list(out).empty()) << row.file;
    if (!row.rewritten.empty()) {
      std::string changed =
          Printed(std::string(MIVARO_ZIP_CHANGES) + " '" + in + "' '" + out + "'");
      std::replace(changed.begin(), changed.end(), '\n', ' ');
      EXPECT_EQ(changed, row.rewritten + " ") << row.file;
    }
  }
}

// LibreOffice opens a redacted document and shows the masked number, split
// across runs as it was; and workbooks, whose number became text.
TEST(RedactInsideFiles, LeavesFilesLibreOfficeReads) {
  const std::string folder = TempPath("office");
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
  for (const char* file : {"letter.odt", "book.xlsx", "book.ods", "slides.pptx"}) {
    ASSERT_EQ(
        RunCli({"redact", std::string(MIVARO_TEST_FILES) + "/" + file, "-o", folder + "/" + file})
            .status,
        0);
  }
  const std::string office = "cd '" + folder + "' && soffice -env:UserInstallation=file://" +
                             folder + "/profile " + "--headless --convert-to ";
  Printed(office + "txt:Text letter.odt >/dev/null 2>&1");
  Printed(office + "csv book.xlsx >/dev/null 2>&1");
  Printed("mkdir '" + folder + "/ods' && " + office + "csv --outdir ods book.ods >/dev/null 2>&1");
  Printed(office + "pdf slides.pptx >/dev/null 2>&1");
  const std::string letter = ReadFile(folder + "/letter.txt");
  EXPECT_NE(letter.find("Your SIN: *** *** 286"), std::string::npos) << letter;
  EXPECT_EQ(letter.find("454"), std::string::npos) << letter;
  // The first sheet, as LibreOffice shows it.
  EXPECT_EQ(ReadFile(folder + "/book.csv"), "Name,SIN\nAnn,*** *** 286\n");
  EXPECT_EQ(ReadFile(folder + "/ods/book.csv"), "Name,SIN\nAnn,*** *** 286\n");
  const std::string slides = Printed("pdftotext '" + folder + "/slides.pdf' -");
  EXPECT_NE(slides.find("Employee SIN: *** *** 286"), std::string::npos) << slides;
  // The preview picture, which showed the first page, is one blank pixel.
  EXPECT_EQ(Printed("unzip -p '" + folder + "/book.ods' Thumbnails/thumbnail.png | wc -c"), "67\n");
  Printed("rm -rf '" + folder + "'");
}

// The library's C API says the same as scan of the same files.
struct CRow {
  const char* file;
  std::vector<std::string> places;  // "container where", one per match
  std::uint64_t unread;
  std::string errorHas;
};

void Keep(const mivaro_file_found* found, void* context) {
  std::string where;
  switch (found->kind) {
    case MIVARO_PLACE_CELL:
      where = std::string(found->sheet) + " row " + std::to_string(found->row) + " column " +
              std::to_string(found->column);
      break;
    case MIVARO_PLACE_PAGE:
      where = "page " + std::to_string(found->page);
      break;
    case MIVARO_PLACE_PARAGRAPH:
      where = "paragraph " + std::to_string(found->paragraph);
      break;
    case MIVARO_PLACE_MAIL_PART:
      where = "message " + std::to_string(found->message) + " part " + found->part +
              (*found->attachment != '\0' ? std::string(" attachment ") + found->attachment : "") +
              " line " + std::to_string(found->line);
      break;
    case MIVARO_PLACE_LINE:
      where = "line " + std::to_string(found->found->line);
      break;
  }
  static_cast<std::vector<std::string>*>(context)->push_back(
      std::string(found->container).substr(std::string(MIVARO_TEST_FILES).size() + 1) + " " +
      where);
}

TEST(SearchFileInC, PlacesEachMatchAndCountsWhatItCouldNotRead) {
  const CRow rows[] = {
      {"book.xlsx", {"book.xlsx Payroll row 2 column 2", "book.xlsx Notes row 5 column 3"}, 0, ""},
      {"letter.pdf", {"letter.pdf page 1", "letter.pdf page 1"}, 0, ""},
      {"outer.zip",
       {"outer.zip!inner.zip!pay.csv line 2", "outer.zip!logs.tar.gz!logs/app.log line 1",
        "outer.zip!logs.tar.gz!logs/app.log line 2"},
       0,
       ""},
      {"mail.eml",
       {"mail.eml message 1 part headers line 3", "mail.eml message 1 part 1 line 2",
        "mail.eml!pay.csv message 1 part 2 attachment pay.csv line 2",
        "mail.eml!notes.zip!notes.txt line 1"},
       0,
       ""},
      {"broken.xlsx", {"broken.xlsx Payroll row 2 column 2"}, 1, "sheet Notes: damaged XML"},
      {"locked.zip", {}, 1, "locked.zip!app.log: encrypted"},
  };
  for (const CRow& row : rows) {
    std::vector<std::string> places;
    std::uint64_t unread = 0;
    char error[256];
    const std::string path = std::string(MIVARO_TEST_FILES) + "/" + row.file;
    const std::int64_t count = mivaro_search_file(path.c_str(), MIVARO_CONFIDENCE_MEDIUM, Keep,
                                                  &places, &unread, error, sizeof error);
    EXPECT_EQ(count, static_cast<std::int64_t>(row.places.size())) << row.file;
    EXPECT_EQ(places, row.places) << row.file;
    EXPECT_EQ(unread, row.unread) << row.file;
    EXPECT_NE(std::string(error).find(row.errorHas), std::string::npos) << error;
  }
  char error[64];
  EXPECT_EQ(mivaro_search_file("/nonexistent", MIVARO_CONFIDENCE_LOW, nullptr, nullptr, nullptr,
                               error, sizeof error),
            -1);
  EXPECT_STREQ(error, "No such file or directory");
}

}  // namespace
