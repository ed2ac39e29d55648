// SPDX-License-Identifier: Apache-2.0
// The fast route through XML: what sheets are made of (elements, attributes,
// text and the five named entities, in ASCII, after a declaration that
// Office programs write or none) read without expat, with the events expat
// would give. At the first thing outside that (a comment, a CDATA section,
// a character reference, a carriage return, a byte past ASCII, anything
// malformed) it hands over to expat, which is given the elements still open
// and reads on from there. expat remains the definition: the fuzz target
// holds this route to it, event for event.
#include <array>
#include <cstring>

#include "core/xml_reader.h"

namespace mivaro::detail {
namespace {

constexpr std::size_t kFastBlock = 65536;
// A token longer than this (an attribute of a megabyte) goes to expat,
// which holds it within the budget.
constexpr std::size_t kLongestToken = std::size_t{1} << 20;

enum : std::uint8_t {
  kNameStart = 1,  // may start a name
  kName = 2,       // may go on with one
  kTextStop = 4,   // ends a stretch of plain text
  kValueStop = 8,  // may not stand in an attribute value taken as it is
};

constexpr std::array<std::uint8_t, 256> kClasses = [] {
  std::array<std::uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
    const bool name = letter || (c >= '0' && c <= '9') || c == '.' || c == '-';
    const bool control = c < 0x20 && c != '\t' && c != '\n';
    std::uint8_t bits = 0;
    if (letter) bits |= kNameStart;
    if (name) bits |= kName;
    if (control || c >= 0x80 || c == '<' || c == '&' || c == ']' || c == '\r') bits |= kTextStop;
    if (c < 0x20 || c >= 0x80 || c == '<' || c == '&') bits |= kValueStop;
    classes[static_cast<std::size_t>(c)] = bits;
  }
  return classes;
}();

bool Is(char c, std::uint8_t what) {
  return (kClasses[static_cast<unsigned char>(c)] & what) != 0;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// The declarations Office programs write; any other goes to expat.
constexpr std::string_view kDeclarations[] = {
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
    R"(<?xml version="1.0" encoding="UTF-8"?>)",
    R"(<?xml version="1.0" encoding="utf-8"?>)",
    R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?>)",
};

}  // namespace

std::uint64_t Lines(std::string_view xml) {
  std::uint64_t lines = 0;
  for (auto at = xml.find('\n'); at != std::string_view::npos; at = xml.find('\n', at + 1)) {
    ++lines;
  }
  return lines;
}

namespace {

// The character a named entity stands for, or 0.
char Entity(std::string_view name) {
  if (name == "amp") return '&';
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  return 0;
}

}  // namespace

XmlReader::Step XmlReader::ParseFast() {
  const std::size_t kept = pending_.size();
  pending_.resize(kept + kFastBlock);
  const std::size_t got = input_.ReadInto(pending_.data() + kept, kFastBlock);
  pending_.resize(kept + got);
  if (got == 0 && input_.failed()) return Failed(input_.error());
  const bool end = got == 0;
  std::size_t at = 0;
  const Fast fast = Tokenize(at, end);
  if (fast == Fast::Stop) return Failed(error_);
  if (fast == Fast::Done) {
    ended_ = true;
    return Step::Ended;
  }
  // Until the root element starts, all is kept, for expat to read from the
  // start if need be: its state in the prolog depends on what came before.
  const bool prolog = open_.empty() && !rootEnded_;
  if (fast == Fast::Outside || pending_.size() - at > kLongestToken) {
    return HandOver(prolog ? 0 : at, end);
  }
  if (prolog) return Step::Read;
  lines_ += Lines(std::string_view(pending_).substr(0, at));
  consumed_ += at;
  pending_.erase(0, at);
  return Step::Read;
}

// Takes every whole token from at on; at is left at the first one not
// taken. At the input's end, Done when the document ended well.
XmlReader::Fast XmlReader::Tokenize(std::size_t& at, bool end) {
  const std::string_view xml = pending_;
  if (!prolog_) {
    if (xml.starts_with("<?")) {
      const auto* known = std::find_if(std::begin(kDeclarations), std::end(kDeclarations),
                                       [&](std::string_view d) { return xml.starts_with(d); });
      if (known == std::end(kDeclarations)) return Fast::Outside;
      at = known->size();
    }
    prolog_ = true;
  }
  while (at < xml.size()) {
    fastAt_ = consumed_ + at;
    Fast fast = Fast::Done;
    if (xml[at] != '<') {
      fast = Text(at, end);
    } else if (at + 1 == xml.size()) {
      fast = Fast::More;
    } else {
      fast = xml[at + 1] == '/' ? EndTag(at) : StartTag(at);
    }
    if (fast == Fast::More && end) return Fast::Outside;
    if (fast != Fast::Done) return fast;
  }
  if (!end) return Fast::More;
  return open_.empty() && rootEnded_ ? Fast::Done : Fast::Outside;
}

XmlReader::Fast XmlReader::Text(std::size_t& at, bool end) {
  const std::string_view xml = pending_;
  if (open_.empty()) {
    // Outside the root only white space, which expat does not report.
    while (at < xml.size() && IsSpace(xml[at])) ++at;
    return at < xml.size() && xml[at] != '<' ? Fast::Outside : Fast::Done;
  }
  std::size_t start = at;
  std::size_t i = at;
  const auto emit = [&](std::size_t until) {
    if (until > start) Characters(xml.substr(start, until - start));
  };
  for (; i < xml.size(); ++i) {
    const char c = xml[i];
    if (!Is(c, kTextStop)) continue;
    if (c == '<') break;
    emit(i);
    at = i;
    if (c == ']') {
      if (i + 2 >= xml.size()) return end ? Fast::Outside : Fast::More;
      if (xml[i + 1] == ']' && xml[i + 2] == '>') return Fast::Outside;
      start = i;
      continue;
    }
    if (c != '&') return Fast::Outside;
    const std::size_t semicolon = xml.find(';', i + 1);
    if (semicolon == std::string_view::npos) return xml.size() - i > 6 ? Fast::Outside : Fast::More;
    const char entity = Entity(xml.substr(i + 1, semicolon - i - 1));
    if (entity == 0) return Fast::Outside;
    Characters(std::string_view(&entity, 1));
    i = semicolon;
    start = i + 1;
  }
  emit(i);
  at = i;
  return Fast::Done;
}

XmlReader::Fast XmlReader::EndTag(std::size_t& at) {
  const std::string_view xml = pending_;
  std::size_t i = at + 2;
  if (i < xml.size() && !Is(xml[i], kNameStart)) return Fast::Outside;
  while (i < xml.size() && Is(xml[i], kName)) ++i;
  const std::string_view name = xml.substr(at + 2, i - at - 2);
  while (i < xml.size() && IsSpace(xml[i])) ++i;
  if (i >= xml.size()) return Fast::More;
  if (xml[i] != '>' || open_.empty() || open_.back() != name) return Fast::Outside;
  --depth_;
  End(LocalName(name));
  open_.pop_back();
  rootEnded_ = open_.empty();
  at = i + 1;
  return Fast::Done;
}

XmlReader::Fast XmlReader::StartTag(std::size_t& at) {
  const std::string_view xml = pending_;
  std::size_t i = at + 1;
  if (!Is(xml[i], kNameStart) || rootEnded_) return Fast::Outside;
  while (i < xml.size() && Is(xml[i], kName)) ++i;
  const std::string_view name = xml.substr(at + 1, i - at - 1);
  struct Pair {
    std::size_t key, keyEnd, value, valueEnd;
  };
  std::array<Pair, 32> pairs{};
  std::size_t count = 0;
  bool empty = false;
  while (true) {
    const std::size_t space = i;
    while (i < xml.size() && IsSpace(xml[i])) ++i;
    if (i + 1 >= xml.size()) return Fast::More;
    if (xml[i] == '>' || (xml[i] == '/' && xml[i + 1] == '>')) {
      empty = xml[i] == '/';
      i += empty ? 2 : 1;
      break;
    }
    if (i == space || !Is(xml[i], kNameStart) || count == pairs.size()) return Fast::Outside;
    Pair& pair = pairs[count];
    pair.key = i;
    while (i < xml.size() && Is(xml[i], kName)) ++i;
    pair.keyEnd = i;
    while (i < xml.size() && IsSpace(xml[i])) ++i;
    if (i < xml.size() && xml[i] != '=') return Fast::Outside;
    for (++i; i < xml.size() && IsSpace(xml[i]); ++i) {
    }
    if (i >= xml.size()) return Fast::More;
    const char quote = xml[i];
    if (quote != '"' && quote != '\'') return Fast::Outside;
    pair.value = i + 1;
    for (++i; i < xml.size() && xml[i] != quote; ++i) {
      if (Is(xml[i], kValueStop)) return Fast::Outside;
    }
    if (i >= xml.size()) return Fast::More;
    pair.valueEnd = i++;
    const std::string_view key = xml.substr(pair.key, pair.keyEnd - pair.key);
    for (std::size_t k = 0; k < count; ++k) {
      if (xml.substr(pairs[k].key, pairs[k].keyEnd - pairs[k].key) == key) return Fast::Outside;
    }
    ++count;
  }
  if (depth_ + 1 > kDeepestElement) {
    error_ = TooDeep();
    return Fast::Stop;
  }
  ++depth_;
  // The tag is whole: each name and value is ended in place by a NUL, over
  // the '=', space or quote that followed it, as expat hands them over.
  char* bytes = pending_.data();
  attributes_.clear();
  for (std::size_t k = 0; k < count; ++k) {
    bytes[pairs[k].keyEnd] = '\0';
    bytes[pairs[k].valueEnd] = '\0';
    attributes_.push_back(bytes + pairs[k].key);
    attributes_.push_back(bytes + pairs[k].value);
  }
  attributes_.push_back(nullptr);
  Start(LocalName(name), attributes_.data());
  if (empty) {
    --depth_;
    End(LocalName(name));
    rootEnded_ = open_.empty();
  } else {
    open_.emplace_back(name);
  }
  at = i;
  return Fast::Done;
}

}  // namespace mivaro::detail
