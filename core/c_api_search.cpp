// SPDX-License-Identifier: Apache-2.0
// The C API of the search: thin wrappers over Searcher and Redact, with no
// exception crossing them.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "c_api_text.h"
#include "mivaro/mivaro.h"
#include "mivaro/scan.h"

struct mivaro_searcher {
  mivaro::Searcher searcher;
};

namespace {

using mivaro::detail::CopyCut;
using mivaro::detail::Entry;
using mivaro::detail::KnownConfidence;

// Hands C++ matches to a C sink, counting them.
class CallSink final : public mivaro::SearchSink {
 public:
  CallSink(mivaro_found_sink sink, void* context) : sink_(sink), context_(context) {}

  void Matched(const mivaro::Found& found) override {
    ++count_;
    if (sink_ == nullptr) return;
    const mivaro_found out = mivaro::detail::FoundForC(found);
    sink_(&out, context_);
  }

  std::int64_t Count() const { return count_; }

 private:
  mivaro_found_sink sink_;
  void* context_;
  std::int64_t count_ = 0;
};

}  // namespace

extern "C" {

int64_t mivaro_search(const char* text, size_t length, mivaro_confidence minimum,
                      mivaro_found_sink sink, void* context) {
  if (!KnownConfidence(minimum) || (text == nullptr && length != 0)) return -1;
  try {
    mivaro::Searcher searcher({.minimum = static_cast<mivaro::Confidence>(minimum)});
    CallSink call(sink, context);
    searcher.Search(Entry(text, length), call);
    return call.Count();
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

int64_t mivaro_redact(const char* text, size_t length, mivaro_confidence minimum, int all_digits,
                      char* out) {
  if (!KnownConfidence(minimum) || ((text == nullptr || out == nullptr) && length != 0)) return -1;
  try {
    if (out != text && length != 0) std::memmove(out, text, length);
    mivaro::Redactor redactor(
        {.minimum = static_cast<mivaro::Confidence>(minimum), .allDigits = all_digits != 0});
    return static_cast<std::int64_t>(redactor.RedactInPlace({out, length}));
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

mivaro_searcher* mivaro_searcher_create(mivaro_confidence minimum, int places) {
  if (!KnownConfidence(minimum)) return nullptr;
  try {
    return std::make_unique<mivaro_searcher>(
               mivaro_searcher{mivaro::Searcher(
                   {.minimum = static_cast<mivaro::Confidence>(minimum), .places = places != 0})})
        .release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int mivaro_searcher_feed(mivaro_searcher* searcher, const char* text, size_t length,
                         mivaro_found_sink sink, void* context) {
  if (searcher == nullptr || (text == nullptr && length != 0)) return 0;
  try {
    CallSink call(sink, context);
    searcher->searcher.Feed(Entry(text, length), call);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int mivaro_searcher_finish(mivaro_searcher* searcher, mivaro_found_sink sink, void* context) {
  if (searcher == nullptr) return 0;
  try {
    CallSink call(sink, context);
    searcher->searcher.Finish(call);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int64_t mivaro_searcher_search(mivaro_searcher* searcher, const char* text, size_t length,
                               mivaro_found_sink sink, void* context) {
  if (searcher == nullptr || (text == nullptr && length != 0)) return -1;
  try {
    CallSink call(sink, context);
    searcher->searcher.Search(Entry(text, length), call);
    return call.Count();
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

uint64_t mivaro_searcher_settled(const mivaro_searcher* searcher) {
  return searcher == nullptr ? 0 : searcher->searcher.Settled();
}

void mivaro_searcher_free(mivaro_searcher* searcher) {
  std::unique_ptr<mivaro_searcher>{searcher};
}

const char* mivaro_confidence_name(mivaro_confidence confidence) {
  // The names are static literals, NUL-terminated.
  return KnownConfidence(confidence)
             ? mivaro::ConfidenceName(static_cast<mivaro::Confidence>(confidence)).data()
             : "";
}

int mivaro_confidence_parse(const char* name, size_t length, mivaro_confidence* confidence,
                            char* error, size_t size) {
  return mivaro::detail::ParseForC(name, length, confidence, error, size, mivaro::ParseConfidence);
}

void mivaro_redact_digits(char* match, size_t length, int all_digits) {
  if (match != nullptr) mivaro::RedactDigits(match, length, all_digits != 0);
}

}  // extern "C"
