#!/usr/bin/env bash
# Runs the end-to-end tests on a virtual display with a window manager. Each test starts the
# player on a session bus and in a home of its own.
# Usage: run-e2e.sh TESTS PLAYER ARTEFACT_FOLDER [gtest options]
set -euo pipefail
for tool in xvfb-run dbus-run-session ffmpeg openbox; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed" >&2
    exit 77
  fi
done
tests=$1
shift
# The player is a whole desktop program: toolkit and engine caches that live until exit are not
# leaks worth failing on, so leak checking is left to the unit tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export GTK_A11Y=none NO_AT_BRIDGE=1
exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
  bash -c 'openbox >/dev/null 2>&1 & sleep 0.5; "$@"; status=$?; kill %1 2>/dev/null; exit $status' \
  e2e "$tests" "$@"
