#!/usr/bin/env bash
# Builds and runs every test: natively, as the Windows build under Wine,
# under the sanitizers, and the fuzz targets for a bounded time. Each stage
# is a script of its own in scripts/test.d/, run in name order. The last line
# counts what ran: every CTest test of every stage, every fuzz target, and
# every other check a stage reports with a line "check passed: WHAT".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
passed=0
for stage in "$root"/scripts/test.d/*.sh; do
  name=$(basename "$stage" .sh)
  echo "== $name"
  started=$SECONDS
  if ! bash "$stage" 2>&1 | tee "$log"; then
    echo "== $name: FAILED after $((SECONDS - started)) s"
    echo "tests: $passed passed, 1 failed"
    exit 1
  fi
  # Every CTest run of the stage (the Windows stage has two).
  ran=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" |
    awk '{ sum += $1 } END { print sum + 0 }')
  fuzzed=$(grep -c "DONE *cov:" "$log" || true)
  checked=$(grep -c "^check passed: " "$log" || true)
  passed=$((passed + ${ran:-0} + fuzzed + checked))
  echo "== $name: passed in $((SECONDS - started)) s"
done
echo "tests: $passed passed, 0 failed"
