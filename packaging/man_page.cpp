// SPDX-License-Identifier: Apache-2.0
// Writes the mivaro-cli manual page from its template, filling in the facts
// that have one home elsewhere: the version from the CMake project, and the
// region captions, the first-digit order and the series from the core's
// tables, and annotate's column names, in the same words as --help.
// Usage: man_page TEMPLATE OUTPUT
#include <mivaro/files.h>
#include <mivaro/scan.h>

#include <string>

#include "cli/annotator.h"
#include "cli/entry_parser.h"
#include "cli/generate.h"
#include "cli/scan.h"
#include "cli/sin_column.h"
#include "mivaro/generator.h"
#include "mivaro/sin.h"
#include "tools/fill_template.h"

int main(int argc, char** argv) {
  const mivaro::OpenLimits limits;
  const mivaro::tools::Fact facts[] = {
      {"@MAX_DEPTH@", std::to_string(limits.depth)},
      {"@MAX_MEMBER_MIB@", std::to_string(limits.memberBytes >> 20)},
      {"@MAX_RATIO@", std::to_string(limits.ratio)},
      {"@RATIO_FROM_MIB@", std::to_string(limits.ratioFrom >> 20)},
      {"@MAX_MEMBERS@", std::to_string(limits.members)},
      {"@MAX_MEMORY_MIB@", std::to_string(limits.memory >> 20)},
      {"@MAX_PDF_SECONDS@", std::to_string(limits.pdfSeconds)},
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
  return mivaro::tools::FillTemplate(argc, argv, facts);
}
