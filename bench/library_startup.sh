#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The player's start-up with a large playlist library beside its start-up with none: the time from
# process start to the window's first frame (the start-up trace's "window's first frame"), and to
# the player being built, over RUNS runs of each taking turns, each with a fresh home. Runs on a
# virtual display with a window manager, a private session bus and a private sound server.
# usage: library_startup.sh PLAYER MAKE_LIBRARY [ITEMS [RUNS]]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
player=$(realpath "$1")
make_library=$(realpath "$2")
items=${3:-100000}
runs=${4:-7}
# shellcheck source=../tests/e2e/audio/private-pulse.sh
source "$here/../tests/e2e/audio/private-pulse.sh"
start_server
bench_work=$(mktemp -d "${TMPDIR:-/tmp}/orvel-library-XXXXXX")
trap 'stop_server; rm -rf "$work" "$bench_work"' EXIT
"$make_library" "$bench_work/library.sqlite3" "$items"

# One start: prints the milliseconds to the given start-up milestones.
cat >"$bench_work/one.sh" <<'ONE'
home=$(mktemp -d "$BENCH_WORK/home-XXXXXX")
mkdir -p "$home/config/Wendle" "$home/cache" "$home/data"
[ "$2" = empty ] || cp "$BENCH_WORK/library.sqlite3" "$home/config/Wendle/defaults.sqlite3"
HOME=$home XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache XDG_DATA_HOME=$home/data \
  ORVEL_STARTUP_TRACE=1 timeout -s TERM 8 "$1" >"$home/log" 2>&1 || true
built=$(sed -n 's/^\[Startup\] \([0-9]*\) ms: player built$/\1/p' "$home/log")
frame=$(sed -n "s/^\[Startup\] \([0-9]*\) ms: window's first frame$/\1/p" "$home/log")
echo "$2 ${built:--1} ${frame:--1}"
rm -rf "$home"
ONE
export BENCH_WORK=$bench_work
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" dbus-run-session -- bash -c '
  openbox >/dev/null 2>&1 &
  sleep 0.5
  for run in $(seq "$1"); do
    for kind in empty library; do bash "$BENCH_WORK/one.sh" "$0" "$kind"; done
  done' "$player" "$runs" 2>/dev/null >"$bench_work/results.txt"
python3 - "$bench_work/results.txt" "$items" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
def median(kind, column):
    values = [int(row[column]) for row in rows if row[0] == kind and int(row[column]) >= 0]
    return (statistics.median(values), len(values)) if values else (None, 0)
for column, name in ((1, "player built"), (2, "window's first frame")):
    empty, n_empty = median("empty", column)
    full, n_full = median("library", column)
    if empty is None or full is None:
        print("%s: not seen" % name)
        continue
    print("Start-up to %s: empty library %.0f ms, %s items %.0f ms (medians of %d and %d runs); "
          "added %.0f ms (target: the first frame within 1,000 ms of the empty library's)" %
          (name, empty, format(int(sys.argv[2]), ","), full, n_empty, n_full, full - empty))
PY
