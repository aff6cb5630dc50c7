#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs compare_with_mpv.py on a virtual display with a window manager and a private session bus.
# usage: compare_with_mpv.sh PLAYER SCREEN_PROBE [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/orvel-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" dbus-run-session -- bash -c \
  'openbox >/dev/null 2>&1 & sleep 0.5; python3 "$0" "$1" "$2" "$3" "$4"' \
  "$here/compare_with_mpv.py" "$1" "$2" "$work" "${3:-9}" 2>&1 | grep -v "^dbus-daemon\|^SpiRegistry"
