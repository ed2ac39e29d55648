// SPDX-License-Identifier: Apache-2.0
#include "core/xml_reader.h"

#include <pthread.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace mivaro::detail {
namespace {

constexpr std::size_t kXmlBlock = 16384;

// expat's allocator takes no context: the budget of the parse running on
// this thread is set around each call into expat, in a thread-specific key
// (not a thread_local: this code is a module loaded at run time, whose
// dynamic thread storage LeakSanitizer cannot walk). Each block carries its
// size before it, so that what is freed is given back.
pthread_key_t BudgetKey() {
  static const pthread_key_t key = [] {
    pthread_key_t made{};
    pthread_key_create(&made, nullptr);
    return made;
  }();
  return key;
}

MemoryBudget* CurrentBudget() {
  return static_cast<MemoryBudget*>(pthread_getspecific(BudgetKey()));
}

void* Allocate(std::size_t size) {
  MemoryBudget* budget = CurrentBudget();
  if (budget == nullptr || !budget->Take(size + sizeof(std::max_align_t))) return nullptr;
  auto* block = static_cast<std::byte*>(std::malloc(size + sizeof(std::max_align_t)));
  if (block == nullptr) {
    budget->Give(size + sizeof(std::max_align_t));
    return nullptr;
  }
  std::memcpy(block, &size, sizeof size);
  return block + sizeof(std::max_align_t);
}

std::byte* Header(void* pointer) {
  return static_cast<std::byte*>(pointer) - sizeof(std::max_align_t);
}

std::size_t SizeOf(void* pointer) {
  std::size_t size = 0;
  std::memcpy(&size, Header(pointer), sizeof size);
  return size;
}

void Free(void* pointer) {
  if (pointer == nullptr) return;
  if (MemoryBudget* budget = CurrentBudget())
    budget->Give(SizeOf(pointer) + sizeof(std::max_align_t));
  std::free(Header(pointer));
}

void* Reallocate(void* pointer, std::size_t size) {
  if (pointer == nullptr) return Allocate(size);
  void* moved = Allocate(size);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, pointer, std::min(size, SizeOf(pointer)));
  Free(pointer);
  return moved;
}

const XML_Memory_Handling_Suite kMemory{Allocate, Reallocate, Free};

// Sets the budget of this thread's parse for as long as it lives.
class BudgetScope {
 public:
  explicit BudgetScope(MemoryBudget& budget) : previous_(CurrentBudget()) {
    pthread_setspecific(BudgetKey(), &budget);
  }
  ~BudgetScope() { pthread_setspecific(BudgetKey(), previous_); }
  BudgetScope(const BudgetScope&) = delete;
  BudgetScope& operator=(const BudgetScope&) = delete;

 private:
  MemoryBudget* previous_;
};

}  // namespace

std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::optional<std::string_view> Attribute(const XML_Char** attributes, std::string_view local) {
  for (; attributes[0] != nullptr; attributes += 2) {
    if (LocalName(attributes[0]) == local) return std::string_view(attributes[1]);
  }
  return std::nullopt;
}

XmlReader::XmlReader(Bytes& input, MemoryBudget& budget) : input_(input), budget_(budget) {
  BudgetScope scope(budget_);
  parser_ = XML_ParserCreate_MM(nullptr, &kMemory, nullptr);
  if (parser_ == nullptr) return;
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser_, OnCharacters);
  XML_SetStartDoctypeDeclHandler(parser_, OnDoctype);
  XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlReader::~XmlReader() {
  BudgetScope scope(budget_);
  if (parser_ != nullptr) XML_ParserFree(parser_);
}

XmlReader::Step XmlReader::Failed(std::string error) {
  if (error_.empty()) error_ = std::move(error);
  ended_ = true;
  return Step::Failed;
}

XmlReader::Step XmlReader::Parse() {
  if (!error_.empty()) return Step::Failed;
  if (ended_) return Step::Ended;
  if (parser_ == nullptr) return Failed("needs more than the memory limit to be read");
  if (fast_) return ParseFast();
  BudgetScope scope(budget_);
  XML_Status status = XML_STATUS_OK;
  if (suspended_) {
    suspended_ = false;
    status = XML_ResumeParser(parser_);
  } else {
    void* buffer = XML_GetBuffer(parser_, kXmlBlock);
    if (buffer == nullptr) return Failed("needs more than the memory limit to be read");
    const std::size_t got = input_.ReadInto(static_cast<char*>(buffer), kXmlBlock);
    if (got == 0 && input_.failed()) return Failed(input_.error());
    final_ = got == 0;
    status = XML_ParseBuffer(parser_, static_cast<int>(got), final_ ? XML_TRUE : XML_FALSE);
  }
  return AfterParse(status);
}

XmlReader::Step XmlReader::AfterParse(XML_Status status) {
  if (status == XML_STATUS_SUSPENDED) {
    suspended_ = true;
    return Step::Paused;
  }
  if (status == XML_STATUS_ERROR) {
    const XML_Error code = XML_GetErrorCode(parser_);
    if (code == XML_ERROR_NO_MEMORY) return Failed("needs more than the memory limit to be read");
    return Failed("damaged XML, line " +
                  std::to_string(XML_GetCurrentLineNumber(parser_) + lineBase_) + ": " +
                  XML_ErrorString(code));
  }
  if (final_) {
    ended_ = true;
    return Step::Ended;
  }
  return Step::Read;
}

XmlReader::Step XmlReader::HandOver(std::size_t at, bool end) {
  fast_ = false;
  lineBase_ = lines_ + Lines(std::string_view(pending_).substr(0, at));
  // expat is told the elements still open, or that the root has ended.
  std::string open = rootEnded_ ? "<r/>" : "";
  for (const std::string& name : open_) ((open += '<') += name) += '>';
  // Each element told of took at least as many bytes as its bare tag.
  byteBase_ = consumed_ + at - open.size();
  BudgetScope scope(budget_);
  muted_ = true;
  XML_Status status = XML_Parse(parser_, open.data(), static_cast<int>(open.size()), XML_FALSE);
  muted_ = false;
  if (status == XML_STATUS_OK) {
    status = XML_Parse(parser_, pending_.data() + at, static_cast<int>(pending_.size() - at),
                       end ? XML_TRUE : XML_FALSE);
  }
  pending_ = std::string();
  open_ = std::vector<std::string>();
  final_ = end;
  return AfterParse(status);
}

bool XmlReader::ParseAll() {
  while (true) {
    const Step step = Parse();
    if (step == Step::Ended) return true;
    if (step == Step::Failed) return false;
  }
}

void XmlReader::Pause() {
  XML_StopParser(parser_, XML_TRUE);
}

std::pair<std::uint64_t, std::uint64_t> XmlReader::EventBytes() const {
  if (fast_) return {fastAt_, 0};
  const XML_Index at = XML_GetCurrentByteIndex(parser_);
  return {at < 0 ? 0 : static_cast<std::uint64_t>(at) + byteBase_,
          static_cast<std::uint64_t>(std::max(0, XML_GetCurrentByteCount(parser_)))};
}

std::optional<std::uint64_t> XmlReader::RawAt(std::size_t length) const {
  if (fast_ || XML_GetCurrentByteCount(parser_) != static_cast<int>(length)) return std::nullopt;
  const XML_Index at = XML_GetCurrentByteIndex(parser_);
  if (at < 0) return std::nullopt;
  return static_cast<std::uint64_t>(at) + byteBase_;
}

void XmlReader::OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
  auto& me = *static_cast<XmlReader*>(self);
  if (me.muted_) return;
  if (++me.depth_ > kDeepestElement) {
    me.error_ = TooDeep();
    XML_StopParser(me.parser_, XML_FALSE);
    return;
  }
  me.Start(LocalName(name), attributes);
}

void XmlReader::OnEnd(void* self, const XML_Char* name) {
  auto& me = *static_cast<XmlReader*>(self);
  if (me.muted_) return;
  --me.depth_;
  me.End(LocalName(name));
}

void XmlReader::OnCharacters(void* self, const XML_Char* text, int length) {
  static_cast<XmlReader*>(self)->Characters(
      std::string_view(text, static_cast<std::size_t>(length)));
}

void XmlReader::OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto& me = *static_cast<XmlReader*>(self);
  me.error_ = "XML with a document type declaration, which such files never have";
  XML_StopParser(me.parser_, XML_FALSE);
}

void XmlTextStream::Restart() {
  out_.clear();
  given_ = 0;
  written_ = 0;
  ended_ = false;
}

std::size_t XmlTextStream::Read(std::span<char> space) {
  while (given_ == out_.size()) {
    if (ended_ || failure_ != ReadFailure::None) return 0;
    written_ += out_.size();
    out_.clear();
    given_ = 0;
    const XmlReader::Step step = reader_.Parse();
    if (step == XmlReader::Step::Failed) {
      failure_ = ReadFailure::Input;
      error_ = context_ + reader_.Error();
      return 0;
    }
    if (step != XmlReader::Step::Read) ended_ = true;
    if (Full()) {
      failure_ = ReadFailure::Input;
      error_ = context_ + "makes more than " + std::to_string(kMostFromOneBlock >> 20) +
               " MiB of text from one block of XML";
      return 0;
    }
    if (written_ + out_.size() > limits_.memberBytes) {
      failure_ = ReadFailure::Input;
      error_ = context_ + "makes more than " + std::to_string(limits_.memberBytes >> 20) +
               " MiB of text (the limit on a member's size)";
      return 0;
    }
  }
  const std::size_t taken = std::min(space.size(), out_.size() - given_);
  std::memcpy(space.data(), out_.data() + given_, taken);
  given_ += taken;
  return taken;
}

}  // namespace mivaro::detail
