# shellcheck shell=bash
# Helpers of bench/run.sh: timing, medians, ratios and peak memory.

# Runs the command given and prints the seconds it took: elapsed, then the
# processor time (user and system) of it and its children, then the system
# time alone. The processor times count only this command's work when other
# jobs share the processors.
seconds_taken() {
  local TIMEFORMAT='%R %U %S' times
  times=$( { time "$@" 2>&3; } 3>&2 2>&1)
  awk -v t="$times" 'BEGIN { split(t, f, " "); printf "%.3f %.3f %.3f\n", f[1], f[2] + f[3], f[3] }'
}

# The median of the numbers given (the mean of the middle two for an even count).
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 }
    END { m = int((NR + 1) / 2); printf "%.3f", (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }'
}

# $1 / $2 with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# Runs the command given under GNU time and prints its peak resident set in KiB.
peak_kib() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}
