#!/usr/bin/env bash
# Builds everything and runs every test twice: a normal build (build/) and an AddressSanitizer +
# UndefinedBehaviorSanitizer build (build-asan/). Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
scripts/deps.sh

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

echo "== normal build =="
scripts/build.sh build -DTUNELORE_WERROR=ON
ctest --test-dir build --output-on-failure -j "$(nproc)"

echo "== sanitizer build =="
scripts/build.sh build-asan -DTUNELORE_WERROR=ON -DTUNELORE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
