// SPDX-License-Identifier: Apache-2.0
/**
 * @file files.h
 * @brief The text inside the files people keep: compressed files, archives,
 * workbooks, documents and PDFs, opened by their contents and yielded as
 * named text streams that say where each match lies.
 *
 * A file is told by its first bytes, not its name. A compressed file
 * (gzip, bzip2, xz, zstd) is the text inside it; an archive (zip, tar, 7z)
 * is its members, archives inside it opened in turn; a workbook (.xlsx,
 * .ods) is its sheets, each a table whose rows are lines and whose cells
 * are joined by tabs; a document (.docx, .pptx, .odt, .odp) is its
 * paragraphs, a line each; a PDF is its pages, through the pdftotext
 * program; mail (.eml, .mbox) is each message's headers and text parts,
 * its attachments opened as files. Hostile files are held to OpenLimits: whatever the input, the
 * walk ends, and its memory stays bounded.
 */
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mivaro/export.h"
#include "mivaro/scan.h"
#include "mivaro/source.h"

namespace mivaro {

/// What a file may expand to before the walk stops opening it.
struct OpenLimits {
  unsigned depth = 8;  ///< containers inside one another, the file given being the first
  std::uint64_t memberBytes = std::uint64_t{1} << 30;  ///< one member's bytes once expanded
  /// How many times its packed size a container may expand to, once it has
  /// expanded past ratioFrom bytes.
  std::uint64_t ratio = 100;
  std::uint64_t ratioFrom = std::uint64_t{10}
                            << 20;  ///< the bytes a container may always expand to
  std::uint64_t members = 100000;   ///< members of all containers, in all
  /// The memory held for the files being opened at once (members read whole,
  /// a workbook's strings), beyond the fixed buffers of each open level.
  std::uint64_t memory = std::uint64_t{256} << 20;
  /// The seconds a PDF's text may take to be read, after which the program
  /// reading it is stopped: a PDF made to make it loop ends too.
  unsigned pdfSeconds = 120;
};

/// How OpenFile and OpenBytes read what they are given.
struct OpenOptions {
  SourceOptions text;  ///< how plain text is decoded, and whether NULs say binary
  bool open = true;    ///< whether containers are opened; false reads every file as bytes
  OpenLimits limits;   ///< how far a hostile file is followed
  /// The program that reads a PDF's pages (poppler-utils' pdftotext), found
  /// on PATH unless a path; "" reads no PDF.
  std::string pdftotext = "pdftotext";
};

/// What an entry of an opened file is.
enum class EntryKind {
  Text,      ///< a text to search, in text
  Binary,    ///< bytes that are not text, and not a file this library opens
  Opened,    ///< a container about to yield its members (format says which kind)
  Unopened,  ///< a file that may hold text this library cannot read (reason says which)
  Failed,    ///< a member that could not be read whole: corrupt, encrypted, over a limit
};

/// Where in a kind of file a match lies.
enum class PlaceKind {
  Line,       ///< a text's line and column (Found's own)
  Cell,       ///< a sheet's cell
  Page,       ///< a PDF's page
  Paragraph,  ///< a document's paragraph (or a slide's)
  MailPart,   ///< a line of a message's headers or of one of its text parts
};

/// Where a match lies, in the terms of its file.
struct Place {
  PlaceKind kind = PlaceKind::Line;  ///< which of the fields below say where
  std::string_view sheet;            ///< Cell: the sheet's name
  std::uint64_t row = 0;             ///< Cell: its row, from 1
  std::uint64_t column = 0;     ///< Cell: its column, from 1 (A); MailPart: in its line, from 1
  std::uint64_t page = 0;       ///< Page: from 1
  std::uint64_t paragraph = 0;  ///< Paragraph: from 1, in the order a reader meets them
  std::uint64_t message = 0;    ///< MailPart: the message, from 1 (a mailbox holds many)
  std::string_view part;        ///< MailPart: "headers", or the part's number ("1.2")
  std::uint64_t line = 0;       ///< MailPart: the line in the headers or the part, from 1
  /// MailPart: the attached file's name when the match is in an attachment
  /// read as text (its line and column then count in it); else empty.
  std::string_view attachment;
};

/// Places matches in a text stream of an opened file.
class MIVARO_EXPORT Locator {
 public:
  virtual ~Locator();
  /// Returns where a match found in the stream lies; called in the order
  /// of the stream, while the stream is being searched.
  virtual Place Locate(const Found& found) = 0;
};

/// One entry of an opened file.
struct Entry {
  EntryKind kind = EntryKind::Text;  ///< what it is, and so which fields below hold
  /// The chain of names from the file given to the innermost member
  /// ("hr/2024.zip", "payroll/june.xlsx"); a workbook's sheet or a PDF's
  /// page is not a member but a Place.
  std::vector<std::string> container;
  /// Opened: the kind of container ("zip", "gzip", "xlsx", ...); Unopened:
  /// the kind of file ("legacy Word document", "encrypted PDF", ...).
  std::string_view format;
  std::string reason;                        ///< Unopened and Failed: why, in words
  TextStream* text = nullptr;                ///< Text: its text, valid until the next entry
  Locator* locator = nullptr;                ///< Text: where its matches lie; null for lines
  bool byteOrderMark = false;                ///< Text: the bytes began with a byte-order mark
  std::optional<std::string> convertedFrom;  ///< Text: the encoding converted from
};

/// Yields the entries of an opened file, depth first, one after another.
class MIVARO_EXPORT Contents {
 public:
  virtual ~Contents();
  /// Returns the next entry, or nothing once there are no more.
  virtual std::optional<Entry> Next() = 0;
};

/// Returns the contents of a file descriptor opened for reading (a file,
/// a pipe), named as reports should name it; the caller keeps the
/// descriptor open while they are read, and closes it.
MIVARO_EXPORT std::unique_ptr<Contents> OpenFile(int fd, std::string name,
                                                 const OpenOptions& options = {});

/// Returns the contents of bytes in memory, which must outlive them.
MIVARO_EXPORT std::unique_ptr<Contents> OpenBytes(std::string_view bytes, std::string name,
                                                  const OpenOptions& options = {});

/// Returns the kind of file a first block of bytes says it is ("gzip",
/// "zip", "tar", "pdf", "eml", "image", ...), or "" for text and for bytes
/// this library does not tell.
MIVARO_EXPORT std::string_view FormatOf(std::string_view head);

/// Writes to out the file read from in (both descriptors, in from its
/// start), in the same format, with the digits of every SIN hidden as a
/// Redactor hides them: a compressed file compressed again in its format,
/// an archive (tar, zip, 7z) with each member's name, times and mode kept and
/// its contents redacted, archives inside it too, members that hold no
/// text copied as they are. Returns false, saying why in error, for what it
/// cannot rewrite (a PDF, whose text is drawn) or cannot read; mail keeps
/// its parts' transfer encodings, its attachments redacted as files; a document (.docx, .pptx,
/// .odt, .odp) has its digits written over in its XML, a workbook (.xlsx, .ods) in its strings, its
/// numbers that showed a SIN made text cells, and either's preview picture made blank; out may then
/// hold a part, which the caller discards. redacted counts the SINs hidden.
MIVARO_EXPORT bool RedactFile(int in, int out, const RedactOptions& options,
                              std::uint64_t& redacted, std::string& error);

/// Returns a cell's name as a spreadsheet writes it: row 5 of column 3 is
/// "C5".
MIVARO_EXPORT std::string CellName(std::uint64_t row, std::uint64_t column);

/// Returns the names of a chain joined as reports write them, by "!".
MIVARO_EXPORT std::string JoinContainer(const std::vector<std::string>& container);

/// Returns a file's path as reports name it: relative to the current
/// folder, made plain ("./a/../b" is "b").
MIVARO_EXPORT std::string ReportPath(std::string_view path);

/// Returns a match's fingerprint key (see FingerprintKey in scan.h) from the
/// chain of names to its text, the first taken as ReportPath gives it, and
/// where its Locator put it.
MIVARO_EXPORT std::uint64_t FingerprintKey(const std::vector<std::string>& container,
                                           const Place& place, const Found& found);

}  // namespace mivaro
