#!/usr/bin/env bash
# End-to-end timings of the command-line tool against the floor set by plain file tools:
#   1. tunelore-cli build of COUNT song files (about 2 KB each) against cat of the same files;
#      peak memory of the build (/usr/bin/time -v) against the total size of the files.
#   2. tunelore-cli extract of a COUNT-song database against cp -r of the folder it writes.
#   3. tunelore-cli convert of a 12 MB guitar tab file against cat of it, with its throughput in MB/s.
# Usage: bench/e2e.sh [COUNT] [BUILD_DIR]   (defaults: 10000, build-bench)
# Builds tunelore-cli and tunelore-bench-data in BUILD_DIR (Release) first. The files go to a fresh folder
# under TMPDIR (default /tmp), which is removed at the end; TMPDIR=/dev/shm measures without the disk.
# Uses hyperfine when it is installed (apt-get install hyperfine), plain `time` otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
count=${1:-10000}
build=${2:-build-bench}

scripts/configure.sh "$build" -DCMAKE_BUILD_TYPE=Release -DTUNELORE_BUILD_BENCH=ON -DTUNELORE_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target tunelore-cli tunelore-bench-data >/dev/null
cli=$(realpath "$build/bin/tunelore-cli")
data=$(realpath "$build/bin/tunelore-bench-data")

work=$(mktemp -d "${TMPDIR:-/tmp}/tunelore-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$data" songs "$work/songs" "$count"
"$data" songdb "$work/songs.pdb" "$count"
"$data" tab "$work/tab.txt" 12000000
input_bytes=$(find "$work/songs" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "work folder: $work ($(df --output=fstype "$work" | tail -1))"
echo "input: $count song files, $input_bytes bytes"

# One extraction made in advance: the folder that cp -r copies.
"$cli" extract "$work/songs.pdb" "$work/reference" >/dev/null

cd "$work"
build_cmd="$cli build -o out.pdb songs/*.pro >/dev/null"
cat_cmd="cat songs/*.pro >/dev/null"
extract_cmd="$cli extract songs.pdb extracted >/dev/null"
copy_cmd="cp -r reference extracted"
tab_bytes=$(stat -c %s tab.txt)
cat_tab_cmd="cat tab.txt >/dev/null"
convert_cmd="$cli convert tab.txt >/dev/null"
if command -v hyperfine >/dev/null; then
    hyperfine --warmup 1 --runs 5 --export-markdown build.md "$cat_cmd" "$build_cmd"
    hyperfine --runs 3 --prepare 'rm -rf extracted' --export-markdown extract.md "$copy_cmd" "$extract_cmd"
    hyperfine --warmup 1 --runs 10 --export-json convert.json --export-markdown convert.md "$cat_tab_cmd" "$convert_cmd"
    cat build.md extract.md convert.md
    mean=$(python3 -c 'import json,sys; print(json.load(open("convert.json"))["results"][1]["mean"])')
    echo "convert: $tab_bytes bytes in $mean s: $(awk -v b="$tab_bytes" -v t="$mean" 'BEGIN { printf "%.0f", b / t / 1e6 }') MB/s"
else
    for command in "$cat_cmd" "$build_cmd"; do
        bash -c "$command" # warm-up
        echo "== $command"
        time bash -c "$command"
    done
    for command in "$copy_cmd" "$extract_cmd"; do
        rm -rf extracted
        echo "== $command"
        time bash -c "$command"
    done
    for command in "$cat_tab_cmd" "$convert_cmd"; do
        bash -c "$command" # warm-up
        echo "== $command ($tab_bytes bytes)"
        time bash -c "$command"
    done
fi

if [ -x /usr/bin/time ]; then
    peak_kb=$(/usr/bin/time -v bash -c "$build_cmd" 2>&1 | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
    echo "build: peak resident memory ${peak_kb} KB for $((input_bytes / 1024)) KB of input" \
        "($(awk -v p="$peak_kb" -v i="$input_bytes" 'BEGIN { printf "%.2f", p * 1024 / i }') times the input)"
fi
