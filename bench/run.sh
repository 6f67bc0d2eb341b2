#!/usr/bin/env bash
# The speed and memory of filesplit and filejoin on this machine:
#   bench/run.sh [ROUNDS]            (default 5 rounds; SETTLE=seconds, default 5)
#
# Builds the release binary and the plan benchmark, and the tools in the
# variants below, all with FILESPLIT_NO_FLUSH: like the commands they are
# compared with, they leave their outputs in the page cache (bench/flush.sh
# measures what putting them on the disk adds). Makes a 2 GiB file of
# random bytes under a scratch folder in /tmp (read once so that it stays in
# the page cache: every command reads it from memory, none from the disk),
# and times, alternating over the rounds and quoting medians:
#   filesplit   filesplit FILE 100 into a fresh folder
#   md5, dd     openssl md5 FILE; dd if=FILE of=COPY bs=1M: hashing and
#               copying the same bytes, each alone. The limit of the two-thread
#               loop is the larger of the two; one thread's was their sum
#   workflow    split -b 100M FILE, then md5sum FILE
#   filejoin    filejoin of the pieces of filesplit FILE 100 (made once and
#               kept) into a fresh folder
#   cat+md5sum  cat of the same pieces in order into one file, then md5sum
#               of it: the usual rebuild and check by hand
#   filesplit-32KiB, filejoin-32KiB
#               the same tools built to hand each 1 MiB block to write(2) in
#               slices of 32 KiB instead of whole
#   one thread  the same tools built with a ring of one block: the reader
#               waits for each write, as the one-thread loop did
#   4 MiB       the same tools built with a ring of three 4 MiB blocks
# Before each command the previous outputs are removed, the rest written back
# (sync), the input read again and the machine left alone for SETTLE seconds,
# so that each command starts from the same state. On a virtual machine that hands freed memory back to its host,
# the pages a command writes into are then new to the guest each time.
# Then the peak resident memory of both tools for a 2 GiB and a 64 MiB input,
# and the Google Benchmark of plan, output check and rejoin script.
# The scratch folder is removed at the end, also after a failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
settle=${SETTLE:-5}

"$root/scripts/deps.sh" cmake g++ make libssl-dev libbenchmark-dev time openssl coreutils
build=$root/build/bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFILESPLIT_TESTS=OFF \
  -DFILESPLIT_BENCH=ON -DFILESPLIT_NO_FLUSH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
filesplit=$build/filesplit
filejoin=$build/filejoin
# The same tools writing in 32 KiB slices, for the write-size comparison.
build_sliced=$root/build/bench-32kib
cmake -S "$root" -B "$build_sliced" -DCMAKE_BUILD_TYPE=Release -DFILESPLIT_TESTS=OFF \
  -DFILESPLIT_BENCH=OFF -DFILESPLIT_NO_FLUSH=ON -DFILESPLIT_WRITE_SLICE=32768 >/dev/null
cmake --build "$build_sliced" -j "$(nproc)" >/dev/null
# The same tools with other ring settings, for the comparison of those.
build_variant() {  # $1: folder name; then the cache settings
  local tree=$root/build/$1
  shift
  cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DFILESPLIT_TESTS=OFF \
    -DFILESPLIT_BENCH=OFF -DFILESPLIT_NO_FLUSH=ON "$@" >/dev/null
  cmake --build "$tree" -j "$(nproc)" --target filesplit filejoin >/dev/null
}
build_variant bench-ring1 -DFILESPLIT_RING_BLOCKS=1
build_variant bench-4mib -DFILESPLIT_BLOCK_SIZE=4194304
one_thread=$root/build/bench-ring1
big_blocks=$root/build/bench-4mib

scratch=$(mktemp -d /tmp/filesplit-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# The input, the kept pieces, one set of outputs at a time, and room to spare.
need_kib=$((7 * 1024 * 1024))
avail_kib=$(df --output=avail -k "$scratch" | tail -n 1)
if [ "$avail_kib" -lt "$need_kib" ]; then
  echo "Needs 7 GiB free under /tmp; $((avail_kib / 1024)) MiB are." >&2
  exit 1
fi

input=$scratch/input.bin
echo "Making a 2 GiB input of random bytes in $scratch ..."
head -c $((2 * 1024 * 1024 * 1024)) /dev/urandom >"$input"
cat "$input" >/dev/null
# The pieces every join reads, in their order.
"$filesplit" "$input" 100 "$scratch/kept" >/dev/null
kept_pieces=()
piece_count=$(find "$scratch/kept" -name 'input.bin_*' | wc -l)
for ((i = 1; i <= piece_count; ++i)); do
  kept_pieces+=("$scratch/kept/input.bin_$i")
done

source "$root/bench/timing.sh"

run_filesplit() { "$filesplit" "$input" 100 "$scratch/pieces" >/dev/null; }
run_md5() { openssl md5 "$input" >/dev/null; }
run_dd() { dd if="$input" of="$scratch/copy" bs=1M status=none; }
run_workflow() {
  mkdir "$scratch/split"
  (cd "$scratch/split" && split -b 100M "$input")
  md5sum "$input" >/dev/null
}
run_filejoin() { "$filejoin" "$scratch/kept/input.bat" "$scratch/joined" >/dev/null; }
run_catmd5() {
  cat "${kept_pieces[@]}" >"$scratch/catted"
  md5sum "$scratch/catted" >/dev/null
}
run_splitsliced() { "$build_sliced/filesplit" "$input" 100 "$scratch/pieces" >/dev/null; }
run_joinsliced() { "$build_sliced/filejoin" "$scratch/kept/input.bat" "$scratch/joined" >/dev/null; }
run_split1() { "$one_thread/filesplit" "$input" 100 "$scratch/pieces" >/dev/null; }
run_join1() { "$one_thread/filejoin" "$scratch/kept/input.bat" "$scratch/joined" >/dev/null; }
run_split4m() { "$big_blocks/filesplit" "$input" 100 "$scratch/pieces" >/dev/null; }
run_join4m() { "$big_blocks/filejoin" "$scratch/kept/input.bat" "$scratch/joined" >/dev/null; }
# Removes what the commands wrote, writes back what is left, reads the input
# back into the page cache should the system have dropped any of it, and waits.
settle_down() {
  rm -rf "$scratch/pieces" "$scratch/copy" "$scratch/split" "$scratch/joined" "$scratch/catted"
  sync
  cat "$input" "${kept_pieces[@]}" >/dev/null
  sleep "$settle"
}

commands=(filesplit md5 dd workflow filejoin catmd5 splitsliced joinsliced split1 join1 split4m
  join4m)
declare -A wall cpu sys
for ((round = 1; round <= rounds; ++round)); do
  # Each round starts with the next command, so none always follows another.
  for ((i = 0; i < ${#commands[@]}; ++i)); do
    name=${commands[$(((round + i) % ${#commands[@]}))]}
    settle_down
    read -r elapsed processor system < <(seconds_taken "run_$name")
    wall[$name]+="$elapsed "
    cpu[$name]+="$processor "
    sys[$name]+="$system "
    echo "round $round: $name $elapsed s elapsed, $processor s processor time ($system s system)"
  done
done
settle_down

# Medians by command, of elapsed (wall) and processor (cpu) seconds.
declare -A mw mc
for name in "${commands[@]}"; do
  # shellcheck disable=SC2086 # the lists are numbers separated by blanks
  mw[$name]=$(median ${wall[$name]})
  # shellcheck disable=SC2086
  mc[$name]=$(median ${cpu[$name]})
done
larger() { awk -v a="$1" -v b="$2" 'BEGIN { print (a > b ? a : b) }'; }
sum() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }
limit=$(larger "${mw[md5]}" "${mw[dd]}")
echo
echo "Medians of $rounds rounds, 2 GiB input in the page cache, $(nproc) cores, $(date -u +%F):"
echo "  elapsed: md5 ${mw[md5]} s, dd ${mw[dd]} s; two threads, then one thread (ring of one block):"
printf '    %-34s %8s %8s   %s\n' ratio "2 threads" "1 thread" target
row() {  # $1: label; $2: two-thread value; $3: one-thread value; $4: target
  printf '    %-34s %8s %8s   %s\n' "$1" "$2" "$3" "$4"
}
row "filesplit / larger(md5, dd)" "$(ratio "${mw[filesplit]}" "$limit")" \
  "$(ratio "${mw[split1]}" "$limit")" "at most 1.15"
row "filesplit / (md5 + dd)" "$(ratio "${mw[filesplit]}" "$(sum "${mw[md5]}" "${mw[dd]}")")" \
  "$(ratio "${mw[split1]}" "$(sum "${mw[md5]}" "${mw[dd]}")")" "(one thread's limit)"
row "workflow / filesplit" "$(ratio "${mw[workflow]}" "${mw[filesplit]}")" \
  "$(ratio "${mw[workflow]}" "${mw[split1]}")" "at least 1.3"
row "cat+md5sum / filejoin" "$(ratio "${mw[catmd5]}" "${mw[filejoin]}")" \
  "$(ratio "${mw[catmd5]}" "${mw[join1]}")" "at least 1.3"
row "filejoin / filesplit" "$(ratio "${mw[filejoin]}" "${mw[filesplit]}")" \
  "$(ratio "${mw[join1]}" "${mw[split1]}")" "at most 1.10"
echo "  processor time, two threads / one thread:"
row "filesplit" "$(ratio "${mc[filesplit]}" "${mc[split1]}")" "" "at most 1.10"
row "filejoin" "$(ratio "${mc[filejoin]}" "${mc[join1]}")" "" "at most 1.10"
echo "  elapsed, 1 MiB blocks / 4 MiB blocks (below 1: 1 MiB is faster):"
row "filesplit" "$(ratio "${mw[filesplit]}" "${mw[split4m]}")" "" ""
row "filejoin" "$(ratio "${mw[filejoin]}" "${mw[join4m]}")" "" ""
echo "  Whole 1 MiB writes / 32 KiB slices (below 1: whole writes are faster):"
# shellcheck disable=SC2086
for tool in split join; do
  ours=file$tool
  echo "    file$tool: elapsed $(ratio "$(median ${wall[$ours]})" "$(median ${wall[${tool}sliced]})"), system time $(ratio "$(median ${sys[$ours]})" "$(median ${sys[${tool}sliced]})")"
done
echo "  load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (other jobs skew elapsed times)"

head -c $((64 * 1024 * 1024)) "$input" >"$scratch/small.bin"
big_kib=$(peak_kib "$filesplit" "$input" 100 "$scratch/peak-big")
small_kib=$(peak_kib "$filesplit" "$scratch/small.bin" 1 "$scratch/peak-small")
echo "Peak resident memory of filesplit (target at most 16384 KiB):"
echo "  2 GiB input, pieces of 100 MB: $big_kib KiB"
echo "  64 MiB input, pieces of 1 MB:  $small_kib KiB"
join_kib=$(peak_kib "$filejoin" "$scratch/kept/input.bat" "$scratch/peak-join")
echo "Peak resident memory of filejoin (target at most 16384 KiB), 2 GiB from pieces of 100 MB: $join_kib KiB"
rm -rf "$scratch/peak-big" "$scratch/peak-small" "$scratch/peak-join"

echo
echo "Plan, output check and rejoin script by piece count:"
TMPDIR=$scratch "$build/bench/plan_bench"
