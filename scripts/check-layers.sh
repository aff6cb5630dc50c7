#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file includes a header of a folder above its own. The folders of src/, lowest
# first; a folder may include its own headers and those of any folder before it.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(core media chrome settings playlist native player app platform)

rank() {
  local index
  for index in "${!layers[@]}"; do
    if [[ ${layers[$index]} == "$1" ]]; then
      echo "$index"
      return
    fi
  done
  echo -1
}

status=0
checked=0
while IFS= read -r file; do
  folder=${file#src/}
  folder=${folder%%/*}
  own=$(rank "$folder")
  if ((own < 0)); then
    echo "$file: src/$folder is not in the layer order of scripts/check-layers.sh"
    status=1
    continue
  fi
  checked=$((checked + 1))
  while IFS=: read -r line target; do
    included=$(rank "$target")
    if ((included < 0 || included > own)); then
      echo "$file:$line includes $target/: $folder may include only ${layers[*]:0:own+1}"
      status=1
    fi
  done < <(grep -n -o '^#include "[a-z]*/' "$file" | sed 's|#include "||; s|/$||')
done < <(git ls-files -co --exclude-standard -- 'src/*/*.h' 'src/*/*.cpp' 'src/*/*/*.h' 'src/*/*/*.cpp')
if ((status == 0)); then
  echo "$checked files include only their own layer and those below: ${layers[*]}"
fi
exit "$status"
