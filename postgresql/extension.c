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
  Datum values[MIVARO_RECORD_FIELDS];
  bool nulls[MIVARO_RECORD_FIELDS] = {false};
  mivaro_result result;
  bool formed;

  if (get_call_result_type(fcinfo, NULL, &description) != TYPEFUNC_COMPOSITE) {
    ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
                    errmsg("sin_check must return its composite type")));
  }
  description = BlessTupleDesc(description);
  CheckEntry(bytes, length, &result);
  formed = result.error == MIVARO_OK;

  /* In the order of the library's record, as sin_check_result's columns. */
  values[MIVARO_RECORD_INPUT] = PointerGetDatum(entry);
  values[MIVARO_RECORD_NUMBER] = formed ? CStringGetTextDatum(result.number) : (Datum)0;
  values[MIVARO_RECORD_VALID] = BoolGetDatum(result.valid != 0);
  values[MIVARO_RECORD_CHECK] = formed ? CStringGetTextDatum(result.check) : (Datum)0;
  values[MIVARO_RECORD_SUM] = Int32GetDatum(result.sum);
  values[MIVARO_RECORD_GROUP] =
      formed ? CStringGetTextDatum(mivaro_group_name(result.group)) : (Datum)0;
  values[MIVARO_RECORD_REGIONS] = PointerGetDatum(RegionArray(result.regions));
  values[MIVARO_RECORD_ERROR] =
      formed ? (Datum)0 : CStringGetTextDatum(mivaro_error_text(result.error));
  nulls[MIVARO_RECORD_NUMBER] = nulls[MIVARO_RECORD_CHECK] = nulls[MIVARO_RECORD_SUM] =
      nulls[MIVARO_RECORD_GROUP] = !formed;
  nulls[MIVARO_RECORD_ERROR] = formed;
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

/* Reads a style's name, refused in the library's words. */
static mivaro_style StyleNamed(const text* name) {
  mivaro_style style = MIVARO_STYLE_BARE;
  char why[REASON_SIZE];
  if (!mivaro_style_parse(VARDATA_ANY(name), VARSIZE_ANY_EXHDR(name), &style, why, sizeof why)) {
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("%s", why)));
  }
  return style;
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
    if (count < 0 || count > MIVARO_MOST_GENERATED) {
      ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                      errmsg("count %d is out of range (expected 0 to %d)", (int)count,
                             MIVARO_MOST_GENERATED)));
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

/* Reads a least confidence by name, refused in the library's words. */
static mivaro_confidence ConfidenceNamed(const text* name) {
  mivaro_confidence confidence = MIVARO_DEFAULT_CONFIDENCE;
  char why[REASON_SIZE];
  if (!mivaro_confidence_parse(VARDATA_ANY(name), VARSIZE_ANY_EXHDR(name), &confidence, why,
                               sizeof why)) {
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("%s", why)));
  }
  return confidence;
}

/* One searcher per least confidence for the life of the backend, kept with
 * what it has allocated: a column is searched a row at a time. */
static mivaro_searcher* SearcherFor(mivaro_confidence minimum) {
  static mivaro_searcher* searchers[MIVARO_CONFIDENCE_HIGH + 1];
  if (searchers[minimum] == NULL) searchers[minimum] = mivaro_searcher_create(minimum, 1);
  if (searchers[minimum] == NULL) {
    ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
  }
  return searchers[minimum];
}

/* What sin_find keeps of a match until its row is made. */
typedef struct Place {
  int32 start; /* counted from 1, as position() counts */
  int32 length;
  int32 sin;
  mivaro_confidence confidence;
} Place;

/* The places a search found. The library calls PutPlace from C++, where an
 * error must not jump out: memory is asked for without raising, and a
 * failure is raised once the search is over. */
typedef struct Places {
  Place* items;
  int count;
  int room;
  bool failed;
  Place first[8]; /* room enough for most texts, with no allocation */
} Places;

static int32 ValueOfDigits(const char digits[10]) {
  int32 value = 0;
  for (int i = 0; i < 9; ++i) value = value * 10 + (digits[i] - '0');
  return value;
}

static void PutPlace(const mivaro_found* found, void* given) {
  Places* places = (Places*)given;
  /* In SQL_ASCII, where every byte is a character, places are in bytes. */
  const bool bytes = GetDatabaseEncoding() == PG_SQL_ASCII;
  Place* place;
  if (places->failed) return;
  if (places->count == places->room) {
    const int room = places->room * 2;
    Place* grown = MemoryContextAllocExtended(CurrentMemoryContext, sizeof(Place) * room,
                                              MCXT_ALLOC_HUGE | MCXT_ALLOC_NO_OOM);
    if (grown == NULL) {
      places->failed = true;
      return;
    }
    memcpy(grown, places->items, sizeof(Place) * places->count);
    places->items = grown;
    places->room = room;
  }
  place = &places->items[places->count++];
  place->start = (int32)(bytes ? found->start.bytes : found->start.code_points) + 1;
  place->length = (int32)(bytes ? found->end.bytes - found->start.bytes
                                : found->end.code_points - found->start.code_points);
  place->sin = ValueOfDigits(found->match.number);
  place->confidence = found->match.confidence;
}

PG_FUNCTION_INFO_V1(sin_find);
Datum sin_find(PG_FUNCTION_ARGS) {
  text* body = PG_GETARG_TEXT_PP(0);
  const mivaro_confidence minimum = ConfidenceNamed(PG_GETARG_TEXT_PP(1));
  ReturnSetInfo* result = (ReturnSetInfo*)fcinfo->resultinfo;
  int utf8Length = 0;
  char* utf8 = EntryUtf8(VARDATA_ANY(body), VARSIZE_ANY_EXHDR(body), &utf8Length);
  Places places;

  places.items = places.first;
  places.count = 0;
  places.room = lengthof(places.first);
  places.failed = false;
  if (mivaro_searcher_search(SearcherFor(minimum), utf8, (size_t)utf8Length, PutPlace, &places) <
          0 ||
      places.failed) {
    ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
  }
  if (places.count == 0) {
    /* An empty set needs no store of rows: the executor makes its own. */
    if (result == NULL || !IsA(result, ReturnSetInfo) ||
        (result->allowedModes & SFRM_Materialize) == 0) {
      ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
                      errmsg("sin_find must be called where a set is accepted")));
    }
    result->returnMode = SFRM_Materialize;
    PG_RETURN_NULL();
  }
  /* The row type the call expects, as it is: looking it up again in the
   * catalogue would cost more than the search, row after row. */
  InitMaterializedSRF(fcinfo, MAT_SRF_USE_EXPECTED_DESC);
  for (int i = 0; i < places.count; ++i) {
    const Place* place = &places.items[i];
    Datum values[4];
    bool nulls[4] = {false, false, false, false};
    values[0] = Int32GetDatum(place->start);
    values[1] = Int32GetDatum(place->length);
    values[2] = Int32GetDatum(place->sin);
    values[3] = CStringGetTextDatum(mivaro_confidence_name(place->confidence));
    tuplestore_putvalues(result->setResult, result->setDesc, values, nulls);
  }
  PG_RETURN_NULL();
}

PG_FUNCTION_INFO_V1(sin_redact);
Datum sin_redact(PG_FUNCTION_ARGS) {
  text* body = PG_GETARG_TEXT_PP(0);
  const mivaro_confidence minimum = ConfidenceNamed(PG_GETARG_TEXT_PP(1));
  const int allDigits = PG_GETARG_BOOL(2) ? 1 : 0;
  const int length = VARSIZE_ANY_EXHDR(body);
  text* redacted = (text*)palloc(VARHDRSZ + length);
  int utf8Length = 0;
  char* utf8 = EntryUtf8(VARDATA_ANY(body), length, &utf8Length);

  SET_VARSIZE(redacted, VARHDRSZ + length);
  if (utf8 == VARDATA_ANY(body)) {
    if (mivaro_redact(utf8, (size_t)length, minimum, allDigits, VARDATA(redacted)) < 0) {
      ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
    }
  } else {
    /* Converted: redact the UTF-8 copy, then write '*' over the same
     * characters of the text itself. Digits are one byte in every server
     * encoding, so the text keeps its length. */
    char* copy = palloc(utf8Length > 0 ? utf8Length : 1);
    char* at = VARDATA(redacted);
    if (mivaro_redact(utf8, (size_t)utf8Length, minimum, allDigits, copy) < 0) {
      ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
    }
    memcpy(VARDATA(redacted), VARDATA_ANY(body), length);
    for (int byte = 0; byte < utf8Length; ++byte) {
      if (((unsigned char)utf8[byte] & 0xC0) == 0x80) continue; /* one character each lead */
      if (copy[byte] != utf8[byte]) *at = '*';
      at += pg_mblen(at);
    }
  }
  PG_RETURN_TEXT_P(redacted);
}
