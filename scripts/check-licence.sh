#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file (C++, scripts, CMake, the player page) does not say its licence in its
# first lines.
set -euo pipefail
cd "$(dirname "$0")/.."
licence="SPDX-License-Identifier: GPL-3.0""-or-later"
missing=0
checked=0
while IFS= read -r file; do
  [ -f "$file" ] || continue
  checked=$((checked + 1))
  if ! head -n 3 "$file" | grep -q "$licence"; then
    echo "$file: no $licence in its first lines"
    missing=1
  fi
done < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.h.in' '*.js' '*.sh' '*.py' \
  '*.html' 'CMakeLists.txt' '*/CMakeLists.txt' '.ci/run' | grep -v '^tests/fuzz/corpus/')
if ((missing == 0)); then
  echo "$checked source files carry the licence line"
fi
exit "$missing"
