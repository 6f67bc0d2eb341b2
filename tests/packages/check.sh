#!/usr/bin/env bash
# The checks of the packages a user installs, one per call, run by CTest
# (CMakeLists.txt here):
#
#   check.sh CHECK ARGUMENTS...
#
# Nothing is installed on the machine: each check unpacks what it needs into
# a temporary folder. Exit 77 skips a check, saying why.
set -euo pipefail
check=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

# An input of three pieces of 1 MB, the last one short.
make_input() { head -c $((2 * 1048576 + 12345)) /dev/urandom >"$1"; }

# expect_split FOLDER NAME INPUT: the pieces, script and digest a split of
# INPUT in pieces of 1 MB leaves in FOLDER, and the digest is the input's MD5.
expect_split() {
  local folder=$1 name=$2 input=$3 file
  for file in "${name}_1" "${name}_2" "${name}_3" "${name%.*}.bat" "${name%.*}.md5"; do
    [ -f "$folder/$file" ] || fail "the split left no $file"
  done
  [ ! -e "$folder/${name}_4" ] || fail "the split wrote a fourth piece"
  local digest
  digest=$(md5sum <"$input" | cut -c1-32)
  [ "$(cat "$folder/${name%.*}.md5")" = "$digest" ] ||
    fail "the digest file holds $(cat "$folder/${name%.*}.md5"), the input's MD5 is $digest"
}

# The files in a package, one a line, directories left out, sorted.
package_files() {
  case $1 in
    *.deb) dpkg-deb --fsys-tarfile "$1" | tar -t | grep -v '/$' | sed 's|^\./||' ;;
    *.tar.gz) tar -tzf "$1" | grep -v '/$' ;;
    *.zip) unzip -Z1 "$1" | grep -v '/$' ;;
  esac | sort
}

# expect_files PACKAGE EXPECTED...: the package holds exactly these files.
expect_files() {
  local package=$1
  shift
  local expected actual
  expected=$(printf '%s\n' "$@" | sort)
  actual=$(package_files "$package")
  [ "$expected" = "$actual" ] ||
    fail "$(basename "$package") holds other files than expected:
$(diff <(echo "$expected") <(echo "$actual") || true)"
}

case $check in
  # deb-control DEB VERSION: the control fields, the libcrypto package
  # among the computed dependencies, no C++ or GCC runtime among them.
  deb-control)
    deb=$1 version=$2
    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package)" = filesplit ] || fail "Package: $(field Package)"
    [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
    [ "$(field Section)" = utils ] || fail "Section: $(field Section)"
    [[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
    [ -n "$(field Description)" ] || fail "no Description"
    depends=$(field Depends)
    [[ "$depends" =~ (^|, )libssl3[a-z0-9]*\ \( ]] || fail "Depends lacks the libcrypto package: $depends"
    [[ "$depends" =~ (^|, )libc6\ \( ]] || fail "Depends lacks libc6: $depends"
    [[ ! "$depends" =~ libstdc\+\+|libgcc ]] || fail "Depends names a runtime meant to be linked in: $depends"
    ;;

  # contents PACKAGE VERSION TOOLS: exactly the tools, their manual pages
  # (Linux) and the README, where each package puts them.
  contents)
    package=$1 version=$2
    read -r -a tools <<<"$3"
    files=()
    case $package in
      *.deb | *.tar.gz)
        if [[ $package == *.deb ]]; then prefix=usr/; else prefix=filesplit-$version-Linux/; fi
        files+=("${prefix}share/doc/filesplit/README.md")
        for tool in "${tools[@]}"; do
          files+=("${prefix}bin/$tool" "${prefix}share/man/man1/$tool.1.gz")
        done ;;
      *.zip)
        files+=("filesplit-$version-win64/README.md")
        for tool in "${tools[@]}"; do files+=("filesplit-$version-win64/$tool.exe"); done ;;
    esac
    expect_files "$package" "${files[@]}"
    ;;

  # deb-run DEB TOOLS VERSION: the unpacked tools split a file and rebuild
  # it (filejoin where packaged, else the pieces in order).
  deb-run)
    deb=$1 version=$3
    read -r -a tools <<<"$2"
    dpkg-deb -x "$deb" "$work/root"
    bin=$work/root/usr/bin
    mkdir "$work/run"
    cd "$work/run"
    make_input data.bin
    "$bin/filesplit" data.bin 1 pieces >split.log || fail "filesplit exited with $?: $(cat split.log)"
    expect_split pieces data.bin data.bin
    if [[ " ${tools[*]} " == *" filejoin "* ]]; then
      [ "$("$bin/filejoin" --version)" = "filejoin $version" ] || fail "filejoin --version: $("$bin/filejoin" --version)"
      "$bin/filejoin" pieces/data.bat joined >join.log || fail "filejoin exited with $?: $(cat join.log)"
      cmp data.bin joined/data.bin || fail "filejoin rebuilt other bytes"
    else
      cat pieces/data.bin_1 pieces/data.bin_2 pieces/data.bin_3 | cmp data.bin - ||
        fail "the pieces in order are not the input"
    fi
    ;;

  # zip-run ZIP TOOLS VERSION: the unpacked .exe files split a file and
  # rebuild it under Wine (filejoin.exe where packaged, else the rejoin
  # script run by cmd).
  zip-run)
    zip=$1 version=$3
    read -r -a tools <<<"$2"
    command -v wine >/dev/null || { echo "SKIPPED: Wine is not installed"; exit 77; }
    unzip -q "$zip" -d "$work/unpacked"
    bin=$(echo "$work"/unpacked/*)
    mkdir "$work/run"
    cd "$work/run"
    make_input data.bin
    wine "$bin/filesplit.exe" data.bin 1 pieces >split.log 2>&1 ||
      fail "filesplit.exe exited with $?: $(cat split.log)"
    expect_split pieces data.bin data.bin
    if [[ " ${tools[*]} " == *" filejoin "* ]]; then
      shown=$(wine "$bin/filejoin.exe" --version | tr -d '\r')
      [ "$shown" = "filejoin $version" ] || fail "filejoin.exe --version: $shown"
      wine "$bin/filejoin.exe" pieces/data.bat joined >join.log 2>&1 ||
        fail "filejoin.exe exited with $?: $(cat join.log)"
      cmp data.bin joined/data.bin || fail "filejoin.exe rebuilt other bytes"
    else
      (cd pieces && wine cmd /c data.bat >../join.log 2>&1) || fail "the rejoin script failed: $(cat join.log)"
      cmp data.bin pieces/data.bin || fail "the rejoin script rebuilt other bytes"
    fi
    ;;

  # man PAGE VERSION: the page renders without a warning and carries the
  # version.
  man)
    page=$1 version=$2
    MANWIDTH=80 man --warnings -l "$page" >"$work/page.txt" 2>"$work/warnings.txt" ||
      fail "man could not render $page: $(cat "$work/warnings.txt")"
    [ ! -s "$work/warnings.txt" ] || fail "man warns on $(basename "$page"):
$(cat "$work/warnings.txt")"
    grep -q "filesplit $version" "$work/page.txt" || fail "$(basename "$page") does not show version $version"
    ;;

  # man-exit-codes PAGE README HEADING: the page lists the exit codes the
  # table in the README's section HEADING lists, no more, no fewer.
  man-exit-codes)
    page=$1 readme=$2 heading=$3
    from_readme=$(awk -v h="## $heading" '$0 == h { on = 1; next } on && /^## / { exit } on' "$readme" |
      sed -n 's/^| \([0-9][0-9]*\) |.*/\1/p')
    from_page=$(zcat -f "$page" | sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' | sed -n 's/^\.B \([0-9][0-9]*\)$/\1/p')
    [ -n "$from_readme" ] || fail "no exit codes found in the section \"$heading\" of $readme"
    [ "$from_readme" = "$from_page" ] || fail "exit codes: README $(echo $from_readme), page $(echo $from_page)"
    ;;

  # exe-imports EXE: the .exe imports only DLLs every Windows system has:
  # the kernel, CNG, the C runtime (msvcrt, or the UCRT and its API sets)
  # and ADVAPI32; never a C++, GCC or thread runtime to be shipped beside it.
  exe-imports)
    exe=$1
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || fail "no import table read from $exe"
    others=$(echo "$dlls" | grep -v -x -E 'kernel32\.dll|bcrypt\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-crt-[a-z0-9-]+\.dll|advapi32\.dll' || true)
    [ -z "$others" ] || fail "$(basename "$exe") imports DLLs outside the system set: $(echo $others)"
    ;;

  # exe-resources EXE VERSION: the version resource and the application
  # manifest, read back from the .exe.
  exe-resources)
    exe=$1 version=$2
    name=$(basename "$exe" .exe)
    x86_64-w64-mingw32-windres -J coff -O rc -i "$exe" >"$work/resources.rc" ||
      fail "windres could not read the resources of $exe"
    python3 "$(dirname "$0")/exe_resources.py" "$work/resources.rc" "$name" "$version"
    ;;

  *) fail "unknown check $check" ;;
esac
