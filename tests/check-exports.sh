#!/bin/sh
# The shared library exports the vontle_* C API and nothing else: no mangled
# C++ symbol, no helper. Takes the path of the library.
set -eu
symbols=$(nm -D --defined-only "$1" | awk '$2 ~ /[TDBRVWi]/ { print $3 }' | sed 's/@.*//')
[ -n "$symbols" ] || { echo "no symbols read from $1"; exit 1; }
stray=$(printf '%s\n' "$symbols" | grep -v -E '^vontle_[a-z0-9_]+$' || true)
if [ -n "$stray" ]; then
  echo "exported outside the API:"; printf '%s\n' "$stray"; exit 1
fi
echo "$(printf '%s\n' "$symbols" | wc -l) symbols, all vontle_*"
