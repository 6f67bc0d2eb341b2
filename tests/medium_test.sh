#!/usr/bin/env bash
# What a medium holds the moment the tools say 0: a split onto a loop-mounted
# ext4 image and a join there, the image file copied at once and the copy
# mounted and compared byte for byte; and a byte of a piece changed in the
# image beneath its pages in memory, cached or mapped by another process,
# which filejoin --check must see, or say that it cannot; pieces copied
# there a moment ago, their pages still dirty, checked from the medium too.
# Both with ext4 mounted as usual and with data=journal; and pieces on
# tmpfs, whose cache is its medium, checked as they are.
#   medium_test.sh FILESPLIT FILEJOIN     (exit 77: skipped, with the reason)
set -uo pipefail
source "$(dirname "$0")/medium_lib.sh"
filesplit=$1
filejoin=$2
need "$filesplit" mkfs.ext4 mount umount losetup filefrag cmp python3
make_work
image=$work/image
medium=$work/medium
mkdir "$medium"
head -c $((5 * 1048576 + 7)) /dev/urandom >"$work/in.bin"
# Pieces of 8 MiB to copy onto the medium: more than a moment's write-back.
head -c $((24 * 1048576)) /dev/urandom >"$work/large.bin"
"$filesplit" "$work/large.bin" 8 "$work/large" >/dev/null || fail "filesplit ended with $?"

# Toggles a bit of a byte of FILE's first block in the image, beneath the
# file system: twice restores it.
toggle_byte_beneath() {  # file
  local block offset old
  block=$(filefrag -v -b4096 "$1" | awk '$1 == "0:" { sub(/\.\..*/, "", $4); print $4 }')
  [ -n "$block" ] || fail "no block found for $1"
  offset=$((block * 4096 + 100))
  old=$(od -An -tu1 -j "$offset" -N1 "$image" | tr -d ' ')
  printf '%b' "\\0$(printf '%o' $((old ^ 1)))" |
    dd of="$image" bs=1 seek="$offset" conv=notrunc status=none
}

# Keeps FILE's pages in memory: read into the cache, and if MAPPED, mapped by
# another process too, whose pages no dropping of the cache can take. The
# process is $holder.
hold_pages() {  # cached|mapped, file
  cat "$2" >/dev/null
  holder=""
  [ "$1" = mapped ] || return
  rm -f "$work/mapped"
  python3 -c '
import mmap, sys, time
with open(sys.argv[1], "rb") as piece:
    pages = mmap.mmap(piece.fileno(), 0, access=mmap.ACCESS_READ)
pages.read()  # every page mapped
open(sys.argv[2], "w").close()
time.sleep(300)' "$2" "$work/mapped" &
  holder=$!
  started+=("$holder")
  for _ in $(seq 500); do [ -e "$work/mapped" ] && return; sleep 0.02; done
  fail "the piece was not mapped within 10 s"
}

# filejoin --check of FOLDER ends with STATUS and says LINE.
expect_check() {  # what, status, folder, line
  local out status
  out=$("$filejoin" --check "$3" 2>&1)
  status=$?
  [ $status -eq "$2" ] || fail "$1: --check ended with $status, not $2: $out"
  case "$out" in
    *"$4"*) ;;
    *) fail "$1: --check did not say \"$4\": $out" ;;
  esac
}

# ext4 as most mount it, and with data=journal, whose cache serves even
# O_DIRECT: there a mapped piece cannot be read from the medium at all.
for options in defaults data=journal; do
  make_ext4 "$image" 64M
  mount -o "loop,$options" "$image" "$medium" 2>/dev/null || skip "no loop device could be had"

  "$filesplit" "$work/in.bin" 1 "$medium/new/out" >/dev/null || fail "$options: filesplit ended with $?"
  pairs=()
  for name in $(cd "$medium/new/out" && ls); do pairs+=("new/out/$name" "$medium/new/out/$name"); done
  [ ${#pairs[@]} -eq 16 ] || fail "$options: the split made $((${#pairs[@]} / 2)) files, not 8"
  compare_copy "$image" "$options: split" "${pairs[@]}"

  "$filejoin" "$medium/new/out/in.bat" "$medium/new/out" >/dev/null || fail "$options: filejoin ended with $?"
  compare_copy "$image" "$options: join" "new/out/in.bin" "$work/in.bin"

  # The user's interrupt at a random moment of a join: 12 (or the signal's
  # own end, before the join began) leaves no file, 0 the exact one under
  # its name. A background job of this shell starts with SIGINT ignored.
  # On the usual mount only: the interrupt does not depend on the journal.
  [ "$options" = defaults ] && rounds=12 || rounds=0
  for _ in $(seq "$rounds"); do
    start_program "$work/stopped.log" "$filejoin" "$medium/new/out/in.bat" "$medium/stopped"
    sleep "0.0$((RANDOM % 10))"
    kill -INT $! 2>/dev/null
    wait $!
    status=$?
    case $status in
      0) cmp -s "$medium/stopped/in.bin" "$work/in.bin" || fail "$options: a join that ended 0 left other bytes" ;;
      12 | 130) [ -z "$(ls -A "$medium/stopped" 2>/dev/null)" ] ||
        fail "$options: an interrupted join ended $status and left $(ls -A "$medium/stopped")" ;;
      *) fail "$options: an interrupted join ended with $status: $(cat "$work/stopped.log")" ;;
    esac
    rm -rf "$medium/stopped"
  done

  # Copied a moment ago: the pages are written back before they are dropped,
  # and the check reads what the medium holds.
  cp -r "$work/large" "$medium/copied"
  expect_check "$options: just copied" 0 "$medium/copied" \
    "The pieces match \"$medium/copied/large.md5\"."
  toggle_byte_beneath "$medium/copied/large.bin_3"
  expect_check "$options: just copied, a byte changed beneath" 10 "$medium/copied" \
    "The pieces do not match \"$medium/copied/large.md5\"."
  rm -r "$medium/copied"

  piece=$medium/new/out/in.bin_2
  for held in cached mapped; do
    hold_pages "$held" "$piece"
    toggle_byte_beneath "$piece"
    case "$options $held" in
      "data=journal mapped")
        expected=1
        line="Cannot read \"$piece\" from the medium: its pages stay in the system's cache (another program may have it mapped)." ;;
      *)
        expected=10
        line="The pieces do not match \"$medium/new/out/in.md5\"." ;;
    esac
    expect_check "$options: a byte changed beneath $held pages" "$expected" "$medium/new/out" "$line"
    # Restored for the next row; the cache may hold the changed byte.
    if [ -n "$holder" ]; then kill "$holder"; wait "$holder" 2>/dev/null; fi
    toggle_byte_beneath "$piece"
    dd if="$piece" iflag=nocache count=0 status=none
  done
  umount "$medium"
done

mkdir "$work/tmpfs"
mount -t tmpfs -o size=32M tmpfs "$work/tmpfs" || fail "no tmpfs could be mounted"
"$filesplit" "$work/in.bin" 1 "$work/tmpfs/out" >/dev/null || fail "tmpfs: filesplit ended with $?"
expect_check tmpfs 0 "$work/tmpfs/out" "The pieces match \"$work/tmpfs/out/in.md5\"."
echo "passed"
