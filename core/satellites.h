// SPDX-License-Identifier: Apache-2.0
// Two parts of opening files need big libraries that few files call for:
// mail needs GMime (and with it GLib and GPGME), writing a zip again needs
// libzip (and with it OpenSSL). Loading them would double the time a scan
// of a folder of plain files takes to start, so each is a module of its
// own, beside libmivaro-files.so, loaded the first time it is needed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/levels.h"
#include "core/zip_rewrite.h"
#include "mivaro/export.h"

namespace mivaro::detail {

// libmivaro-mail.so: mail.cpp's OpenMail and RedactMail.
struct MailEntry {
  std::unique_ptr<Level> (*openMail)(const Input& input, bool mailbox, Walk& walk,
                                     std::string& error);
  bool (*redactMail)(std::string_view whole, bool mailbox, const RedactOptions& options, Walk& walk,
                     const RedactBytes& attachment, std::string& out, std::uint64_t& redacted,
                     std::string& error);
};

// libmivaro-zip.so: zip_rewrite.cpp's RewriteZip.
struct ZipEntry {
  bool (*rewriteZip)(std::string_view whole, Walk& walk, const RewriteMember& rewrite,
                     const std::function<bool(std::string_view)>& put, std::string& error);
};

// The modules' own functions, behind their tables.
std::unique_ptr<Level> OpenMailHere(const Input& input, bool mailbox, Walk& walk,
                                    std::string& error);
bool RedactMailHere(std::string_view whole, bool mailbox, const RedactOptions& options, Walk& walk,
                    const RedactBytes& attachment, std::string& out, std::uint64_t& redacted,
                    std::string& error);
bool RewriteZipHere(std::string_view whole, Walk& walk, const RewriteMember& rewrite,
                    const std::function<bool(std::string_view)>& put, std::string& error);

}  // namespace mivaro::detail

// The modules' tables; the names libmivaro-files.so looks them up by.
extern "C" MIVARO_EXPORT const mivaro::detail::MailEntry* mivaro_mail_entry();
extern "C" MIVARO_EXPORT const mivaro::detail::ZipEntry* mivaro_zip_entry();
