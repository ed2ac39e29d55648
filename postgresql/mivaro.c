/* SPDX-License-Identifier: Apache-2.0 */
/* The extension mivaro: the type sin and the SIN functions, on libmivaro's C
 * API. A sin is stored as its nine digits' value in 4 bytes, passed by value,
 * so its comparison and hash are int4's (see mivaro.sql.in). */
#include <postgres.h>

#include <catalog/pg_type.h>
#include <common/pg_prng.h>
#include <fmgr.h>
#include <funcapi.h>
#include <libpq/pqformat.h>
#include <mb/pg_wchar.h>
#include <miscadmin.h>
#include <utils/array.h>
#include <utils/builtins.h>
#include <utils/memutils.h>

#include <mivaro/mivaro.h>

PG_MODULE_MAGIC;

/* How much of an entry an error message quotes, in characters, as
 * mivaro-cli's echo does. */
#define QUOTED_CHARACTERS 100

/* Room for the longest of the library's reasons; a longer one is cut. */
#define REASON_SIZE 64

/* The most numbers sin_generate makes in one call, as mivaro-cli generate. */
#define MOST_GENERATED 100000000

/* The entry as the library reads it: UTF-8. Text in a database of another
 * encoding is converted; in SQL_ASCII its bytes are taken as they are. */
static char* EntryUtf8(const char* entry, int length, int* utf8Length) {
  char* converted = (char*)entry;
  if (GetDatabaseEncoding() != PG_SQL_ASCII && GetDatabaseEncoding() != PG_UTF8) {
    converted = (char*)pg_do_encoding_conversion((unsigned char*)entry, length,
                                                 GetDatabaseEncoding(), PG_UTF8);
  }
  *utf8Length = converted == entry ? length : (int)strlen(converted);
  return converted;
}

static int32 ValueOf(const mivaro_result* result) {
  return (int32)strtol(result->number, NULL, 10);
}

static void DigitsOf(int32 value, char digits[10]) {
  snprintf(digits, 10, "%09d", (int)value);
}

/* Refuses an entry that is not a valid SIN: SQLSTATE 22P02, the entry cut
 * to a hundred characters, and the library's reason. */
static void RefuseEntry(const char* entry, int length, const mivaro_result* result) {
  char reason[REASON_SIZE];
  const int quoted = pg_mbcharcliplen(entry, length, QUOTED_CHARACTERS);
  mivaro_reason(result, reason, sizeof reason);
  ereport(ERROR,
          (errcode(ERRCODE_INVALID_TEXT_REPRESENTATION),
           errmsg("invalid input syntax for type sin: \"%.*s\": %s", quoted, entry, reason)));
}

/* Checks an entry in the database's encoding. */
static void CheckEntry(const char* entry, int length, mivaro_result* result) {
  int utf8Length = 0;
  char* utf8 = EntryUtf8(entry, length, &utf8Length);
  mivaro_check(utf8, (size_t)utf8Length, result);
  if (utf8 != entry) pfree(utf8);
}

static int32 ParseSin(const char* entry, int length) {
  mivaro_result result;
  CheckEntry(entry, length, &result);
  if (!result.valid) RefuseEntry(entry, length, &result);
  return ValueOf(&result);
}

PG_FUNCTION_INFO_V1(sin_in);
Datum sin_in(PG_FUNCTION_ARGS) {
  const char* entry = PG_GETARG_CSTRING(0);
  PG_RETURN_INT32(ParseSin(entry, (int)strlen(entry)));
}

PG_FUNCTION_INFO_V1(sin_out);
Datum sin_out(PG_FUNCTION_ARGS) {
  char* digits = palloc(10);
  DigitsOf(PG_GETARG_INT32(0), digits);
  PG_RETURN_CSTRING(digits);
}

PG_FUNCTION_INFO_V1(sin_recv);
Datum sin_recv(PG_FUNCTION_ARGS) {
  StringInfo buffer = (StringInfo)PG_GETARG_POINTER(0);
  const int32 value = pq_getmsgint(buffer, 4);
  char digits[10];
  if (value < 0 || value > 999999999) {
    ereport(ERROR, (errcode(ERRCODE_INVALID_BINARY_REPRESENTATION),
                    errmsg("invalid binary sin: %d is not nine digits", (int)value)));
  }
  DigitsOf(value, digits);
  if (!mivaro_is_valid(digits, 9)) {
    ereport(ERROR, (errcode(ERRCODE_INVALID_BINARY_REPRESENTATION),
                    errmsg("invalid binary sin: %s is not a valid SIN", digits)));
  }
  PG_RETURN_INT32(value);
}

PG_FUNCTION_INFO_V1(sin_send);
Datum sin_send(PG_FUNCTION_ARGS) {
  StringInfoData buffer;
  pq_begintypsend(&buffer);
  pq_sendint32(&buffer, PG_GETARG_INT32(0));
  PG_RETURN_BYTEA_P(pq_endtypsend(&buffer));
}

PG_FUNCTION_INFO_V1(sin_is_valid);
Datum sin_is_valid(PG_FUNCTION_ARGS) {
  text* entry = PG_GETARG_TEXT_PP(0);
  const char* bytes = VARDATA_ANY(entry);
  const int length = VARSIZE_ANY_EXHDR(entry);
  bool valid = false;
  if (GetDatabaseEncoding() == PG_SQL_ASCII || GetDatabaseEncoding() == PG_UTF8) {
    valid = mivaro_is_valid(bytes, (size_t)length) != 0;
  } else {
    /* A conversion that fails is no valid SIN: this function never raises. */
    MemoryContext context = CurrentMemoryContext;
    PG_TRY();
    {
      mivaro_result result;
      CheckEntry(bytes, length, &result);
      valid = result.valid != 0;
    }
    PG_CATCH();
    {
      MemoryContextSwitchTo(context);
      FlushErrorState();
      valid = false;
    }
    PG_END_TRY();
  }
  PG_RETURN_BOOL(valid);
}

/* The captions of a set of region bits, as a text[] in box order. */
static ArrayType* RegionArray(unsigned regions) {
  Datum captions[13];
  int count = 0;
  for (unsigned bit = MIVARO_REGION_AB; bit <= MIVARO_REGION_SK; bit <<= 1) {
    if ((regions & bit) != 0) captions[count++] = CStringGetTextDatum(mivaro_region_caption(bit));
  }
  return construct_array(captions, count, TEXTOID, -1, false, TYPALIGN_INT);
}

static void CheckValue(int32 value, mivaro_result* result) {
  char digits[10];
  DigitsOf(value, digits);
  mivaro_check(digits, 9, result);
}

PG_FUNCTION_INFO_V1(sin_check);
Datum sin_check(PG_FUNCTION_ARGS) {
  text* entry = PG_GETARG_TEXT_PP(0);
  const char* bytes = VARDATA_ANY(entry);
  const int length = VARSIZE_ANY_EXHDR(entry);
  TupleDesc description;
  Datum values[8];
  bool nulls[8] = {false, false, false, false, false, false, false, false};
  mivaro_result result;
  bool formed;

  if (get_call_result_type(fcinfo, NULL, &description) != TYPEFUNC_COMPOSITE) {
    ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
                    errmsg("sin_check must return its composite type")));
  }
  description = BlessTupleDesc(description);
  CheckEntry(bytes, length, &result);
  formed = result.error == MIVARO_OK;

  values[0] = PointerGetDatum(entry);
  values[1] = formed ? CStringGetTextDatum(result.number) : (Datum)0;
  values[2] = BoolGetDatum(result.valid != 0);
  values[3] = formed ? CStringGetTextDatum(result.check) : (Datum)0;
  values[4] = Int32GetDatum(result.sum);
  values[5] = formed ? CStringGetTextDatum(mivaro_group_name(result.group)) : (Datum)0;
  values[6] = PointerGetDatum(RegionArray(result.regions));
  values[7] = formed ? (Datum)0 : CStringGetTextDatum(mivaro_error_text(result.error));
  nulls[1] = nulls[3] = nulls[4] = nulls[5] = !formed;
  nulls[7] = formed;
  PG_RETURN_DATUM(HeapTupleGetDatum(heap_form_tuple(description, values, nulls)));
}

PG_FUNCTION_INFO_V1(sin_reason);
Datum sin_reason(PG_FUNCTION_ARGS) {
  text* entry = PG_GETARG_TEXT_PP(0);
  mivaro_result result;
  char reason[REASON_SIZE];
  CheckEntry(VARDATA_ANY(entry), VARSIZE_ANY_EXHDR(entry), &result);
  if (result.valid) PG_RETURN_NULL();
  mivaro_reason(&result, reason, sizeof reason);
  PG_RETURN_TEXT_P(cstring_to_text(reason));
}

PG_FUNCTION_INFO_V1(sin_group);
Datum sin_group(PG_FUNCTION_ARGS) {
  mivaro_result result;
  CheckValue(PG_GETARG_INT32(0), &result);
  PG_RETURN_TEXT_P(cstring_to_text(mivaro_group_name(result.group)));
}

PG_FUNCTION_INFO_V1(sin_regions);
Datum sin_regions(PG_FUNCTION_ARGS) {
  mivaro_result result;
  CheckValue(PG_GETARG_INT32(0), &result);
  PG_RETURN_ARRAYTYPE_P(RegionArray(result.regions));
}

/* Reads a style's name as generate's --format takes it. */
static mivaro_style StyleNamed(const text* name) {
  const char* style = text_to_cstring(name);
  if (strcmp(style, "bare") == 0) return MIVARO_STYLE_BARE;
  if (strcmp(style, "spaced") == 0) return MIVARO_STYLE_SPACED;
  if (strcmp(style, "dashed") == 0) return MIVARO_STYLE_DASHED;
  ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                  errmsg("unknown style \"%s\" (expected bare, spaced or dashed)", style)));
  return MIVARO_STYLE_BARE; /* not reached */
}

PG_FUNCTION_INFO_V1(sin_format);
Datum sin_format(PG_FUNCTION_ARGS) {
  char digits[10];
  char shown[12];
  DigitsOf(PG_GETARG_INT32(0), digits);
  mivaro_format(digits, StyleNamed(PG_GETARG_TEXT_PP(1)), shown);
  PG_RETURN_TEXT_P(cstring_to_text(shown));
}

PG_FUNCTION_INFO_V1(sin_mask);
Datum sin_mask(PG_FUNCTION_ARGS) {
  char digits[10];
  char shown[12];
  DigitsOf(PG_GETARG_INT32(0), digits);
  mivaro_mask(digits, MIVARO_STYLE_SPACED, shown);
  PG_RETURN_TEXT_P(cstring_to_text(shown));
}

static void RefuseOption(const char* why) {
  ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("%s", why)));
}

/* Frees the generator when its set-returning call's memory goes, whether the
 * call ran to its end, was cut short by LIMIT or failed. */
static void FreeGenerator(void* generator) {
  mivaro_generator_free((mivaro_generator*)generator);
}

static mivaro_generator* StartGenerator(FunctionCallInfo fcinfo, MemoryContext context) {
  mivaro_generator_options options = {0, -1, 0, 0, 0};
  char why[128];
  mivaro_generator* generator;
  MemoryContextCallback* callback;

  if (!PG_ARGISNULL(1)) {
    const text* regions = PG_GETARG_TEXT_PP(1);
    if (!mivaro_regions_parse(VARDATA_ANY(regions), VARSIZE_ANY_EXHDR(regions), &options.regions,
                              why, sizeof why)) {
      RefuseOption(why);
    }
  }
  if (!PG_ARGISNULL(2)) {
    options.first_digit = PG_GETARG_INT32(2);
    /* The C API reads -1 as no first digit; here that is NULL, and -1 is as
     * far out of range as 10, which the library refuses in these words. */
    if (options.first_digit == -1) RefuseOption("first digit -1 is out of range (expected 0 to 9)");
  }
  if (PG_ARGISNULL(3)) {
    if (!pg_strong_random(&options.seed, sizeof options.seed)) {
      options.seed = pg_prng_uint64(&pg_global_prng_state);
    }
  } else {
    options.seed = (uint64)PG_GETARG_INT64(3);
  }
  if (mivaro_generator_refusal(&options, why, sizeof why) != 0) RefuseOption(why);
  generator = mivaro_generator_create(&options);
  if (generator == NULL) {
    ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
  }
  callback = MemoryContextAlloc(context, sizeof *callback);
  callback->func = FreeGenerator;
  callback->arg = generator;
  MemoryContextRegisterResetCallback(context, callback);
  return generator;
}

PG_FUNCTION_INFO_V1(sin_generate);
Datum sin_generate(PG_FUNCTION_ARGS) {
  FuncCallContext* call;
  char number[10];

  if (SRF_IS_FIRSTCALL()) {
    int32 count;
    call = SRF_FIRSTCALL_INIT();
    if (PG_ARGISNULL(0)) {
      ereport(ERROR, (errcode(ERRCODE_NULL_VALUE_NOT_ALLOWED), errmsg("count must not be null")));
    }
    count = PG_GETARG_INT32(0);
    if (count < 0 || count > MOST_GENERATED) {
      ereport(ERROR,
              (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
               errmsg("count %d is out of range (expected 0 to %d)", (int)count, MOST_GENERATED)));
    }
    call->max_calls = (uint64)count;
    call->user_fctx = StartGenerator(fcinfo, call->multi_call_memory_ctx);
  }
  call = SRF_PERCALL_SETUP();
  CHECK_FOR_INTERRUPTS();
  if (call->call_cntr < call->max_calls &&
      mivaro_generator_next((mivaro_generator*)call->user_fctx, number)) {
    SRF_RETURN_NEXT(call, Int32GetDatum((int32)strtol(number, NULL, 10)));
  }
  SRF_RETURN_DONE(call);
}

/* The matches a scan found, in order, in memory of the current context. */
typedef struct Found {
  mivaro_match* items;
  int count;
  int room;
} Found;

static void KeepMatch(const mivaro_match* match, void* context) {
  Found* found = (Found*)context;
  if (found->count == found->room) {
    found->room = found->room == 0 ? 16 : found->room * 2;
    /* Huge allocations: a text of a gigabyte may hold millions of SINs. */
    found->items =
        found->items == NULL
            ? MemoryContextAllocHuge(CurrentMemoryContext, sizeof(mivaro_match) * found->room)
            : repalloc_huge(found->items, sizeof(mivaro_match) * found->room);
  }
  found->items[found->count++] = *match;
}

/* Reads a least confidence by name, as mivaro-cli's --min-confidence. */
static mivaro_confidence ConfidenceNamed(const text* name) {
  const char* wanted = text_to_cstring(name);
  for (int confidence = MIVARO_CONFIDENCE_LOW; confidence <= MIVARO_CONFIDENCE_HIGH; ++confidence) {
    if (strcmp(wanted, mivaro_confidence_name((mivaro_confidence)confidence)) == 0) {
      return (mivaro_confidence)confidence;
    }
  }
  ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                  errmsg("unknown confidence \"%s\" (expected low, medium or high)", wanted)));
  return MIVARO_CONFIDENCE_HIGH; /* not reached */
}

/* Scans a text, in UTF-8 (converted from the database's encoding when that
 * is another; in SQL_ASCII its bytes as they are). */
static Found FindIn(const char* utf8, int length, mivaro_confidence minimum) {
  Found found = {NULL, 0, 0};
  mivaro_scanner* scanner = mivaro_scanner_create(minimum);
  if (scanner == NULL) ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
  if (!mivaro_scanner_feed(scanner, utf8, (size_t)length, KeepMatch, &found) ||
      !mivaro_scanner_finish(scanner, KeepMatch, &found)) {
    mivaro_scanner_free(scanner);
    ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
  }
  mivaro_scanner_free(scanner);
  return found;
}

/* Counts characters in UTF-8 bytes as position() counts them: in SQL_ASCII
 * each byte is one. */
static int CharactersIn(const char* bytes, size_t length) {
  int count = 0;
  if (GetDatabaseEncoding() == PG_SQL_ASCII) return (int)length;
  for (size_t at = 0; at < length; ++at) count += ((unsigned char)bytes[at] & 0xC0) != 0x80;
  return count;
}

PG_FUNCTION_INFO_V1(sin_find);
Datum sin_find(PG_FUNCTION_ARGS) {
  text* body = PG_GETARG_TEXT_PP(0);
  const mivaro_confidence minimum = ConfidenceNamed(PG_GETARG_TEXT_PP(1));
  ReturnSetInfo* result = (ReturnSetInfo*)fcinfo->resultinfo;
  int utf8Length = 0;
  char* utf8 = EntryUtf8(VARDATA_ANY(body), VARSIZE_ANY_EXHDR(body), &utf8Length);
  const Found found = FindIn(utf8, utf8Length, minimum);
  int start = 1;
  uint64 counted = 0; /* bytes before start */

  InitMaterializedSRF(fcinfo, 0);
  for (int i = 0; i < found.count; ++i) {
    const mivaro_match* match = &found.items[i];
    Datum values[4];
    bool nulls[4] = {false, false, false, false};
    start += CharactersIn(utf8 + counted, match->offset - counted);
    counted = match->offset;
    values[0] = Int32GetDatum(start);
    values[1] = Int32GetDatum(CharactersIn(utf8 + match->offset, match->length));
    values[2] = Int32GetDatum((int32)strtol(match->number, NULL, 10));
    values[3] = CStringGetTextDatum(mivaro_confidence_name(match->confidence));
    tuplestore_putvalues(result->setResult, result->setDesc, values, nulls);
  }
  PG_RETURN_NULL();
}

PG_FUNCTION_INFO_V1(sin_redact);
Datum sin_redact(PG_FUNCTION_ARGS) {
  text* body = PG_GETARG_TEXT_PP(0);
  const mivaro_confidence minimum = ConfidenceNamed(PG_GETARG_TEXT_PP(1));
  const bool allDigits = PG_GETARG_BOOL(2);
  const int length = VARSIZE_ANY_EXHDR(body);
  text* redacted = (text*)palloc(VARHDRSZ + length);
  int utf8Length = 0;
  char* utf8 = EntryUtf8(VARDATA_ANY(body), length, &utf8Length);
  const Found found = FindIn(utf8, utf8Length, minimum);

  SET_VARSIZE(redacted, VARHDRSZ + length);
  memcpy(VARDATA(redacted), VARDATA_ANY(body), length);
  if (utf8 == VARDATA_ANY(body)) {
    for (int i = 0; i < found.count; ++i) {
      mivaro_redact_digits(VARDATA(redacted) + found.items[i].offset, found.items[i].length,
                           allDigits);
    }
  } else {
    /* Converted: redact the UTF-8 copy, then write '*' over the same
     * characters of the text itself. Digits are one byte in every server
     * encoding, so the text keeps its length. */
    char* copy = pnstrdup(utf8, utf8Length);
    char* at = VARDATA(redacted);
    for (int i = 0; i < found.count; ++i) {
      mivaro_redact_digits(copy + found.items[i].offset, found.items[i].length, allDigits);
    }
    for (int byte = 0; byte < utf8Length; ++byte) {
      if (((unsigned char)utf8[byte] & 0xC0) == 0x80) continue; /* one character each lead */
      if (copy[byte] != utf8[byte]) *at = '*';
      at += pg_mblen(at);
    }
  }
  PG_RETURN_TEXT_P(redacted);
}
