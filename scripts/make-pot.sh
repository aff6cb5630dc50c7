#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the template of the player's texts, po/orvel-player.pot (or the file given): the texts of
# the sources marked _() or N_(), and those of the desktop file and the AppStream entry. Run it
# after changing a text, then bring each po/<language>.po up to date with
#   msgmerge --update --no-location po/<language>.po po/orvel-player.pot
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/po/orvel-player.pot}")
cd "$root"
version=$(sed -n 's/^project(orvel-player VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sources=$(mktemp)
trap 'rm -f "$sources"' EXIT
{
  git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' | sort
  echo resources/com.example.OrvelPlayer.desktop
  echo resources/com.example.OrvelPlayer.metainfo.xml
} >"$sources"
xgettext --from-code=UTF-8 --keyword=_ --keyword=N_ --keyword=P_:1,2 --add-comments=Translators: --no-location \
  --sort-output --package-name=orvel-player --package-version="$version" \
  --msgid-bugs-address=orvel-player@example.com --files-from="$sources" --output="$out.new" \
  2> >(grep -v "unterminated character constant" >&2)
# (xgettext reads C++ 14's digit separators, 100'000, as an unterminated character constant.)
# The creation date is left out, so that the template changes only when a text does.
sed '/^"POT-Creation-Date: /d' "$out.new" >"$out"
rm -f "$out.new"
