#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a staging folder, as a package build does, and checks that the desktop
# finds what it looks for: the program, its run-time resources, the desktop file, the icons and
# the metainfo, all under the one application ID, and the manual page.
# Usage: check-install.sh BUILD_FOLDER BINDIR DATADIR APPLICATION_ID (the folders as installed)
set -euo pipefail
build=$1 bindir=$2 datadir=$3 id=$4
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" >/dev/null

status=0
expect() {
  if [ ! -e "$stage$1" ]; then
    echo "not installed: $1" >&2
    status=1
  fi
}
[ -x "$stage$bindir/orvel-player" ] || { echo "no program in $bindir" >&2; status=1; }
expect "$datadir/orvel-player/player.html"
expect "$datadir/orvel-player/icons/hicolor/index.theme"
expect "$datadir/orvel-player/icons/hicolor/scalable/actions/orvel-equalizer-symbolic.svg"
expect "$datadir/orvel-player/icons/hicolor/scalable/apps/$id.svg"
expect "$datadir/applications/$id.desktop"
expect "$datadir/metainfo/$id.metainfo.xml"
expect "$datadir/locale/fr/LC_MESSAGES/orvel-player.mo"
expect "$datadir/icons/hicolor/scalable/apps/$id.svg"
expect "$datadir/icons/hicolor/symbolic/apps/$id-symbolic.svg"
for size in 16 22 24 32 48 64 128 256 512; do
  png="$stage$datadir/icons/hicolor/${size}x$size/apps/$id.png"
  if [ ! -e "$png" ]; then
    echo "not installed: $datadir/icons/hicolor/${size}x$size/apps/$id.png" >&2
    status=1
  elif ! head -c 24 "$png" | od -An -tx1 | tr -d ' \n' |
    grep -q "^89504e470d0a1a0a.\{16\}$(printf '%08x%08x' "$size" "$size")"; then
    echo "$png is not a $size × $size PNG" >&2
    status=1
  fi
done

desktop="$stage$datadir/applications/$id.desktop"
metainfo="$stage$datadir/metainfo/$id.metainfo.xml"
if [ -e "$desktop" ] && [ -e "$metainfo" ]; then
  for line in "Icon=$id" "StartupWMClass=$id" "Exec=orvel-player %U"; do
    grep -qx "$line" "$desktop" || { echo "the desktop file lacks $line" >&2; status=1; }
  done
  grep -q "<id>$id</id>" "$metainfo" || { echo "the metainfo's id is not $id" >&2; status=1; }
  # Both carry the translations' names and summaries, and stay valid with them.
  grep -q '^Comment\[fr\]=' "$desktop" || { echo "the desktop file has no French comment" >&2; status=1; }
  grep -q '<summary xml:lang="fr">' "$metainfo" ||
    { echo "the metainfo has no French summary" >&2; status=1; }
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" >&2 || status=1
  fi
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    { echo "the metainfo does not launch $id.desktop" >&2; status=1; }
fi

# The manual page reads without a warning, and its synopsis shows every form --help gives.
manual="$stage$datadir/man/man1/orvel-player.1"
if [ ! -e "$manual" ]; then
  echo "not installed: $datadir/man/man1/orvel-player.1" >&2
  status=1
else
  warnings=$(MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || { echo "the manual page warns: $warnings" >&2; status=1; }
  synopsis=$(MANWIDTH=200 man -l "$manual" 2>/dev/null | sed -n '/^SYNOPSIS/,/^DESCRIPTION/p')
  while IFS= read -r usage; do
    form=$(echo "$usage" | sed 's/^Usage://; s/^ *//')
    [ -n "$form" ] || continue
    grep -qF -- "$form" <<<"$synopsis" ||
      { echo "--help shows \"$form\", which the manual page's synopsis lacks" >&2; status=1; }
  done < <(ASAN_OPTIONS=detect_leaks=0 "$stage$bindir/orvel-player" --help)
fi
exit $status
