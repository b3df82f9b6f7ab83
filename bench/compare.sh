#!/usr/bin/env bash
# Measures tivrano against its floors and prints each ratio next to its target:
#   - the largest image (1,000,000 bytes, 577 x 577) against `cat` of its text, and against a
#     build that formats every value with printf (bench/printf_reference.c);
#   - a 16 x 16 frame against a C "hello world" built with the same compiler and flags;
#   - peak resident memory on the largest image against that on a 1 x 1 image;
#   - in-process throughput and time per frame (Google Benchmark).
# CPU figures are task-clock medians over ROUNDS rounds; each round runs every command once, in
# turn, so that drift of the machine hits them all alike. Exit status 1 if a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${ROUNDS:-101}
build=${BUILD_DIR:-build-release}

missing=()
command -v perf >/dev/null || missing+=(linux-perf)
[ -x /usr/bin/time ] || missing+=(time)
command -v python3 >/dev/null || missing+=(python3)
[ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTIVRANO_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
tool=$build/tivrano

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 examples/make_bmp.py random 577 577 "$work/large.bmp" 1 1000000
python3 examples/make_bmp.py random 16 16 "$work/frame.bmp" 2
python3 examples/make_bmp.py random 1 1 "$work/one.bmp" 3
"$build/bench/printf_reference" "$work/large.bmp" >"$work/large.txt"
"$tool" "$work/large.bmp" | cmp - "$work/large.txt"

declare -A commands=(
    [tivrano_large]="$tool $work/large.bmp"
    [cat_text]="cat $work/large.txt"
    [printf_large]="$build/bench/printf_reference $work/large.bmp"
    [tivrano_frame]="$tool $work/frame.bmp"
    [hello]="$build/bench/hello"
)
names=(tivrano_large cat_text printf_large tivrano_frame hello)

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

"$build/bench/tivrano_bench" --benchmark_repetitions=9 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$work/bench.json"
read -r gbps frame_ns < <(python3 -c '
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
print(runs["convert/577_median"]["bytes_per_second"] / 1e9, runs["convert/16_median"]["cpu_time"])
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
report "16 x 16 frame: tivrano / C hello world" "$(ratio "$ms_tivrano_frame" "$ms_hello")" "<=" 1.2 x
report "peak RSS, large image - 1 x 1 image" "$(awk -v a="$rss_large" -v b="$rss_one" 'BEGIN { print (a - b) / 1024 }')" "<=" 1.2 MiB
report "in-process throughput, large image" "$gbps" ">=" 2 GB/s
printf '%-52s %9.1f ns\n' "in-process time per 16 x 16 frame" "$frame_ns"
exit "$failed"
