#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tools need, when any is missing.
set -euo pipefail
. "$(dirname "$0")/env.sh"

packages=(
    build-essential cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libgl-dev fonts-dejavu-core
    libcli11-dev nlohmann-json3-dev
    libusb-1.0-0-dev
    libpalm-perl
    clang libclang-rt-14-dev
)

exec "$(dirname "$0")/install-packages.sh" "${packages[@]}"
