#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the library from the build tree under a fresh prefix, then builds
# the examples against the installed files alone, as programs outside
# this tree would: the C one with pkg-config, the C++ one with
# find_package(Mivaro). Runs them and checks what they print.
# Usage: installed_consumers.sh BUILD-DIRECTORY SOURCE-DIRECTORY [PREFIX]
# With PREFIX (such as /usr, after the packages are installed) it builds
# against that tree instead of installing one.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

prefix=${3:-}
if [[ -z $prefix ]]; then
  prefix=$work/prefix
  for component in libmivaro2 libmivaro-dev; do
    cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
  done
  export LD_LIBRARY_PATH=$(dirname "$(find "$prefix" -name 'libmivaro.so.2' | head -n 1)")
fi

pc_dir=$(dirname "$(find "$prefix" -name mivaro.pc | head -n 1)")
cc -std=c99 -Wall -Wextra -Werror "$source/examples/c/check.c" \
  $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs mivaro) -o "$work/check-c"
cmake -S "$source/examples/cpp" -B "$work/cpp" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cpp" >/dev/null

expect() {
  local got
  got=$("$@")
  if [[ $got != "$expected" ]]; then
    printf 'installed_consumers: %s printed:\n%s\ninstead of:\n%s\n' "$1" "$got" "$expected" >&2
    exit 1
  fi
}
expected=$'046 454 286: ForeignTax\n123456789: check sum 47 is not a multiple of 10'
expect "$work/check-c" "046 454 286" 123456789
expected=$'046 454 286: *** *** 286\n12345: not nine digits'
expect "$work/cpp/check" "046 454 286" 12345
expected=$'Ticket 7: SIN *** *** 286, phone 613-555-0199'
expect "$work/cpp/redact" < <(echo 'Ticket 7: SIN 046 454 286, phone 613-555-0199')
echo "installed_consumers: the C and C++ examples built against $prefix and ran"
