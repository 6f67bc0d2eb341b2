#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time from its
# corpus in fuzz/corpus/, as many at once as there are processors (each
# fuzzer runs on one); a crash, a sanitizer report or a broken invariant
# fails the run, and the input that caused it is kept in build/fuzz/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
scripts/deps.sh cmake clang libclang-rt-14-dev make libssl-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
seconds=${FUZZ_SECONDS:-20}

# fuzz TARGET: runs it, its output in build/fuzz/TARGET.log.
fuzz() {
  local target=$1
  # New inputs go to a scratch corpus; the one in the repository is only read.
  local work="$root/build/fuzz/corpus/$target"
  mkdir -p "$work"
  "$root/build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$root/build/fuzz/$target-" -print_final_stats=1 \
    "$work" "$root/fuzz/corpus/$target" >"$root/build/fuzz/$target.log" 2>&1
}

targets=(front_end rejoin_script script_reader path_rules round_trip)
declare -A running=()  # pid -> target
failed=()
# wait_one: waits for one running fuzzer and notes it if it failed.
wait_one() {
  local pid
  wait -n -p pid "${!running[@]}" || failed+=("${running[$pid]}")
  unset "running[$pid]"
}
for target in "${targets[@]}"; do
  [ "${#running[@]}" -lt "$(nproc)" ] || wait_one
  echo "fuzzing $target for ${seconds}s"
  fuzz "$target" &
  running[$!]=$target
done
while [ "${#running[@]}" -gt 0 ]; do wait_one; done

for target in "${targets[@]}"; do
  grep -a -m1 "^#[0-9]*.*DONE" "$root/build/fuzz/$target.log" || true
done
for target in "${failed[@]}"; do
  tail -n 60 "$root/build/fuzz/$target.log"
  echo "fuzz target $target failed; its input is in build/fuzz/" >&2
done
[ "${#failed[@]}" -eq 0 ]
