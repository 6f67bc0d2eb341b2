#!/usr/bin/env bash
# A build a user gets holds no test code: no test hook, fake or fault seam.
# Reads each binary's symbol table (nm, or the mingw-w64 nm for an .exe) and
# its bytes, since a stripped binary has no symbol table to show them.
#
#   check_release_symbols.sh BINARY...
set -euo pipefail
test_code='platform_test_hooks|posix_test_hooks|win_seam|goAhead|injectedFault|SeamState'
found=0
for binary in "$@"; do
  [ -f "$binary" ] || { echo "no $binary" >&2; exit 1; }
  case $binary in
    *.exe) nm=x86_64-w64-mingw32-nm ;;
    *) nm=nm ;;
  esac
  symbols=$("$nm" -C "$binary" 2>/dev/null | grep -E "$test_code" || true)
  if [ -n "$symbols" ] || grep -a -q -E "$test_code" "$binary"; then
    echo "$binary holds test code:" >&2
    printf '%s\n' "${symbols:-(in its bytes)}" | head -n 20 >&2
    found=1
  fi
done
[ "$found" -eq 0 ] || exit 1
echo "check passed: no test hook in $*"
