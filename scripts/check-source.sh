#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the sources without building them:
#  - no library includes from a library above its own: each folder may include only
#    itself and what ARCHITECTURE.md's library table says it depends on, directly or
#    through those (the folders beside the layers, tests, bench and fuzz, are free);
#  - no PascalCase function or member function is declared or defined in the product
#    code (everything but tests/): functions are camelCase as Qt's are; types,
#    constructors, enumerators, constants and macros keep their spelling;
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

# A line that declares or defines a function whose name starts with a capital and a
# small letter: [template] [specifiers] TYPE [*&] [Scope::]Name(. Constructors are left
# out by the names of the types declared in these files, preprocessor lines and calls
# (return, new, throw ...) by their first word; Qt's and Windows' functions are only
# called here, never declared.
mapfile -t product < <(git ls-files app cli config files link protocol session ui sim bench fuzz |
  grep -E '\.(cpp|h)$')
types=$(grep -hoE '\b(class|struct|enum class|enum struct|enum|union)[[:space:]]+[A-Z][A-Za-z0-9_]*|\busing[[:space:]]+[A-Z][A-Za-z0-9_]*[[:space:]]*=' "${product[@]}" |
  sed -E 's/^(class|struct|enum class|enum struct|enum|union|using)[[:space:]]+//; s/[[:space:]]*=$//' |
  sort -u | tr '\n' '|')
if ! awk -v types="|$types" '
  FNR == 1 { cont = 0 }
  /^[[:space:]]*#/ { cont = /\\$/; next }
  cont { cont = /\\$/; next }
  {
    line = $0
    sub(/\/\/.*/, "", line)
    if (!match(line, /^[[:space:]]*((template[[:space:]]*<[^>]*>[[:space:]]*)?(\[\[[a-z_]+\]\][[:space:]]*)?((static|inline|constexpr|consteval|virtual|extern "C"|friend)[[:space:]]+)*)?(const[[:space:]]+)?[A-Za-z_][A-Za-z0-9_:]*(<[^()]*>)?([[:space:]]*const)?[[:space:]]*[*&]*[[:space:]]+[*&]*([A-Za-z_][A-Za-z0-9_]*::)*[A-Z][a-z][A-Za-z0-9_]*[[:space:]]*\(/))
      next
    decl = substr(line, RSTART, RLENGTH)
    first = decl
    sub(/^[[:space:]]+/, "", first)
    sub(/[[:space:]].*/, "", first)
    if (first ~ /^(return|else|new|delete|throw|case|goto|co_return|co_yield|co_await|emit|Q_EMIT|typedef|using|explicit|operator|sizeof|alignof|decltype)$/)
      next
    name = decl
    sub(/[[:space:]]*\($/, "", name)
    sub(/.*[[:space:]*&:]/, "", name)
    if (index(types, "|" name "|"))
      next
    printf "%s:%d: %s is a function: name it camelCase, as Qt does\n", FILENAME, FNR, name
    found = 1
  }
  END { exit found }' "${product[@]}" >&2; then
  failed=1
fi

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

((failed == 0)) && echo "check-source: layers, names, layout and licence lines as they should be"
exit "$failed"
