# SPDX-License-Identifier: Apache-2.0
# Runs lupdate over SOURCES into a copy of TS_FILE and fails when the copy has
# an entry without a finished translation: a new or changed text that the
# .ts file does not translate yet. Writes STAMP when every text is translated.
string(REPLACE "|" ";" SOURCES "${SOURCES}")
string(REPLACE "|" ";" OPTIONS "${OPTIONS}")
get_filename_component(name ${TS_FILE} NAME)
set(copy ${WORK_DIR}/check-${name})
file(COPY_FILE ${TS_FILE} ${copy})
execute_process(
  COMMAND ${LUPDATE} ${OPTIONS} ${SOURCES} -ts ${copy}
  RESULT_VARIABLE status
  OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed on ${name}")
endif()
file(READ ${copy} ts)
string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"unfinished\"" unfinished "${ts}")
if(unfinished)
  string(REGEX REPLACE "<translation type=\"unfinished\"" "" unfinished "${unfinished}")
  string(REPLACE ";" "\n  " unfinished "${unfinished}")
  message(FATAL_ERROR "${name} has no finished translation for:\n  ${unfinished}\n"
    "Translate them in ${TS_FILE} (cmake --build build --target update_translations adds new texts).")
endif()
file(TOUCH ${STAMP})
