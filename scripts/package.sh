#!/usr/bin/env bash
# Builds the packages a user installs, each from its own release tree, and
# prints their paths:
#   scripts/package.sh [linux] [windows]      (both when none is named)
# linux:   build/release/packages/filesplit_VERSION_amd64.deb and .tar.gz
# windows: build/windows-release/packages/filesplit-VERSION-win64.zip
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
platforms=("$@")
[ ${#platforms[@]} -gt 0 ] || platforms=(linux windows)
for platform in "${platforms[@]}"; do
  case $platform in
    # dpkg-shlibdeps (dpkg-dev) works out the .deb's dependencies; CPack
    # finds the binaries it asks about with file.
    linux) tree=release; scripts/deps.sh cmake g++ make libssl-dev dpkg-dev file ;;
    windows) tree=windows-release; scripts/deps.sh cmake make g++-mingw-w64-x86-64-posix ;;
    *) echo "usage: $0 [linux] [windows]" >&2; exit 2 ;;
  esac
  # Packages of an earlier version are not left to be taken for this one's.
  rm -rf "build/$tree/packages"
  log="build/$tree-packages.log"
  mkdir -p build
  if ! cmake --workflow --preset "$platform-packages" >"$log" 2>&1; then
    cat "$log" >&2
    echo "packaging for $platform failed" >&2
    exit 1
  fi
  find "$root/build/$tree/packages" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.tar.gz' -o -name '*.zip' \) | sort
done
