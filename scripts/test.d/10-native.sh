#!/usr/bin/env bash
# The native build with warnings as errors, and its whole suite.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/deps.sh cmake g++ make libssl-dev libgtest-dev locales
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)"
ctest --preset dev
