#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when the template po/orvel-player.pot is stale (a text of the sources is missing from it,
# or it keeps one the sources dropped), or when a catalogue leaves a text untranslated, or
# translates a text with other placeholders than the English one.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
fresh=$(mktemp --suffix=.pot)
trap 'rm -f "$fresh"' EXIT
"$root/scripts/make-pot.sh" "$fresh"
status=0
if ! msgcmp --use-untranslated "$root/po/orvel-player.pot" "$fresh"; then
  echo "po/orvel-player.pot lacks texts of the sources: run scripts/make-pot.sh" >&2
  status=1
fi
if ! msgcmp --use-untranslated "$fresh" "$root/po/orvel-player.pot"; then
  echo "po/orvel-player.pot keeps texts the sources no longer have: run scripts/make-pot.sh" >&2
  status=1
fi
count=$(grep -c '^msgid "' "$fresh")
for po in "$root"/po/*.po; do
  [ -e "$po" ] || continue
  # --check compares the placeholders of each translation with those of its English text.
  msgfmt --check --output-file=/dev/null "$po" || status=1
  msgcmp "$po" "$root/po/orvel-player.pot" || status=1
done
if ((status == 0)); then
  echo "The template holds the $((count - 1)) texts of the sources; every catalogue translates them all"
fi
exit "$status"
