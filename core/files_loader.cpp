// SPDX-License-Identifier: Apache-2.0
// The public face of opening files, in libmivaro itself: it loads the
// module that does the work (libmivaro-files.so, beside the library or in
// its mivaro/ folder) the first time a file is opened. Without the module,
// files are read as text, as OpenDescriptor reads them, and the reason is
// kept for whoever asks to rewrite one.
#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "c_api_text.h"
#include "core/files_entry.h"
#include "mivaro/files.h"

namespace mivaro {

Locator::~Locator() = default;
Contents::~Contents() = default;

namespace {

using detail::FilesEntry;

struct Loaded {
  const FilesEntry* entry = nullptr;
  std::string error;  // why it is null
};

// Finds and loads the module once, from the folder this library lies in.
const Loaded& Module() {
  static Loaded loaded;
  static std::once_flag once;
  std::call_once(once, [] {
#ifdef MIVARO_FILES_STATIC
    loaded.entry = mivaro_files_entry();
#else
    Dl_info self{};
    std::string folder = ".";
    if (dladdr(reinterpret_cast<void*>(&Module), &self) != 0 && self.dli_fname != nullptr) {
      folder = self.dli_fname;
      folder = folder.substr(0, folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/'));
    }
    for (const std::string& path :
         {folder + "/mivaro/libmivaro-files.so", folder + "/libmivaro-files.so"}) {
      // Never unloaded: its code stays valid for the process's lifetime.
      void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
      if (module == nullptr) {
        if (loaded.error.empty()) loaded.error = dlerror();
        continue;
      }
      using EntryFunction = const FilesEntry* (*)();
      const auto function = reinterpret_cast<EntryFunction>(dlsym(module, "mivaro_files_entry"));
      if (function != nullptr) {
        loaded.entry = function();
        return;
      }
    }
    loaded.error = "cannot load libmivaro-files.so: " + loaded.error;
#endif
  });
  return loaded;
}

// A file read as text only, when the module is missing.
class TextOnly final : public Contents {
 public:
  TextOnly(std::unique_ptr<Source> source, std::string name)
      : source_(std::move(source)), name_(std::move(name)) {}
  std::optional<Entry> Next() override {
    std::optional<SourceStream> stream = source_->Next();
    if (!stream) return std::nullopt;
    Entry entry;
    entry.kind = stream->kind == StreamKind::Binary ? EntryKind::Binary : EntryKind::Text;
    entry.container = {name_};
    entry.text = stream->text;
    entry.byteOrderMark = stream->byteOrderMark;
    entry.convertedFrom = std::move(stream->convertedFrom);
    return entry;
  }

 private:
  std::unique_ptr<Source> source_;
  std::string name_;
};

}  // namespace

std::unique_ptr<Contents> OpenFile(int fd, std::string name, const OpenOptions& options) {
  if (const FilesEntry* entry = Module().entry)
    return entry->openFile(fd, std::move(name), options);
  return std::make_unique<TextOnly>(OpenDescriptor(fd, name, options.text), name);
}

std::unique_ptr<Contents> OpenBytes(std::string_view bytes, std::string name,
                                    const OpenOptions& options) {
  if (const FilesEntry* entry = Module().entry) {
    return entry->openBytes(bytes, std::move(name), options);
  }
  // BytesStream has no sniffing of its own: the bytes are read as text.
  struct OneText final : public Contents {
    OneText(std::unique_ptr<TextStream> text, std::string name)
        : text_(std::move(text)), name_(std::move(name)) {}
    std::optional<Entry> Next() override {
      if (given_) return std::nullopt;
      given_ = true;
      Entry entry;
      entry.container = {name_};
      entry.text = text_.get();
      return entry;
    }
    std::unique_ptr<TextStream> text_;
    std::string name_;
    bool given_ = false;
  };
  return std::make_unique<OneText>(BytesStream(bytes, options.text), std::move(name));
}

std::string_view FormatOf(std::string_view head) {
  const FilesEntry* entry = Module().entry;
  return entry != nullptr ? entry->formatOf(head) : std::string_view();
}

bool RedactFile(int in, int out, const RedactOptions& options, std::uint64_t& redacted,
                std::string& error) {
  redacted = 0;
  if (const FilesEntry* entry = Module().entry) {
    return entry->redactFile(in, out, options, redacted, error);
  }
  error = Module().error;
  return false;
}

std::string CellName(std::uint64_t row, std::uint64_t column) {
  std::string letters;
  for (; column > 0; column = (column - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
  }
  return letters + std::to_string(row);
}

std::string JoinContainer(const std::vector<std::string>& container) {
  std::string joined;
  for (const std::string& name : container) {
    if (!joined.empty()) joined += '!';
    joined += name;
  }
  return joined;
}

std::string ReportPath(std::string_view path) {
  std::filesystem::path file(path);
  if (file.is_absolute()) {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (!error) file = file.lexically_relative(here);
  }
  return file.lexically_normal().string();
}

std::uint64_t FingerprintKey(const std::vector<std::string>& container, const Place& place,
                             const Found& found) {
  std::vector<std::string> named = container;
  if (!named.empty()) named[0] = ReportPath(named[0]);
  // Where it is in terms that lines coming or going do not move: a sheet's
  // column, a mail part; its line is in the key's context.
  std::string where;
  if (place.kind == PlaceKind::Cell) {
    const std::string cell = CellName(1, place.column);
    ((where = place.sheet) += '!') += cell.substr(0, cell.size() - 1);
  } else if (place.kind == PlaceKind::MailPart) {
    ((where = place.part) += '!') += place.attachment;
  }
  return FingerprintKey(JoinContainer(named), where, found);
}

}  // namespace mivaro

extern "C" int64_t mivaro_search_file(const char* path, mivaro_confidence minimum,
                                      mivaro_file_sink sink, void* context, uint64_t* unread,
                                      char* error, size_t size) {
  if (const mivaro::detail::FilesEntry* entry = mivaro::Module().entry) {
    return entry->searchFile(path, minimum, sink, context, unread, error, size);
  }
  if (unread != nullptr) *unread = 0;
  mivaro::detail::CopyCut(mivaro::Module().error, error, size);
  return -1;
}
