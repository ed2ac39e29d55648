// SPDX-License-Identifier: Apache-2.0
/**
 * @file record.h
 * @brief The record of one checked entry: the fields every front end gives
 * (mivaro-cli validate --json and --csv, Python's Result, SQL's sin_check,
 * the npm package's check) and its JSON form.
 */
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "mivaro/mivaro.h"
#include "mivaro/sin.h"

namespace mivaro {

/// The fields of a record, in their order; values as in mivaro.h.
enum class RecordField : int {
  Input = MIVARO_RECORD_INPUT,      ///< the entry as given
  Number = MIVARO_RECORD_NUMBER,    ///< its nine digits; null when malformed
  Valid = MIVARO_RECORD_VALID,      ///< whether it is a valid SIN
  Check = MIVARO_RECORD_CHECK,      ///< the nine check values; null when malformed
  Sum = MIVARO_RECORD_SUM,          ///< their sum; null when malformed
  Group = MIVARO_RECORD_GROUP,      ///< the first digit's group name; null when malformed
  Regions = MIVARO_RECORD_REGIONS,  ///< the group's region captions, a list
  Error = MIVARO_RECORD_ERROR,      ///< why it is malformed; null when well formed
};

/// The fields' names, in their order.
inline constexpr std::array<std::string_view, MIVARO_RECORD_FIELDS> kRecordFields{
    "input", "number", "valid", "check", "sum", "group", "regions", "error"};

/// Returns a field's name ("input", "number", ...).
constexpr std::string_view RecordFieldName(RecordField field) {
  return kRecordFields[static_cast<std::size_t>(field)];
}

/// Returns the most bytes WriteRecordJson writes for an input of so many
/// bytes.
constexpr std::size_t RecordJsonBound(std::size_t inputBytes) {
  return 6 * inputBytes + 192;
}

/// Writes the record of an entry as one JSON object, without a line break,
/// into out, which has room for RecordJsonBound(input.size()) bytes; returns
/// how many it wrote. The input is escaped so that the object is valid JSON
/// in valid UTF-8 whatever its bytes. Masked, the number shows only its last
/// three digits and the check values, which give the digits away, are null;
/// the input is written as given, so a caller masks it first. A front end
/// may give its own words for why an entry is malformed (at most 64 bytes),
/// else the error is ErrorText's.
MIVARO_EXPORT std::size_t WriteRecordJson(char* out, std::string_view input, const Result& result,
                                          bool masked = false,
                                          std::string_view errorWords = {}) noexcept;

}  // namespace mivaro
