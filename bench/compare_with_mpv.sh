#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs compare_with_mpv.py on a virtual display with a window manager and a private session bus,
# with a private PulseAudio server up (a null sink as the output), so that both programs open their
# sound output as they do on a desktop.
# usage: compare_with_mpv.sh PLAYER SCREEN_PROBE [RUNS [KINDS]]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
player=$(realpath "$1")
probe=$(realpath "$2")
# shellcheck source=../tests/e2e/audio/private-pulse.sh
source "$here/../tests/e2e/audio/private-pulse.sh"
start_server
bench_work=$(mktemp -d "${TMPDIR:-/tmp}/orvel-bench-XXXXXX")
trap 'stop_server; rm -rf "$work" "$bench_work"' EXIT
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" dbus-run-session -- bash -c \
  'openbox >/dev/null 2>&1 & sleep 0.5; python3 "$0" "$1" "$2" "$3" "$4" "$5"' \
  "$here/compare_with_mpv.py" "$player" "$probe" "$bench_work" "${3:-9}" "${4:-}" 2>&1 |
  grep -v "^dbus-daemon\|^SpiRegistry"
