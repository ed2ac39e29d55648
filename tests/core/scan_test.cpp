// SPDX-License-Identifier: Apache-2.0
// The scanner's rules, one row per case: what it reports in free text and
// what it leaves alone, and that pieces of any size find the same.
#include "mivaro/scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mivaro/mivaro.h"
#include "search_routes.h"

namespace mivaro {
namespace {

// A match as the rows write it: "046454286 high SIN", "123456782 medium".
std::string Written(const Match& match) {
  std::string text(match.number.data(), match.number.size());
  text += ' ';
  text += ConfidenceName(match.confidence);
  if (!match.keyword.empty()) {
    text += ' ';
    text += match.keyword;
  }
  return text;
}

std::vector<std::string> WrittenAll(const std::vector<Match>& matches) {
  std::vector<std::string> written;
  for (const Match& match : matches) written.push_back(Written(match));
  return written;
}

struct ScanRow {
  const char* name;
  std::string text;
  std::vector<std::string> matches;  // at every confidence, in order
};

void PrintTo(const ScanRow& row, std::ostream* os) {
  *os << row.name;
}

const std::string kSpaces298(298, ' ');
const std::string kSpaces301(301, ' ');

const ScanRow kRows[] = {
    // The forms of a number.
    {"grouped by spaces, with a keyword", "SIN: 046 454 286", {"046454286 high SIN"}},
    {"grouped by spaces", "call 046 454 286 today", {"046454286 medium"}},
    {"grouped by hyphens", "ref 046-454-286.", {"046454286 medium"}},
    {"grouped by dots", "ref 046.454.286", {"046454286 medium"}},
    {"grouped by no-break spaces", "ref 046\u00A0454\u00A0286", {"046454286 medium"}},
    {"grouped by narrow no-break spaces", "046\u202F454\u202F286", {"046454286 medium"}},
    {"grouped by en dashes", "046\u2013454\u2013286", {"046454286 medium"}},
    {"grouped by minus signs", "046\u2212454\u2212286", {"046454286 medium"}},
    {"bare", "id 046454286 ok", {"046454286 low"}},
    {"two separators that differ", "046 454-286", {}},
    {"zero-width characters between digits are seen through",
     "04\u200B6454\u00AD286",
     {"046454286 low"}},
    {"a zero-width space beside a separator", "046\u200B 454 \uFEFF286", {"046454286 medium"}},
    {"a failing check sum", "SIN 046 454 289", {}},
    {"nine zeros fail the check", "SIN 000 000 000", {}},
    {"in quotes and brackets",
     "[\"046454286\"] (123-456-782)",
     {"046454286 low", "123456782 medium"}},
    // Not part of something longer.
    {"ten digits", "1046454286", {}},
    {"a letter after", "046454286a", {}},
    {"a letter before", "x046454286", {}},
    {"an underscore before", "id_046454286", {}},
    {"a letter of another script after", "046454286\u00E9", {}},
    {"an ideograph before", "\u756A046454286", {}},
    {"a group more of its own separator", "123 456 782 012", {}},
    {"a group less of its own separator", "9 123 456 782", {}},
    {"a phone number", "+1 613-555-0199 and 613 555 0199", {}},
    {"a card number", "4111 1111 1111 1111 and 4111 123 456 782", {}},
    {"a decimal part after", "046454286.5", {}},
    {"a decimal part before", "0.046454286", {}},
    {"a dash and a digit after", "046454286-1", {}},
    {"a dash and a digit before", "5-046454286", {}},
    {"a decimal comma", "046454286,5 and 123456782,25", {}},
    {"a comma and three digits is a list",
     "046454286,123456782",
     {"046454286 low", "123456782 low"}},
    {"a full stop ends a sentence", "SIN 046 454 286. Thanks", {"046454286 high SIN"}},
    {"repeated without a break joins them", "046 454 286 046 454 286", {}},
    {"run together", "046454286046454286", {}},
    {"a run of digits longer than a block of the search",
     std::string(100, '5') + " 046454286",
     {"046454286 low"}},
    // Keywords.
    {"S.I.N.", "S.I.N. 046454286", {"046454286 high S.I.N."}},
    {"SIN#", "SIN#046454286", {"046454286 high SIN"}},
    {"social insurance", "Social Insurance no. 046454286", {"046454286 high social insurance"}},
    {"social-insurance", "social-insurance 046454286", {"046454286 high social insurance"}},
    {"a snake_case name",
     "{\"social_insurance_number\": \"046454286\"}",
     {"046454286 high social insurance"}},
    {"employee_sin", "employee_sin=046454286", {"046454286 high SIN"}},
    {"social ins", "soc. ins.? no: social ins 046454286", {"046454286 high social ins"}},
    {"soc ins", "SOC INS 046454286", {"046454286 high soc ins"}},
    {"NAS in capitals", "NAS : 046 454 286", {"046454286 high NAS"}},
    {"nas in small letters is no keyword", "nas : 046 454 286", {"046454286 medium"}},
    {"N.A.S.", "n.a.s. 046454286", {"046454286 high N.A.S."}},
    {"numéro d’assurance sociale",
     "Numéro d\u2019assurance sociale : 046 454 286",
     {"046454286 high assurance sociale"}},
    {"assurance social, accents and capitals folded",
     "ASSURANCE SOCIAL 046454286",
     {"046454286 high assurance social"}},
    {"business is no keyword", "business 046 454 286", {"046454286 medium"}},
    {"using is no keyword", "using 046 454 286", {"046454286 medium"}},
    {"NASA is no keyword", "NASA 046 454 286", {"046454286 medium"}},
    {"sinus and nasal are no keywords", "sinus nasal 046 454 286", {"046454286 medium"}},
    {"a keyword after", "046454286 is my SIN", {"046454286 high SIN"}},
    {"a keyword 298 characters before", "SIN" + kSpaces298 + "046 454 286", {"046454286 high SIN"}},
    {"a keyword 301 characters before", "SIN" + kSpaces301 + "046 454 286", {"046454286 medium"}},
    {"a keyword 298 characters after", "046 454 286" + kSpaces298 + "SIN", {"046454286 high SIN"}},
    {"a keyword 301 characters after", "046 454 286" + kSpaces301 + "SIN", {"046454286 medium"}},
    {"a first digit of 8 is low, keyword or not", "SIN 800 000 002", {"800000002 low"}},
    // Tables.
    {"a SIN column", "Name,SIN\nAnn,046454286\n", {"046454286 high SIN"}},
    {"a SIN column far down",
     "Name,SIN\n" + std::string(50, '\n') + "Ann,\"046454286\"\n",
     {"046454286 high SIN"}},
    {"another column of the same table, beyond the header's reach",
     "Name,SIN,Other\n" + std::string(300, '\n') + "Ann,123456782,046454286\n",
     {"123456782 high SIN", "046454286 low"}},
    {"a French SIN column",
     "id;Numéro d'assurance sociale\n1;046454286\n",
     {"046454286 high Numéro d'assurance sociale"}},
    {"a tab-separated SIN column", "id\tS.I.N.\n1\t046454286\n", {"046454286 high SIN"}},
    {"a quoted cell with a delimiter before the SIN",
     "Note,SIN\n\"a, b\",046454286\n",
     {"046454286 high SIN"}},
    {"a table with no SIN column", "Name,Notes\nAnn,046454286\n", {"046454286 low"}},
};

class ScanRules : public ::testing::TestWithParam<ScanRow> {};

TEST_P(ScanRules, ReportsWhatTheRulesSay) {
  const ScanRow& row = GetParam();
  EXPECT_EQ(WrittenAll(Find(row.text, Confidence::Low)), row.matches);
}

// Pieces of every size and every cut find the same, the portable routes
// find what the accelerated ones do, no match touches what the searcher said
// was settled before the piece that found it, and the redactor fed the same
// pieces writes what redacting the whole text writes.
TEST_P(ScanRules, FindsAndRedactsTheSameInPiecesCutAnywhere) {
  const ScanRow& row = GetParam();
  const std::vector<Match> whole = Find(row.text, Confidence::Low);
  EXPECT_EQ(WrittenAll(detail::FindPortably(row.text, Confidence::Low)), WrittenAll(whole));
  const std::string redacted = Redact(row.text, {.minimum = Confidence::Low, .allDigits = true});
  for (std::size_t cut = 0; cut <= row.text.size(); ++cut) {
    Searcher searcher({.minimum = Confidence::Low});
    std::vector<Match> found;
    std::uint64_t settled = 0;
    const auto keep = [&](const Found& each) {
      EXPECT_GE(each.match.offset, settled) << "cut at " << cut;
      found.push_back(each.match);
    };
    searcher.Feed(std::string_view(row.text).substr(0, cut), keep);
    settled = searcher.Settled();
    searcher.Feed(std::string_view(row.text).substr(cut), keep);
    settled = searcher.Settled();
    searcher.Finish(keep);
    ASSERT_EQ(WrittenAll(found), WrittenAll(whole)) << "cut at " << cut;
    for (std::size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].offset, whole[i].offset);
      EXPECT_EQ(found[i].length, whole[i].length);
    }
    Redactor redactor({.minimum = Confidence::Low, .allDigits = true});
    std::string out;
    const auto write = [&](std::string_view text) { out += text; };
    redactor.Feed(std::string_view(row.text).substr(0, cut), write);
    redactor.Feed(std::string_view(row.text).substr(cut), write);
    redactor.Finish(write);
    EXPECT_EQ(out, redacted) << "cut at " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(Searcher, ScanRules, ::testing::ValuesIn(kRows));

// Where a match lies, in every unit callers index by: the line, the column
// in code points, and its start and end in bytes, code points and UTF-16
// units, whole and fed a byte at a time.
struct PlaceRow {
  const char* name;
  std::string text;
  std::uint64_t line;
  std::uint64_t column;  // code points, from 1
  TextUnits start;
  TextUnits end;
};

void PrintTo(const PlaceRow& row, std::ostream* os) {
  *os << row.name;
}

const PlaceRow kPlaceRows[] = {
    {"ASCII", "SIN 046 454 286", 1, 5, {4, 4, 4}, {15, 15, 15}},
    {"on the third line", "a\nb\nSIN 046454286", 3, 5, {8, 8, 8}, {17, 17, 17}},
    {"after accents", "é\nNAS 046454286", 2, 5, {7, 6, 6}, {16, 15, 15}},
    {"after an astral character", "\U0001F600 SIN 046454286", 1, 7, {9, 6, 7}, {18, 15, 16}},
    {"with no-break spaces inside", "SIN 046\u00A0454\u00A0286 ok", 1, 5, {4, 4, 4}, {17, 15, 15}},
    // Every byte but a continuation byte starts a code point.
    {"after stray bytes", "\xFF\x80 SIN 046454286", 1, 7, {7, 6, 6}, {16, 15, 15}},
};

class MatchPlaces : public ::testing::TestWithParam<PlaceRow> {};

TEST_P(MatchPlaces, CountsEveryUnitWholeAndInPieces) {
  const PlaceRow& row = GetParam();
  std::vector<Found> found;
  const auto keep = [&](const Found& each) { found.push_back(each); };
  Searcher searcher({.minimum = Confidence::Low});
  searcher.Search(row.text, keep);
  for (const char c : row.text) searcher.Feed(std::string_view(&c, 1), keep);
  searcher.Finish(keep);
  ASSERT_EQ(found.size(), 2U);
  for (const Found& each : found) {
    EXPECT_EQ(each.line, row.line);
    EXPECT_EQ(each.column.codePoints, row.column);
    EXPECT_EQ(each.start.bytes, row.start.bytes);
    EXPECT_EQ(each.start.codePoints, row.start.codePoints);
    EXPECT_EQ(each.start.utf16, row.start.utf16);
    EXPECT_EQ(each.end.bytes, row.end.bytes);
    EXPECT_EQ(each.end.codePoints, row.end.codePoints);
    EXPECT_EQ(each.end.utf16, row.end.utf16);
  }
}

INSTANTIATE_TEST_SUITE_P(Searcher, MatchPlaces, ::testing::ValuesIn(kPlaceRows));

TEST(Searcher, ReportsWhereEachMatchLiesAndReportsFromTheLeastConfidenceAskedFor) {
  const std::string text = "x 046\u00A0454\u00A0286 y 123456782 SIN 130 692 544";
  const std::vector<Match> all = Find(text, Confidence::Low);
  ASSERT_EQ(all.size(), 3U);
  EXPECT_EQ(text.substr(all[0].offset, all[0].length), "046\u00A0454\u00A0286");
  EXPECT_EQ(text.substr(all[1].offset, all[1].length), "123456782");
  EXPECT_EQ(
      WrittenAll(Find(text)),
      (std::vector<std::string>{"046454286 high SIN", "123456782 high SIN", "130692544 high SIN"}));
  EXPECT_EQ(Find("x 046 454 286 y 123456782", Confidence::High).size(), 0U);
  EXPECT_EQ(Find("x 046 454 286 y 123456782").size(), 1U);
}

TEST(Searcher, RedactsDigitsOnlyAndKeepsTheLength) {
  const std::string text = "SIN 046\u00A0454\u00A0286, id 123456782, 046 454 289\n";
  EXPECT_EQ(Redact(text, {.minimum = Confidence::Low}),
            "SIN ***\u00A0***\u00A0286, id ******782, 046 454 289\n");
  EXPECT_EQ(Redact(text, {.minimum = Confidence::Medium, .allDigits = true}),
            "SIN ***\u00A0***\u00A0***, id *********, 046 454 289\n");
}

TEST(Searcher, FindsAMatchFedOneByteAtATimeInBoundedMemory) {
  std::string text = "Ticket 4411: numéro d'assurance sociale 046 454 286.\n";
  for (int i = 0; i < 200; ++i) text += "2026-12-07T10:11:12Z INFO id=48213 user=x ok\n";
  text += "SIN 123-456-782\n";
  Searcher searcher;
  std::vector<Match> found;
  const auto keep = [&](const Found& each) { found.push_back(each.match); };
  for (const char c : text) searcher.Feed(std::string_view(&c, 1), keep);
  searcher.Finish(keep);
  EXPECT_EQ(WrittenAll(found), WrittenAll(Find(text)));
  EXPECT_EQ(found.size(), 2U);
}

// More numbers in one piece than may wait for their confidence at once.
TEST(Searcher, ReportsThousandsOfMatchesInOnePieceAsInSmallPieces) {
  std::string text = "id\n";
  for (int i = 0; i < 3000; ++i) text += "046454286 ";
  const std::vector<Match> whole = Find(text, Confidence::Low);
  EXPECT_EQ(whole.size(), 3000U);
  Searcher searcher({.minimum = Confidence::Low});
  std::vector<Match> found;
  const auto keep = [&](const Found& each) { found.push_back(each.match); };
  for (std::size_t at = 0; at < text.size(); at += 7) {
    searcher.Feed(std::string_view(text).substr(at, 7), keep);
  }
  searcher.Finish(keep);
  EXPECT_EQ(WrittenAll(found), WrittenAll(whole));
}

// The C API over the same searcher, with the names and keywords as C strings.
TEST(SearchCApi, ReportsMatchesThroughTheSinkAndRedacts) {
  mivaro_searcher* searcher = mivaro_searcher_create(MIVARO_CONFIDENCE_MEDIUM, 1);
  ASSERT_NE(searcher, nullptr);
  std::vector<std::string> seen;
  const mivaro_found_sink sink = [](const mivaro_found* found, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(
        std::string(found->match.number) + " " + mivaro_confidence_name(found->match.confidence) +
        " " + found->match.keyword + " @" + std::to_string(found->match.offset) + "+" +
        std::to_string(found->match.length) + " " + std::string(found->text, found->match.length) +
        " line " + std::to_string(found->line));
  };
  const std::string text = "NAS 046 454 286 / 123-456-782";
  EXPECT_EQ(mivaro_searcher_feed(searcher, text.data(), 9, sink, &seen), 1);
  EXPECT_EQ(mivaro_searcher_feed(searcher, text.data() + 9, text.size() - 9, sink, &seen), 1);
  EXPECT_EQ(mivaro_searcher_finish(searcher, sink, &seen), 1);
  const std::vector<std::string> expected{"046454286 high NAS @4+11 046 454 286 line 1",
                                          "123456782 high NAS @18+11 123-456-782 line 1"};
  EXPECT_EQ(seen, expected);
  seen.clear();
  EXPECT_EQ(mivaro_searcher_search(searcher, text.data(), text.size(), sink, &seen), 2);
  EXPECT_EQ(seen, expected);
  mivaro_searcher_free(searcher);
  seen.clear();
  EXPECT_EQ(mivaro_search(text.data(), text.size(), MIVARO_CONFIDENCE_HIGH, sink, &seen), 2);
  EXPECT_EQ(seen, expected);
  std::string out(text.size(), '?');
  EXPECT_EQ(mivaro_redact(text.data(), text.size(), MIVARO_CONFIDENCE_LOW, 0, out.data()), 2);
  EXPECT_EQ(out, "NAS *** *** 286 / ***-***-782");
  EXPECT_EQ(mivaro_redact(out.data(), out.size(), MIVARO_CONFIDENCE_LOW, 1, out.data()), 0);
  EXPECT_EQ(mivaro_searcher_create(static_cast<mivaro_confidence>(7), 0), nullptr);
  EXPECT_EQ(mivaro_search("x", 1, static_cast<mivaro_confidence>(0), sink, &seen), -1);
  EXPECT_EQ(mivaro_searcher_feed(nullptr, "x", 1, sink, &seen), 0);
  EXPECT_STREQ(mivaro_confidence_name(static_cast<mivaro_confidence>(0)), "");
  char digits[] = "046-454-286";
  mivaro_redact_digits(digits, 11, 0);
  EXPECT_STREQ(digits, "***-***-286");
}

}  // namespace
}  // namespace mivaro
