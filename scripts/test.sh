#!/usr/bin/env bash
# Builds and runs every test: natively, as the Windows build under Wine,
# under the sanitizers, and the fuzz targets for a bounded time. Each stage
# is a script of its own in scripts/test.d/, run in name order.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for stage in "$root"/scripts/test.d/*.sh; do
  echo "== $(basename "$stage" .sh)"
  started=$SECONDS
  bash "$stage"
  echo "== $(basename "$stage" .sh): passed in $((SECONDS - started)) s"
done
