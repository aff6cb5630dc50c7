#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the web audio route's tests against a private sound server: PulseAudio, or PipeWire with
# pipewire-pulse as a stock Debian 12 desktop has it. The test that kills the server runs last, on
# a server of its own.
# Usage: run-audio-tests.sh pulseaudio|pipewire TESTS [gtest options]
set -euo pipefail
kind=$1
tests=$2
shift 2
case $kind in
  pulseaudio) source "$(dirname "$0")/private-pulse.sh" ;;
  pipewire) source "$(dirname "$0")/private-pipewire.sh" ;;
  *)
    echo "unknown sound server: $kind" >&2
    exit 2
    ;;
esac

status=0
start_server
"$tests" --gtest_filter='-*ServerKilled*' "$@" || status=$?
start_server
"$tests" --gtest_filter='*ServerKilled*' "$@" || status=$?
exit $status
