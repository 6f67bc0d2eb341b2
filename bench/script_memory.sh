#!/usr/bin/env bash
# The peak resident memory of filejoin reading a script of a million pieces
# (13 MB) and one of 330,000 pieces of a 204-character name (75 MB), side
# by side with a script of 3 pieces: a reader that holds the pieces grows
# with them, a streaming one does not.
#   bench/script_memory.sh [FILEJOIN]   (default: build/dev/filejoin)
# The pieces are not there: filejoin reads the whole script, then stops at
# the first missing piece (exit 3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
filejoin=${1:-$root/build/dev/filejoin}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A script as the splitter writes it: a copy line is broken once it passes
# 4000 counted characters (a name counts at most 260).
write_script() {  # NAME PIECES FILE
  python3 - "$@" <<'PY'
import sys
name, count, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
out = ["chcp 65001\ncopy /b"]
length, first, target_written = 7, True, False
for i in range(1, count + 1):
    piece = f"{name}_{i}"
    if length > 4000:
        if not target_written:
            out.append(f' "{name}"')
            target_written = True
        out.append(f'\ncopy /b "{name}"')
        length = 10 + len(name)
    if not first:
        out.append(" +")
        length += 2
    first = False
    out.append(f' "{piece}"')
    length += 3 + min(len(piece), 260)
if not target_written:
    out.append(f' "{name}"\n')
open(path, "w").write("".join(out).replace("\n", "\r\n"))
PY
}

peak() {  # SCRIPT
  { /usr/bin/time -v "$filejoin" "$1" "$scratch/out" 2>&1 >/dev/null || true; } |
    sed -n 's/.*Maximum resident set size (kbytes): //p'
}

write_script in.bin 3 "$scratch/small.bat"
write_script in.bin 1000000 "$scratch/million.bat"
write_script "$(printf 'b%.0s' $(seq 204))" 330000 "$scratch/long.bat"
small=$(peak "$scratch/small.bat")
for script in million long; do
  kib=$(peak "$scratch/$script.bat")
  bytes=$(stat -c %s "$scratch/$script.bat")
  echo "$script: script $((bytes / 1048576)) MiB, peak resident $((kib / 1024)) MiB;" \
    "$(awk -v a="$kib" -v b="$small" 'BEGIN { printf "%.2f", a / b }')x a 3-piece script's ($((small / 1024)) MiB)"
done
