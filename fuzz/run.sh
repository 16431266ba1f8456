#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in build-fuzz/ and runs each target for
# the given number of seconds: fuzz/run.sh [SECONDS] [TARGET...] (default 60 seconds, every target).
# New inputs go to a scratch corpus (build-fuzz/fuzz-scratch/<target>/, listed first so libFuzzer writes
# there); the checked-in seeds of fuzz/corpus/<target>/ and the regression inputs are read only.
# A crash, leak, timeout or broken property leaves its input in build-fuzz/fuzz-findings/<target>/ and
# makes the script exit non-zero after all targets ran.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh # clang and its sanitizer runtimes, on a fresh machine

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(pdb_read extract tab_convert sheet_convert chord_def title netsync dlp_reply db_list)

build=build-fuzz
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
    CXX=clang++ cmake -S . -B "$build" "${generator[@]}" -DTUNELORE_FUZZ=ON -DTUNELORE_BUILD_UI=OFF \
        -DTUNELORE_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
else
    cmake -S . -B "$build" >/dev/null
fi
programs=()
for t in "${targets[@]}"; do
    programs+=("${t}_fuzz")
done
cmake --build "$build" -j "$(nproc)" --target "${programs[@]}"

# Recoverable UBSan reports would otherwise only print; make them findings.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
# The extraction target writes files for every input and the writer syncs each one to disk; a memory-backed
# temporary folder keeps it at hundreds of inputs a second instead of tens.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

failed=()
for t in "${targets[@]}"; do
    scratch="$build/fuzz-scratch/$t"
    findings="$build/fuzz-findings/$t"
    mkdir -p "$scratch" "$findings"
    echo "== $t: ${seconds} s =="
    if ! "$build/bin/${t}_fuzz" "$scratch" fuzz/corpus/"$t" tests/data/fuzz-regressions/"$t" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" 2>"$build/fuzz-$t.log"; then
        failed+=("$t")
        tail -n 60 "$build/fuzz-$t.log"
    else
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::new_units_added)' "$build/fuzz-$t.log" || true
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found problems in: ${failed[*]} (inputs in $build/fuzz-findings/)"
    exit 1
fi
echo "fuzzing: ${#targets[@]} targets, ${seconds} s each, no finding"
