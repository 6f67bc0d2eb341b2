#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing,
# when run as root; otherwise names them and fails.
set -euo pipefail
missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them as root: apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing ${missing[*]} ..."
# Another install may hold the package lock: wait for it instead of failing.
apt-get -o DPkg::Lock::Timeout=600 update -q >/dev/null
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q "${missing[@]}" >/dev/null
