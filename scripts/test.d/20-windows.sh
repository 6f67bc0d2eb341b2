#!/usr/bin/env bash
# The Windows build, cross-compiled with mingw-w64 with warnings as errors,
# and its whole suite under Wine, including the byte-for-byte comparison of
# its outputs with the native build's; then the release build, as users get
# it: its import table, the end-to-end suites and the same comparison.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
scripts/deps.sh cmake g++ make libssl-dev g++-mingw-w64-x86-64-posix wine googletest

# Quiet Wine, in a prefix of our own, with arguments and names in UTF-8 (Wine
# reads the command line by the locale; C.UTF-8 gives Windows' en-US).
export WINEDEBUG=-all
export WINEPREFIX="$root/build/wineprefix"
export LC_ALL=C.UTF-8

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"

# A wineserver that stays for the whole run: one that starts and stops with
# each test lingers on the inherited stderr and makes every test seconds
# slower. Then the prefix, made or brought up to date, and Wine's services
# started, all with their output to /dev/null: a service started by the
# first test would hold that test's output pipe open, and CTest would wait
# on it until its timeout.
mkdir -p "$WINEPREFIX"  # the server starts in it; wineboot fills it
wineserver -k 2>/dev/null || true
wineserver -p >/dev/null 2>&1 </dev/null || { echo "wineserver did not start" >&2; exit 1; }
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot --init >/dev/null 2>&1 </dev/null || { echo "wineboot --init failed" >&2; exit 1; }

# The release .exe files, and the native binaries to compare with (current
# with this tree), are built while the suite runs under Wine, which keeps
# about one processor busy: only the tests of those builds wait for them.
builds=build/windows-other-builds.log
(
  cmake --preset windows-release >/dev/null
  cmake --build --preset windows-release -j "$(nproc)"
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$(nproc)" --target filesplit filejoin
) >"$builds" 2>&1 &
builder=$!
of_other_builds='^(ReleaseExe|CrossBuild)\.'

# The windows test preset gives a failed test one more run (repeat
# until-pass, 2): under load, Wine now and then fails to start a test
# program at all (it ends in 0.01 s having printed nothing). A fault of ours
# fails both runs.
suite=0
FILESPLIT_REQUIRE_BOTH_BUILDS=1 ctest --preset windows -E "$of_other_builds" || suite=$?
if ! wait "$builder"; then
  cat "$builds" >&2
  echo "the release or the native build failed (whole output: $builds)" >&2
  exit 1
fi
FILESPLIT_REQUIRE_BOTH_BUILDS=1 ctest --preset windows -R "$of_other_builds"
exit "$suite"
