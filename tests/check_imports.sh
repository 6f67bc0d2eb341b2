#!/usr/bin/env bash
# The Windows builds must not import the C runtime's stat family or _eof:
# the system's msvcrt.dll builds stat on FindFirstFile (no "\\?\" paths, no
# share roots, links described instead of their targets), and its _eof may
# seek with 32-bit offsets. Wine's runtime has neither fault, so only the
# import table can tell.
#
#   check_imports.sh OBJDUMP EXE...
#
# Skips (exit 77) when an .exe is missing, unless FILESPLIT_REQUIRE_BOTH_BUILDS=1.
set -euo pipefail
objdump=$1
shift
forbidden='_wstat64|_wstat|_wstati64|_wstat32|_wstat32i64|_wstat64i32|_stat64|_stat|_stati64|_stat32|_stat32i64|_stat64i32|_eof'
failures=0
for exe in "$@"; do
  if [ ! -f "$exe" ]; then
    echo "no $exe"
    [ "${FILESPLIT_REQUIRE_BOTH_BUILDS:-0}" = 1 ] && exit 1
    exit 77
  fi
  # Import lines read "  <hint-rva>  <ordinal>  <name>" under "DLL Name:".
  imported=$("$objdump" -p "$exe" | awk '/DLL Name:/ { dll = $3 } dll && NF == 3 && $2 ~ /^[0-9]+$/ { print dll ": " $3 }')
  if [ -z "$imported" ]; then
    echo "FAILED: no imports read from $exe"
    failures=$((failures + 1))
    continue
  fi
  if bad=$(grep -E ": ($forbidden)\$" <<<"$imported"); then
    echo "FAILED: $exe imports"
    echo "$bad"
    failures=$((failures + 1))
  else
    echo "ok: $exe imports $(wc -l <<<"$imported") functions, none of the stat family or _eof"
  fi
done
[ "$failures" -eq 0 ]
