#!/usr/bin/env bash
# Builds the importer and starts it with the sample songs of examples/ loaded.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
scripts/deps.sh
scripts/build.sh build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    echo "No display is available, so the window cannot open here."
    echo "The command-line front end does the same jobs, for example:"
    echo "  build/bin/tunelore-cli build -o songs.pdb examples/*.pro examples/*.tab"
    echo "  build/bin/tunelore-cli info songs.pdb"
    exit 1
fi
exec build/bin/tunelore-importer examples/*
