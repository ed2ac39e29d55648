// SPDX-License-Identifier: Apache-2.0
// Writes the mivaro-cli manual page from its template, filling in the facts
// that have one home elsewhere: the version from the CMake project, and the
// region captions, the first-digit order and the series from the core's
// tables, and annotate's column names, in the same words as --help.
// Usage: man_page TEMPLATE OUTPUT
#include <mivaro/scan.h>

#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>

#include "cli/annotator.h"
#include "cli/entry_parser.h"
#include "cli/generate.h"
#include "cli/scan.h"
#include "cli/sin_column.h"
#include "mivaro/generator.h"
#include "mivaro/sin.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: man_page TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::stringstream page;
  page << in.rdbuf();
  std::string text = page.str();
  const std::pair<std::string, std::string> facts[] = {
      {"@VERSION@", std::string(mivaro::Version())},
      {"@REGION_CAPTIONS@", mivaro::cli::RegionCaptionList()},
      {"@REGION_PRIORITY@", mivaro::cli::RegionPriorityList()},
      {"@SERIES_DIGITS@", mivaro::cli::SeriesDigitList()},
      {"@SIN_HEADERS@", mivaro::cli::SinHeaderNameList()},
      {"@APPENDED_CELLS@", mivaro::cli::AnnotateCellList()},
      {"@INVALID_KINDS@", mivaro::cli::InvalidKindList()},
      {"@REASONS@", mivaro::cli::ReasonList()},
      {"@MAX_ROW_BYTES@", std::to_string(mivaro::cli::kDefaultMaxRowBytes)},
      {"@KEYWORD_REACH@", std::to_string(mivaro::kKeywordReach)},
      {"@KEYWORDS@", mivaro::cli::KeywordList()},
      {"@MOST_GENERATED@", std::to_string(mivaro::kMostGenerated)},
  };
  for (const auto& [name, value] : facts) {
    std::size_t at = text.find(name);
    if (at == std::string::npos) {
      std::cerr << "man_page: " << name << " is not in " << argv[1] << "\n";
      return 1;
    }
    for (; at != std::string::npos; at = text.find(name, at + value.size())) {
      text.replace(at, name.size(), value);
    }
  }
  static const std::regex kPlaceholder("@[A-Z_]+@");
  if (std::smatch left; std::regex_search(text, left, kPlaceholder)) {
    std::cerr << "man_page: " << left.str() << " in " << argv[1] << " has no value\n";
    return 1;
  }
  std::ofstream(argv[2]) << text;
  return 0;
}
