#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the sources without building them:
#  - no library includes from a library above its own: each folder may include only
#    itself and what ARCHITECTURE.md's library table says it depends on, directly or
#    through those (the folders beside the layers, tests, bench and fuzz, are free);
#  - every C++ file is laid out as .clang-format says;
#  - every source file and script of ours names its licence in an SPDX line at its top
#    (after a script's interpreter line, an XML declaration or a man page's first line).
#   bash scripts/check-source.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# "| `korvane_files` | `files/` | ... | `korvane_config` |" gives: files config
declare -A depends
while IFS= read -r row; do
  folder=$(sed -n 's/^| `[a-z_]*` | `\([a-z]*\)\/` |.*/\1/p' <<<"$row")
  [[ -n $folder ]] || continue
  last=${row%|}
  last=${last##*|}
  depends[$folder]=$(grep -o 'korvane_[a-z]*' <<<"$last" | sed 's/korvane_//' | tr '\n' ' ' || true)
done <ARCHITECTURE.md
((${#depends[@]} > 0)) || { echo "check-source: no library table in ARCHITECTURE.md" >&2; exit 1; }

# What a folder may include: itself and every library below it.
allowed() {
  local seen=" $1 " queue=($1) next
  while ((${#queue[@]} > 0)); do
    next=${queue[0]}
    queue=("${queue[@]:1}")
    for d in ${depends[$next]:-}; do
      [[ $seen == *" $d "* ]] && continue
      seen+="$d "
      queue+=("$d")
    done
  done
  echo "$seen"
}

failed=0
for folder in "${!depends[@]}"; do
  ok=$(allowed "$folder")
  while IFS=: read -r file line included; do
    if [[ $ok != *" $included "* && -n ${depends[$included]+set} ]]; then
      echo "$file:$line: $folder/ includes from $included/, a layer it does not stand on" >&2
      failed=1
    fi
  done < <(grep -rnoE '^#include "[a-z]+/' --include='*.cpp' --include='*.h' "$folder" |
    sed -E 's/#include "([a-z]+)\/$/\1/')
done

if ! git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror; then
  echo "check-source: run clang-format -i on the files above" >&2
  failed=1
fi
while IFS= read -r file; do
  if ! head -n 3 -- "$file" | grep -q 'SPDX-License-Identifier: MIT'; then
    echo "$file: no 'SPDX-License-Identifier: MIT' line at its top" >&2
    failed=1
  fi
done < <(git ls-files '*.cpp' '*.h' '*.in' '*CMakeLists.txt' '*.cmake' '*.py' '*.sh' '*.xml' '*.wxs' \
  '*.svg' '*.h2m' 'packaging/man/*.[1-8]' 'packaging/bash-completion/*' .ci/run |
  grep -v -e '^packaging/debian/' -e '^packaging/windows/licenses/' -e '^packaging/windows/README.txt.in$')

((failed == 0)) && echo "check-source: layers, layout and licence lines as they should be"
exit "$failed"
