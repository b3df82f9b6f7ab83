#!/usr/bin/env bash
# Measures tivrano against its floors and prints each ratio next to its target:
#   - the largest image (1,000,000 bytes, 577 x 577) against `cat` of its text, and against a
#     build that formats every value with printf (bench/printf_reference.c);
#   - a 16 x 16 frame against a C "hello world" built with the same compiler and flags;
#   - the largest image laid out as a serpentine, column-wise RGB strip against the default;
#   - peak resident memory on the largest image against that on a 1 x 1 image;
#   - the conversions of a 200-frame tivrano_add_frames project built by Ninja -j1, summed from
#     .ninja_log, against 200 bare runs of the tool in a shell loop (medians of 5 builds);
#   - in-process throughput and time per frame (Google Benchmark).
# CPU figures are task-clock medians over ROUNDS rounds; each round runs every command once, in
# turn, so that drift of the machine hits them all alike. Exit status 1 if a target is missed.
# bench/startup.sh measures start-up alone: libraries loaded, size, instructions, an earlier version.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${ROUNDS:-101}
build=${BUILD_DIR:-build-release}

missing=()
command -v perf >/dev/null || missing+=(linux-perf)
[ -x /usr/bin/time ] || missing+=(time)
command -v python3 >/dev/null || missing+=(python3)
command -v ninja >/dev/null || missing+=(ninja-build)
[ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTIVRANO_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
tool=$(cd "$build" && pwd)/tivrano

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 examples/make_bmp.py random 577 577 "$work/large.bmp" 1 1000000
python3 examples/make_bmp.py random 16 16 "$work/frame.bmp" 2
python3 examples/make_bmp.py random 1 1 "$work/one.bmp" 3
"$build/bench/printf_reference" "$work/large.bmp" >"$work/large.txt"
"$tool" "$work/large.bmp" | cmp - "$work/large.txt"

declare -A commands=(
    [tivrano_large]="$tool $work/large.bmp"
    [tivrano_layout]="$tool --serpentine --order=rgb --columns $work/large.bmp"
    [cat_text]="cat $work/large.txt"
    [printf_large]="$build/bench/printf_reference $work/large.bmp"
    [tivrano_frame]="$tool $work/frame.bmp"
    [hello]="$build/bench/hello"
)
names=(tivrano_large tivrano_layout cat_text printf_large tivrano_frame hello)

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for ((round = 0; round < rounds; round++)); do
    for name in "${names[@]}"; do
        # shellcheck disable=SC2086 # the command is split into its words on purpose
        perf stat -x, -e task-clock -o "$work/perf.csv" -- ${commands[$name]} >/dev/null
        awk -F, '/task-clock/ { print $1 }' "$work/perf.csv" >>"$work/$name.ms"
    done
    for image in large one; do
        /usr/bin/time -f %M -o "$work/rss" "$tool" "$work/$image.bmp" >/dev/null
        cat "$work/rss" >>"$work/$image.kib"
    done
done
for name in "${names[@]}"; do
    declare "ms_$name=$(median "$work/$name.ms")"
done
rss_large=$(median "$work/large.kib")
rss_one=$(median "$work/one.kib")

# 200 frames through tivrano_add_frames, against 200 bare runs. Each of 5 rounds makes a clean
# Ninja -j1 build and sums the conversions' times from .ninja_log; then times the loop.
mkdir "$work/frames200" "$work/frames200/frames"
for ((k = 0; k < 200; k++)); do
    python3 examples/make_bmp.py random 16 16 "$work/frames200/frames/f$k.bmp" "$k"
done
cat >"$work/frames200/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.20)
project(frames200 LANGUAGES C)
include("$PWD/cmake/tivranoFunctions.cmake")
file(GLOB frames frames/*.bmp)
add_library(app STATIC)
tivrano_add_frames(app FRAMES \${frames})
EOF
now_ms() { date +%s%N | awk '{ printf "%.3f", $1 / 1e6 }'; }
for ((round = 0; round < 5; round++)); do
    rm -rf "$work/frames200/build"
    cmake -S "$work/frames200" -B "$work/frames200/build" -G Ninja \
        -DTIVRANO_EXECUTABLE="$tool" >/dev/null
    ninja -C "$work/frames200/build" -j1 >/dev/null
    # Each conversion is logged once for each of its output's two names: count the relative one.
    awk -F'\t' 'NR > 1 && $4 ~ /^tivrano_app\/f[0-9]+\.c$/ { sum += $2 - $1 } END { print sum }' \
        "$work/frames200/build/.ninja_log" >>"$work/ninja.ms"
    start=$(now_ms)
    for f in "$work"/frames200/frames/*.bmp; do
        "$tool" "$f" >/dev/null
    done
    awk -v a="$start" -v b="$(now_ms)" 'BEGIN { print b - a }' >>"$work/loop.ms"
    # Ninja runs every command through /bin/sh -c: the same bare runs that way are the floor.
    start=$(now_ms)
    for f in "$work"/frames200/frames/*.bmp; do
        /bin/sh -c "cd '$work' && '$tool' '$f' >/dev/null"
    done
    awk -v a="$start" -v b="$(now_ms)" 'BEGIN { print b - a }' >>"$work/sh.ms"
done
ms_ninja=$(median "$work/ninja.ms")
ms_loop=$(median "$work/loop.ms")
ms_sh=$(median "$work/sh.ms")

"$build/bench/tivrano_bench" --benchmark_repetitions=9 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$work/bench.json"
read -r gbps frame_ns < <(python3 -c '
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
print(runs["convert/577/0_median"]["bytes_per_second"] / 1e9, runs["convert/16/0_median"]["cpu_time"])
' "$work/bench.json")

failed=0
report() { # label, value, comparison, target, unit
    local verdict
    verdict=$(awk -v v="$2" -v t="$4" -v op="$3" 'BEGIN { ok = op == "<=" ? v <= t : v >= t; print ok ? "met" : "MISSED" }')
    [ "$verdict" = met ] || failed=1
    printf '%-52s %9.3f %-5s (target %s %s) %s\n' "$1" "$2" "$5" "$3" "$4" "$verdict"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }

echo "task-clock medians over $rounds alternating rounds, in ms:"
for name in "${names[@]}"; do
    var=ms_$name
    printf '  %-16s %8.3f\n' "$name" "${!var}"
done
echo "peak RSS medians: large image $rss_large KiB, 1 x 1 image $rss_one KiB"
echo
report "large image: tivrano / cat of its text" "$(ratio "$ms_tivrano_large" "$ms_cat_text")" "<=" 1.2 x
report "large image: tivrano / printf build" "$(ratio "$ms_tivrano_large" "$ms_printf_large")" "<=" 0.15 x
report "large image: --serpentine --order=rgb --columns / default" "$(ratio "$ms_tivrano_layout" "$ms_tivrano_large")" "<=" 1.2 x
report "16 x 16 frame: tivrano / C hello world" "$(ratio "$ms_tivrano_frame" "$ms_hello")" "<=" 1.2 x
report "peak RSS, large image - 1 x 1 image" "$(awk -v a="$rss_large" -v b="$rss_one" 'BEGIN { print (a - b) / 1024 }')" "<=" 1.2 MiB
report "in-process throughput, large image" "$gbps" ">=" 2 GB/s
echo "200 frames: conversions in a Ninja -j1 build $ms_ninja ms, 200 bare runs $ms_loop ms," \
    "the same through /bin/sh -c $ms_sh ms (the floor of a build tool that uses a shell)"
report "200 frames: tivrano_add_frames / bare runs" "$(ratio "$ms_ninja" "$ms_loop")" "<=" 2 x
printf '%-52s %9.1f ns\n' "in-process time per 16 x 16 frame" "$frame_ns"
exit "$failed"
