#!/usr/bin/env bash
# The speed and memory of filesplit on this machine:
#   bench/run.sh [ROUNDS]            (default 5 rounds; SETTLE=seconds, default 5)
#
# Builds the release binary and the plan benchmark, makes a 2 GiB file of
# random bytes under a scratch folder in /tmp (read once so that it stays in
# the page cache: every command reads it from memory, none from the disk),
# and times, alternating over the rounds and quoting medians:
#   filesplit   filesplit FILE 100 into a fresh folder
#   limit       openssl md5 FILE, then dd if=FILE of=COPY bs=1M: one thread
#               hashing and copying the same bytes, one after the other
#   workflow    split -b 100M FILE, then md5sum FILE
# Before each command the previous outputs are removed, the rest written back
# (sync), the input read again and the machine left alone for SETTLE seconds,
# so that each command starts from the same state. On a virtual machine that hands freed memory back to its host,
# the pages a command writes into are then new to the guest each time.
# Then the peak resident memory of filesplit for a 2 GiB and a 64 MiB input,
# and the Google Benchmark of plan, output check and rejoin script.
# The scratch folder is removed at the end, also after a failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
settle=${SETTLE:-5}

"$root/scripts/deps.sh" cmake g++ make libssl-dev libbenchmark-dev time openssl coreutils
build=$root/build/bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFILESPLIT_TESTS=OFF \
  -DFILESPLIT_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
filesplit=$build/filesplit

scratch=$(mktemp -d /tmp/filesplit-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# The input, one set of outputs at a time, and room to spare.
need_kib=$((5 * 1024 * 1024))
avail_kib=$(df --output=avail -k "$scratch" | tail -n 1)
if [ "$avail_kib" -lt "$need_kib" ]; then
  echo "Needs 5 GiB free under /tmp; $((avail_kib / 1024)) MiB are." >&2
  exit 1
fi

input=$scratch/input.bin
echo "Making a 2 GiB input of random bytes in $scratch ..."
head -c $((2 * 1024 * 1024 * 1024)) /dev/urandom >"$input"
cat "$input" >/dev/null

source "$root/bench/timing.sh"

run_filesplit() { "$filesplit" "$input" 100 "$scratch/pieces" >/dev/null; }
run_limit() {
  openssl md5 "$input" >/dev/null
  dd if="$input" of="$scratch/copy" bs=1M status=none
}
run_workflow() {
  mkdir "$scratch/split"
  (cd "$scratch/split" && split -b 100M "$input")
  md5sum "$input" >/dev/null
}
# Removes what the commands wrote, writes back what is left, reads the input
# back into the page cache should the system have dropped any of it, and waits.
settle_down() {
  rm -rf "$scratch/pieces" "$scratch/copy" "$scratch/split"
  sync
  cat "$input" >/dev/null
  sleep "$settle"
}

commands=(filesplit limit workflow)
declare -A wall cpu
for ((round = 1; round <= rounds; ++round)); do
  # Each round starts with the next command, so none always follows another.
  for ((i = 0; i < ${#commands[@]}; ++i)); do
    name=${commands[$(((round + i) % ${#commands[@]}))]}
    settle_down
    read -r elapsed processor < <(seconds_taken "run_$name")
    wall[$name]+="$elapsed "
    cpu[$name]+="$processor "
    echo "round $round: $name $elapsed s elapsed, $processor s processor time"
  done
done
settle_down

report() {  # $1: what is measured; then the three medians
  echo "  $1: filesplit $2 s, limit $3 s, workflow $4 s"
  echo "    filesplit / limit:    $(ratio "$2" "$3")   (target at most 1.05)"
  echo "    workflow / filesplit: $(ratio "$4" "$2")   (target at least 1.3)"
}
echo
echo "Medians of $rounds rounds, 2 GiB input in the page cache, $(nproc) cores, $(date -u +%F):"
# shellcheck disable=SC2086 # the lists are numbers separated by blanks
report "elapsed" "$(median ${wall[filesplit]})" "$(median ${wall[limit]})" \
  "$(median ${wall[workflow]})"
# shellcheck disable=SC2086
report "processor time" "$(median ${cpu[filesplit]})" "$(median ${cpu[limit]})" \
  "$(median ${cpu[workflow]})"
echo "  load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (other jobs skew elapsed times)"

head -c $((64 * 1024 * 1024)) "$input" >"$scratch/small.bin"
big_kib=$(peak_kib "$filesplit" "$input" 100 "$scratch/peak-big")
small_kib=$(peak_kib "$filesplit" "$scratch/small.bin" 1 "$scratch/peak-small")
echo "Peak resident memory of filesplit (target at most 8192 KiB):"
echo "  2 GiB input, pieces of 100 MB: $big_kib KiB"
echo "  64 MiB input, pieces of 1 MB:  $small_kib KiB"
rm -rf "$scratch/peak-big" "$scratch/peak-small"

echo
echo "Plan, output check and rejoin script by piece count:"
TMPDIR=$scratch "$build/bench/plan_bench"
