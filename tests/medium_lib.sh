# shellcheck shell=bash
# What the tests that run the tools on a real medium share (sourced, not
# run): skipping with the reason, a work folder on the disk that takes
# everything mounted in it along when the test ends, ext4 on a loop device,
# and what a copy of an image holds.

skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

# Skips for the Windows build (its tools are .exe files run under Wine), and
# unless root runs it with the commands named.
need() {  # the filesplit under test, then commands
  case "$1" in *.exe) skip "loop devices, FUSE and ext4 are Linux's" ;; esac
  shift
  [ "$(id -u)" = 0 ] || skip "mounting a medium needs root"
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done
}

# $work: a new folder on the disk, not in tmpfs, where a loop device can be
# backed by a file. At exit the processes in $started end, then everything
# mounted inside it, the last mounted first, then the loop devices in
# $devices are let go.
make_work() {
  work=$(mktemp -d /var/tmp/filesplit-medium.XXXXXX)
  started=()
  devices=()
  trap leave_work EXIT
}

leave_work() {
  local pid target device
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  for target in $(awk -v inside="$work/" 'index($2, inside) == 1 { print $2 }' /proc/self/mounts |
    tac); do
    umount "$target" 2>/dev/null || umount -l "$target"
  done
  for device in "${devices[@]}"; do losetup -d "$device" 2>/dev/null; done
  rm -rf "$work"
}

# Runs PROGRAM with its arguments in the background, its output in LOG and
# SIGINT not ignored (as it is in a script's background jobs); returns once
# the job runs PROGRAM itself or has ended. Until then the job is a fork of
# this shell, which a signal would end by running the EXIT trap
# (leave_work) there, taking the work folder with it. $! is the job.
start_program() {  # log, program, arguments
  local log=$1 program exe
  shift
  program=$(readlink -f "$(command -v "$1")")
  ( trap - EXIT; exec env --default-signal=INT "$@" ) >"$log" 2>&1 &
  for _ in $(seq 1000); do
    exe=$(readlink "/proc/$!/exe" 2>/dev/null) || return 0
    [ "$exe" = "$program" ] && return
    sleep 0.01
  done
  fail "$1 did not start within 10 s"
}

# $loop_device: a new loop device for FILE, also appended to $devices; skips
# when none can be had.
attach_loop() {  # file
  loop_device=$(losetup -f --show "$1" 2>/dev/null) || skip "no loop device could be had"
  devices+=("$loop_device")
}

# Lets DEVICE go and drops it from $devices: its number may soon be another
# test's.
detach_loop() {  # device
  losetup -d "$1"
  local kept=() device
  for device in "${devices[@]}"; do [ "$device" = "$1" ] || kept+=("$device"); done
  devices=("${kept[@]}")
}

# FILE made a fresh ext4 file system of SIZE (truncate's units).
make_ext4() {  # file, size
  truncate -s "$2" "$1"
  mkfs.ext4 -q -F -b 4096 "$1" || fail "mkfs.ext4 $1"
}

# Copies IMAGE as it is now, mounts the copy read-only (its journal
# replayed, as on the next machine the stick is put in) and compares each
# path in it with the file expected there.
compare_copy() {  # image, what, then pairs of a path in the image and the expected file
  local image=$1 what=$2
  shift 2
  cp "$image" "$work/copy.img"
  mkdir -p "$work/copy"
  # The device writable, the mount not: ext4 replays the journal only so.
  attach_loop "$work/copy.img"
  mount -o ro "$loop_device" "$work/copy" || fail "$what: the copy does not mount"
  local wrong=""
  while [ $# -gt 0 ]; do
    cmp -s "$work/copy/$1" "$2" || wrong="$wrong $1"
    shift 2
  done
  umount "$work/copy"
  detach_loop "$loop_device"
  [ -z "$wrong" ] || fail "$what: not on the medium whole:$wrong"
}
