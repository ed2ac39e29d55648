// SPDX-License-Identifier: Apache-2.0
// The XML of Office and OpenDocument files, read with expat a block at a
// time into text. A document type declaration stops the read: these formats
// never have one, so entities are never declared, expanded or fetched.
#pragma once

#include <expat.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/decoding_stream.h"
#include "core/levels.h"
#include "mivaro/files.h"

namespace mivaro::detail {

// Office files nest a few dozen elements deep; a file that nests thousands
// is made to exhaust the parser's stack of open elements.
inline constexpr int kDeepestElement = 4096;
inline std::string TooDeep() {
  return "XML nested deeper than " + std::to_string(kDeepestElement) + " elements";
}

// How many newlines the bytes hold.
std::uint64_t Lines(std::string_view xml);

// Element and attribute names without their prefix: "w:t" is "t".
std::string_view LocalName(std::string_view name);
inline std::string_view LocalName(const XML_Char* name) {
  return LocalName(std::string_view(name));
}
// The value of an attribute by its local name, or nothing.
std::optional<std::string_view> Attribute(const XML_Char** attributes, std::string_view local);

// Reads one XML member; handlers see elements by local name and their text.
class XmlReader {
 public:
  enum class Step { Read, Paused, Ended, Failed };

  // Reads input; what expat allocates is taken from budget.
  XmlReader(Bytes& input, MemoryBudget& budget);
  virtual ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Parses the next block, or parses on from where a handler paused.
  Step Parse();
  // Reads the whole document; false, with Error() saying why, on failure.
  bool ParseAll();
  const std::string& Error() const { return error_; }
  // Reads on a route of its own (xml_fast.cpp) while the XML keeps to what
  // sheets are made of, handing over to expat at the first thing outside
  // that, with the same events. Set before the first Parse; a reader that
  // pauses or asks RawAt() keeps to expat.
  void UseFastRoute(bool on) { fast_ = on; }

 protected:
  virtual void Start(std::string_view name, const XML_Char** attributes) = 0;
  virtual void End(std::string_view name) = 0;
  virtual void Characters(std::string_view text) = 0;
  // Stops the parse after the current element's event, to go on later.
  void Pause();
  // Where the current event's bytes start in the XML, when they are the
  // length given: characters written as they are, not as references.
  std::optional<std::uint64_t> RawAt(std::size_t length) const;
  // Where the current event's bytes start in the XML, and how many they are.
  std::pair<std::uint64_t, std::uint64_t> EventBytes() const;

 private:
  static void OnStart(void* self, const XML_Char* name, const XML_Char** attributes);
  static void OnEnd(void* self, const XML_Char* name);
  static void OnCharacters(void* self, const XML_Char* text, int length);
  static void OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int);
  Step Failed(std::string error);
  Step AfterParse(XML_Status status);

  // The fast route, in xml_fast.cpp.
  enum class Fast { Done, More, Outside, Stop };
  Step ParseFast();
  Fast Tokenize(std::size_t& at, bool end);
  Fast Text(std::size_t& at, bool end);
  Fast StartTag(std::size_t& at);
  Fast EndTag(std::size_t& at);
  Step HandOver(std::size_t at, bool end);

  XML_Parser parser_;
  Bytes& input_;
  MemoryBudget& budget_;
  int depth_ = 0;
  bool suspended_ = false;
  bool final_ = false;
  bool ended_ = false;
  std::string error_;
  // The fast route's state; where expat took over, what came before.
  bool fast_ = false;
  bool muted_ = false;  // expat reads the elements the fast route left open
  bool prolog_ = false;
  bool rootEnded_ = false;
  std::string pending_;            // XML read and not yet taken
  std::vector<std::string> open_;  // the open elements' names
  std::vector<const char*> attributes_;
  std::uint64_t consumed_ = 0;  // bytes before pending_
  std::uint64_t lines_ = 0;     // newlines before pending_
  std::uint64_t fastAt_ = 0;    // where the current event starts
  std::uint64_t byteBase_ = 0;  // added to expat's offsets
  std::uint64_t lineBase_ = 0;  // added to expat's line numbers
};

// Text made of XML a block at a time, with the memory it holds bounded by
// what one block of XML makes, and its length by the limit on a member.
class XmlTextStream : public TextStream {
 public:
  XmlTextStream(XmlReader& reader, const OpenLimits& limits) : reader_(reader), limits_(limits) {}
  std::size_t Read(std::span<char> space) override;
  ReadFailure Failure() const override { return failure_; }
  std::string_view Error() const override { return error_; }
  // Starts a new text where the reader paused, with offsets from 0.
  void Restart();
  // Names the text in its errors ("sheet Notes: ...").
  void SetContext(std::string context) { context_ = std::move(context); }

 protected:
  std::string& Out() { return out_; }
  // How many bytes of text came before Out()'s first.
  std::uint64_t Written() const { return written_; }
  // Whether one block of XML has made more text than is held at once (a
  // row repeated a million times); the text then fails rather than grow.
  bool Full() const { return out_.size() > kMostFromOneBlock; }
  static constexpr std::size_t kMostFromOneBlock = std::size_t{64} << 20;

 private:
  XmlReader& reader_;
  const OpenLimits& limits_;
  std::string context_;
  std::string out_;
  std::size_t given_ = 0;
  std::uint64_t written_ = 0;
  bool ended_ = false;
  ReadFailure failure_ = ReadFailure::None;
  std::string error_;
};

// Reads the rest of a text into memory, for redaction, which needs a part
// whole, holding what it takes from the budget; false, saying why, when it
// cannot be read to its end or held.
inline bool ReadAll(XmlTextStream& text, std::string& all, MemoryBudget& budget, Held& held,
                    std::string& error) {
  char block[16384];
  std::uint64_t taken = 0;
  while (const std::size_t got = text.Read(block)) {
    if (!budget.Take(got)) {
      budget.Give(taken);
      error = "its text needs more than the memory limit of " +
              std::to_string(budget.Most() >> 20) + " MiB to be redacted";
      return false;
    }
    taken += got;
    all.append(block, got);
  }
  held = Held(budget, taken);
  if (text.Failure() == ReadFailure::None) return true;
  error = std::string(text.Error());
  return false;
}

}  // namespace mivaro::detail
