#!/usr/bin/env bash
# Cross-compiles pdb/, text/, jobs/, tunelore-cli and their tests for 64-bit Windows with Debian's mingw-w64
# (in build-windows/) and runs the tests, the command line's golden-file tests among them, with CTest under
# wine64 (the toolchain file makes wine the emulator that CTest starts each Windows program through).
# GoogleTest is built from Debian's googletest sources with the cross compiler; CLI11 and nlohmann/json are
# header-only. The window is not built: Debian has no Qt for MinGW. Installs the packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
scripts/install-packages.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine64 \
    googletest libcli11-dev nlohmann-json3-dev

build=build-windows
deps=$PWD/$build/deps
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake

if [ ! -f "$deps/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "== GoogleTest for Windows =="
    cmake -S /usr/src/googletest -B "$build/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
    cmake --build "$build/googletest" -j "$(nproc)"
    cmake --install "$build/googletest" >/dev/null
fi
# The header-only packages' CMake files, beside links to their headers only: the cross compiler must never
# see the host's /usr/include, where the C library's headers are Linux's.
mkdir -p "$deps/include" "$deps/share/cmake"
for package in CLI11 nlohmann_json; do
    cp -r "/usr/share/cmake/$package" "$deps/share/cmake/"
done
ln -sfn /usr/include/CLI "$deps/include/CLI"
ln -sfn /usr/include/nlohmann "$deps/include/nlohmann"

echo "== Windows build =="
# -O2 as in the native build; GCC 12's -O3 warns falsely about overlapping copies in string appends. The tests
# are listed when CTest runs, under wine with the environment set below, rather than when they are built.
scripts/configure.sh "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DTUNELORE_BUILD_UI=OFF -DTUNELORE_WERROR=ON \
    -DGTest_DIR="$deps/lib/cmake/GTest" -DCLI11_DIR="$deps/share/cmake/CLI11" \
    -Dnlohmann_json_DIR="$deps/share/cmake/nlohmann_json" -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
cmake --build "$build" -j "$(nproc)"

echo "== tests under wine64 =="
export WINEPREFIX=$PWD/$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=$(sed -n 's/^TUNELORE_WINE:FILEPATH=//p' "$build/CMakeCache.txt") # the one CTest starts
wine=${wine:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
mkdir -p "$WINEPREFIX"
"$wineserver" -p # one server for every test below
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# The first program of a wine session starts wine's own services, which keep its standard output open for as
# long as the session lasts: CTest, reading the output of a test program's listing, would wait for them to end.
# wineboot starts them here (and makes the prefix, the first time) with their output going nowhere.
"$wine" wineboot --init >/dev/null 2>&1
# The tests name their data by the host's absolute paths; from a folder under /, which wine maps to drive Z:,
# a path such as /work/... is Z:\work\... for the Windows programs.
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
