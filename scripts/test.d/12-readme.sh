#!/usr/bin/env bash
# The README's commands, run as written on a fresh copy of the tree; those
# that need a terminal or would install onto the machine are named, not run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bash "$root/tests/check_readme_commands.sh" "$root"
