#!/usr/bin/env bash
# Cross-compiles the Windows release build with mingw-w64: self-contained
# build/windows-release/filesplit.exe and filejoin.exe to copy to a Windows
# machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" cmake make g++-mingw-w64-x86-64-posix
cmake --preset windows-release -S "$root" >/dev/null
cmake --build --preset windows-release -j "$(nproc)" >/dev/null
echo "$root/build/windows-release/filesplit.exe"
echo "$root/build/windows-release/filejoin.exe"
