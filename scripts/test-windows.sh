#!/usr/bin/env bash
# Cross-compiles pdb/, text/, jobs/, tunelore-cli and their tests for 64-bit Windows with Debian's mingw-w64
# (in build-windows/) and runs the tests, the command line's golden-file tests among them, under wine64.
# GoogleTest is built from Debian's googletest sources with the cross compiler; CLI11 and nlohmann/json are
# header-only. The window is not built: Debian has no Qt for MinGW. Installs the packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
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
if [ ! -f "$build/CMakeCache.txt" ]; then
    # -O2 as in the native build; GCC 12's -O3 warns falsely about overlapping copies in string appends.
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DTUNELORE_BUILD_UI=OFF -DTUNELORE_WERROR=ON \
        -DGTest_DIR="$deps/lib/cmake/GTest" -DCLI11_DIR="$deps/share/cmake/CLI11" \
        -Dnlohmann_json_DIR="$deps/share/cmake/nlohmann_json" \
        -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
fi
tests=(pdb_tests text_tests jobs_tests cli_tests hotsync_tests)
cmake --build "$build" -j "$(nproc)" --target tunelore-cli "${tests[@]}"

echo "== tests under wine64 =="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX=$PWD/$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
"$wineserver" -p # one server for every run below
trap '"$wineserver" -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
fi

# The tests name their data by the host's absolute paths; from a folder under /, which wine maps to drive Z:,
# a path such as /work/... is Z:\work\... for the Windows programs.
passed=0
failed=0
for program in "${tests[@]}"; do
    log=$build/$program.log
    if "$wine" "$build/bin/$program.exe" --gtest_brief=1 >"$log" 2>&1; then
        count=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log")
        echo "$program: ${count:-0} passed"
        passed=$((passed + ${count:-0}))
    else
        cat "$log"
        count=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log")
        failed=$((failed + ${count:-1})) # no count: the program did not finish
    fi
done

echo "windows: $passed passed, $failed failed"
[ $failed -eq 0 ]
