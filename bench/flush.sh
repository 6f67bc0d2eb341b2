#!/usr/bin/env bash
# What putting the outputs on the medium costs, on this machine's disk:
#   bench/flush.sh [ROUNDS [SIZE_MIB]]     (default 5 rounds of 2048 MiB)
#
# Builds filesplit twice in release trees of its own: as users get it
# (each output flushed, write-back started per block), and with
# FILESPLIT_NO_FLUSH, a setting for this comparison only. Then times, in
# alternating rounds from the same state (previous outputs removed,
# everything written back, the input read again so it is in the cache):
#   flushing    filesplit FILE 100
#   unflushed   the same without flushing
#   workflow    split -b 100M FILE; md5sum FILE; sync
#   md5         openssl md5 FILE (the hash of the same bytes alone)
#   dd+fsync    dd if=FILE of=COPY bs=1M conv=fsync (the copy onto the disk alone)
# and prints the medians and the ratios side by side. The limit of the
# two-thread loop is the larger of md5 and dd+fsync.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
size=${2:-2048}
"$root/scripts/deps.sh" cmake g++ make libssl-dev openssl coreutils python3
for variant in flushing unflushed; do
  flag=OFF
  [ "$variant" = unflushed ] && flag=ON
  cmake -S "$root" -B "$root/build/bench-$variant" -DCMAKE_BUILD_TYPE=Release \
    -DFILESPLIT_TESTS=OFF -DFILESPLIT_BENCH=OFF -DFILESPLIT_NO_FLUSH=$flag >/dev/null
  cmake --build "$root/build/bench-$variant" -j "$(nproc)" --target filesplit >/dev/null
done
scratch=$(mktemp -d /var/tmp/filesplit-flush.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
head -c $((size * 1048576)) /dev/urandom >in.bin

# run NAME COMMAND...: one timed run from the same state, its seconds
# appended to NAME.times.
run() {
  local name=$1
  shift
  rm -rf out copy split-out
  sync
  cat in.bin >/dev/null
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo "$(((end - start) / 1000000))" >>"$name.times"
}
for ((round = 1; round <= rounds; ++round)); do
  run flushing "$root/build/bench-flushing/filesplit" in.bin 100 out
  run unflushed "$root/build/bench-unflushed/filesplit" in.bin 100 out
  run workflow bash -c 'mkdir split-out && cd split-out && split -b 100M ../in.bin && md5sum ../in.bin && sync'
  run md5 openssl md5 in.bin
  run dd+fsync dd if=in.bin of=copy bs=1M conv=fsync
done
python3 - "$size" <<'PY'
import statistics, sys
m = {n: statistics.median(int(x) for x in open(n + ".times")) / 1000
     for n in ["flushing", "unflushed", "workflow", "md5", "dd+fsync"]}
limit = max(m["md5"], m["dd+fsync"])
print(f"{sys.argv[1]} MiB, medians in seconds: " +
      ", ".join(f"{n} {v:.2f}" for n, v in m.items()))
print(f"flushing / limit (larger of md5, dd+fsync): {m['flushing'] / limit:.2f}  (target at most 1.15)")
print(f"unflushed / larger of md5, dd+fsync:        {m['unflushed'] / limit:.2f}")
print(f"flushing / unflushed (the cost of flushing): {m['flushing'] / m['unflushed']:.2f}")
print(f"workflow / flushing:                        {m['workflow'] / m['flushing']:.2f}")
PY
