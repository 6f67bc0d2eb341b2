#!/usr/bin/env bash
# A write the medium refuses fails the run: the split's pieces and the join's
# rebuilt file go to ext4 on a loop device whose image is served by the
# failing_medium FUSE helper, which fails with EIO every write that carries
# one of its marked blocks. 1 MiB of them lies 2 MiB into the first piece,
# far from the last 8 MiB that the final flush covers: only the wait for the
# write-back on the way can report it. Each tool must end 1 with "Cannot
# write" and the file's path; an exit 0 is shown for what it left behind, a
# copy of the image compared byte for byte.
#   failing_medium_test.sh FILESPLIT FILEJOIN FAILING_MEDIUM   (exit 77: skipped, with the reason)
set -uo pipefail
source "$(dirname "$0")/medium_lib.sh"
filesplit=$1
filejoin=$2
failing_medium=$3
need "$filesplit" mkfs.ext4 mount umount losetup cmp
[ -n "$failing_medium" ] || skip "the FUSE helper was not built: pkg-config found no fuse3"
[ -e /dev/fuse ] || skip "no /dev/fuse"
make_work
backing=$work/backing
medium=$work/medium
mkdir "$work/served" "$medium" "$work/pieces"
truncate -s 160M "$backing"
"$failing_medium" "$backing" "$work/served" || skip "the FUSE helper could not mount"

{
  head -c $((2 * 1048576)) /dev/urandom
  "$failing_medium" --marked-blocks 256
  head -c $((37 * 1048576)) /dev/urandom
} >"$work/in.bin"
# The join's pieces on the healthy disk: only its output meets the bad patch.
"$filesplit" "$work/in.bin" 16 "$work/pieces" >/dev/null || fail "filesplit onto the disk ended with $?"

# Runs a tool whose FILE meets the bad patch; COPY is the file in the image,
# EXPECTED what it should hold.
expect_refused() {  # what, file, copy, expected, command...
  local what=$1 file=$2 copy=$3 expected=$4
  shift 4
  local out status
  out=$("$@" 2>&1)
  status=$?
  [ $status -ne 0 ] || compare_copy "$backing" "$what ended with 0" "$copy" "$expected"
  [ $status -eq 1 ] || fail "$what ended with $status, not 1: $out"
  case "$out" in
    *"Cannot write \"$file\""*) ;;
    *) fail "$what did not name \"$file\" as not written: $out" ;;
  esac
}

# ext4 as most mount it, whose writes go past the cache, and with
# data=journal, which does not vouch for that: there the writes go through
# the cache and the write-back window's wait must report the failure. A new
# file system for each run: a failed journal write leaves it read-only.
for options in defaults data=journal; do
  for tool in filesplit filejoin; do
    mkfs.ext4 -q -F -b 4096 "$work/served/image" || fail "mkfs.ext4 on the served image"
    mount -o "loop,$options" "$work/served/image" "$medium" 2>/dev/null ||
      skip "no loop device could be had"
    if [ $tool = filesplit ]; then
      expect_refused "$options: filesplit" "$medium/split/in.bin_1" split/in.bin_1 \
        "$work/pieces/in.bin_1" "$filesplit" "$work/in.bin" 16 "$medium/split"
    else
      expect_refused "$options: filejoin" "$medium/joined/in.bin" joined/in.bin "$work/in.bin" \
        "$filejoin" "$work/pieces/in.bat" "$medium/joined"
    fi
    umount "$medium" || fail "the medium could not be unmounted"
  done
done
echo "passed"
