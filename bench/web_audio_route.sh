#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the delay the web audio route adds, on a private PulseAudio server.
# Usage: web_audio_route.sh BENCH_PROGRAM
set -euo pipefail
# shellcheck source=../tests/e2e/audio/private-pulse.sh
source "$(dirname "$0")/../tests/e2e/audio/private-pulse.sh"
start_server
"$1"
