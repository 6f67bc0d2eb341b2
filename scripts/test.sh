#!/usr/bin/env bash
# Builds and runs every test: natively, and as the Windows build under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh" cmake g++ make libssl-dev libgtest-dev locales

echo "== native"
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)"
ctest --preset dev
