#!/usr/bin/env bash
# Builds the release binary and splits a file with it:
#   scripts/split.sh FILE [SIZE_MB [FOLDER]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" cmake g++ make libssl-dev
# Presets are found in the current folder: built there, run here.
(cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release -j "$(nproc)" >/dev/null)
code=0
"$root/build/release/filesplit" "$@" || code=$?
if [ "$code" -eq 0 ]; then
  # The script's path as filesplit names it: FOLDER/STEM.bat, FOLDER by
  # default the input's path without its extension.
  name=$(basename -- "$1")
  stem=${name%.*}
  [ -z "$stem" ] && stem=$name
  folder=${3:-$(dirname -- "$1")/$stem}
  echo
  echo "To put it back together and check it: $root/scripts/join.sh \"$folder/$stem.bat\""
fi
exit "$code"
