#!/usr/bin/env bash
# Configures the build tree DIR unless it already is: scripts/configure.sh DIR [cmake options...]
# A new tree uses Ninja where it is installed; an existing one keeps its generator and takes the options given
# again (so that, say, -DTUNELORE_WERROR=ON holds whatever was chosen before), quietly.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
dir=$1
shift
if [ ! -f "$dir/CMakeCache.txt" ]; then
    generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    cmake -S . -B "$dir" "${generator[@]}" "$@"
else
    cmake -S . -B "$dir" "$@" >/dev/null
fi
