// SPDX-License-Identifier: Apache-2.0
// annotate on tables as they come out of spreadsheets and payroll systems:
// which column holds the SIN, what is appended, what is kept exactly, and
// where a broken table stops.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/annotator.h"
#include "cli/report.h"

namespace mivaro::cli {
namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs annotate in this process on the table, through a memory file.
Result Annotate(const std::string& table, const AnnotateOptions& options) {
  const int input = memfd_create("annotate-test", 0);
  EXPECT_EQ(write(input, table.data(), table.size()), static_cast<ssize_t>(table.size()));
  lseek(input, 0, SEEK_SET);
  char* outData = nullptr;
  std::size_t outSize = 0;
  char* errData = nullptr;
  std::size_t errSize = 0;
  std::FILE* out = open_memstream(&outData, &outSize);
  std::FILE* err = open_memstream(&errData, &errSize);
  Result result;
  result.status = RunAnnotate(options, input, out, err);
  std::fclose(out);
  std::fclose(err);
  close(input);
  result.out.assign(outData, outSize);
  result.err.assign(errData, errSize);
  std::free(outData);
  std::free(errData);
  return result;
}

// A text as UTF-16LE bytes.
std::string Utf16Le(std::u16string_view text) {
  std::string bytes;
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

struct Row {
  const char* name;
  AnnotateOptions options;
  std::string table;
  std::string out;  // what is written to standard output
  int status;
  std::string err;  // a part of what is written to standard error, or "" for nothing
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

// --column: a number for digits, else a name.
AnnotateOptions Column(const std::string& column) {
  AnnotateOptions options;
  if (column.find_first_not_of("0123456789") == std::string::npos) {
    options.column.number = std::stoul(column);
  } else {
    options.column.name = column;
  }
  return options;
}

const std::string kAppended = "sin_valid,sin_number,sin_group,sin_regions,sin_error";

const Row kRows[] = {
    {"SIN column found by its header",
     {},
     "id,Name,SIN\n7,Ann,123 456 782\n8,Bob,123456789\n",
     "id,Name,SIN," + kAppended +
         "\r\n7,Ann,123 456 782,true,123456782,Atlantic,NB PEI NF NS,\r\n" +
         "8,Bob,123456789,false,123456789,Atlantic,NB PEI NF NS,\r\n",
     1,
     ""},
    {"French header with accents, apostrophe and a byte-order mark, CR LF rows",
     {},
     "\uFEFFNo,Num\u00E9ro d\u2019assurance sociale\r\n1,046 454 286\r\n",
     "\uFEFFNo,Num\u00E9ro d\u2019assurance sociale," + kAppended +
         "\r\n1,046 454 286,true,046454286,ForeignTax,,\r\n",
     0,
     ""},
    {"column chosen by name, ignoring case", Column("employee sin"),
     "Employee SIN,Spouse SIN\n800000002,x\n",
     "Employee SIN,Spouse SIN," + kAppended + "\r\n800000002,x,true,800000002,Dummy,,\r\n", 0, ""},
    {"column chosen by number", Column("2"), "a,b\nx,800000002\n",
     "a,b," + kAppended + "\r\nx,800000002,true,800000002,Dummy,,\r\n", 0, ""},
    {"no header cell names a SIN",
     {},
     "id,name\n1,Ann\n",
     "",
     2,
     "no cell of the header names a SIN; choose one with --column (header: id,name; cells tried "
     "with ',', ';' and tab between them)"},
    {"two header cells name a SIN", {}, "SIN,NAS\n1,2\n", "", 2, "more than one cell"},
    {"a column name not in the header", Column("ssn"), "id,SIN\n", "", 2, "--column 'ssn'"},
    {"a column number past the header", Column("3"), "id,SIN\n", "", 2,
     "--column 3: the header has 2 cells"},
    {"cells kept exactly: quotes, line breaks, blanks, formulas",
     {},
     "SIN,note\n123456782,\"say \"\"hi\"\", then\r\nleave\"\n800000002,  =1+2  \n",
     "SIN,note," + kAppended +
         "\r\n123456782,\"say \"\"hi\"\", then\r\nleave\",true,123456782,Atlantic,NB PEI NF NS,\r\n"
         "800000002,  =1+2  ,true,800000002,Dummy,,\r\n",
     0,
     ""},
    {"short rows padded to the header, blank lines kept",
     {},
     "a,SIN,b\nx\n\ny,\n",
     "a,SIN,b," + kAppended + "\r\nx,,,false,,,,empty\r\n\r\ny,,,false,,,,empty\r\n",
     1,
     ""},
    {"a quote never closed: the rows before it, and where it begins",
     {},
     "SIN,note\n123456782,ok\n123456782,\"never\nclosed\n",
     "SIN,note," + kAppended + "\r\n123456782,ok,true,123456782,Atlantic,NB PEI NF NS,\r\n",
     2,
     "line 3: a quoted cell begins here and is never closed"},
    {"a quote out of place, after a quoted line break",
     {},
     "SIN,note\n\"1\n2\",x\n1,a\"b\n",
     "SIN,note," + kAppended + "\r\n\"1\n2\",x,false,,,,not nine digits\r\n",
     2,
     "line 4: a quote out of place"},
    {"no header: the first row is data",
     [] {
       AnnotateOptions options = Column("1");
       options.noHeader = true;
       return options;
     }(),
     "123456782\n", "123456782,true,123456782,Atlantic,NB PEI NF NS,\r\n", 0, ""},
    {"no header needs a column number",
     [] {
       AnnotateOptions options = Column("SIN");
       options.noHeader = true;
       return options;
     }(),
     "123456782\n", "", 2, "--no-header needs --column N"},
    {"semicolons, as French spreadsheets write",
     [] {
       AnnotateOptions options;
       options.delimiter = ';';
       return options;
     }(),
     "NAS;Nom\n123 456 782;Roy, Luc\n",
     "NAS;Nom;sin_valid;sin_number;sin_group;sin_regions;sin_error\r\n"
     "123 456 782;Roy, Luc;true;123456782;Atlantic;NB PEI NF NS;\r\n",
     0, ""},
    {"masked: the SIN cells and numbers show their last three digits",
     [] {
       AnnotateOptions options;
       options.mask = true;
       return options;
     }(),
     "SIN\n123-456-782\n-12345\n12\n",
     "SIN," + kAppended +
         "\r\n***-***-782,true,******782,Atlantic,NB PEI NF NS,\r\n\"'-**345\",false,,,,not nine "
         "digits\r\n12,false,,,,not nine digits\r\n",
     1, ""},
    {"empty input", {}, "", "", 2, "the table is empty"},
    {"a first cell that begins with a byte-order mark of its own is quoted to keep it",
     {},
     "\"\uFEFFName\",SIN\nx,123456782\n",
     "\"\uFEFFName\",SIN," + kAppended +
         "\r\nx,123456782,true,123456782,Atlantic,NB PEI NF NS,\r\n",
     0,
     ""},
    {"a row past the bound stops the run after the rows before it",
     [] {
       AnnotateOptions options;
       options.maxRowBytes = 40;
       return options;
     }(),
     "SIN,note\n123456782,short\n123456782,\"" + std::string(41, 'x') + "\"\n",
     "SIN,note," + kAppended + "\r\n123456782,short,true,123456782,Atlantic,NB PEI NF NS,\r\n", 2,
     "line 3: the row is longer than 40 bytes"},
    {"a cell of megabytes is read whole, quickly even under the sanitizers",
     {},
     "SIN,note\n123456782,\"" + std::string(5'000'000, 'x') + "\"\"\"\n",
     "SIN,note," + kAppended + "\r\n123456782,\"" + std::string(5'000'000, 'x') +
         "\"\"\",true,123456782,Atlantic,NB PEI NF NS,\r\n",
     0,
     ""},
    {"a header cell of megabytes, read whole to find the SIN column, is quick too",
     {},
     "\"" + std::string(5'000'000, 'x') + "\",SIN\nnote,123456782\n",
     std::string(5'000'000, 'x') + ",SIN," + kAppended +
         "\r\nnote,123456782,true,123456782,Atlantic,NB PEI NF NS,\r\n",
     0,
     ""},
    {"control characters a message quotes are shown escaped", Column("\x1B[31mX\a"), "id,SIN\n", "",
     2, "--column '\\e[31mX\\x07': no such cell"},
    // Exports as spreadsheets and payroll systems write them.
    {"a row wider than the header stops the run after the rows before it",
     {},
     "a,SIN,b\n1,123456782,2\n1,2,3,4\n",
     "a,SIN,b," + kAppended + "\r\n1,123456782,2,true,123456782,Atlantic,NB PEI NF NS,\r\n",
     2,
     "line 3: the row has 4 cells, the header 3"},
    {"empty cells past the header, as spreadsheets export them, are dropped",
     {},
     "a,SIN,b\n1,046 454 286,,,\n",
     "a,SIN,b," + kAppended + "\r\n1,046 454 286,,true,046454286,ForeignTax,,\r\n",
     0,
     ""},
    {"without a header the first row's width is the table's",
     [] {
       AnnotateOptions options = Column("1");
       options.noHeader = true;
       return options;
     }(),
     "123456782,x\n800000002\n1,2,3\n",
     "123456782,x,true,123456782,Atlantic,NB PEI NF NS,\r\n800000002,,true,800000002,Dummy,,\r\n",
     2, "line 3: the row has 3 cells, the first row 2"},
    {"a spreadsheet's empty rows are kept, not counted",
     {},
     "SIN,a\n,\n,,,,\n123456782,\n",
     "SIN,a," + kAppended +
         "\r\n,,,,,,\r\n,,,,,,\r\n123456782,,true,123456782,Atlantic,NB PEI NF NS,\r\n",
     0,
     ""},
    {"UTF-16 with a byte-order mark, as spreadsheets save Unicode text",
     {},
     Utf16Le(u"\uFEFFSIN\tx\n046 454 286\t\u00E9\n"),
     "\uFEFFSIN\tx\tsin_valid\tsin_number\tsin_group\tsin_regions\tsin_error\r\n"
     "046 454 286\t\u00E9\ttrue\t046454286\tForeignTax\t\t\r\n",
     0,
     "read the table as UTF-16LE; writing UTF-8 with a byte-order mark"},
    {"another encoding by name",
     [] {
       AnnotateOptions options;
       options.encoding = "cp1252";
       return options;
     }(),
     "Num\xE9ro NAS,Nom\n123456782,C\xF4t\xE9\n",
     "\uFEFFNum\u00E9ro NAS,Nom," + kAppended +
         "\r\n123456782,C\u00F4t\u00E9,true,123456782,Atlantic,NB PEI NF NS,\r\n",
     0, "read the table as cp1252"},
    {"bytes that are not UTF-8 stay as they are, and make a SIN cell malformed",
     {},
     "SIN,Nom\n12345678\xE9,C\xF4t\xE9\n",
     "SIN,Nom," + kAppended +
         "\r\n12345678\xE9,C\xF4t\xE9,false,,,,not UTF-8 (try --encoding cp1252)\r\n",
     1,
     ""},
    {"semicolons chosen by the header, and a leading sep= line kept",
     {},
     "sep=;\r\nNAS;Nom\r\n123 456 782;Roy, Luc\r\n",
     "sep=;\r\nNAS;Nom;sin_valid;sin_number;sin_group;sin_regions;sin_error\r\n"
     "123 456 782;Roy, Luc;true;123456782;Atlantic;NB PEI NF NS;\r\n",
     0,
     ""},
    {"a delimiter that names no SIN, and the one that would",
     [] {
       AnnotateOptions options;
       options.delimiter = ',';
       return options;
     }(),
     "Nom;NAS\n", "", 2, "(header: Nom;NAS); with --delimiter ';' it does"},
    {"two delimiters that each name a SIN",
     {},
     "SIN,a;NAS\n",
     "",
     2,
     "the header names a SIN with ',' and with ';' between cells; choose one with --delimiter"},
    {"lines above the header copied through",
     [] {
       AnnotateOptions options;
       options.skipRows = 2;
       return options;
     }(),
     "Payroll, December\r\n\"quote\n\nSIN\n800000002\n",
     "Payroll, December\r\n\"quote\n\r\nSIN," + kAppended +
         "\r\n800000002,true,800000002,Dummy,,\r\n",
     0, ""},
    {"a table annotated before gets its five cells anew",
     {},
     "SIN,a," + kAppended + "\r\n123456782,x,false,,,,stale\r\n800000002\r\n",
     "SIN,a," + kAppended +
         "\r\n123456782,x,true,123456782,Atlantic,NB PEI NF NS,\r\n800000002,,true,800000002,"
         "Dummy,,\r\n",
     0,
     ""},
    {"masked: no message shows more of a SIN than the output would",
     [] {
       AnnotateOptions options;
       options.mask = true;
       return options;
     }(),
     "1001,\"Roy, Luc\",046 454 286\n", "", 2, "(header: *001,\"Roy, Luc\",*** *** 286;"},
    {"sin_number spaced, so that a spreadsheet keeps its leading zero",
     [] {
       AnnotateOptions options;
       options.style = Style::Spaced;
       return options;
     }(),
     "SIN\n046454286\n", "SIN," + kAppended + "\r\n046454286,true,046 454 286,ForeignTax,,\r\n", 0,
     ""},
};

class AnnotateRows : public ::testing::TestWithParam<Row> {};

TEST_P(AnnotateRows, WritesEveryRowWithItsSinCellsAppended) {
  const Row& row = GetParam();
  const Result result = Annotate(row.table, row.options);
  EXPECT_EQ(result.out, row.out);
  EXPECT_EQ(result.status, row.status);
  if (row.err.empty()) {
    EXPECT_EQ(result.err, "");
  } else {
    EXPECT_NE(result.err.find(row.err), std::string::npos) << result.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, AnnotateRows, ::testing::ValuesIn(kRows));

TEST(NamesSin, KnowsTheUsualSpellingsInBothLanguages) {
  for (const char* header : {"SIN",
                             "sin",
                             " S.I.N. ",
                             "SIN #",
                             "sin_#",
                             "NAS",
                             "N.A.S.",
                             "Social Insurance Number",
                             "SIN Number",
                             "SIN No.",
                             "Social Insurance No.",
                             "No d'assurance sociale",
                             "N° d'assurance sociale",
                             "Nº d’assurance sociale",
                             "Numéro NAS",
                             "social_insurance_number",
                             "SOCIAL-INSURANCE-NUMBER",
                             "Numéro d'assurance sociale",
                             "NUMÉRO D’ASSURANCE SOCIALE",
                             "numero_dassurance_sociale"}) {
    EXPECT_TRUE(NamesSin(header)) << header;
  }
  for (const char* header : {"", "SINs", "Spouse SIN", "SSN", "Social Insurance", "name", "NASA"}) {
    EXPECT_FALSE(NamesSin(header)) << header;
  }
}

}  // namespace
}  // namespace mivaro::cli
