#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time from its
# corpus in fuzz/corpus/; a crash, a sanitizer report or a broken invariant
# fails the run, and the input that caused it is kept in build/fuzz/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
scripts/deps.sh cmake clang libclang-rt-14-dev make libssl-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
seconds=${FUZZ_SECONDS:-30}
for target in front_end rejoin_script script_reader path_rules round_trip; do
  # New inputs go to a scratch corpus; the one in the repository is only read.
  work="$root/build/fuzz/corpus/$target"
  mkdir -p "$work"
  echo "fuzzing $target for ${seconds}s"
  if ! "$root/build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 \
      -artifact_prefix="$root/build/fuzz/$target-" -print_final_stats=1 \
      "$work" "$root/fuzz/corpus/$target" >"$root/build/fuzz/$target.log" 2>&1; then
    tail -n 60 "$root/build/fuzz/$target.log"
    echo "fuzz target $target failed; its input is in build/fuzz/" >&2
    exit 1
  fi
  grep -a -m1 "^#[0-9]*.*DONE" "$root/build/fuzz/$target.log" || true
done
