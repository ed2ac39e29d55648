// SPDX-License-Identifier: Apache-2.0
#include "cli/records.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/csv.h"
#include "cli/escape.h"
#include "support/entry_table.h"

namespace mivaro::cli {
namespace {

// Writes records through a writer into memory and returns what came out.
std::string WriteAll(RecordFormat format, const std::vector<std::string>& entries,
                     bool header = false, const Tally* summary = nullptr, bool mask = false) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  {
    const std::unique_ptr<RecordWriter> writer = RecordWriter::Create(format, stream, stderr, mask);
    if (header) writer->Header();
    for (const std::string& entry : entries) {
      const ParsedEntry parsed = ParseEntry(entry);
      writer->Write(RecordOf(parsed));
    }
    if (summary != nullptr) writer->Summary(*summary);
    EXPECT_TRUE(writer->Flush());
  }
  std::fclose(stream);
  std::string text(data, size);
  std::free(data);
  return text;
}

struct RecordRow {
  const char* name;
  std::string entry;
  std::string json;
  std::string csv;
  std::string text;
};

void PrintTo(const RecordRow& row, std::ostream* os) {
  *os << row.name;
}

// The rest of a JSON record after the input, for entries that are not digits only.
const std::string kNotDigitsOnlyJson =
    R"(","number":null,"valid":false,"check":null,"sum":null,"group":null,"regions":[],)"
    R"("error":"not digits only"})";

const RecordRow kRows[] = {
    {"valid Atlantic", "123 456 782",
     R"({"input":"123 456 782","number":"123456782","valid":true,"check":"143853772","sum":40,)"
     R"("group":"Atlantic","regions":["NB","PEI","NF","NS"],"error":null})",
     "123 456 782,123456782,true,143853772,40,Atlantic,NB PEI NF NS,",
     "123 456 782       123456782  valid      143853772   40  Atlantic       NB PEI NF NS"},
    {"invalid Prairies", "600000000",
     R"({"input":"600000000","number":"600000000","valid":false,"check":"600000000","sum":6,)"
     R"("group":"PrairiesNorth","regions":["AB","MB","NU","NWT","SK"],"error":null})",
     "600000000,600000000,false,600000000,6,PrairiesNorth,AB MB NU NWT SK,",
     "600000000         600000000  invalid    600000000    6  PrairiesNorth  AB MB NU NWT SK"},
    {"dummy series", "800-000-002",
     R"({"input":"800-000-002","number":"800000002","valid":true,"check":"800000002","sum":10,)"
     R"("group":"Dummy","regions":[],"error":null})",
     "800-000-002,800000002,true,800000002,10,Dummy,,",
     "800-000-002       800000002  valid      800000002   10  Dummy          series: dummy"},
    {"foreign or tax series", "000000026",
     R"({"input":"000000026","number":"000000026","valid":true,"check":"000000046","sum":10,)"
     R"("group":"ForeignTax","regions":[],"error":null})",
     "000000026,000000026,true,000000046,10,ForeignTax,,",
     "000000026         000000026  valid      000000046   10  ForeignTax     series: foreign/tax"},
    {"malformed with a comma and a quote", "1,2\"3",
     R"({"input":"1,2\"3","number":null,"valid":false,"check":null,"sum":null,"group":null,)"
     R"("regions":[],"error":"not digits only"})",
     R"("1,2""3",,false,,,,,not digits only)",
     "1,2\"3             -          malformed  -            -  -              not digits only"},
    {"malformed with control bytes", std::string("12\0\x1B", 4),
     R"({"input":"12\u0000\u001b","number":null,"valid":false,"check":null,"sum":null,)"
     R"("group":null,"regions":[],"error":"not digits only"})",
     "12\uFFFD\uFFFD,,false,,,,,not digits only",
     "12\uFFFD\uFFFD              -          malformed  -            -  -              not digits "
     "only"},
    {"a control byte among eight printable ones",
     "1234567\x1B"
     "9",
     R"({"input":"1234567\u001b9","number":null,"valid":false,"check":null,"sum":null,)"
     R"("group":null,"regions":[],"error":"not digits only"})",
     "1234567\uFFFD9,,false,,,,,not digits only",
     "1234567\uFFFD9         -          malformed  -            -  -              not digits only"},
    {"invalid series named nowhere but the group", "000000037",
     R"({"input":"000000037","number":"000000037","valid":false,"check":"000000067","sum":13,)"
     R"("group":"ForeignTax","regions":[],"error":null})",
     "000000037,000000037,false,000000067,13,ForeignTax,,",
     "000000037         000000037  invalid    000000067   13  ForeignTax"},
    {"the placeholder for a missing SIN", "000 000 000",
     R"({"input":"000 000 000","number":null,"valid":false,"check":null,"sum":null,)"
     R"("group":null,"regions":[],"error":"placeholder for a missing SIN"})",
     "000 000 000,,false,,,,,placeholder for a missing SIN",
     "000 000 000       -          malformed  -            -  -              placeholder for a "
     "missing SIN"},
    {"formula made inert in CSV", "=HYPERLINK(\"x\")",
     R"j({"input":"=HYPERLINK(\"x\")","number":null,"valid":false,"check":null,"sum":null,)j"
     R"("group":null,"regions":[],"error":"too long"})",
     R"j("'=HYPERLINK(""x"")",,false,,,,,too long)j",
     "=HYPERLINK(\"x\")   -          malformed  -            -  -              too long"},
    {"long entry cut in the text column", "12345678901234567890",
     R"({"input":"12345678901234567890","number":null,"valid":false,"check":null,"sum":null,)"
     R"("group":null,"regions":[],"error":"too long"})",
     "12345678901234567890,,false,,,,,too long",
     "123456789012345\u2026  -          malformed  -            -  -              too long"},
    // A terminal gives each of these two columns: the text column counts them so.
    {"wide characters padded by the columns they take", "\u540D\u524D123",
     "{\"input\":\"\u540D\u524D123" + kNotDigitsOnlyJson,
     "\u540D\u524D123,,false,,,,,not digits only",
     "\u540D\u524D123           -          malformed  -            -  -              not digits "
     "only"},
    {"emoji cut at the column where the ellipsis still fits",
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600",
     "{\"input\":\"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
     "\U0001F600\U0001F600" +
         kNotDigitsOnlyJson,
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
     "\U0001F600,,false,,,,,not digits only",
     "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\u2026   -   "
     "       malformed  -            -  -              not digits only"},
    {"combining marks take no column", "e\u0301e\u0301",
     "{\"input\":\"e\u0301e\u0301" + kNotDigitsOnlyJson,
     "e\u0301e\u0301,,false,,,,,not digits only",
     "e\u0301e\u0301                -          malformed  -            -  -              not "
     "digits only"},
};

class RecordFormats : public ::testing::TestWithParam<RecordRow> {};

TEST_P(RecordFormats, WritesOneLinePerEntryInEveryFormat) {
  const RecordRow& row = GetParam();
  EXPECT_EQ(WriteAll(RecordFormat::Json, {row.entry}), row.json + "\n");
  EXPECT_EQ(WriteAll(RecordFormat::Csv, {row.entry}), row.csv + "\r\n");
  EXPECT_EQ(WriteAll(RecordFormat::Text, {row.entry}), row.text + "\n");
}

INSTANTIATE_TEST_SUITE_P(Records, RecordFormats, ::testing::ValuesIn(kRows));

// A JSON string.
std::string JsonString(const std::string& text) {
  TextBuffer quoted;
  quoted += '"';
  AppendJsonEscaped(quoted, text);
  quoted += '"';
  return std::string(quoted.View());
}

// A JSON string, or null for "".
std::string JsonValue(const std::string& text) {
  return text.empty() ? "null" : JsonString(text);
}

TEST(RecordWriter, WritesEveryEntryOfTheSharedTableAsTheTableSays) {
  for (const auto& row : testing::ReadEntryTable()) {
    SCOPED_TRACE(row.name);
    std::string regions;
    for (std::size_t at = 0; at < row.regions.size();) {
      const std::size_t space = std::min(row.regions.find(' ', at), row.regions.size());
      if (!regions.empty()) regions += ',';
      regions += JsonString(row.regions.substr(at, space - at));
      at = space + 1;
    }
    // mivaro-cli names the option that reads other encodings.
    const std::string error =
        row.error == "not UTF-8" ? "not UTF-8 (try --encoding cp1252)" : row.error;
    std::string json = "{\"input\":";
    json += JsonString(row.entry);
    json += ",\"number\":";
    json += JsonValue(row.number);
    json += row.valid ? ",\"valid\":true" : ",\"valid\":false";
    json += ",\"check\":";
    json += JsonValue(row.check);
    json += ",\"sum\":";
    json += row.sum ? std::to_string(*row.sum) : "null";
    json += ",\"group\":";
    json += JsonValue(row.group);
    json += ",\"regions\":[";
    json += regions;
    json += "],\"error\":";
    json += JsonValue(error);
    json += "}\n";
    EXPECT_EQ(WriteAll(RecordFormat::Json, {row.entry}), json);
  }
}

TEST(RecordWriter, MasksAllButTheLastThreeDigitsInEveryFormat) {
  struct MaskRow {
    std::string entry;
    std::string json, csv, text;
  };
  const std::string longEntry = "1234" + std::string(200, 'x') + "567";
  const MaskRow kMaskRows[] = {
      {"123 456 782",
       R"({"input":"*** *** 782","number":"******782","valid":true,"check":null,"sum":40,)"
       R"("group":"Atlantic","regions":["NB","PEI","NF","NS"],"error":null})",
       "*** *** 782,******782,true,,40,Atlantic,NB PEI NF NS,",
       "*** *** 782       ******782  valid      -           40  Atlantic       NB PEI NF NS"},
      {"-12345",
       R"({"input":"-**345","number":null,"valid":false,"check":null,"sum":null,"group":null,)"
       R"("regions":[],"error":"not nine digits"})",
       R"("'-**345",,false,,,,,not nine digits)",
       "-**345            -          malformed  -            -  -              not nine digits"},
      // Masked first, then cut: the last three digits are past the cut.
      {longEntry,
       R"({"input":"****)" + std::string(96, 'x') +
           R"(","number":null,"valid":false,"check":null,"sum":null,"group":null,)"
           R"("regions":[],"error":"too long"})",
       "****" + std::string(96, 'x') + ",,false,,,,,too long",
       "****xxxxxxxxxxx\u2026  -          malformed  -            -  -              too long"},
  };
  for (const MaskRow& row : kMaskRows) {
    SCOPED_TRACE(row.entry);
    EXPECT_EQ(WriteAll(RecordFormat::Json, {row.entry}, false, nullptr, true), row.json + "\n");
    EXPECT_EQ(WriteAll(RecordFormat::Csv, {row.entry}, false, nullptr, true), row.csv + "\r\n");
    EXPECT_EQ(WriteAll(RecordFormat::Text, {row.entry}, false, nullptr, true), row.text + "\n");
  }
}

TEST(AppendCsvField, QuotesWhereNeededAndDisarmsFormulas) {
  const std::pair<std::string, std::string> kRows[] = {
      {"plain", "plain"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"=1+2", "\"'=1+2\""},
      {"+1", "\"'+1\""},
      {"-2+3", "\"'-2+3\""},
      {"@SUM(A1)", "\"'@SUM(A1)\""},
      {"\tx", "\"'\tx\""},
      {"\rx", "\"'\rx\""},
      {"a-b=c", "a-b=c"},
  };
  for (const auto& [field, written] : kRows) {
    TextBuffer out;
    AppendCsvField(out, field, ',');
    EXPECT_EQ(out.View(), written) << field;
  }
  TextBuffer theirs;  // the user's own cells pass as they are
  AppendCsvField(theirs, "=1+2", ',', CellOrigin::User);
  EXPECT_EQ(theirs.View(), "=1+2");
  TextBuffer semicolon;
  AppendCsvField(semicolon, "a;b,c", ';');
  EXPECT_EQ(semicolon.View(), "\"a;b,c\"");
}

TEST(RecordWriter, StartsCsvAndTextWithAHeaderRowAndJsonWithNone) {
  EXPECT_EQ(WriteAll(RecordFormat::Csv, {}, true),
            "input,number,valid,check,sum,group,regions,error\r\n");
  EXPECT_EQ(WriteAll(RecordFormat::Json, {}, true), "");
  EXPECT_EQ(WriteAll(RecordFormat::Text, {}, true).substr(0, 6), "INPUT ");
}

TEST(RecordWriter, EndsWithTheSummaryLine) {
  Tally tally;
  for (const char* entry : {"123456782", "111111111", "12", "x"}) {
    const ParsedEntry parsed = ParseEntry(entry);
    tally.Count(RecordOf(parsed));
  }
  EXPECT_EQ(tally.valid, 1U);
  EXPECT_EQ(tally.invalid, 1U);
  EXPECT_EQ(tally.malformed, 2U);
  EXPECT_FALSE(tally.AllValid());
  EXPECT_EQ(WriteAll(RecordFormat::Json, {}, false, &tally),
            "{\"summary\":{\"valid\":1,\"invalid\":1,\"malformed\":2}}\n");
  EXPECT_EQ(WriteAll(RecordFormat::Text, {}, false, &tally),
            "summary: 1 valid, 1 invalid, 2 malformed\n");
}

TEST(RecordWriter, ReportsAStreamThatRefusesWrites) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  const std::unique_ptr<RecordWriter> writer = RecordWriter::Create(RecordFormat::Json, full);
  const ParsedEntry parsed = ParseEntry("123456782");
  writer->Write(RecordOf(parsed));
  EXPECT_FALSE(writer->Flush());
  std::fclose(full);
}

}  // namespace
}  // namespace mivaro::cli
