#!/usr/bin/env bash
# Whether the progress dots follow a slow medium (run as root):
#   bench/dots.sh [ROUNDS [MIB_PER_SECOND]]     (default 3 rounds at 20 MiB/s)
#
# Stands in for a slow stick with a loop-mounted ext4 image whose writes the
# block-I/O controller limits to MIB_PER_SECOND for the process splitting onto
# it. Builds filesplit as users get it (each block's write-back started, the
# writer waiting for the medium to hold what it wrote 8 MiB before), and with
# FILESPLIT_WRITE_BACK_WINDOW=0 (write-back started, never waited for), then
# splits a 200 MiB file into two pieces onto the image in alternating rounds,
# noting when each dot appears. Prints medians, as ratios of the whole run:
#   half the dots   when half the dots had appeared (0.50: evenly paced)
#   stall at end    from the last dot to the end of the run (0: none)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
rate=${2:-20}
if [ "$(id -u)" != 0 ]; then
  echo "Needs root, for a loop device and the block-I/O controller." >&2
  exit 1
fi
"$root/scripts/deps.sh" cmake g++ make libssl-dev e2fsprogs mount util-linux perl
for variant in window:"" nowait:0; do
  cmake -S "$root" -B "$root/build/dots-${variant%%:*}" -DCMAKE_BUILD_TYPE=Release \
    -DFILESPLIT_TESTS=OFF -DFILESPLIT_BENCH=OFF -DFILESPLIT_WRITE_BACK_WINDOW="${variant#*:}" \
    >/dev/null
  cmake --build "$root/build/dots-${variant%%:*}" -j "$(nproc)" --target filesplit >/dev/null
done

scratch=$(mktemp -d /var/tmp/filesplit-dots.XXXXXX)
device=""
group=""
finish() {
  mountpoint -q "$scratch/medium" && umount "$scratch/medium"
  [ -n "$device" ] && losetup -d "$device"
  [ -n "$group" ] && rmdir "$group"
  rm -rf "$scratch"
}
trap finish EXIT
cd "$scratch"
truncate -s 320M medium.img
mkfs.ext4 -q -F medium.img
device=$(losetup -f --show medium.img)
mkdir medium
mount "$device" medium
head -c $((200 * 1048576)) /dev/urandom >in.bin
# The limit, through cgroup v2's io.max or v1's blkio throttle.
numbers=$(lsblk -dno MAJ:MIN "$device" | tr -d ' ')
bytes=$((rate * 1048576))
if grep -qw io /sys/fs/cgroup/cgroup.controllers 2>/dev/null; then
  group=/sys/fs/cgroup/filesplit-dots.$$
  mkdir "$group"
  echo "$numbers wbps=$bytes" >"$group/io.max"
elif [ -d /sys/fs/cgroup/blkio ]; then
  group=/sys/fs/cgroup/blkio/filesplit-dots.$$
  mkdir "$group"
  echo "$numbers $bytes" >"$group/blkio.throttle.write_bps_device"
else
  echo "No block-I/O controller here (neither cgroup v2 io nor v1 blkio)." >&2
  exit 1
fi

# Reads the split's output and prints, for the dots after its fixed text and
# as parts of the run, when half had appeared and how long the last came
# before the end.
pace() {
  perl -MTime::HiRes=time -e '
    my ($t0, @at, $c, $head) = (time, (), "", "");
    while (sysread(STDIN, $c, 1)) {
      if ($head !~ /Dividing\.{5}$/) { $head .= $c; next }  # the fixed text first
      push @at, time - $t0 if $c eq ".";
    }
    my $end = time - $t0;
    printf "%.3f %.3f\n", $at[int(@at / 2)] / $end, ($end - $at[-1]) / $end;'
}
declare -A half stall
for ((round = 1; round <= rounds; ++round)); do
  for variant in window nowait; do
    rm -rf medium/out
    sync
    read -r h s < <(sh -c 'echo $$ >"$1/cgroup.procs"; shift; exec "$@"' sh "$group" \
      "$root/build/dots-$variant/filesplit" in.bin 150 medium/out | pace)
    half[$variant]+="$h "
    stall[$variant]+="$s "
    echo "round $round: $variant: half the dots at $h of the run, the last $s before its end"
  done
done
source "$root/bench/timing.sh"
echo
echo "Medians of $rounds rounds, 200 MiB onto a medium taking $rate MiB/s, as parts of the run:"
printf '    %-36s %10s %10s\n' "" "waiting" "not"
# shellcheck disable=SC2086 # the lists are numbers separated by blanks
printf '    %-36s %10s %10s\n' "half the dots (0.50: evenly paced)" "$(median ${half[window]})" \
  "$(median ${half[nowait]})"
# shellcheck disable=SC2086
printf '    %-36s %10s %10s\n' "stall after the last dot (0: none)" "$(median ${stall[window]})" \
  "$(median ${stall[nowait]})"
