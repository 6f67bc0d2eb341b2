#!/usr/bin/env bash
# The whole suite again, built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer; the first report fails the run.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/deps.sh cmake clang libclang-rt-14-dev make libssl-dev libgtest-dev locales
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan
