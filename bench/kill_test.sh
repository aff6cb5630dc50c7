#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kills the player a hundred times (or $1 times) at random moments while MKV and WebM take
# turns, restarting it each time, and checks after every kill that the store is whole, no history
# entry is gone, and at most 1.5 s of position is lost. Prints the worst and the mean loss.
# Uses the sanitized test build that scripts/test.sh makes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/test"
if [ ! -x "$build/tests/orvel_e2e_tests" ]; then
  echo "Build the tests first: bash scripts/test.sh" >&2
  exit 1
fi
export ORVEL_KILL_COUNT=${1:-100}
cd "$build"
exec "$root/tests/e2e/run-e2e.sh" tests/orvel_e2e_tests --gtest_filter='PlayerEndToEndCrash.*' \
  ./orvel-player artefacts
