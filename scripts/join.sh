#!/usr/bin/env bash
# Builds the release binaries and puts a split file back together with
# filejoin, checked against its digest file:
#   scripts/join.sh SCRIPT [OUTPUT_FOLDER]      (or --check SCRIPT)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" cmake g++ make libssl-dev
# Presets are found in the current folder: built there, run here.
(cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release -j "$(nproc)" >/dev/null)
exec "$root/build/release/filejoin" "$@"
