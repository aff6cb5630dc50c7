#!/usr/bin/env bash
# Installs what the player needs, builds it (release) and starts it with the given arguments.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/packages.sh
source "$root/scripts/lib/packages.sh"
ensure_packages "${ORVEL_BUILD_PACKAGES[@]}" "${ORVEL_RUN_PACKAGES[@]}" "${ORVEL_DISPLAY_PACKAGES[@]}"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
exec "$build/orvel-player" "$@"
