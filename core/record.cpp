// SPDX-License-Identifier: Apache-2.0
// The record of a checked entry as JSON. It is the hot path of bulk
// validation, so everything a record of a well-formed number says after its
// sum, which depends only on its group, is written once per group and
// copied from then on.
#include "mivaro/record.h"

#include <cstring>
#include <initializer_list>
#include <string>

#include "mivaro/regions.h"
#include "text/json.h"

namespace mivaro {
namespace {

// Writes into memory the caller has made room in.
struct Cursor {
  char* at;
  void operator+=(std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    at += text.size();
  }
  void operator+=(char c) { *at++ = c; }
};

// Joins pieces of text (with +=, which GCC 12 does not mistake for an
// overlapping copy as it does chains of +).
std::string Joined(std::initializer_list<std::string_view> pieces) {
  std::string joined;
  for (const std::string_view piece : pieces) joined += piece;
  return joined;
}

// "name": for a field.
std::string Key(RecordField field) {
  return Joined({"\"", RecordFieldName(field), "\":"});
}

// The fixed pieces of every record, made once from the field names.
struct Pieces {
  std::string start;                              // {"input":"
  std::string malformed;                          // after the input, to the error's words
  std::string number;                             // after the input, to the number
  std::string passes;                             // after the number, to the check
  std::string fails;                              //
  std::string sum;                                // after the check, to the sum
  std::array<std::string, kGroups.size()> tails;  // after the sum, to the end
};

const Pieces& RecordPieces() {
  static const Pieces kPieces = [] {
    Pieces pieces;
    const auto key = [](RecordField field) { return Key(field); };
    pieces.start = Joined({"{", key(RecordField::Input), "\""});
    pieces.malformed = Joined({"\",", key(RecordField::Number), "null,", key(RecordField::Valid),
                               "false,", key(RecordField::Check), "null,", key(RecordField::Sum),
                               "null,", key(RecordField::Group), "null,", key(RecordField::Regions),
                               "[],", key(RecordField::Error), "\""});
    pieces.number = Joined({"\",", key(RecordField::Number), "\""});
    pieces.passes = Joined({"\",", key(RecordField::Valid), "true,", key(RecordField::Check)});
    pieces.fails = Joined({"\",", key(RecordField::Valid), "false,", key(RecordField::Check)});
    pieces.sum = Joined({",", key(RecordField::Sum)});
    for (std::size_t index = 0; index < kGroups.size(); ++index) {
      std::string regions;
      for (const Region& region : kRegions) {
        if (region.group != kGroups[index]) continue;
        regions += regions.empty() ? "\"" : ",\"";
        regions += region.caption;
        regions += '"';
      }
      pieces.tails[index] =
          Joined({",", key(RecordField::Group), "\"", GroupName(kGroups[index]), "\",",
                  key(RecordField::Regions), "[", regions, "],", key(RecordField::Error), "null}"});
    }
    return pieces;
  }();
  return kPieces;
}

}  // namespace

std::size_t WriteRecordJson(char* out, std::string_view input, const Result& result, bool masked,
                            std::string_view errorWords) noexcept {
  const Pieces& pieces = RecordPieces();
  Cursor cursor{out};
  cursor += pieces.start;
  text::AppendJsonEscaped(cursor, input);
  if (!result.WellFormed()) {
    cursor += pieces.malformed;
    cursor += errorWords.empty() ? ErrorText(result.error) : errorWords.substr(0, 64);
    cursor += std::string_view("\"}");
    return static_cast<std::size_t>(cursor.at - out);
  }
  cursor += pieces.number;
  const std::size_t numberAt = static_cast<std::size_t>(cursor.at - out);
  cursor += result.NumberText();
  if (masked) std::memset(out + numberAt, '*', HiddenDigits(kNumberLength));
  cursor += result.valid ? pieces.passes : pieces.fails;
  if (masked) {
    cursor += std::string_view("null");
  } else {
    cursor += '"';
    cursor += result.CheckText();
    cursor += '"';
  }
  cursor += pieces.sum;
  if (result.sum >= 10) cursor += static_cast<char>('0' + result.sum / 10);
  cursor += static_cast<char>('0' + result.sum % 10);
  cursor += pieces.tails[static_cast<std::size_t>(*result.group) -
                         static_cast<std::size_t>(kGroups.front())];
  return static_cast<std::size_t>(cursor.at - out);
}

}  // namespace mivaro
