/* SPDX-License-Identifier: Apache-2.0 */
/* Checks the SINs given as arguments with libmivaro's C API. Build it with
 *   cc check.c $(pkg-config --cflags --libs mivaro) -o check */
#include <mivaro/mivaro.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    mivaro_result result;
    char reason[64];
    mivaro_check(argv[i], strlen(argv[i]), &result);
    mivaro_reason(&result, reason, sizeof reason);
    printf("%s: %s\n", argv[i], result.valid ? mivaro_group_name(result.group) : reason);
  }
  return 0;
}
