#!/usr/bin/env bash
# Configures (when not yet configured) and builds one build tree: scripts/build.sh DIR [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
dir=$1
scripts/configure.sh "$@"
cmake --build "$dir" -j "$(nproc)"
