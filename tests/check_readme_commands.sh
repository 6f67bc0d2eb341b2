#!/usr/bin/env bash
# The README's commands run as written on a fresh copy of the tree: every
# line of its ```sh blocks, in order, in one shell that stops at the first
# failure, in a scratch folder holding the files git tracks (as a clone
# has them, with this tree's changes; nothing untracked). A line that needs what a test cannot
# give is not run, for the reason the table below names; every other one
# must succeed. Prints "check passed: ..." for each command run.
#
#   check_readme_commands.sh [ROOT]
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
readme="$root/README.md"

# Commands not run here, by how they start, and why.
declare -A not_run=(
  ["apt install "]="installs the package onto this machine"
  ["man "]="needs a terminal for its pager"
  ["bench/"]="takes minutes and a quiet machine; its figures are measured by hand"
  ["scripts/test.sh"]="is the command that runs this check"
)

# not_run_reason COMMAND: why COMMAND is not run, or nothing.
not_run_reason() {
  local start
  for start in "${!not_run[@]}"; do
    case $1 in "$start"*) echo "${not_run[$start]}"; return ;; esac
  done
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Tracked files only: what a newcomer made by following the README (its
# try/ folder) is no part of a clone.
(cd "$root" && git ls-files -z --cached |
  while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
  tar --null -T - -cf -) | tar -xf - -C "$scratch"

script="$scratch/.readme-commands.sh"
echo 'set -euo pipefail' >"$script"
count=0
while IFS= read -r command; do
  reason=$(not_run_reason "$command")
  if [ -n "$reason" ]; then
    echo "not run: $command ($reason)"
    continue
  fi
  printf 'echo %q\n%s\necho %q\n' "+ $command" "$command" "check passed: README command: $command" \
    >>"$script"
  count=$((count + 1))
done < <(awk '/^```/ { on = ($0 == "```sh"); next } on && NF && !/^#/' "$readme")
[ "$count" -gt 0 ] || { echo "no \`\`\`sh block with a command in $readme" >&2; exit 1; }

cd "$scratch"
if ! bash "$script"; then
  echo "a command of the README failed on a fresh copy of the tree (above)" >&2
  exit 1
fi
