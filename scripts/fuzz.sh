#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets of tests/fuzz with clang and runs each in turn over its corpus
# folder, which keeps what the run finds new. The argument is how long each runs: seconds
# ("600", the default 60) or executions ("10000000runs"). Crashes land in build/fuzz/crashes/,
# and inputs that reach new code are merged into tests/fuzz/corpus/.
# FUZZ_TARGETS="m3u media_links" limits the run to those targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/packages.sh
source "$root/scripts/lib/packages.sh"
ensure_packages "${ORVEL_BUILD_PACKAGES[@]}" "${ORVEL_FUZZ_PACKAGES[@]}"

limit=${1:-60}
if [[ $limit =~ ^([0-9]+)runs$ ]]; then
  budget=(-runs="${BASH_REMATCH[1]}")
elif [[ $limit =~ ^[0-9]+$ ]]; then
  budget=(-max_total_time="$limit")
else
  echo "usage: $0 [seconds | <n>runs]" >&2
  exit 2
fi

build="$root/build/fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DORVEL_BUILD_FUZZERS=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzzers

# Plists and JSON documents grow larger than links and lines.
declare -A max_len=([property_list]=16384 [stored_json]=8192)
read -ra targets <<<"${FUZZ_TARGETS:-property_list stored_json m3u media_links script_bridge workspace_follower}"
for target in "${targets[@]}"; do
  corpus="$root/tests/fuzz/corpus/$target"
  work="$build/corpus/$target"
  mkdir -p "$corpus" "$work" "$build/crashes/$target"
  echo "== $target"
  # New inputs go to the working folder; the committed one only gains, by merging, those that
  # reach a new edge (hit counts left out), so that it stays small.
  nice -n 10 "$build/tests/fuzz/fuzz_$target" "${budget[@]}" -max_len="${max_len[$target]:-4096}" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/crashes/$target/" "$work" "$corpus"
  nice -n 10 "$build/tests/fuzz/fuzz_$target" -merge=1 -use_counters=0 \
    -max_len="${max_len[$target]:-4096}" -rss_limit_mb=2048 -timeout=10 "$corpus" "$work" 2>&1 |
    grep -E '^MERGE-OUTER: [0-9]+ new files' || true
done
