#!/usr/bin/env bash
# Installs the given Debian packages with apt-get when any of them is missing:
# scripts/install-packages.sh PACKAGE...
set -euo pipefail
. "$(dirname "$0")/env.sh"

missing=()
for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo env DEBIAN_FRONTEND=noninteractive"
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
