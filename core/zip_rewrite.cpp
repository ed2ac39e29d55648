// SPDX-License-Identifier: Apache-2.0
#include "core/zip_rewrite.h"

#include <sys/stat.h>
#include <zip.h>

#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "core/archive_reader.h"

namespace mivaro::detail {
namespace {

struct ZipDiscard {
  void operator()(zip_t* zip) const { zip_discard(zip); }
};
struct FileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
struct SourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};

// A member's bytes as libzip expands them, held to the limits.
class ZipMemberBytes final : public Bytes {
 public:
  ZipMemberBytes(zip_file_t* file, std::uint64_t packed, const OpenLimits& limits)
      : file_(file), packed_(packed), limits_(limits) {}
  std::size_t ReadInto(char* to, std::size_t size) override {
    if (failed()) return 0;
    const zip_int64_t got = zip_fread(file_, to, size);
    if (got < 0) {
      Fail(zip_error_strerror(zip_file_get_error(file_)));
      return 0;
    }
    read_ += static_cast<std::uint64_t>(got);
    if (std::optional<std::string> why = PastLimits(limits_, read_, read_, packed_)) {
      Fail(std::move(*why));
      return 0;
    }
    return static_cast<std::size_t>(got);
  }

 private:
  zip_file_t* file_;
  std::uint64_t packed_;
  const OpenLimits& limits_;
  std::uint64_t read_ = 0;
};

// Folders and links are kept as they stand; only a file's contents change.
bool IsRegular(zip_t* zip, zip_uint64_t index, std::string_view name) {
  if (name.ends_with('/')) return false;
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(zip, index, 0, &system, &attributes) != 0 ||
      system != ZIP_OPSYS_UNIX) {
    return true;
  }
  const auto type = static_cast<mode_t>(attributes >> 16) & S_IFMT;
  return type == 0 || type == S_IFREG;
}

// Whether a member holds exactly bytes, read again to compare.
bool Holds(zip_t* zip, zip_uint64_t index, const zip_stat_t& stat, std::string_view bytes) {
  if ((stat.valid & ZIP_STAT_SIZE) != 0 && stat.size != bytes.size()) return false;
  const std::unique_ptr<zip_file_t, FileClose> file(zip_fopen_index(zip, index, 0));
  if (file == nullptr) return false;
  char block[65536];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), block, sizeof block);
    if (got <= 0) return got == 0 && bytes.empty();
    const auto size = static_cast<std::size_t>(got);
    if (size > bytes.size() || std::memcmp(block, bytes.data(), size) != 0) return false;
    bytes.remove_prefix(size);
  }
}

// Stores a member's new contents, in its own compression method (deflate
// where libzip cannot write that one) and with its own time.
bool Replace(zip_t* zip, zip_uint64_t index, const zip_stat_t& stat, std::string_view contents) {
  zip_source_t* data = zip_source_buffer(zip, contents.data(), contents.size(), 0);
  if (data == nullptr) return false;
  if (zip_file_replace(zip, index, data, 0) != 0) {
    zip_source_free(data);
    return false;
  }
  const bool known = (stat.valid & ZIP_STAT_COMP_METHOD) != 0 &&
                     zip_compression_method_supported(stat.comp_method, 1) != 0;
  return zip_set_file_compression(zip, index, known ? stat.comp_method : ZIP_CM_DEFLATE, 0) == 0 &&
         ((stat.valid & ZIP_STAT_MTIME) == 0 || zip_file_set_mtime(zip, index, stat.mtime, 0) == 0);
}

// Writes the archive into its source, then passes what was written to put.
bool Close(std::unique_ptr<zip_t, ZipDiscard> zip, zip_source_t* source, std::uint64_t size,
           Walk& walk, const std::function<bool(std::string_view)>& put, std::string& error) {
  if (!walk.budget.Take(size)) {
    error = "needs more than the memory limit to be redacted";
    return false;
  }
  const Held held(walk.budget, size);
  if (zip_close(zip.get()) != 0) {
    error = zip_strerror(zip.get());
    return false;
  }
  zip.release();  // closed, and freed by closing
  if (zip_source_open(source) != 0) {
    error = zip_error_strerror(zip_source_error(source));
    return false;
  }
  char block[65536];
  zip_int64_t got = 0;
  bool written = true;
  while (written && (got = zip_source_read(source, block, sizeof block)) > 0) {
    written = put({block, static_cast<std::size_t>(got)});
  }
  zip_source_close(source);
  if (!written) error = "cannot write";
  if (got < 0) error = zip_error_strerror(zip_source_error(source));
  return written && got >= 0;
}

}  // namespace

bool RewriteZip(std::string_view whole, Walk& walk, const RewriteMember& rewrite,
                const std::function<bool(std::string_view)>& put, std::string& error) {
  zip_error_t why;
  zip_error_init(&why);
  zip_source_t* source = zip_source_buffer_create(whole.data(), whole.size(), 0, &why);
  std::unique_ptr<zip_t, ZipDiscard> zip(source != nullptr ? zip_open_from_source(source, 0, &why)
                                                           : nullptr);
  if (zip == nullptr) {
    error = zip_error_strerror(&why);
    zip_error_fini(&why);
    if (source != nullptr) zip_source_free(source);
    return false;
  }
  zip_error_fini(&why);
  // The archive owns the source; one more reference keeps it to read the
  // result from once the archive is written into it and closed.
  zip_source_keep(source);
  const std::unique_ptr<zip_source_t, SourceFree> result(source);
  const auto fail = [&](std::string why) {
    error = std::move(why);
    return false;
  };
  std::deque<std::string> stored;  // read by libzip as it closes
  std::vector<Held> held;
  std::uint64_t size = whole.size();  // about what libzip writes
  const auto count = static_cast<zip_uint64_t>(zip_get_num_entries(zip.get(), 0));
  for (zip_uint64_t index = 0; index < count; ++index) {
    if (++walk.members > walk.options.limits.members) {
      return fail("more than " + std::to_string(walk.options.limits.members) + " members");
    }
    zip_stat_t stat;
    if (zip_stat_index(zip.get(), index, 0, &stat) != 0) return fail(zip_strerror(zip.get()));
    const std::string name = (stat.valid & ZIP_STAT_NAME) != 0 ? stat.name : "";
    if (!IsRegular(zip.get(), index, name)) continue;
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
      return fail(name + ": encrypted; nothing written");
    }
    std::string rewritten;
    {
      const std::unique_ptr<zip_file_t, FileClose> file(zip_fopen_index(zip.get(), index, 0));
      if (file == nullptr) return fail(name + ": " + zip_strerror(zip.get()));
      ZipMemberBytes bytes(file.get(), stat.comp_size, walk.options.limits);
      if (!rewrite(name, bytes, rewritten, error)) return false;
    }
    if (Holds(zip.get(), index, stat, rewritten)) continue;
    if (!walk.budget.Take(rewritten.size())) {
      return fail("needs more than the memory limit to be redacted");
    }
    held.emplace_back(walk.budget, rewritten.size());
    size += rewritten.size();
    stored.push_back(std::move(rewritten));
    if (!Replace(zip.get(), index, stat, stored.back())) {
      return fail(name + ": " + zip_strerror(zip.get()));
    }
  }
  return Close(std::move(zip), source, size, walk, put, error);
}

}  // namespace mivaro::detail
