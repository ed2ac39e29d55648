/* SPDX-License-Identifier: Apache-2.0 */
/* Writes the extension's SQL script from its template, filling in what the
 * library decides: the columns of sin_check_result, which are the library's
 * record fields in their order (their SQL types are this extension's
 * translation), and the least confidence sin_find and sin_redact report by
 * default. Usage: sql_script TEMPLATE OUTPUT VERSION */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mivaro/mivaro.h>

/* Each record field's SQL type, by the field's place. */
static const char* const kColumnTypes[MIVARO_RECORD_FIELDS] = {
    "text", "text", "boolean", "text", "integer", "text", "text[]", "text",
};

/* Writes text with each placeholder replaced by its value. */
static void Fill(FILE* out, const char* text, const char* const names[], const char* const values[],
                 int count) {
  while (*text != '\0') {
    int matched = -1;
    for (int i = 0; i < count && matched < 0; ++i) {
      if (strncmp(text, names[i], strlen(names[i])) == 0) matched = i;
    }
    if (matched < 0) {
      fputc(*text++, out);
      continue;
    }
    fputs(values[matched], out);
    text += strlen(names[matched]);
  }
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: sql_script TEMPLATE OUTPUT VERSION\n");
    return 2;
  }
  FILE* in = fopen(argv[1], "rb");
  if (in == NULL) return 1;
  static char text[1 << 16];
  const size_t size = fread(text, 1, sizeof text - 1, in);
  fclose(in);
  text[size] = '\0';

  /* The columns, each name quoted: check and group are words of SQL. */
  static char columns[1024];
  for (int field = 0; field < MIVARO_RECORD_FIELDS; ++field) {
    char column[128];
    snprintf(column, sizeof column, "%s  \"%s\" %s", field == 0 ? "" : ",\n",
             mivaro_record_field_name((mivaro_record_field)field), kColumnTypes[field]);
    strncat(columns, column, sizeof columns - strlen(columns) - 1);
  }
  const char* const names[] = {"@RECORD_COLUMNS@", "@DEFAULT_CONFIDENCE@", "@PROJECT_VERSION@"};
  const char* const values[] = {columns, mivaro_confidence_name(MIVARO_DEFAULT_CONFIDENCE),
                                argv[3]};
  FILE* out = fopen(argv[2], "wb");
  if (out == NULL) return 1;
  Fill(out, text, names, values, 3);
  return fclose(out) == 0 ? 0 : 1;
}
