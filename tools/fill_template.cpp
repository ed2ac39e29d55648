// SPDX-License-Identifier: Apache-2.0
#include "tools/fill_template.h"

#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

namespace mivaro::tools {

int FillTemplate(int argc, char** argv, std::span<const Fact> facts) {
  const std::string tool = argc > 0 ? argv[0] : "fill_template";
  if (argc != 3) {
    std::cerr << "usage: " << tool << " TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  if (!in) {
    std::cerr << tool << ": cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string text = read.str();
  for (const Fact& fact : facts) {
    std::size_t at = text.find(fact.placeholder);
    if (at == std::string::npos) {
      std::cerr << tool << ": " << fact.placeholder << " is not in " << argv[1] << "\n";
      return 1;
    }
    for (; at != std::string::npos; at = text.find(fact.placeholder, at + fact.value.size())) {
      text.replace(at, fact.placeholder.size(), fact.value);
    }
  }
  static const std::regex kPlaceholder("@[A-Z_]+@");
  if (std::smatch left; std::regex_search(text, left, kPlaceholder)) {
    std::cerr << tool << ": " << left.str() << " in " << argv[1] << " has no value\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::cerr << tool << ": cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}

std::string JoinQuoted(std::span<const std::string_view> words, std::string_view quote,
                       std::string_view separator) {
  std::string joined;
  for (const std::string_view word : words) {
    if (!joined.empty()) joined += separator;
    joined.append(quote).append(word).append(quote);
  }
  return joined;
}

}  // namespace mivaro::tools
