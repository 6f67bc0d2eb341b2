#!/usr/bin/env bash
# Both tools against their limit and against the commands they replace, on
# this machine's disk, with the input warm (in the cache) and cold:
#   bench/medium.sh [ROUNDS [SIZE_MIB]]     (default 3 rounds of 2048 MiB)
#
# Builds the release tree (each output flushed, as users get it) and times,
# each command's fastest round, in one run:
#   filesplit       filesplit FILE 100 out
#   split+md5+sync  split -b 100M FILE; md5sum FILE; sync
#   filejoin        filejoin out/FILE.bat (the pieces just written)
#   cat+md5+sync    cat of the pieces > FILE; md5sum FILE; sync
#   dd direct       dd bs=1M oflag=direct conv=fsync (with iflag=direct when cold)
# and MD5 in memory from `openssl speed -evp md5` on 1 MiB blocks. The limit
# is the larger of that MD5 and dd direct. It also prints each tool's
# processor time against MD5's, and the page cache the pieces hold after a
# split (fincore). A cold input is one whose pages were dropped (dd
# iflag=nocache count=0), as caches cannot be dropped whole in a container.
#
# Before each command, as many pages as it will write are written to
# /dev/shm and freed: this virtual machine gives freed pages back to the
# host about 2 s later, and a write into a page the host took back costs
# about 8 times one into a page in use, so every command starts with the
# same warm pages and the order of the commands does not decide the figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
size=${2:-2048}
"$root/scripts/deps.sh" cmake g++ make libssl-dev openssl coreutils util-linux python3
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target filesplit filejoin >/dev/null
bin="$root/build/release"
scratch=$(mktemp -d /var/tmp/filesplit-medium.XXXXXX)
trap 'rm -rf "$scratch" /dev/shm/filesplit-warm' EXIT
cd "$scratch"
head -c $((size * 1048576)) /dev/urandom >in.bin

# warmPages MIB: the pages a command will write, handed to this process and freed.
warmPages() {
  head -c $(($1 * 1048576)) /dev/zero >/dev/shm/filesplit-warm
  rm -f /dev/shm/filesplit-warm
}

# run STATE NAME COMMAND...: one timed run with the input STATE (warm or
# cold), "wall user+system" appended to STATE-NAME.times.
run() {
  local state=$1 name=$2
  shift 2
  rm -rf out/in.bin split-out joined copy
  [ "$name" = filesplit ] && rm -rf out
  sync
  if [ "$state" = warm ]; then cat in.bin >/dev/null; else dd if=in.bin iflag=nocache count=0 2>/dev/null; fi
  warmPages "$size"
  local TIMEFORMAT="%R %U %S"
  { time "$@" >/dev/null 2>&1; } 2>>"$state-$name.raw"
}

for ((round = 1; round <= rounds; ++round)); do
  for state in warm cold; do
    direct=oflag=direct
    [ "$state" = cold ] && direct="iflag=direct oflag=direct"
    run "$state" filesplit "$bin/filesplit" in.bin 100 out
    fincore --bytes --noheadings out/in.bin_* | awk '{s += $1} END {print s}' >>"$state-cached.bytes"
    run "$state" split+md5+sync bash -c 'mkdir split-out && cd split-out && split -b 100M ../in.bin && md5sum ../in.bin && sync'
    # The pieces are the input here: dropped or read again as the state asks.
    [ "$state" = cold ] && for p in out/in.bin_*; do dd if="$p" iflag=nocache count=0 2>/dev/null; done
    [ "$state" = warm ] && cat out/in.bin_* >/dev/null
    run "$state" filejoin "$bin/filejoin" out/in.bat
    [ "$state" = cold ] && for p in out/in.bin_*; do dd if="$p" iflag=nocache count=0 2>/dev/null; done
    [ "$state" = warm ] && cat out/in.bin_* >/dev/null
    run "$state" cat+md5+sync bash -c 'cat $(ls -v out/in.bin_*) >joined && md5sum joined && sync'
    run "$state" "dd direct" dd if=in.bin of=copy bs=1M $direct conv=fsync
  done
done
md5rate=$(openssl speed -evp md5 -bytes 1048576 -seconds 3 2>/dev/null | awk '/^md5/ {print $2}')
python3 - "$size" "$md5rate" "$(uptime)" <<'PY'
import sys
size, rate = int(sys.argv[1]), sys.argv[2].rstrip("k")
md5 = size * 1048576 / (float(rate) * 1000)
print(f"{size} MiB, fastest of each; MD5 in memory {md5:.2f} s; {sys.argv[3].strip()}")
for state in ["warm", "cold"]:
    t, cpu = {}, {}
    for name in ["filesplit", "split+md5+sync", "filejoin", "cat+md5+sync", "dd direct"]:
        rounds = [list(map(float, line.split())) for line in open(f"{state}-{name}.raw")]
        best = min(rounds)
        t[name], cpu[name] = best[0], best[1] + best[2]
    limit = max(md5, t["dd direct"])
    cached = max(int(x) for x in open(f"{state}-cached.bytes")) / 1048576
    print(f"{state}: limit {limit:.2f} s | filesplit {t['filesplit']:.2f} s = {t['filesplit'] / limit:.2f} x limit, "
          f"workflow / filesplit {t['split+md5+sync'] / t['filesplit']:.2f}, cpu / md5 {cpu['filesplit'] / md5:.2f}, "
          f"pieces cached {cached:.0f} MiB | filejoin {t['filejoin']:.2f} s = {t['filejoin'] / limit:.2f} x limit, "
          f"workflow / filejoin {t['cat+md5+sync'] / t['filejoin']:.2f}, cpu / md5 {cpu['filejoin'] / md5:.2f}")
PY
