/* SPDX-License-Identifier: Apache-2.0 */
/* The floor for mivaro-cli validate: the least a program can do that reads
 * entries a line at a time, checks each with the library and writes one text
 * record per line (the entry, the number, the verdict, the check values, the
 * sum and the group). bench/cli.py times it beside validate on the same file.
 * Usage: minimal_validate < entries > records */
#include <mivaro/mivaro.h>
#include <stdio.h>
#include <string.h>

static char out[1 << 16];
static size_t used;

static void put(const char* text, size_t length) {
  if (used + length > sizeof out) {
    fwrite(out, 1, used, stdout);
    used = 0;
  }
  memcpy(out + used, text, length);
  used += length;
}

static void record(const char* line, size_t length) {
  mivaro_result result;
  mivaro_check(line, length, &result);
  put(line, length);
  put(" ", 1);
  if (result.error != MIVARO_OK) {
    const char* why = mivaro_error_text(result.error);
    put("- malformed ", 12);
    put(why, strlen(why));
  } else {
    char sum[4] = {' ', (char)('0' + result.sum / 10), (char)('0' + result.sum % 10), ' '};
    const char* group = mivaro_group_name(result.group);
    put(result.number, 9);
    put(result.valid ? " valid " : " invalid ", result.valid ? 7 : 9);
    put(result.check, 9);
    put(sum, sizeof sum);
    put(group, strlen(group));
  }
  put("\n", 1);
}

/* Reads 64 KiB blocks and checks the lines where they lie; a line that runs
 * past a block is moved to the front first. Lines longer than a block are
 * cut, which the benchmark's entries never are. */
int main(void) {
  static char in[1 << 16];
  size_t kept = 0;
  size_t got;
  while ((got = fread(in + kept, 1, sizeof in - kept, stdin)) > 0) {
    const char* at = in;
    const char* end = in + kept + got;
    const char* newline;
    while ((newline = memchr(at, '\n', (size_t)(end - at))) != NULL) {
      record(at, (size_t)(newline - at));
      at = newline + 1;
    }
    kept = (size_t)(end - at);
    if (kept == sizeof in) kept = 0;
    memmove(in, at, kept);
  }
  if (kept > 0) record(in, kept);
  fwrite(out, 1, used, stdout);
  return 0;
}
