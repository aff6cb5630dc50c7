#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks (release) and runs all of them in one go, each beside its peer (mpv,
# FFmpeg, find, SQLite), then prints the machine and a summary: one line per figure with ours, the
# peer's, the ratio, the target and whether it is met (bench/README.md explains each figure).
# Takes about 20 minutes; the outputs are kept in build/bench/results/.
#
# Arguments go to every Google Benchmark program (e.g. --benchmark_min_time=0.01 for a quick run).
# ORVEL_BENCH_FILES (1000): files for the metadata benchmark. ORVEL_BENCH_RUNS (9): runs of each
# first-frame measurement. ORVEL_BENCH_KILLS (100): kills of the crash-safety run, which needs the
# sanitized test build of scripts/test.sh and is skipped without it; 0 skips it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/packages.sh
source "$root/scripts/lib/packages.sh"
ensure_packages "${ORVEL_BUILD_PACKAGES[@]}" "${ORVEL_RUN_PACKAGES[@]}" "${ORVEL_DISPLAY_PACKAGES[@]}" \
  "${ORVEL_TEST_PACKAGES[@]}" "${ORVEL_BENCH_PACKAGES[@]}"

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEL_BUILD_TESTS=ON \
  -DORVEL_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 >/dev/null
results="$build/results"
rm -rf "$results"
mkdir -p "$results"
started=$(date +%s)

# Runs one piece, showing its output and keeping it as results/NAME.txt; a piece that fails is
# reported and the others still run.
run() {
  local name=$1
  shift
  echo "== $name"
  local status=0
  "$@" 2>&1 | tee "$results/$name.txt" || status=$?
  [ "$status" -eq 0 ] || echo "(exit status $status)" | tee -a "$results/$name.txt"
}

gbench() {
  local name=$1
  shift
  run "$name" "$build/bench/bench_$name" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_out="$results/$name.json" \
    --benchmark_out_format=json "$@"
}

gbench resolve "$@"
gbench record "$@"
gbench playlist "$@"
gbench equalizer "$@"
run metadata "$build/bench/bench_metadata" "${ORVEL_BENCH_FILES:-1000}"
run playlist_panel env GTK_A11Y=none NO_AT_BRIDGE=1 \
  xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$build/bench/bench_playlist_panel"
run playlist_panel_100k env GTK_A11Y=none NO_AT_BRIDGE=1 \
  xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$build/bench/bench_playlist_panel" \
  --items=100000
# The player's start-up with 100,000 playlist items beside its start-up with none.
run library_startup bash "$root/bench/library_startup.sh" "$build/orvel-player" \
  "$build/bench/make_library" 100000 "${ORVEL_BENCH_RUNS:-9}"
# The delay the web audio route adds, on a private PulseAudio server.
run route bash "$root/bench/web_audio_route.sh" "$build/bench/bench_web_audio_route"
# The whole player beside mpv, with a private sound server up: first frame, memory, processor
# time, disk writes, idle window.
run mpv bash "$root/bench/compare_with_mpv.sh" "$build/orvel-player" "$build/bench/screen_probe" \
  "${ORVEL_BENCH_RUNS:-9}"
kills=${ORVEL_BENCH_KILLS:-100}
if [ "$kills" = 0 ]; then
  echo "skipped: ORVEL_BENCH_KILLS=0" >"$results/kill.txt"
elif [ ! -x "$root/build/test/tests/orvel_e2e_tests" ]; then
  echo "skipped: needs the test build of scripts/test.sh" | tee "$results/kill.txt"
else
  run kill bash "$root/bench/kill_test.sh" "$kills"
fi

{
  echo "== machine"
  echo "processors: $(nproc), $(lscpu | sed -n 's/^Model name: *//p' | head -1)"
  echo "memory: $(free -h | awk '/^Mem:/ {print $2}')"
  echo "system: $(sed -n 's/^PRETTY_NAME=//p' /etc/os-release | tr -d '"')," \
    "Debian $(cat /etc/debian_version)"
  echo "GPU render node: $(ls /dev/dri/renderD* 2>/dev/null || echo none)"
  echo "mpv: $(mpv --version | head -1)"
  echo "FFmpeg: $(ffmpeg -version | head -1)"
  echo "commit: $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo "run took $(($(date +%s) - started)) s"
  echo
  echo "== summary"
  python3 "$root/bench/summarize.py" "$results"
} | tee "$results/summary.txt"
