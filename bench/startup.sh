#!/usr/bin/env bash
# What starting the tool costs, which a build pays once a frame, against its floors:
#   - the libraries it loads (readelf -d): none, as a static PIE; where the toolchain cannot
#     link one, the C library and the dynamic loader, nothing more;
#   - its size, as built and stripped as the packages strip it;
#   - a 16 x 16 frame against a C "hello world" (bench/hello.c, the same compiler and -O3);
#   - the 1,000,000-byte image (577 x 577) against `cat` of its text;
#   - both against an earlier version, BASELINE (a commit; by default the one that made the
#     version 1.6.0, which loaded only the C library), built from `git archive` in a scratch
#     folder; BASELINE=none leaves it out.
# CPU: task-clock medians over ROUNDS rounds (perf stat), each round running every command once
# in turn, and the median of the rounds' own ratios; instructions: valgrind's callgrind, the
# whole process from the loader on, which does not vary from run to run. Exit status 1 if the
# tool loads another library or a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${ROUNDS:-101}
build=${BUILD_DIR:-build-release}

missing=()
command -v perf >/dev/null || missing+=(linux-perf)
command -v valgrind >/dev/null || missing+=(valgrind)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target tivrano -j"$(nproc)" >/dev/null
cp "$build/tivrano" "$work/tivrano"
"${CC:-cc}" -O3 -DNDEBUG bench/hello.c -o "$work/hello"
programs=(tivrano)
if [ -z "${BASELINE:-}" ] && git rev-parse --git-dir >/dev/null 2>&1; then
    BASELINE=$(git log --format=%h -S'VERSION 1.6.0' -- CMakeLists.txt | tail -n 1)
fi
if [ -n "${BASELINE:-}" ] && [ "$BASELINE" != none ]; then
    mkdir "$work/baseline"
    git archive "$BASELINE" | tar -x -C "$work/baseline"
    cmake -S "$work/baseline" -B "$work/baseline/build" -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$work/baseline/build" --target tivrano -j"$(nproc)" >/dev/null
    cp "$work/baseline/build/tivrano" "$work/baseline_tool"
    programs+=(baseline_tool)
fi

python3 examples/make_bmp.py random 577 577 "$work/large.bmp" 1 1000000
python3 examples/make_bmp.py random 16 16 "$work/frame.bmp" 2
"$work/tivrano" "$work/large.bmp" >"$work/large.txt"

failed=0
for program in "${programs[@]}" hello; do
    strip -o "$work/$program.stripped" "$work/$program"
    needed=$(readelf -d "$work/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | tr '\n' ' ')
    printf '%-14s %7d bytes, %7d stripped; loads %s\n' "$program" "$(stat -c %s "$work/$program")" \
        "$(stat -c %s "$work/$program.stripped")" "$needed"
done
others=$(readelf -d "$work/tivrano" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' |
    grep -vxE 'libc\.so\.[0-9]+|ld-linux.*|ld64\.so\.[0-9]+' || true)
[ -z "$others" ] || { echo "MISSED: tivrano loads $others"; failed=1; }

declare -A commands=(
    [tivrano_frame]="$work/tivrano $work/frame.bmp"
    [baseline_tool_frame]="$work/baseline_tool $work/frame.bmp"
    [hello]="$work/hello"
    [tivrano_large]="$work/tivrano $work/large.bmp"
    [baseline_tool_large]="$work/baseline_tool $work/large.bmp"
    [cat_text]="cat $work/large.txt"
)
names=(tivrano_frame hello tivrano_large cat_text)
[ ! -e "$work/baseline_tool" ] || names+=(baseline_tool_frame baseline_tool_large)

echo
echo "instructions (callgrind), and task-clock medians over $rounds alternating rounds:"
for name in "${names[@]}"; do
    # shellcheck disable=SC2086 # the command is split into its words on purpose
    valgrind --tool=callgrind --callgrind-out-file=/dev/null ${commands[$name]} 2>"$work/cg" >/dev/null
    declare "ir_$name=$(awk '/Collected/ { print $4 }' "$work/cg")"
done
for ((round = 0; round < rounds; round++)); do
    for name in "${names[@]}"; do
        # shellcheck disable=SC2086
        perf stat -x, -e task-clock -o "$work/perf.csv" -- ${commands[$name]} >/dev/null
        awk -F, '/task-clock/ { print $1 }' "$work/perf.csv" >>"$work/$name.ms"
    done
done
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for name in "${names[@]}"; do
    ir=ir_$name
    printf '  %-20s %10d instructions %8.3f ms\n' "$name" "${!ir}" "$(median <"$work/$name.ms")"
done

echo
compare() { # label, name, floor's name, target or -
    local ir_a=ir_$2 ir_b=ir_$3 by_medians paired verdict=""
    by_medians=$(awk -v a="$(median <"$work/$2.ms")" -v b="$(median <"$work/$3.ms")" \
        'BEGIN { printf "%.3f", a / b }')
    paired=$(paste -d' ' "$work/$2.ms" "$work/$3.ms" | awk '{ print $1 / $2 }' | median)
    if [ "$4" != - ]; then
        verdict=$(awk -v v="$by_medians" -v t="$4" 'BEGIN { print v <= t ? "met" : "MISSED" }')
        [ "$verdict" = met ] || failed=1
        verdict="(target <= $4) $verdict"
    fi
    # cat spends its time in the kernel, where callgrind does not count.
    [ "$3" = cat_text ] || verdict="instructions $(awk -v a="${!ir_a}" -v b="${!ir_b}" \
        'BEGIN { printf "%.3f", a / b }') $verdict"
    printf '%-38s CPU %5.3f (paired %5.3f) %s\n' "$1" "$by_medians" "$paired" "$verdict"
}
compare "16 x 16 frame: tivrano / hello world" tivrano_frame hello 1.2
compare "large image: tivrano / cat of its text" tivrano_large cat_text 1.2
if [ -e "$work/baseline_tool" ]; then
    compare "16 x 16 frame: tivrano / $BASELINE" tivrano_frame baseline_tool_frame -
    compare "large image: tivrano / $BASELINE" tivrano_large baseline_tool_large -
fi
exit "$failed"
