// SPDX-License-Identifier: Apache-2.0
// Loads libmivaro-mail.so and libmivaro-zip.so from the folder this module
// lies in, once each, and forwards to them; without one, what needs it
// fails with the reason.
#include "core/satellites.h"

#include <dlfcn.h>

#include <mutex>

namespace mivaro::detail {
namespace {

template <typename Table>
struct Loaded {
  const Table* table = nullptr;
  std::string error;  // why it is null
};

template <typename Table>
const Loaded<Table>& Load(const char* file, const char* symbol, const Table* (*linked)()) {
  static Loaded<Table> loaded;
  static std::once_flag once;
  std::call_once(once, [&] {
    if (linked != nullptr) {
      loaded.table = linked();
      return;
    }
    Dl_info self{};
    std::string path = file;
    if (dladdr(reinterpret_cast<void*>(&Load<Table>), &self) != 0 && self.dli_fname != nullptr) {
      const std::string module = self.dli_fname;
      if (module.rfind('/') != std::string::npos) {
        path = module.substr(0, module.rfind('/') + 1) + file;
      }
    }
    // Never unloaded: its code stays valid for the process's lifetime.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    using EntryFunction = const Table* (*)();
    const auto entry =
        handle != nullptr ? reinterpret_cast<EntryFunction>(dlsym(handle, symbol)) : nullptr;
    if (entry != nullptr) {
      loaded.table = entry();
    } else {
      const char* why = dlerror();
      loaded.error = std::string("cannot load ") + file + ": " + (why != nullptr ? why : "");
    }
  });
  return loaded;
}

#ifdef MIVARO_FILES_STATIC
constexpr auto kMail = &mivaro_mail_entry;
constexpr auto kZip = &mivaro_zip_entry;
#else
constexpr const MailEntry* (*kMail)() = nullptr;
constexpr const ZipEntry* (*kZip)() = nullptr;
#endif

}  // namespace

std::unique_ptr<Level> OpenMail(const Input& input, bool mailbox, Walk& walk, std::string& error) {
  const auto& mail = Load<MailEntry>("libmivaro-mail.so", "mivaro_mail_entry", kMail);
  if (mail.table == nullptr) {
    error = mail.error;
    return nullptr;
  }
  return mail.table->openMail(input, mailbox, walk, error);
}

bool RedactMail(std::string_view whole, bool mailbox, const RedactOptions& options, Walk& walk,
                const RedactBytes& attachment, std::string& out, std::uint64_t& redacted,
                std::string& error) {
  const auto& mail = Load<MailEntry>("libmivaro-mail.so", "mivaro_mail_entry", kMail);
  if (mail.table == nullptr) {
    error = mail.error;
    return false;
  }
  return mail.table->redactMail(whole, mailbox, options, walk, attachment, out, redacted, error);
}

bool RewriteZip(std::string_view whole, Walk& walk, const RewriteMember& rewrite,
                const std::function<bool(std::string_view)>& put, std::string& error) {
  const auto& zip = Load<ZipEntry>("libmivaro-zip.so", "mivaro_zip_entry", kZip);
  if (zip.table == nullptr) {
    error = zip.error;
    return false;
  }
  return zip.table->rewriteZip(whole, walk, rewrite, put, error);
}

}  // namespace mivaro::detail
