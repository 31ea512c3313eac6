#!/bin/sh
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs a GTK test program on a virtual X display with a session bus of its
# own; skips (exit 77, as meson counts it) where the tools are missing.
for tool in dbus-run-session xvfb-run xauth; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "gtk-display: $tool is missing (tools/install-deps gtk): skipped"
    exit 77
  fi
done
export GDK_BACKEND=x11 GTK_A11Y=none NO_AT_BRIDGE=1
# VONTLE_TEST_WRAPPER (e.g. valgrind and its options) runs the program
# itself, not the display's tools.
# shellcheck disable=SC2086
exec dbus-run-session -- xvfb-run -a -s '-screen 0 1280x1024x24' ${VONTLE_TEST_WRAPPER:-} "$@"
