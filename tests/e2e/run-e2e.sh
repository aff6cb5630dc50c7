#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs end-to-end tests on a virtual display of their own with a window manager; each test starts
# the player on a session bus and in a home of its own. CTest runs one test per call, so a test
# never meets the windows another left behind. Listing the tests needs no display.
# Usage: run-e2e.sh TESTS [gtest options] PLAYER ARTEFACT_FOLDER
set -euo pipefail
tests=$1
shift
for argument in "$@"; do
  if [ "$argument" = --gtest_list_tests ]; then
    exec "$tests" "$@"
  fi
done
for tool in Xvfb xvfb-run dbus-run-session ffmpeg openbox xdotool xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed" >&2
    exit 77
  fi
done
# The player is a whole desktop program: toolkit and engine caches that live until exit are not
# leaks worth failing on, so leak checking is left to the unit tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export GTK_A11Y=none NO_AT_BRIDGE=1
# The tests start once the window manager manages the screen: it says so on the root window.
exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" bash -c '
  openbox >/dev/null 2>&1 &
  manager=$!
  for _ in $(seq 600); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  status=0
  "$@" || status=$?
  kill "$manager" 2>/dev/null
  exit $status' e2e "$tests" "$@"
