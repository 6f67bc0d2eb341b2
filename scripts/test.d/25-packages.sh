#!/usr/bin/env bash
# The packages a user installs: builds the .deb, the .tar.gz and the Windows
# .zip from their release trees (scripts/package.sh) and checks them with
# the CTest project in tests/packages/: control fields and computed
# dependencies, contents, the unpacked tools splitting and rebuilding a file
# (the .exe files under Wine), the manual pages rendered without a warning,
# and each .exe's imports, version resource and manifest. Nothing is
# installed on the machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
scripts/deps.sh cmake g++ make libssl-dev dpkg-dev file man-db g++-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 wine python3 unzip

scripts/package.sh linux windows
# What users get holds no test code.
bash tests/check_release_symbols.sh build/release/filesplit build/release/filejoin \
  build/windows-release/filesplit.exe build/windows-release/filejoin.exe

# Wine as in the Windows stage: quiet, in the same prefix, one wineserver
# for the whole run, with arguments and names in UTF-8.
export WINEDEBUG=-all
export WINEPREFIX="$root/build/wineprefix"
export LC_ALL=C.UTF-8
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true
wineserver -p >/dev/null 2>&1 </dev/null || { echo "wineserver did not start" >&2; exit 1; }
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot --init >/dev/null 2>&1 </dev/null || { echo "wineboot --init failed" >&2; exit 1; }

rm -rf build/package-checks
cmake -S tests/packages -B build/package-checks -DFILESPLIT_LINUX_TREE="$root/build/release" \
  -DFILESPLIT_WINDOWS_TREE="$root/build/windows-release" >/dev/null
ctest --test-dir build/package-checks --output-on-failure -j "$(nproc)"
