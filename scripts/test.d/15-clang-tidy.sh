#!/usr/bin/env bash
# Static checks: clang-tidy with the root's .clang-tidy over the project's
# own sources (not the build trees, not GoogleTest); every finding fails the
# stage. First everything the dev build compiles; then the Windows side
# (platform/win/, app/win/, tests/support/win/) as the windows preset compiles it,
# parsed by clang for mingw-w64. (The shared tests hold no Windows-only
# code worth a second parse: one GTEST_SKIP.)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
scripts/deps.sh cmake g++ make libssl-dev libgtest-dev clang-tidy g++-mingw-w64-x86-64-posix \
  googletest

# tidy NAME BUILD_TREE FILE_REGEX [EXTRA_ARGUMENT...]
tidy() {
  local name=$1 tree=$2 files=$3
  shift 3
  local count log=build/clang-tidy-$name.log
  count=$(grep -c -E "\"file\": \"$files" "$tree/compile_commands.json" || true)
  [ "$count" -gt 0 ] || { echo "no sources of $files in $tree/compile_commands.json" >&2; exit 1; }
  if ! run-clang-tidy -j "$(nproc)" -quiet -p "$tree" "$@" "^$files" >"$log" 2>&1; then
    sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E "(warning|error): " | sort -u >&2 || cat "$log" >&2
    echo "clang-tidy ($name): findings in the sources above (whole output: $log)" >&2
    exit 1
  fi
  echo "check passed: clang-tidy on the $name sources, $count files, no finding"
}

# The project's own folders, as git tracks them: never a build tree.
folders=$(git ls-files '*.cpp' '*.h' | sed -n 's|/.*||p' | sort -u | paste -s -d '|')
own="$root/($folders)/"

cmake --preset dev >/dev/null  # its compile_commands.json
tidy native build/dev "$own" -header-filter="^$own"

# Clang reads mingw's C++ library and Windows headers; GCC's own intrinsic
# headers are GCC's builtins, so clang's stand in for them.
cmake --preset windows >/dev/null
mingw=()
while read -r folder; do
  case $folder in
    */include/c++* | */x86_64-w64-mingw32/include) mingw+=("-extra-arg=-isystem$folder") ;;
  esac
done < <(x86_64-w64-mingw32-g++-posix -E -x c++ -v - </dev/null 2>&1 |
  sed -n '/#include <...> search starts here:/,/End of search list./s/^ //p')
tidy windows build/windows "$root/(platform/win|app/win|tests/support/win)/" -header-filter="^$own" \
  -extra-arg=--target=x86_64-w64-mingw32 -extra-arg=-nostdinc++ "${mingw[@]}"
