# SPDX-License-Identifier: Apache-2.0
# Compares the dynamic symbols a shared library defines with a committed
# list, demangled, one a line. Usage:
#   cmake -DLIBRARY=libmivaro.so.2 -DEXPECTED=exported_symbols.txt -P check_exports.cmake
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} --dynamic --defined-only --demangle ${LIBRARY}
  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
  # "0000000000001234 T mivaro_check": the address, the kind, the name.
  if(line MATCHES "^[0-9a-f]+ [A-Za-z] (.+)$")
    set(name "${CMAKE_MATCH_1}")
    if(NOT name MATCHES "^LIBMIVARO_")  # the version node itself
      list(APPEND exported "${name}")
    endif()
  endif()
endforeach()
list(SORT exported)
list(REMOVE_DUPLICATES exported)
string(REPLACE ";" "\n" found "${exported}")
file(READ ${EXPECTED} expected)
string(REGEX REPLACE "#[^\n]*\n" "" expected "${expected}")
string(STRIP "${expected}" expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "The library exports:\n${found}\n\nThe committed list (${EXPECTED}) says:\n${expected}")
endif()
list(LENGTH exported count)
message(STATUS "${count} exported symbols, as listed")
