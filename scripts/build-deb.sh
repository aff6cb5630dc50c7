#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of the player from the project's files (those git tracks or would add,
# never a build tree) into build/deb/, then checks the package and its source with lintian.
#   --quick       build the binary package alone, without optimisation, and skip lintian: what
#                 the test of the installed files needs
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/packages.sh
source "$root/scripts/lib/packages.sh"
quick=false
[ "${1:-}" = --quick ] && quick=true
ensure_packages "${ORVEL_BUILD_PACKAGES[@]}" "${ORVEL_PACKAGE_PACKAGES[@]}"

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
out="$root/build/deb"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/orvel-player-$version"
mkdir -p "$tree" "$out"
(cd "$root" && git ls-files -co --exclude-standard -z |
  while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
  tar --null -T - -cf -) | tar -xf - -C "$tree"

cd "$tree"
if $quick; then
  DEB_BUILD_OPTIONS="noopt nocheck parallel=2" dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1 ||
    { grep -E "error|warning|Error" "$work/build.log" | cut -c1-300 | tail -20; exit 1; }
else
  DEB_BUILD_OPTIONS="parallel=2" dpkg-buildpackage -us -uc >"$work/build.log" 2>&1 ||
    { grep -E "error|warning|Error" "$work/build.log" | cut -c1-300 | tail -20; exit 1; }
fi
rm -f "$out"/*
find "$work" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.ddeb' -o -name '*.changes' \
  -o -name '*.dsc' -o -name '*.tar.*' -o -name '*.buildinfo' \) -exec mv -t "$out" {} +
if ! $quick; then
  # Errors and warnings fail the build; informational tags are listed.
  lintian --info --display-info --fail-on error,warning "$out"/*.changes
fi
ls -l "$out"/*.deb
