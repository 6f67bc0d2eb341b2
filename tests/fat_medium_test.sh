#!/usr/bin/env bash
# Joins onto FAT or exFAT served by FUSE (exfat-fuse, fusefat), file systems
# with no unnamed files, where neither a rename that replaces nothing nor a
# hard link exists: the rebuilt file takes a temporary name first. A join
# ends 0 with the verified file and nothing else beside it; a join
# interrupted while it writes ends 12 with "Interrupted." and leaves nothing;
# a join whose temporary file is replaced by a foreign one while it writes
# ends 1, and the final name never holds the foreign file, which stays where
# it was put. A split of an input on the medium that another program writes
# to meanwhile, within the second or two the medium's times cannot tell
# apart, ends 1 with the changed input told.
#   fat_medium_test.sh exfat|fat FILESPLIT FILEJOIN   (exit 77: skipped, with the reason)
set -uo pipefail
source "$(dirname "$0")/medium_lib.sh"
kind=$1
filesplit=$2
filejoin=$3
case "$kind" in
  exfat) need "$filesplit" mkfs.exfat mount.exfat-fuse losetup cmp fuser ;;
  fat) need "$filesplit" mkfs.fat fusefat cmp fuser ;;
  *) fail "no such medium: $kind" ;;
esac
[ -e /dev/fuse ] || skip "no /dev/fuse"
make_work
image=$work/image
medium=$work/medium
mkdir "$medium" "$work/pieces"
truncate -s 256M "$image"
if [ "$kind" = exfat ]; then
  mkfs.exfat "$image" >/dev/null || fail "mkfs.exfat"
  attach_loop "$image"  # exfat-fuse, run by root, takes block devices only
  served=$loop_device
else
  mkfs.fat "$image" >/dev/null || fail "mkfs.fat"
  served=$image
fi
# Mounts $served at $medium, served by a FUSE process of its own.
mount_medium() {
  if [ "$kind" = exfat ]; then
    mount.exfat-fuse "$served" "$medium" >/dev/null 2>&1 || skip "exfat-fuse could not mount"
  else
    fusefat -o rw+ "$served" "$medium" >/dev/null 2>&1 || skip "fusefat could not mount"
  fi
}
mount_medium
# Large enough that a join is caught while it writes, on a loaded machine too.
head -c $((64 * 1048576)) /dev/urandom >"$work/in.bin"
"$filesplit" "$work/in.bin" 8 "$work/pieces" >/dev/null || fail "filesplit ended with $?"

# Starts a join into OUTPUT in the background ($join: its process), its
# output in $work/NAME.log, NAME being OUTPUT's. SIGINT is not ignored in
# it, as it is by default in a script's background jobs.
start_join() {  # output folder
  start_program "$work/${1##*/}.log" "$filejoin" "$work/pieces/in.bat" "$1"
  join=$!
  started+=("$join")
}

# $found: the first path matching PATTERN, once one exists; fails if the
# join ends first.
wait_for() {  # pattern
  local match
  while kill -0 "$join" 2>/dev/null; do
    for match in $1; do
      [ -e "$match" ] && found=$match && return
    done
    sleep 0.01
  done
  fail "the join ended before $1 existed"
}

# The join's exit status; while it runs, FINAL must never hold FOREIGN.
wait_join() {  # final name, foreign file
  while kill -0 "$join" 2>/dev/null; do
    if [ -n "$2" ] && [ -e "$1" ] && cmp -s "$1" "$2"; then
      fail "$1 held the foreign file"
    fi
    sleep 0.01
  done
  wait "$join"
}

# A whole join: verified, and nothing but the file left.
out=$("$filejoin" "$work/pieces/in.bat" "$medium/whole")
status=$?
[ $status -eq 0 ] || fail "the join ended with $status: $out"
case "$out" in
  *"\"$medium/whole/in.bin\" was rebuilt and matches \"$work/pieces/in.md5\"."*) ;;
  *) fail "the join did not say the file matches: $out" ;;
esac
cmp -s "$medium/whole/in.bin" "$work/in.bin" || fail "the rebuilt file differs from the input"
left=$(cd "$medium/whole" && ls -A)
[ "$left" = in.bin ] || fail "the join left more than the file: $left"

# Interrupted while it writes.
start_join "$medium/stopped"
wait_for "$medium/stopped/filejoin-*.tmp"
kill -INT "$join"
wait_join "$medium/stopped/in.bin" ""
status=$?
[ $status -eq 12 ] || fail "the interrupted join ended with $status, not 12: $(cat "$work/stopped.log")"
[ "$(tail -n 1 "$work/stopped.log")" = "Interrupted." ] ||
  fail "the interrupted join did not end with \"Interrupted.\": $(cat "$work/stopped.log")"
[ ! -e "$medium/stopped/in.bin" ] || fail "the interrupted join left the final name"
left=$(cd "$medium/stopped" && ls -A)
[ -z "$left" ] || fail "the interrupted join left: $left"

# Its temporary file replaced while it writes, by a rename on the medium.
echo "not the rebuilt file" >"$medium/foreign"
cp "$medium/foreign" "$work/foreign"
start_join "$medium/taken"
wait_for "$medium/taken/filejoin-*.tmp/in.bin"
temporary=$found
mv "$medium/foreign" "$temporary" || fail "the temporary file could not be replaced"
wait_join "$medium/taken/in.bin" "$work/foreign"
status=$?
[ $status -eq 1 ] || fail "the join whose file was taken ended with $status, not 1: $(cat "$work/taken.log")"
[ ! -e "$medium/taken/in.bin" ] || fail "the join whose file was taken left the final name"
cmp -s "$temporary" "$work/foreign" || fail "the foreign file is no longer at $temporary"
# The file-size limit lowered under a join while it writes (prlimit; one set
# before it starts is refused at once): the write past it fails as a write,
# with no signal, and the temporary file and folder go.
start_join "$medium/limited"
wait_for "$medium/limited/filejoin-*.tmp/in.bin"
prlimit --pid "$join" --fsize=1048576 || fail "prlimit could not lower the join's file-size limit"
wait_join "$medium/limited/in.bin" ""
status=$?
[ $status -eq 1 ] || fail "the join past its file-size limit ended $status, not 1: $(cat "$work/limited.log")"
grep -q "^Cannot write \"$medium/limited/[^\"]*in.bin\": File too large\$" "$work/limited.log" ||
  fail "the join past its file-size limit did not say so: $(cat "$work/limited.log")"
left=$(cd "$medium/limited" && ls -A)
[ -z "$left" ] || fail "the join past its file-size limit left: $left"

# An input on the medium written while a split reads it, before the point
# read so far and after it: the split is stopped once it writes its first
# piece, the byte written again as it was (only a watch for writers can
# tell), the split let go on.
cp "$work/in.bin" "$medium/in.bin"
for at in 0 $((60 * 1048576)); do
  start_program "$work/changed.log" "$filesplit" "$medium/in.bin" 8 "$work/changed"
  join=$!
  started+=("$join")
  wait_for "$work/changed/in.bin_1"
  kill -STOP "$join"
  # In the background: the writer's open waits for the split to give its
  # lease back, which a stopped process cannot.
  dd if="$medium/in.bin" of="$medium/in.bin" bs=1 count=1 skip="$at" seek="$at" conv=notrunc \
    status=none &
  writer=$!
  kill -CONT "$join"
  wait "$writer" || fail "the byte at $at could not be written during the split"
  wait "$join"
  status=$?
  [ $status -eq 1 ] || fail "a split whose input was written at $at ended $status: $(cat "$work/changed.log")"
  grep -q "The input file changed during the split: \"$medium/in.bin\"" "$work/changed.log" ||
    fail "a split whose input was written at $at did not say so: $(cat "$work/changed.log")"
  rm -rf "$work/changed"
done

# The medium detached (umount -l) while a join writes onto it: the join ends
# 0 and names the file where the user put it, where it is once the medium is
# mounted again, not by its path from the detached medium's own root.
rm -r "$medium/in.bin" "$medium/whole"  # room for it
mkdir "$medium/detached"
start_join "$medium/detached"
wait_for "$medium/detached/filejoin-*.tmp/in.bin"
umount -l "$medium" || fail "the medium could not be detached"
wait_join "" ""
status=$?
[ $status -eq 0 ] || fail "the join on the detached medium ended $status: $(cat "$work/detached.log")"
grep -qF "\"$medium/detached/in.bin\" was rebuilt and matches" "$work/detached.log" ||
  fail "the join on the detached medium named another path: $(cat "$work/detached.log")"
# Mounted again once its FUSE process, let go with the join's end, is gone.
for _ in $(seq 500); do fuser -s "$served" 2>/dev/null || break; sleep 0.02; done
mount_medium
cmp -s "$medium/detached/in.bin" "$work/in.bin" || fail "the file is not on the medium mounted again"
echo "passed"
