// SPDX-License-Identifier: Apache-2.0
#pragma once

// What may join the three groups of a SIN's digits. The two sets differ on
// purpose, because the two places a SIN is read differ:
// - An entry (a form field, a spreadsheet cell) holds one number alone, so
//   it may use the thousands separators of Canadian number formats: a comma
//   ("123,456,782"), and in French a no-break or narrow no-break space.
// - Running text (a log, an e-mail) holds numbers among words and other
//   numbers. There a comma separates items of a list ("046454286,123456782")
//   and is never taken for a group separator; what people and word
//   processors put between groups is: a dot, and any hyphen or dash, which
//   editors turn hyphens into.

namespace mivaro::detail {

// A hyphen-minus, the Unicode hyphens and dashes, and the minus sign.
constexpr bool IsDash(char32_t c) {
  return c == '-' || (c >= 0x2010 && c <= 0x2014) || c == 0x2212;
}

// What may join the groups of an entry: a space or hyphen as people type
// them, and a comma, no-break or narrow no-break space as number formats
// write thousands.
constexpr bool JoinsGroupsInEntry(char32_t c) {
  return c == U' ' || c == U'-' || c == U',' || c == 0x00A0 || c == 0x202F;
}

// What may join the groups of a SIN in running text: a space, a no-break or
// narrow no-break space, a dot, or any dash.
constexpr bool JoinsGroupsInText(char32_t c) {
  return c == ' ' || c == 0x00A0 || c == 0x202F || c == '.' || IsDash(c);
}

}  // namespace mivaro::detail
