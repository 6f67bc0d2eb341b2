#!/usr/bin/env bash
# Checks every #include of the product, the tests, the fuzz targets and the
# benchmarks (quoted or angled, wherever it stands on its line) against the
# folders' rules, prints each include that breaks one, and fails when there
# is one.
#
# 1. The product's folders depend one way, from the tools down to the system:
#
#      app -> split, join -> script, transfer -> hash, fileio -> common -> texts -> platform
#
#    A file may include its own folder's headers and those of any folder below
#    its own, never one beside it or above it.
# 2. Each platform's side is private to platform/: platform/win/ to itself,
#    platform/linux/ to itself, platform/unix/ to itself and platform/linux/
#    (what any UNIX has, which Linux builds on). Excepted, by name, below.
# 3. tests/, fuzz/ and bench/ may include any product header but a platform's
#    private ones (excepted, by name, below), and their own folders' (fuzz/
#    also tests/support/); the product includes none of theirs.
# 4. A header named without a folder is one of the including file's own folder
#    (tests/: or tests/support/; fuzz/: or tests/support/), never a platform's
#    private header found through the include path; platform/platform.h alone
#    names platform_impl.h so, which the build takes from the platform's folder.
#
#   check_layers.sh [ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
declare -A rank=([app]=6 [split]=5 [join]=5 [script]=4 [transfer]=4 [hash]=3 [fileio]=3
  [common]=2 [texts]=1 [platform]=0)
# Who may include which platform side beyond platform/ itself: a file pattern
# and the private folder it may include.
exceptions=(
  'app/unix/filesplit_main.cpp platform/unix/'  # the process entry: main
  'app/unix/filejoin_main.cpp platform/unix/'
  'tests/support/posix/* platform/unix/'  # the test harness of the UNIX build
  'tests/support/posix/* platform/linux/'
  'tests/support/win/* platform/win/'  # ... and of the Windows build
  'tests/windows_*.cpp platform/win/'  # tests of Windows-only rules
  'tests/byte_names_test.cpp platform/unix/native_text.h'  # names as bytes
  'fuzz/front_end_fuzz.cpp platform/unix/native_text.h'    # arguments as bytes
)
product_or() { [ -n "${rank[$1]:-}" ] || [[ " $2 " == *" $1 "* ]]; }
excepted() {
  local file=$1 target=$2 entry pattern allowed
  for entry in "${exceptions[@]}"; do
    pattern=${entry%% *} allowed=${entry#* }
    # shellcheck disable=SC2053 # the pattern is a glob on purpose
    [[ $file == $pattern && $target == "$allowed"* ]] && return 0
  done
  return 1
}
broken=0
complain() {
  echo "$1"
  broken=1
}
while IFS= read -r file; do
  from=${file%%/*}
  dir=$(dirname "$file")
  case $from in app | split | join | script | transfer | hash | fileio | common | texts | platform | tests | fuzz | bench) ;;
    *) continue ;;
  esac
  while IFS=: read -r line include; do
    name=${include#*[\"<]}
    name=${name%[\">]}
    if [[ $include == *'<'* ]]; then  # a system header, unless it names one of ours
      [ -n "${rank[${name%%/*}]:-}" ] || continue
    fi
    where="$file:$line includes $name"
    if [[ $name != */* ]]; then
      case $from in tests | fuzz) support=tests/support/$name ;; *) support= ;; esac
      if [ -f "$dir/$name" ] || { [ -n "$support" ] && [ -f "$support" ]; } ||
        [[ $from == fuzz && -f fuzz/$name ]] ||
        [[ $file == platform/platform.h && $name == platform_impl.h ]]; then
        continue
      fi
      complain "$where, which is not in its own folder: name it by its folder"
      continue
    fi
    target=$name
    [[ $name == ./* || $name == ../* ]] && target=$(realpath -m --relative-to=. "$dir/$name")
    to=${target%%/*}
    if [[ $target =~ ^platform/(unix|linux|win)/ ]]; then
      side=${BASH_REMATCH[1]}
      case "$side:$file" in
        unix:platform/unix/* | unix:platform/linux/* | linux:platform/linux/* | win:platform/win/*) ;;
        *) excepted "$file" "$target" ||
          complain "$where, which is private to platform/$side/" ;;
      esac
      [[ $from == platform ]] && continue
    fi
    case $from in
      tests) product_or "$to" "tests" || complain "$where, outside the product and tests/" ;;
      fuzz) product_or "$to" "fuzz tests" || complain "$where, outside the product, fuzz/ and tests/" ;;
      bench) product_or "$to" "bench" || complain "$where, outside the product and bench/" ;;
      *)
        [ "$to" = "$from" ] && continue
        if [ -z "${rank[$to]:-}" ] || [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
          complain "$where, which is not below $from/"
        fi
        ;;
    esac
  done < <(grep -n -o -E '#[[:space:]]*include[[:space:]]*("[^"]+"|<[^>]+>)' "$file" || true)
done < <(git ls-files '*.cpp' '*.h')
[ "$broken" -eq 0 ] || exit 1
echo "check passed: every include keeps the folders' rules (tests/check_layers.sh says which)"
