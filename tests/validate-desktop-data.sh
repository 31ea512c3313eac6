#!/bin/sh
# SPDX-License-Identifier: LGPL-2.1-or-later
# Validates the GTK example's desktop file (desktop) or AppStream metainfo
# (metainfo) with the tool a distribution checks it with; skipped (77)
# where that tool is not installed.
set -eu
kind=$1
file=$2
case $kind in
  desktop) tool=desktop-file-validate ;;
  metainfo) tool=appstreamcli ;;
  *) echo "unknown kind: $kind" >&2; exit 2 ;;
esac
command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed"; exit 77; }
if [ "$kind" = desktop ]; then
  # The icon it names is the application's own, installed beside it.
  icon=$(sed -n 's/^Icon=//p' "$file")
  [ -f "$(dirname "$file")/$icon.svg" ] || { echo "no icon $icon.svg for $file" >&2; exit 1; }
  exec desktop-file-validate "$file"
fi
exec appstreamcli validate --no-net "$file"
