// SPDX-License-Identifier: Apache-2.0
// Opening files (archives, workbooks, documents, PDFs, mail) takes
// libarchive, expat and GMime, whose loading alone would triple the time
// every program linking libmivaro takes to start. So that code is a module
// of its own, libmivaro-files.so, which libmivaro loads the first time a
// file is opened, and whose one exported symbol hands over this table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mivaro/export.h"
#include "mivaro/files.h"
#include "mivaro/mivaro.h"

namespace mivaro::detail {

// What the module does, one function per public entry point.
struct FilesEntry {
  std::unique_ptr<Contents> (*openFile)(int fd, std::string name, const OpenOptions& options);
  std::unique_ptr<Contents> (*openBytes)(std::string_view bytes, std::string name,
                                         const OpenOptions& options);
  std::string_view (*formatOf)(std::string_view head);
  bool (*redactFile)(int in, int out, const RedactOptions& options, std::uint64_t& redacted,
                     std::string& error);
  int64_t (*searchFile)(const char* path, mivaro_confidence minimum, mivaro_file_sink sink,
                        void* context, uint64_t* unread, char* error, size_t size);
};

// The module's own functions, behind the table.
std::unique_ptr<Contents> OpenFileHere(int fd, std::string name, const OpenOptions& options);
std::unique_ptr<Contents> OpenBytesHere(std::string_view bytes, std::string name,
                                        const OpenOptions& options);
std::string_view FormatOfHere(std::string_view head);
bool RedactFileHere(int in, int out, const RedactOptions& options, std::uint64_t& redacted,
                    std::string& error);
int64_t SearchFileHere(const char* path, mivaro_confidence minimum, mivaro_file_sink sink,
                       void* context, uint64_t* unread, char* error, size_t size);

}  // namespace mivaro::detail

// The module's table; the name libmivaro looks it up by.
extern "C" MIVARO_EXPORT const mivaro::detail::FilesEntry* mivaro_files_entry();
