#!/usr/bin/env bash
# The product's folders depend one way, from the tools down to the system:
#
#   app -> split, join -> script, transfer -> hash, fileio -> common -> texts -> platform
#
# A file may include its own folder's headers and those of any folder below
# its own, never one beside it or above it. Prints each include that breaks
# the rule, and fails when there is one.
#
#   check_layers.sh [ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
declare -A rank=([app]=6 [split]=5 [join]=5 [script]=4 [transfer]=4 [hash]=3 [fileio]=3
  [common]=2 [texts]=1 [platform]=0)
broken=0
while IFS= read -r file; do
  from=${file%%/*}
  [ -n "${rank[$from]:-}" ] || continue
  while IFS=: read -r line to; do
    [ "$to" = "$from" ] && continue
    if [ -z "${rank[$to]:-}" ] || [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
      echo "$file:$line includes $to/, which is not below $from/"
      broken=1
    fi
  done < <(grep -n -o -E '^#include "[a-z_]+/' "$file" | sed -E 's|#include "||; s|/$||')
done < <(git ls-files '*.cpp' '*.h')
[ "$broken" -eq 0 ] || exit 1
echo "check passed: every include points to the file's own folder or one below it"
