#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and compares the files it installs with deb-files.txt beside this
# script: a file that stops being installed, or one that starts to be, fails until the list says
# so.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
"$root/scripts/build-deb.sh" --quick >/dev/null
deb=$(ls "$root"/build/deb/orvel-player_*.deb)
# Folders are left out: only files and links.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | LC_ALL=C sort >"$root/build/deb/files.txt"
if diff -u "$here/deb-files.txt" "$root/build/deb/files.txt"; then
  echo "$(wc -l <"$here/deb-files.txt") files installed as listed, $(du -k "$deb" | cut -f1) KB"
else
  echo "The package installs other files than tests/install/deb-files.txt lists" >&2
  exit 1
fi
