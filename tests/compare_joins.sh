#!/usr/bin/env bash
# Each build joins what the other split: the Windows filejoin rebuilds the
# native filesplit's pieces and the native filejoin the Windows filesplit's,
# from the same inputs. Both must end with the same exit codes and, where the
# console can show every character, print the same (the Windows build's text
# read back from its code page, its CR LF line ends as LF); the files they
# rebuilt must equal the inputs, and both trees must end up the same.
#
#   compare_joins.sh NATIVE_FILESPLIT NATIVE_FILEJOIN WINDOWS_FILESPLIT_EXE
#                    WINDOWS_FILEJOIN_EXE [EMULATOR...]
#
# Skips (exit 77) when a build is missing, unless FILESPLIT_REQUIRE_BOTH_BUILDS=1.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
native_split=$1
native_join=$2
windows_split=$3
windows_join=$4
shift 4
emulator=("$@")

for tool in "$native_split" "$native_join" "$windows_split" "$windows_join"; do
  if [ ! -f "$tool" ]; then
    echo "needs both builds of both tools: $tool is missing"
    [ "${FILESPLIT_REQUIRE_BOTH_BUILDS:-0}" = 1 ] && exit 1
    exit 77
  fi
done

export LC_ALL=C.UTF-8
windows_code_page=CP1252

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/inputs"
cd "$work/inputs"
head -c $((3 * 1048576 + 5)) /dev/urandom >in.bin
head -c $((2 * 1048576 + 1)) /dev/urandom >"50% résumé €.iso"
# Long enough that 40 pieces pass the script's line limit more than once.
long_name="$(printf 'é%.0s' {1..60})$(printf 'n%.0s' {1..60}).bin"
truncate -s $((40 * 1048576 + 3)) "$long_name"
printf 'end' | dd of="$long_name" bs=1 seek=$((40 * 1048576)) conv=notrunc status=none

# Each build splits the inputs into parts/ and long/.
split_all() {  # SIDE SPLITTER...
  local side=$1
  shift
  mkdir -p "$work/split-$side"
  cp -a --sparse=always "$work/inputs/." "$work/split-$side/"
  (
    cd "$work/split-$side"
    "$@" in.bin 1 parts >/dev/null
    "$@" "50% résumé €.iso" 1 parts >/dev/null
    "$@" "$long_name" 1 long >/dev/null
  )
}
split_all linux "$native_split"
split_all windows "${emulator[@]}" "$windows_split"
# The Windows joiner gets the Linux pieces, and the other way round.
cp -a --sparse=always "$work/split-linux" "$work/join-windows"
cp -a --sparse=always "$work/split-windows" "$work/join-linux"
run_linux() { (cd "$work/join-linux" && "$native_join" "$@"); }
run_windows() { (cd "$work/join-windows" && "${emulator[@]}" "$windows_join" "$@"); }

failures=0
# The usage text shows each binary's own path.
console_filter() { sed '/^Usage:$/,$d'; }
source "$here/compare_runs.sh"
# The same change to both trees: COMMAND...
on_both() {
  (cd "$work/join-linux" && "$@")
  (cd "$work/join-windows" && "$@")
}

compare three-pieces yes parts/in.bat out/
compare percent-and-accents yes "parts/50% résumé €.bat"
compare long-name-through-the-folder no long/
compare check yes --check parts/in.bat
compare target-exists yes parts/in.bat out/
on_both mv parts/in.bin_3 parts/in.bin_3.away
compare missing-piece yes --check parts/in.bat
on_both mv parts/in.bin_3.away parts/in.bin_3
on_both truncate -s 1000 parts/in.bin_2
# Its sizes are grouped as each side's locale groups digits (Wine's en-US: 1,000).
compare short-piece no parts/in.bat mismatch/
on_both truncate -s 0 parts/in.bin_2
on_both sh -c 'head -c 1048576 /dev/zero >parts/in.bin_2'
# Windows keeps the mismatched bytes under a short temporary name and says
# so; Linux writes them to an unnamed file that vanishes.
compare mismatch no parts/in.bat mismatch/
rm -f "$work/join-windows/mismatch/"filejoin-*.tmp
compare unknown-option yes --force parts/in.bat

for side in linux windows; do
  for input in in.bin "50% résumé €.iso" "$long_name"; do
    rebuilt=$work/join-$side/parts/$input
    [ "$input" = in.bin ] && rebuilt=$work/join-$side/out/in.bin
    [ "$input" = "$long_name" ] && rebuilt=$work/join-$side/long/$input
    if ! cmp -s "$work/inputs/$input" "$rebuilt"; then
      echo "FAILED: $side did not rebuild $input"
      failures=$((failures + 1))
    fi
  done
done
if diff -r "$work/join-linux" "$work/join-windows"; then
  echo "ok: both builds left the same files"
else
  echo "FAILED: the builds left different files"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "each build joins what the other split"
[ "$failures" -eq 0 ]
