# shellcheck shell=bash
# What compare_builds.sh and compare_joins.sh share: one command run by both
# builds, compared. The caller defines run_linux and run_windows (each runs
# its build's binary with the arguments given), $work (a scratch folder),
# $windows_code_page and the counter $failures, and may define
# console_filter, through which both outputs pass before they are compared.

# The console text as compared: through console_filter when there is one.
compared_console() {
  if declare -F console_filter >/dev/null; then console_filter; else cat; fi
}

# compare NAME CONSOLE(yes|no) ARGUMENTS...
compare() {
  local name=$1 console=$2
  shift 2
  local linux_code=0 windows_code=0
  run_linux "$@" >"$work/linux.raw" || linux_code=$?
  run_windows "$@" >"$work/windows.raw" || windows_code=$?
  if [ "$linux_code" != "$windows_code" ]; then
    echo "FAILED $name: exit code $linux_code (Linux), $windows_code (Windows)"
    failures=$((failures + 1))
    return
  fi
  if [ "$console" = yes ]; then
    compared_console <"$work/linux.raw" >"$work/linux.out"
    tr -d '\r' <"$work/windows.raw" | iconv -f "$windows_code_page" -t UTF-8 |
      compared_console >"$work/windows.out"
    if ! cmp -s "$work/linux.out" "$work/windows.out"; then
      echo "FAILED $name: console output differs"
      diff "$work/linux.out" "$work/windows.out" | head -20 || true
      failures=$((failures + 1))
      return
    fi
  fi
  echo "ok $name (exit $linux_code)"
}
