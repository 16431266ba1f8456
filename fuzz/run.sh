#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in build-fuzz/ and runs each target for
# the given number of seconds: fuzz/run.sh [SECONDS] [TARGET...] (default 60 seconds, every target).
# New inputs go to a scratch corpus (build-fuzz/fuzz-scratch/<target>/, listed first so libFuzzer writes
# there); the checked-in seeds of fuzz/corpus/<target>/ and the regression inputs are read only.
# A crash, leak, timeout or broken property leaves its input in build-fuzz/fuzz-findings/<target>/ and
# makes the script exit non-zero after all targets ran.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
scripts/deps.sh # clang and its sanitizer runtimes, on a fresh machine

seconds=${1:-60}
shift || true
targets=("$@")

build=build-fuzz
CXX=clang++ scripts/configure.sh "$build" -DTUNELORE_FUZZ=ON -DTUNELORE_BUILD_UI=OFF -DTUNELORE_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Every target fuzz/CMakeLists.txt builds, unless some were named.
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets <"$build/fuzz-targets.txt"
    cmake --build "$build" -j "$(nproc)" --target fuzz_all
else
    cmake --build "$build" -j "$(nproc)" --target "${targets[@]/%/_fuzz}"
fi

# Recoverable UBSan reports would otherwise only print; make them findings.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
# The extraction target writes files for every input and the writer syncs each one to disk; a memory-backed
# temporary folder keeps it at hundreds of inputs a second instead of tens.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

# One target a core at a time: each runs its full time, and the whole run takes a core's share of them.
run_target() {
    local t=$1 scratch="$build/fuzz-scratch/$1" findings="$build/fuzz-findings/$1"
    mkdir -p "$scratch" "$findings"
    "$build/bin/${t}_fuzz" "$scratch" fuzz/corpus/"$t" tests/data/fuzz-regressions/"$t" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" 2>"$build/fuzz-$t.log"
}
jobs_at_once=$(nproc)
declare -A running=() # pid -> target
failed=()
reap_one() {
    local pid
    wait -n -p pid "${!running[@]}" && status=0 || status=$?
    local t=${running[$pid]}
    unset "running[$pid]"
    echo "== $t: ${seconds} s =="
    if [ "$status" -ne 0 ]; then
        failed+=("$t")
        tail -n 60 "$build/fuzz-$t.log"
    else
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::new_units_added)' "$build/fuzz-$t.log" || true
    fi
}
for t in "${targets[@]}"; do
    while [ ${#running[@]} -ge "$jobs_at_once" ]; do
        reap_one
    done
    run_target "$t" &
    running[$!]=$t
done
while [ ${#running[@]} -gt 0 ]; do
    reap_one
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found problems in: ${failed[*]} (inputs in $build/fuzz-findings/)"
    exit 1
fi
echo "fuzzing: ${#targets[@]} targets, ${seconds} s each, no finding"
