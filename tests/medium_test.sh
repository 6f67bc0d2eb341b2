#!/usr/bin/env bash
# What a medium holds the moment the tools say 0: a split onto a loop-mounted
# ext4 image and a join there, the image file copied at once and the copy
# mounted and compared byte for byte; and a byte of a piece flipped in the
# image under its cached pages, which filejoin --check must see.
#   medium_test.sh FILESPLIT FILEJOIN     (exit 77: skipped, with the reason)
set -uo pipefail
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }
filesplit=$1
filejoin=$2
case "$filesplit" in *.exe) skip "loop devices and ext4 are Linux's; Wine has neither" ;; esac
[ "$(id -u)" = 0 ] || skip "mounting a loop device needs root"
for tool in mkfs.ext4 mount umount filefrag cmp; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
# On the disk, not in tmpfs: the image must be a file a loop device can back.
work=$(mktemp -d /var/tmp/filesplit-medium.XXXXXX)
image=$work/image
medium=$work/medium
copy=$work/copy
mkdir "$medium" "$copy"
cleanup() {
  mountpoint -q "$copy" && umount "$copy"
  mountpoint -q "$medium" && umount "$medium"
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 64M "$image"
mkfs.ext4 -q -F -b 4096 "$image" || fail "mkfs.ext4"
mount -o loop "$image" "$medium" 2>/dev/null || skip "no loop device could be had"
head -c $((5 * 1048576 + 7)) /dev/urandom >"$work/in.bin"

# Copies the image as it is now, mounts the copy read-only (its journal
# replayed, as on the next machine the stick is put in) and compares.
compare_copy() {  # $1: what; then pairs of a path on the medium and the expected file
  local what=$1
  shift
  cp "$image" "$work/copy.img"
  # The device writable, the mount not: ext4 replays the journal only so.
  local device
  device=$(losetup -f --show "$work/copy.img") || fail "$what: no loop device for the copy"
  mount -o ro "$device" "$copy" || { losetup -d "$device"; fail "$what: the copy does not mount"; }
  local wrong=""
  while [ $# -gt 0 ]; do
    cmp -s "$copy/$1" "$2" || wrong="$wrong $1"
    shift 2
  done
  umount "$copy"
  losetup -d "$device"
  [ -z "$wrong" ] || fail "$what: not on the medium whole:$wrong"
}

"$filesplit" "$work/in.bin" 1 "$medium/new/out" >/dev/null || fail "filesplit ended with $?"
pairs=()
for name in $(cd "$medium/new/out" && ls); do pairs+=("new/out/$name" "$medium/new/out/$name"); done
[ ${#pairs[@]} -eq 16 ] || fail "the split made $((${#pairs[@]} / 2)) files, not 8"
compare_copy "split" "${pairs[@]}"

"$filejoin" "$medium/new/out/in.bat" "$medium/new/out" >/dev/null || fail "filejoin ended with $?"
compare_copy "join" "new/out/in.bin" "$work/in.bin"

# A byte of piece 2 flipped in the image, beneath the piece's cached pages.
piece=$medium/new/out/in.bin_2
block=$(filefrag -v -b4096 "$piece" | awk '$1 == "0:" { sub(/\.\..*/, "", $4); print $4 }')
[ -n "$block" ] || fail "no block found for $piece"
offset=$((block * 4096 + 100))
old=$(od -An -tu1 -j "$offset" -N1 "$image" | tr -d ' ')
printf "$(printf '\\%03o' $(((old + 1) % 256)))" |
  dd of="$image" bs=1 seek="$offset" conv=notrunc status=none
out=$("$filejoin" --check "$medium/new/out")
status=$?
[ $status -eq 10 ] || fail "--check ended with $status after a byte changed on the medium: $out"
case "$out" in
  *"The pieces do not match \"$medium/new/out/in.md5\"."*) ;;
  *) fail "--check did not name the mismatch: $out" ;;
esac
echo "passed"
