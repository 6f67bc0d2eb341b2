#!/usr/bin/env bash
# Builds the release binary and splits a file with it:
#   scripts/split.sh FILE [SIZE_MB [FOLDER]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" cmake g++ make libssl-dev
cmake --preset release -S "$root" >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
exec "$root/build/release/filesplit" "$@"
