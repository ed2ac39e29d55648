// SPDX-License-Identifier: Apache-2.0
#include "core/zip_rewrite.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "core/satellites.h"

namespace mivaro::detail {
namespace {

struct ZipDiscard {
  void operator()(zip_t* zip) const { zip_discard(zip); }
};
struct FileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
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

// What libzip reads the zip from (the bytes given) and writes it again to:
// memory taken from the walk's budget. libzip's own memory source is not
// used for this, since the version Debian 12 ships frees memory it does not
// own when it clones an unchanged start of the zip.
class Store {
 public:
  Store(std::string_view in, MemoryBudget& budget) : in_(in), budget_(budget) {
    zip_error_init(&error_);
  }
  ~Store() {
    budget_.Give(taken_);
    zip_error_fini(&error_);
  }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // The zip as written, or as given when nothing was.
  std::string_view Result() const { return written_ ? std::string_view(out_) : in_; }
  static zip_int64_t Call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    return static_cast<Store*>(self)->Do(data, length, command);
  }

 private:
  zip_int64_t Do(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        at_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const std::size_t size = std::min<std::uint64_t>(length, in_.size() - at_);
        std::memcpy(data, in_.data() + at_, size);
        at_ += size;
        return static_cast<zip_int64_t>(size);
      }
      case ZIP_SOURCE_SEEK:
        return Seek(at_, in_.size(), data, length);
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(at_);
      case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->size = in_.size();
        stat->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_BEGIN_WRITE:
        out_.clear();
        outAt_ = 0;
        return 0;
      case ZIP_SOURCE_WRITE:
        return Write(static_cast<const char*>(data), length);
      case ZIP_SOURCE_SEEK_WRITE:
        return Seek(outAt_, out_.size(), data, length);
      case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(outAt_);
      case ZIP_SOURCE_COMMIT_WRITE:
        written_ = true;
        return 0;
      case ZIP_SOURCE_ROLLBACK_WRITE:
        out_.clear();
        return 0;
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_FREE:
      case ZIP_SOURCE_REMOVE:
        return 0;
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
            ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_COMMIT_WRITE,
            ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE,
            ZIP_SOURCE_REMOVE, -1);
      default:
        zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t Seek(std::uint64_t& at, std::uint64_t size, void* data, zip_uint64_t length) {
    const zip_int64_t to = zip_source_seek_compute_offset(at, size, data, length, &error_);
    if (to < 0) return -1;
    at = static_cast<std::uint64_t>(to);
    return 0;
  }

  zip_int64_t Write(const char* data, zip_uint64_t length) {
    const std::uint64_t end = outAt_ + length;
    if (end > out_.size()) {
      if (!budget_.Take(end - out_.size())) {
        zip_error_set(&error_, ZIP_ER_MEMORY, 0);
        return -1;
      }
      taken_ += end - out_.size();
      out_.resize(end);
    }
    std::memcpy(out_.data() + outAt_, data, length);
    outAt_ = end;
    return static_cast<zip_int64_t>(length);
  }

  std::string_view in_;
  std::uint64_t at_ = 0;
  std::string out_;
  std::uint64_t outAt_ = 0;
  bool written_ = false;
  MemoryBudget& budget_;
  std::uint64_t taken_ = 0;
  zip_error_t error_;
};

}  // namespace

bool RewriteZipHere(std::string_view whole, Walk& walk, const RewriteMember& rewrite,
                    const std::function<bool(std::string_view)>& put, std::string& error) {
  Store store(whole, walk.budget);
  zip_error_t why;
  zip_error_init(&why);
  zip_source_t* source = zip_source_function_create(Store::Call, &store, &why);
  std::unique_ptr<zip_t, ZipDiscard> zip(
      source != nullptr ? zip_open_from_source(source, ZIP_CHECKCONS, &why) : nullptr);
  if (zip == nullptr) {
    // A zip whose directory and members' own headers disagree is read one
    // way by one program and another way by the next: it is refused.
    error = zip_error_code_zip(&why) == ZIP_ER_INCONS
                ? "its directory and its members' headers disagree; nothing written"
                : zip_error_strerror(&why);
    zip_error_fini(&why);
    if (source != nullptr) zip_source_free(source);
    return false;
  }
  zip_error_fini(&why);
  const auto fail = [&](std::string why) {
    error = std::move(why);
    return false;
  };
  std::deque<std::string> stored;  // read by libzip as it closes
  std::vector<Held> held;
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
    Held taken;
    {
      const std::unique_ptr<zip_file_t, FileClose> file(zip_fopen_index(zip.get(), index, 0));
      if (file == nullptr) return fail(name + ": " + zip_strerror(zip.get()));
      ZipMemberBytes bytes(file.get(), stat.comp_size, walk.options.limits);
      if (!rewrite(name, bytes, rewritten, taken, error)) return false;
    }
    if (Holds(zip.get(), index, stat, rewritten)) continue;
    held.push_back(std::move(taken));
    stored.push_back(std::move(rewritten));
    if (!Replace(zip.get(), index, stat, stored.back())) {
      return fail(name + ": " + zip_strerror(zip.get()));
    }
  }
  if (zip_close(zip.get()) != 0) return fail(zip_strerror(zip.get()));
  zip.release();  // closed, and freed by closing
  if (put(store.Result())) return true;
  if (error.empty()) error = "cannot write";
  return false;
}

}  // namespace mivaro::detail

extern "C" const mivaro::detail::ZipEntry* mivaro_zip_entry() {
  static constexpr mivaro::detail::ZipEntry kEntry{mivaro::detail::RewriteZipHere};
  return &kEntry;
}
