#!/usr/bin/env bash
# Builds the benchmarks (release) and runs them; arguments go to every benchmark program.
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
for program in "$build"/bench/bench_*; do
  echo "== $(basename "$program")"
  "$program" "$@"
done
# The whole player beside mpv: first video frame on screen and memory while playing.
echo "== first frame and memory, beside mpv"
bash "$root/bench/compare_with_mpv.sh" "$build/orvel-player" "$build/bench/screen_probe"
