#!/usr/bin/env bash
# Every tracked C++ source is in the style of the root's .clang-format, so
# that a change's diff holds what it changes and no reflowing. Prints each
# file clang-format would change, and fails when there is one; the fix is
# `clang-format -i FILE`.
#
#   check_format.sh [ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
unformatted=0
while IFS= read -r file; do
  if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "$file is not formatted: clang-format -i $file"
    unformatted=1
  fi
done < <(git ls-files '*.cpp' '*.h')
[ "$unformatted" -eq 0 ] || exit 1
echo "check passed: every C++ source is formatted as .clang-format says"
