// SPDX-License-Identifier: Apache-2.0
// The one symbol libmivaro-files.so exports: its table.
#include "core/files_entry.h"

extern "C" const mivaro::detail::FilesEntry* mivaro_files_entry() {
  static constexpr mivaro::detail::FilesEntry kEntry{
      mivaro::detail::OpenFileHere, mivaro::detail::OpenBytesHere, mivaro::detail::FormatOfHere,
      mivaro::detail::RedactFileHere, mivaro::detail::SearchFileHere};
  return &kEntry;
}
