#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the web audio route's tests against a private PulseAudio server. The test that kills the
# server runs last, on a server of its own.
# Usage: run-audio-tests.sh TESTS [gtest options]
set -euo pipefail
tests=$1
shift
# shellcheck source=private-pulse.sh
source "$(dirname "$0")/private-pulse.sh"

status=0
start_server
"$tests" --gtest_filter='-*ServerKilled*' "$@" || status=$?
start_server
"$tests" --gtest_filter='*ServerKilled*' "$@" || status=$?
exit $status
