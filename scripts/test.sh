#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the tests need, builds the program and its tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them with CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/packages.sh
source "$root/scripts/lib/packages.sh"
ensure_packages "${ORVEL_BUILD_PACKAGES[@]}" "${ORVEL_RUN_PACKAGES[@]}" "${ORVEL_DISPLAY_PACKAGES[@]}" \
  "${ORVEL_TEST_PACKAGES[@]}" "${ORVEL_PACKAGE_PACKAGES[@]}"

build="$root/build/test"
cmake -S "$root" -B "$build" -G Ninja -DORVEL_BUILD_TESTS=ON -DORVEL_SANITIZE=ON >/dev/null
cmake --build "$build" -j2
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure -j2
