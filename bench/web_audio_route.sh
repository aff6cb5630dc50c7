#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the delay the web audio route adds, on a private PulseAudio server and on a private
# PipeWire server with pipewire-pulse (where installed), each in a shell of its own.
# Usage: web_audio_route.sh BENCH_PROGRAM
set -euo pipefail
here=$(dirname "$0")
for kind in pulse pipewire; do
  echo "== $kind"
  (
    # shellcheck source=/dev/null
    source "$here/../tests/e2e/audio/private-$kind.sh"
    start_server
    "$1"
  ) || echo "(not measured on $kind)"
done
