#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the player needs, builds it (release) and starts it with the given arguments.
# On a machine without a display it plays a short clip on a virtual display instead, saves a
# screenshot to build/screenshot.png and exits.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/packages.sh
source "$root/scripts/lib/packages.sh"
ensure_packages "${ORVEL_BUILD_PACKAGES[@]}" "${ORVEL_RUN_PACKAGES[@]}" "${ORVEL_DISPLAY_PACKAGES[@]}"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # shellcheck source=lib/virtual-session.sh
  source "$root/scripts/lib/virtual-session.sh"
  run_in_virtual_session "$root/scripts/lib/demo.sh" "$build/orvel-player" \
    "$root/build/screenshot.png"
  exit
fi
exec "$build/orvel-player" "$@"
