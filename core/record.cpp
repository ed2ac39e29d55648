// SPDX-License-Identifier: Apache-2.0
// The record of a checked entry as JSON. It is the hot path of bulk
// validation, so everything a record of a well-formed number says after its
// sum, which depends only on its group, is written once per group and
// copied from then on.
#include "mivaro/record.h"

#include <array>
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
  template <std::size_t N>
  void operator+=(const std::array<char, N>& text) {
    std::memcpy(at, text.data(), N);  // a length known here, copied inline
    at += N;
  }
  void operator+=(char c) { *at++ = c; }
};

// Pieces of text joined when the library is compiled: Pieces is a lambda
// that returns them.
template <auto Pieces>
consteval auto Joined() {
  constexpr auto kLength = [] {
    std::size_t length = 0;
    for (const std::string_view piece : Pieces()) length += piece.size();
    return length;
  }();
  std::array<char, kLength> joined{};
  std::size_t at = 0;
  for (const std::string_view piece : Pieces()) {
    for (const char c : piece) joined[at++] = c;
  }
  return joined;
}

// The fixed pieces of every record, made from the field names.
using Field = RecordField;
constexpr std::string_view Name(Field field) {
  return RecordFieldName(field);
}
constexpr auto kStart = Joined<[] {
  return std::array<std::string_view, 3>{"{\"", Name(Field::Input), "\":\""};
}>();
constexpr auto kMalformed = Joined<[] {
  return std::array<std::string_view, 15>{
      "\",\"",       Name(Field::Number), "\":null,\"", Name(Field::Valid),
      "\":false,\"", Name(Field::Check),  "\":null,\"", Name(Field::Sum),
      "\":null,\"",  Name(Field::Group),  "\":null,\"", Name(Field::Regions),
      "\":[],\"",    Name(Field::Error),  "\":\""};
}>();
constexpr auto kNumber = Joined<[] {
  return std::array<std::string_view, 3>{"\",\"", Name(Field::Number), "\":\""};
}>();
constexpr auto kPasses = Joined<[] {
  return std::array<std::string_view, 5>{"\",\"", Name(Field::Valid), "\":true,\"",
                                         Name(Field::Check), "\":"};
}>();
constexpr auto kFails = Joined<[] {
  return std::array<std::string_view, 5>{"\",\"", Name(Field::Valid), "\":false,\"",
                                         Name(Field::Check), "\":"};
}>();
constexpr auto kSum = Joined<[] {
  return std::array<std::string_view, 3>{",\"", Name(Field::Sum), "\":"};
}>();

// What follows the sum of a well-formed number, by its group: made once,
// from the region table and the group names.
const std::array<std::string, kGroups.size()>& GroupTails() {
  static const std::array<std::string, kGroups.size()> kTails = [] {
    std::array<std::string, kGroups.size()> tails;
    for (std::size_t index = 0; index < kGroups.size(); ++index) {
      std::string& tail = tails[index];
      const auto add = [&](std::initializer_list<std::string_view> pieces) {
        for (const std::string_view piece : pieces) tail += piece;
      };
      add({",\"", Name(Field::Group), "\":\""});
      tail += GroupName(kGroups[index]);
      add({"\",\"", Name(Field::Regions), "\":["});
      bool first = true;
      for (const Region& region : kRegions) {
        if (region.group != kGroups[index]) continue;
        tail += first ? "\"" : ",\"";
        tail += region.caption;
        tail += '"';
        first = false;
      }
      add({"],\"", Name(Field::Error), "\":null}"});
    }
    return tails;
  }();
  return kTails;
}

}  // namespace

std::size_t WriteRecordJson(char* out, std::string_view input, const Result& result, bool masked,
                            std::string_view errorWords) noexcept {
  Cursor cursor{out};
  cursor += kStart;
  text::AppendJsonEscaped(cursor, input);
  if (!result.WellFormed()) {
    cursor += kMalformed;
    cursor += errorWords.empty() ? ErrorText(result.error) : errorWords.substr(0, 64);
    cursor += std::string_view("\"}");
    return static_cast<std::size_t>(cursor.at - out);
  }
  cursor += kNumber;
  const std::size_t numberAt = static_cast<std::size_t>(cursor.at - out);
  cursor += result.NumberText();
  if (masked) std::memset(out + numberAt, '*', HiddenDigits(kNumberLength));
  if (result.valid) {
    cursor += kPasses;
  } else {
    cursor += kFails;
  }
  if (masked) {
    cursor += std::string_view("null");
  } else {
    cursor += '"';
    cursor += result.CheckText();
    cursor += '"';
  }
  cursor += kSum;
  if (result.sum >= 10) cursor += static_cast<char>('0' + result.sum / 10);
  cursor += static_cast<char>('0' + result.sum % 10);
  cursor += GroupTails()[static_cast<std::size_t>(*result.group) -
                         static_cast<std::size_t>(kGroups.front())];
  return static_cast<std::size_t>(cursor.at - out);
}

}  // namespace mivaro
