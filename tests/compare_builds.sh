#!/usr/bin/env bash
# The native and the Windows build split the same inputs, each in its own
# copy of them; everything they wrote must be the same byte for byte (pieces,
# scripts, digest files, folders), and so must their exit codes and, where
# the console can show every character, what they printed (the Windows
# build's text read back from its code page, its CR LF line ends as LF).
#
#   compare_builds.sh NATIVE_FILESPLIT WINDOWS_FILESPLIT_EXE [EMULATOR...]
#
# Skips (exit 77) when a build is missing, unless FILESPLIT_REQUIRE_BOTH_BUILDS=1.
set -euo pipefail
native=$1
windows=$2
shift 2
emulator=("$@")

if [ ! -x "$native" ] || [ ! -f "$windows" ]; then
  echo "needs both builds: $native and $windows"
  [ "${FILESPLIT_REQUIRE_BOTH_BUILDS:-0}" = 1 ] && exit 1
  exit 77
fi

# Arguments and file names in UTF-8 on both sides (Wine decodes the command
# line by the locale), in a locale that groups no digits on Linux.
export LC_ALL=C.UTF-8
# The Windows build prints in the ANSI code page of Wine's en-US locale.
windows_code_page=CP1252

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- The inputs, made once --------------------------------------------------
inputs=$work/inputs
mkdir -p "$inputs/data" "$inputs/folder"
head -c $((3 * 1048576 + 5)) /dev/urandom >"$inputs/in.bin"
head -c $((2 * 1048576 + 1)) /dev/urandom >"$inputs/50% résumé €.iso"
head -c $((1048576)) /dev/urandom >"$inputs/one.bin"
head -c $((2 * 1048576)) /dev/urandom >"$inputs/data/aaa.tar.gz"
head -c 100 /dev/urandom >"$inputs/small.bin"
: >"$inputs/empty.bin"
head -c $((1048576 + 1)) /dev/urandom >"$inputs/X.Bat"
# Past the 4000-character line limit: the canonical 258 pieces, and a long
# name with characters outside the BMP (two UTF-16 units each), sparse.
truncate -s $((258 * 1048576)) "$inputs/aaa.iso"
long_name="$(printf '𝄞%.0s' {1..30})$(printf 'é%.0s' {1..40}).bin"
truncate -s $((40 * 1048576 + 3)) "$inputs/$long_name"
printf 'end' | dd of="$inputs/$long_name" bs=1 seek=$((40 * 1048576)) conv=notrunc status=none

# A symbolic link to a file, made here on the host: Wine shows the Windows
# build its target, as Windows shows a followed link.
ln -s in.bin "$inputs/link.bin"

for side in linux windows; do
  cp -a --sparse=always "$inputs" "$work/$side"
done

# ---- The runs ---------------------------------------------------------------
failures=0
run_linux() { (cd "$work/linux" && "$native" "$@"); }
run_windows() { (cd "$work/windows" && "${emulator[@]}" "$windows" "$@"); }

source "$(dirname "$0")/compare_runs.sh"

compare three-pieces yes in.bin 1 out
compare existing-outputs no in.bin 1 out
compare percent-and-accents yes "50% résumé €.iso" 1
compare default-folder-below yes data/aaa.tar.gz 1
compare exactly-one-piece yes one.bin 1 "sub dir/deeper"
compare two-mib-pieces yes in.bin 2 two
compare line-limit-258-pieces yes aaa.iso 1
compare long-name-outside-bmp no "$long_name" 1 long
compare smaller-than-a-piece no small.bin 1
compare empty-input no empty.bin 1
compare missing-input no missing.bin 1
compare folder-input no folder 1
compare zero-size no in.bin 0
compare letters-in-size no in.bin 1x
compare named-like-its-script no X.Bat 1
compare linked-input yes link.bin 1 linked

# ---- What they wrote --------------------------------------------------------
if diff -r "$work/linux" "$work/windows"; then
  echo "ok: every file and folder written is the same in both builds"
else
  echo "FAILED: the builds wrote different files"
  failures=$((failures + 1))
fi
# Through the link, the same pieces and digest as from the file itself.
for name in link.bin_1 link.bin_2 link.bin_3 link.bin_4 link.md5; do
  if ! cmp -s "$work/windows/linked/$name" "$work/windows/out/${name/link/in}"; then
    echo "FAILED: linked/$name is not out/${name/link/in}"
    failures=$((failures + 1))
  fi
done
for script in out/in.bat long/*.bat aaa/aaa.bat; do
  [ -s "$work/linux/"$script ] || { echo "FAILED: no $script written"; failures=$((failures + 1)); }
done

[ "$failures" -eq 0 ] && echo "the builds agree"
[ "$failures" -eq 0 ]
