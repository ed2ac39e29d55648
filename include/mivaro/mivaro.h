/* SPDX-License-Identifier: Apache-2.0 */
/**
 * @file mivaro.h
 * @brief Mivaro's C API: check, format, mask and generate Canadian Social
 * Insurance Numbers (SINs).
 *
 * Plain C99, usable from C++ as it is. No function throws or keeps a pointer
 * it was given; the check path allocates nothing and is safe to call from any
 * number of threads at once. Enum values and region bits are only ever
 * appended, never renumbered, so that a program built against one release
 * runs with any later release of the same major version.
 */
#ifndef MIVARO_MIVARO_H
#define MIVARO_MIVARO_H

#include <stddef.h>
#include <stdint.h>

#include "mivaro/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Why an entry is not a number that can be checked, or MIVARO_OK. */
typedef enum mivaro_error {
  MIVARO_OK = 0,                      /**< a well-formed number: see valid */
  MIVARO_ERROR_TOO_LONG = 1,          /**< more than any way of writing nine digits */
  MIVARO_ERROR_NOT_NINE_DIGITS = 2,   /**< fewer than nine digits */
  MIVARO_ERROR_NOT_DIGITS_ONLY = 3,   /**< a character other than digits and separators */
  MIVARO_ERROR_BAD_GROUPING = 4,      /**< nine digits, separators out of place */
  MIVARO_ERROR_EMPTY = 5,             /**< nothing but blanks */
  MIVARO_ERROR_REFORMATTED = 6,       /**< scientific notation or a decimal part */
  MIVARO_ERROR_LEADING_ZERO_LOST = 7, /**< eight digits that a leading 0 makes valid */
  MIVARO_ERROR_PLACEHOLDER = 8,       /**< 000 000 000, written for a missing SIN */
  MIVARO_ERROR_NOT_UTF8 = 9           /**< bytes that are not UTF-8 */
} mivaro_error;

/** What a SIN's first digit stands for: a region of issue or a series. */
typedef enum mivaro_group {
  MIVARO_GROUP_NONE = 0,           /**< no number: the entry is malformed */
  MIVARO_GROUP_ATLANTIC = 1,       /**< 1: NB, PEI, NF, NS */
  MIVARO_GROUP_QUEBEC = 2,         /**< 2, 3: QC */
  MIVARO_GROUP_ONTARIO = 3,        /**< 4, 5: ON */
  MIVARO_GROUP_PRAIRIES_NORTH = 4, /**< 6: AB, MB, NU, NWT, SK */
  MIVARO_GROUP_PACIFIC_NORTH = 5,  /**< 7: BC, YT */
  MIVARO_GROUP_FOREIGN_TAX = 6,    /**< 0: foreign or tax numbers */
  MIVARO_GROUP_DUMMY = 7,          /**< 8: dummy numbers */
  MIVARO_GROUP_TEMPORARY = 8       /**< 9: temporary numbers */
} mivaro_group;

/** @name Region bits, one per province or territory caption.
 * A set of regions is these bits or-ed together. @{ */
#define MIVARO_REGION_AB (1u << 0)  /**< Alberta */
#define MIVARO_REGION_BC (1u << 1)  /**< British Columbia */
#define MIVARO_REGION_MB (1u << 2)  /**< Manitoba */
#define MIVARO_REGION_NB (1u << 3)  /**< New Brunswick */
#define MIVARO_REGION_NU (1u << 4)  /**< Nunavut */
#define MIVARO_REGION_NWT (1u << 5) /**< Northwest Territories */
#define MIVARO_REGION_ON (1u << 6)  /**< Ontario */
#define MIVARO_REGION_PEI (1u << 7) /**< Prince Edward Island */
#define MIVARO_REGION_NF (1u << 8)  /**< Newfoundland and Labrador */
#define MIVARO_REGION_QC (1u << 9)  /**< Quebec */
#define MIVARO_REGION_YT (1u << 10) /**< Yukon */
#define MIVARO_REGION_NS (1u << 11) /**< Nova Scotia */
#define MIVARO_REGION_SK (1u << 12) /**< Saskatchewan */
/** @} */

/** How a nine-digit number is written. */
typedef enum mivaro_style {
  MIVARO_STYLE_BARE = 0,   /**< 123456782 */
  MIVARO_STYLE_SPACED = 1, /**< 123 456 782 */
  MIVARO_STYLE_DASHED = 2  /**< 123-456-782 */
} mivaro_style;

/** Everything a check finds out about one entry. */
typedef struct mivaro_result {
  int valid;          /**< 1 when the entry is a valid SIN, else 0 */
  mivaro_error error; /**< MIVARO_OK for a well-formed number, else why not */
  char number[10];    /**< the nine digits, NUL-terminated; empty when malformed */
  char check[10];     /**< the nine weighted check values; empty when malformed */
  int sum;            /**< their sum, 0 to 81; -1 when malformed */
  mivaro_group group; /**< what the first digit stands for; NONE when malformed */
  unsigned regions;   /**< the group's MIVARO_REGION_* bits; 0 for a series or when malformed */
} mivaro_result;

/** The fields of the record of one checked entry, in their order: what
 * mivaro-cli validate writes as JSON and CSV, Python's Result and SQL's
 * sin_check give. */
typedef enum mivaro_record_field {
  MIVARO_RECORD_INPUT = 0,   /**< the entry as given */
  MIVARO_RECORD_NUMBER = 1,  /**< its nine digits; null when malformed */
  MIVARO_RECORD_VALID = 2,   /**< whether it is a valid SIN */
  MIVARO_RECORD_CHECK = 3,   /**< its nine check values; null when malformed */
  MIVARO_RECORD_SUM = 4,     /**< their sum; null when malformed */
  MIVARO_RECORD_GROUP = 5,   /**< the first digit's group name; null when malformed */
  MIVARO_RECORD_REGIONS = 6, /**< the group's region captions, a list */
  MIVARO_RECORD_ERROR = 7    /**< why it is malformed; null when well formed */
} mivaro_record_field;

/** How many fields a record has. */
#define MIVARO_RECORD_FIELDS 8

/** Returns a record field's name ("input", "number", ...), or "" for a value
 * this release does not know. */
MIVARO_EXPORT const char* mivaro_record_field_name(mivaro_record_field field);

/** Returns the library's version, as `mivaro-cli --version` prints it. */
MIVARO_EXPORT const char* mivaro_version(void);

/** Returns 1 when the entry's length bytes are a valid SIN (nine digits,
 * bare or grouped 3-3-3, blanks around ignored), else 0; entry may be NULL
 * only when length is 0. */
MIVARO_EXPORT int mivaro_is_valid(const char* entry, size_t length);

/** Checks the entry's length bytes (no NUL needed), fills result and returns
 * result->valid. */
MIVARO_EXPORT int mivaro_check(const char* entry, size_t length, mivaro_result* result);

/** Returns the words for a reason ("too long", ...), "" for MIVARO_OK and for
 * a value this release does not know. */
MIVARO_EXPORT const char* mivaro_error_text(mivaro_error error);

/** Returns a group's name ("Atlantic", ...), "" for MIVARO_GROUP_NONE and for
 * a value this release does not know. */
MIVARO_EXPORT const char* mivaro_group_name(mivaro_group group);

/** Returns the caption of one region bit ("NB" for MIVARO_REGION_NB), or ""
 * when region is not exactly one known bit. */
MIVARO_EXPORT const char* mivaro_region_caption(unsigned region);

/** Writes why a result is not a valid SIN into buffer (at most size bytes,
 * NUL-terminated): the reason's words, or "check sum 47 is not a multiple of
 * 10"; "" for a valid one. Returns the length of the whole text, which is
 * more than size - 1 when it was cut. */
MIVARO_EXPORT size_t mivaro_reason(const mivaro_result* result, char* buffer, size_t size);

/** Returns a style's name ("bare", "spaced", "dashed"), or "" for a value
 * this release does not know. */
MIVARO_EXPORT const char* mivaro_style_name(mivaro_style style);

/** Reads a style's name (length bytes, no NUL needed) into style and returns
 * 1; or returns 0 and writes why into error (at most size bytes,
 * NUL-terminated). */
MIVARO_EXPORT int mivaro_style_parse(const char* name, size_t length, mivaro_style* style,
                                     char* error, size_t size);

/** Writes nine ASCII digits in a style into out, NUL-terminated; returns 1,
 * or 0 (out untouched) when digits does not start with nine ASCII digits. */
MIVARO_EXPORT int mivaro_format(const char* digits, mivaro_style style, char out[12]);

/** Writes nine ASCII digits in a style with all but the last three as '*'
 * ("*** *** 782") into out, NUL-terminated; returns 1, or 0 (out untouched)
 * when digits does not start with nine ASCII digits. */
MIVARO_EXPORT int mivaro_mask(const char* digits, mivaro_style style, char out[12]);

/** The most numbers one run of a generator gives, in every front end:
 * mivaro-cli generate's --count, Python's and SQL's count. */
#define MIVARO_MOST_GENERATED 100000000

/** What a generator draws. */
typedef struct mivaro_generator_options {
  unsigned regions; /**< MIVARO_REGION_* bits, as --region; 0: none */
  int first_digit;  /**< 0-9 as --first-digit, or -1 for none */
  int zero_to_nine; /**< 1: positions 2-9 drawn from 0-9 (--digits 0-9); 0: 1-9 */
  int unique;       /**< 1: no number twice (--unique) */
  uint64_t seed;    /**< always used: pass a random seed for fresh numbers */
} mivaro_generator_options;

/** A source of valid SINs, each as likely as any other the options allow. */
typedef struct mivaro_generator mivaro_generator;

/** Returns a generator that gives the same numbers as `mivaro-cli generate
 * --seed` for the same options, or NULL for options the CLI refuses (regions
 * and a first digit together, a first digit out of range; see
 * mivaro_generator_refusal) or no memory. */
MIVARO_EXPORT mivaro_generator* mivaro_generator_create(const mivaro_generator_options* options);

/** Writes the next number's nine digits into number, NUL-terminated, and
 * returns 1; returns 0 when a unique generator has given every number. */
MIVARO_EXPORT int mivaro_generator_next(mivaro_generator* generator, char number[10]);

/** Returns how many distinct valid numbers the generator's options allow. */
MIVARO_EXPORT uint64_t mivaro_generator_distinct(const mivaro_generator* generator);

/** Frees a generator; NULL is allowed. */
MIVARO_EXPORT void mivaro_generator_free(mivaro_generator* generator);

/** Writes why mivaro_generator_create refuses options, in mivaro-cli's words,
 * into buffer (at most size bytes, NUL-terminated); returns the length of the
 * whole reason, 0 for options it takes. */
MIVARO_EXPORT size_t mivaro_generator_refusal(const mivaro_generator_options* options, char* buffer,
                                              size_t size);

/** Reads a comma-separated list of region captions ("QC,ON", any case,
 * blanks around allowed; length bytes, no NUL needed) into MIVARO_REGION_*
 * bits and returns 1; or returns 0 and writes why into error (at most size
 * bytes, NUL-terminated). */
MIVARO_EXPORT int mivaro_regions_parse(const char* list, size_t length, unsigned* regions,
                                       char* error, size_t size);

/** How sure a match found in free text is a SIN. */
typedef enum mivaro_confidence {
  MIVARO_CONFIDENCE_LOW = 1,    /**< bare with no keyword near, or a first digit of 8 */
  MIVARO_CONFIDENCE_MEDIUM = 2, /**< grouped 3-3-3, no keyword near */
  MIVARO_CONFIDENCE_HIGH = 3    /**< a keyword within reach, or in a SIN column of a table */
} mivaro_confidence;

/** One SIN found in free text. */
typedef struct mivaro_match {
  uint64_t offset;              /**< where its first digit starts, in bytes from the start */
  size_t length;                /**< bytes from its first digit to its last, inclusive */
  char number[10];              /**< its nine digits, NUL-terminated */
  mivaro_confidence confidence; /**< how sure it is a SIN */
  const char* keyword;          /**< the keyword or column name that made it high, or "" */
} mivaro_match;

/** A place in a text counted in each unit callers index text by: every byte
 * but a UTF-8 continuation byte starts a code point, ill-formed ones too; a
 * character past U+FFFF is two UTF-16 units. */
typedef struct mivaro_text_units {
  uint64_t bytes;       /**< UTF-8 bytes */
  uint64_t code_points; /**< code points, as Python's str and SQL's position() count */
  uint64_t utf16;       /**< UTF-16 units, as JavaScript and Java count */
} mivaro_text_units;

/** A match as a search hands it over: what it is and where it lies. */
typedef struct mivaro_found {
  mivaro_match match;       /**< its digits, confidence, keyword, and offset and length in bytes */
  const char* text;         /**< its match.length bytes as written; valid during the call */
  uint64_t line;            /**< its first digit's line, from 1; 0 when places are not counted */
  mivaro_text_units start;  /**< where its first digit is, from the text's start, from 0 */
  mivaro_text_units end;    /**< one past its last digit */
  mivaro_text_units column; /**< where its first digit is in its line, from 1 */
} mivaro_found;

/** Where a search's matches go: called with each, in order, and the context
 * given. */
typedef void (*mivaro_found_sink)(const mivaro_found* found, void* context);

/** Searches a whole text of length bytes for SINs of at least a confidence
 * and calls sink with each, with its places counted; nothing is copied or
 * kept. Returns the number of matches, or -1 (and reports nothing) for a
 * confidence this release does not know, a NULL text with a length, or no
 * memory. */
MIVARO_EXPORT int64_t mivaro_search(const char* text, size_t length, mivaro_confidence minimum,
                                    mivaro_found_sink sink, void* context);

/** Writes a text of length bytes into out (length bytes, which may be the
 * text itself) with the digits of every SIN of at least a confidence written
 * over with '*': all but the last three, or all nine when all_digits is not
 * 0. Returns the number of SINs redacted, or -1 (out untouched) for a
 * confidence this release does not know, a NULL text or out with a length,
 * or no memory. */
MIVARO_EXPORT int64_t mivaro_redact(const char* text, size_t length, mivaro_confidence minimum,
                                    int all_digits, char* out);

/** Finds SINs in a text fed in pieces of any size. */
typedef struct mivaro_searcher mivaro_searcher;

/** Returns a searcher that reports matches of at least a confidence, with
 * their places counted when places is not 0; or NULL for a confidence this
 * release does not know or no memory. */
MIVARO_EXPORT mivaro_searcher* mivaro_searcher_create(mivaro_confidence minimum, int places);

/** Searches the next length bytes of the text and calls sink for every
 * match settled by now, in order; a number or keyword cut between pieces is
 * found as in the whole text. Returns 1, or 0 (and reports nothing) for a
 * NULL searcher or no memory. */
MIVARO_EXPORT int mivaro_searcher_feed(mivaro_searcher* searcher, const char* text, size_t length,
                                       mivaro_found_sink sink, void* context);

/** Ends the text: calls sink for the matches still open, and makes the
 * searcher ready for a new text. Returns 1, or 0 for a NULL searcher or no
 * memory. */
MIVARO_EXPORT int mivaro_searcher_finish(mivaro_searcher* searcher, mivaro_found_sink sink,
                                         void* context);

/** Searches a whole text of length bytes as mivaro_search does, with a
 * searcher that keeps what it has allocated from text to text, for callers
 * that search many short texts; the searcher must not be in the middle of a
 * text fed in pieces. Returns the number of matches, or -1 (and reports
 * nothing) for a NULL searcher, a NULL text with a length, or no memory. */
MIVARO_EXPORT int64_t mivaro_searcher_search(mivaro_searcher* searcher, const char* text,
                                             size_t length, mivaro_found_sink sink, void* context);

/** Returns how many bytes from the start of the text no match still to come
 * can touch: what a redacting writer may pass on. */
MIVARO_EXPORT uint64_t mivaro_searcher_settled(const mivaro_searcher* searcher);

/** Frees a searcher; NULL is allowed. */
MIVARO_EXPORT void mivaro_searcher_free(mivaro_searcher* searcher);

/** Returns a confidence's name ("low", "medium", "high"), or "" for a value
 * this release does not know. */
MIVARO_EXPORT const char* mivaro_confidence_name(mivaro_confidence confidence);

/** The confidence reports start at unless told otherwise. */
#define MIVARO_DEFAULT_CONFIDENCE MIVARO_CONFIDENCE_MEDIUM

/** Reads a confidence's name (length bytes, no NUL needed) into confidence
 * and returns 1; or returns 0 and writes why into error (at most size bytes,
 * NUL-terminated). */
MIVARO_EXPORT int mivaro_confidence_parse(const char* name, size_t length,
                                          mivaro_confidence* confidence, char* error, size_t size);

/** Writes '*' over the digits of a match's length bytes, given from its
 * offset in the text: all but the last three, or all nine when all_digits
 * is not 0. Separators and other bytes stay as they are. */
MIVARO_EXPORT void mivaro_redact_digits(char* match, size_t length, int all_digits);

/** Where in its file a match lies, as mivaro_search_file says it. */
typedef enum mivaro_place_kind {
  MIVARO_PLACE_LINE = 0,      /**< a text's line and column (the found's own) */
  MIVARO_PLACE_CELL = 1,      /**< a sheet's cell */
  MIVARO_PLACE_PAGE = 2,      /**< a PDF's page */
  MIVARO_PLACE_PARAGRAPH = 3, /**< a document's paragraph */
  MIVARO_PLACE_MAIL_PART = 4  /**< a line of a message's headers or of a text part */
} mivaro_place_kind;

/** A match in a file, with the chain of names to the text it is in and
 * where it lies in the terms of that file; the strings are NUL-terminated
 * and valid during the call. */
typedef struct mivaro_file_found {
  const mivaro_found* found; /**< the match, placed in the innermost text */
  const char* container;     /**< the chain of names from the file given, joined by '!' */
  mivaro_place_kind kind;    /**< which fields below say where */
  const char* sheet;         /**< CELL: the sheet's name; else "" */
  uint64_t row;              /**< CELL: the cell's row, from 1 */
  uint64_t column;           /**< CELL: its column, from 1; MAIL_PART: in its line, from 1 */
  uint64_t page;             /**< PAGE: from 1 */
  uint64_t paragraph;        /**< PARAGRAPH: from 1 */
  uint64_t message;          /**< MAIL_PART: the message, from 1 */
  const char* part;          /**< MAIL_PART: "headers" or the part's number ("1.2"); else "" */
  uint64_t line;             /**< MAIL_PART: the line in the headers or part, from 1 */
  const char* attachment;    /**< MAIL_PART: the attached file's name, if in one; else "" */
} mivaro_file_found;

/** Where mivaro_search_file's matches go, with the context given. */
typedef void (*mivaro_file_sink)(const mivaro_file_found* found, void* context);

/** Opens a file by its contents (compressed files, archives, workbooks,
 * documents, PDFs through pdftotext, mail; plain text as it is) under the
 * default limits, and calls sink with each SIN of at least a confidence.
 * Returns the number of matches, or -1 when the file cannot be opened or
 * the confidence is unknown (error says why, at most size bytes,
 * NUL-terminated); *unread (when not NULL) counts the members that could
 * not be read, whose reasons error holds, one a line, as far as it goes. */
MIVARO_EXPORT int64_t mivaro_search_file(const char* path, mivaro_confidence minimum,
                                         mivaro_file_sink sink, void* context, uint64_t* unread,
                                         char* error, size_t size);

#ifdef __cplusplus
}
#endif

#endif /* MIVARO_MIVARO_H */
