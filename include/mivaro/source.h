// SPDX-License-Identifier: Apache-2.0
/**
 * @file source.h
 * @brief Where text to search comes from: sources that yield named streams
 * of UTF-8 text, which a Searcher reads into its own buffer.
 *
 * A plain file is one stream. A source is the seam for every other kind of
 * file: each kind yields the streams of text inside it (the members of an
 * archive, the sheets of a workbook) under names that say where they are.
 */
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "mivaro/export.h"

namespace mivaro {

/// Why a stream could not be read to its end.
enum class ReadFailure {
  None,             ///< it could, so far
  Input,            ///< the bytes could not be read (an I/O error)
  Undecodable,      ///< a byte is not in the encoding the text was read in
  UnknownEncoding,  ///< the encoding asked for is not one iconv knows
};

/// A stream of text, read a block at a time.
class MIVARO_EXPORT TextStream {
 public:
  virtual ~TextStream();
  /// Reads the next bytes of the text, as UTF-8, into space; returns how
  /// many, at least one while the text goes on, and 0 at its end or once
  /// reading failed (then Failure() and Error() say why).
  virtual std::size_t Read(std::span<char> space) = 0;
  /// Returns why the text could not be read to its end.
  virtual ReadFailure Failure() const = 0;
  /// Returns why in words ("Is a directory", "byte 7: not UTF-16LE"), or ""
  /// while it can be read.
  virtual std::string_view Error() const = 0;
};

/// How a source reads the bytes it is given.
struct SourceOptions {
  /// The encoding of the bytes, any name iconv knows ("cp1252", "UTF-16");
  /// none: UTF-8, or UTF-16 when a byte-order mark says so.
  std::optional<std::string> encoding;
  /// Whether bytes with a NUL in their first block are taken for binary
  /// (StreamKind::Binary, as grep has it) rather than read as text.
  bool sniffBinary = true;
};

/// What a source found under one name.
enum class StreamKind {
  Text,    ///< text to search
  Binary,  ///< bytes that are not text (a NUL in the first block): nothing to read
};

/// One named stream of a source.
struct SourceStream {
  std::string name;                    ///< what reports call it: the path, "-", ...
  StreamKind kind = StreamKind::Text;  ///< text to search, or binary
  TextStream* text = nullptr;          ///< its text, for StreamKind::Text; the source's own
  /// Whether the bytes began with a byte-order mark, in whatever encoding.
  bool byteOrderMark = false;
  /// The encoding the bytes were converted from, or none for UTF-8.
  std::optional<std::string> convertedFrom;
};

/// Yields the named text streams of one input, one after another.
class MIVARO_EXPORT Source {
 public:
  virtual ~Source();
  /// Returns the next stream, or nothing when there are no more; it stays
  /// valid until the next call.
  virtual std::optional<SourceStream> Next() = 0;
};

/// Returns the source of a file descriptor opened for reading (a file, a
/// pipe, standard input), named as reports should name it; the caller keeps
/// the descriptor open while the source is read, and closes it. Its one
/// stream is binary when its first block holds a NUL, else its text decoded
/// as options say.
MIVARO_EXPORT std::unique_ptr<Source> OpenDescriptor(int fd, std::string name,
                                                     const SourceOptions& options = {});

/// Returns a text stream over bytes in memory, decoded as options say; the
/// bytes must outlive it.
MIVARO_EXPORT std::unique_ptr<TextStream> BytesStream(std::string_view bytes,
                                                      const SourceOptions& options = {});

}  // namespace mivaro
