#!/usr/bin/env bash
# Static checks: clang-tidy with the root's .clang-tidy over the project's
# own sources as the dev build compiles them (not the build tree, not
# GoogleTest); every finding fails the stage.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
scripts/deps.sh cmake g++ make libssl-dev libgtest-dev clang-tidy
cmake --preset dev >/dev/null  # its compile_commands.json
folders="(app|bench|common|fileio|fuzz|hash|platform|split|tests)"
sources="^$root/$folders/"
count=$(grep -c -E "\"file\": \"$root/$folders/" build/dev/compile_commands.json || true)
[ "$count" -gt 0 ] || { echo "no sources found in build/dev/compile_commands.json" >&2; exit 1; }
log=build/clang-tidy.log
if ! run-clang-tidy -j "$(nproc)" -quiet -p build/dev "$sources" >"$log" 2>&1; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E "(warning|error): " | sort -u >&2 || cat "$log" >&2
  echo "clang-tidy: findings in the sources above (whole output: $log)" >&2
  exit 1
fi
echo "check passed: clang-tidy, $count files, no finding"
