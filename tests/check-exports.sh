#!/bin/sh
# SPDX-License-Identifier: LGPL-2.1-or-later
# The shared library exports exactly the symbols listed in the expected list,
# no more (no mangled C++ symbol, no helper) and no fewer (a declaration that
# lost its export annotation), and none carries a version node of the
# library's own. Takes the path of the library and of the expected list.
set -eu
library=$1
expected=$2

actual=$(nm -D --defined-only "$library" | awk '$2 ~ /[TDBRVWi]/ { print $3 }' | sort)
[ -n "$actual" ] || { echo "no symbols read from $library"; exit 1; }

versioned=$(printf '%s\n' "$actual" | grep '@' || true)
if [ -n "$versioned" ]; then
  echo "exported with a version node:"; printf '%s\n' "$versioned"; exit 1
fi
if readelf -V "$library" | grep -q 'Version definition'; then
  echo "$library defines a symbol version of its own:"; readelf -V "$library"; exit 1
fi

if ! differences=$(printf '%s\n' "$actual" | diff -u "$expected" - ); then
  echo "exported symbols differ from $expected (- missing, + unexpected):"
  printf '%s\n' "$differences" | tail -n +3 | grep '^[-+]'
  exit 1
fi
echo "$(printf '%s\n' "$actual" | wc -l) symbols, exactly the expected list"
