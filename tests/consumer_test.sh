#!/usr/bin/env bash
# The CMake package as a firmware project meets it: tivrano installed into a prefix whose path
# holds blanks and parentheses, and examples/animation built against it, its figures checked
# against Pillow's own decoding of the frames. Then the rebuilds: a changed frame is converted
# again, a changed tool converts all, an unchanged build does nothing, a bad frame fails the
# build with the tool's message twice in a row and leaves no output, and a name used twice
# fails at configure time. Also from the source tree with add_subdirectory, cross-compiled for
# Windows when MinGW-w64 and Wine are here, and the README's make rule.
#   consumer_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build_dir=$(cd "$2" && pwd)
python=${PYTHON:-/usr/bin/python3}
# Skipped where a tool is missing, but never in CI, which installs them all.
skip() {
    [ -z "${CI:-}" ] || { echo "FAILED, in CI: $*"; exit 1; }
    echo "skipped: $*"
    exit 77
}
for need in ninja make; do
    command -v "$need" >/dev/null || skip "$need is missing"
done
"$python" -c 'import PIL' 2>/dev/null || skip "$python has no Pillow (python3-pil)"

work=$(mktemp -d "${TMPDIR:-/tmp}/tivrano consumer.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix="$work/installed (v1)"
project="$work/animation (copy)"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
cp -R "$source_dir/examples/animation" "$project"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The program's output against the figures of the frames as they are now.
check_figures() { # build folder, [program runner, program suffix]
    local expected
    expected=$("$python" "$source_dir/tests/frame_figures.py" "heart=$project/frames/heart.bmp" \
        "arrow=$project/frames/arrow.bmp" "wave=$project/frames/wave (12 x 4).bmp")
    local actual
    actual=$(${2:-} "$1/animation${3:-}" | tr -d '\r')
    [ "$actual" = "$expected" ] || fail "$1: the program printed
$actual
instead of
$expected"
}

build() { # build folder; the build's output is in $log, its status the function's
    log=$(cmake --build "$1" 2>&1)
}

converted() { # the frames the last build converted, by name
    grep -o 'tivrano: converting .* into [a-z]*' <<<"$log" | awk '{ print $NF }' | sort | tr '\n' ' '
}

for generator in "Unix Makefiles" Ninja; do
    b="$work/build ($generator)"
    cmake -S "$project" -B "$b" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    build "$b" || fail "$generator: first build: $log"
    [ "$(converted)" = "arrow heart wave " ] || fail "$generator: first build converted $(converted)"
    check_figures "$b"
    echo "$generator: built against the installed package, figures match"

    build "$b" || fail "$generator: second build: $log"
    [ -z "$(converted)" ] || fail "$generator: an unchanged build converted $(converted)"
    if [ "$generator" = Ninja ]; then
        grep -q 'ninja: no work to do' <<<"$log" || fail "Ninja: an unchanged build did work: $log"
    else
        ! grep -q 'Building\|Linking' <<<"$log" || fail "make: an unchanged build did work: $log"
    fi
    echo "$generator: an unchanged build does nothing"

    cp "$project/frames/arrow.bmp" "$work/arrow.bmp"
    python3 "$source_dir/examples/make_bmp.py" random 7 5 "$project/frames/arrow.bmp" 9
    build "$b" || fail "$generator: build after a changed frame: $log"
    [ "$(converted)" = "arrow " ] || fail "$generator: a changed arrow converted $(converted)"
    check_figures "$b"
    echo "$generator: a changed frame is converted again, and only it"

    touch "$prefix/bin/tivrano"
    build "$b" || fail "$generator: build after a changed tool: $log"
    [ "$(converted)" = "arrow heart wave " ] || fail "$generator: a changed tool converted $(converted)"
    echo "$generator: a changed tool converts every frame again"

    printf 'GIF89a, not a bitmap' >"$project/frames/arrow.bmp"
    for attempt in 1 2; do
        ! build "$b" || fail "$generator: a bad frame built (attempt $attempt)"
        grep -q 'BM header not found!' <<<"$log" || fail "$generator: no tool message: $log"
        grep -q 'tivrano: .*arrow.bmp: not a BMP file.*GIF image' <<<"$log" ||
            fail "$generator: no reason from the tool: $log"
        for stale in "$b/tivrano_animation/arrow.inc" "$b/tivrano_animation/arrow.c" \
            "$b/tivrano_animation/arrow.inc.tmp"; do
            [ ! -e "$stale" ] || fail "$generator: a failed conversion left $stale"
        done
    done
    echo "$generator: a bad frame fails the build with the tool's message, twice, leaving nothing"

    cp "$work/arrow.bmp" "$project/frames/arrow.bmp"
    build "$b" || fail "$generator: build after mending the frame: $log"
    check_figures "$b"
done

duplicate="$work/duplicate"
mkdir "$duplicate"
cat >"$duplicate/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.20)
project(duplicate LANGUAGES C)
find_package(tivrano 1.1 REQUIRED)
add_library(one STATIC "$project/main.c")
add_library(two STATIC "$project/main.c")
tivrano_add_frames(one FRAMES "$project/frames/heart.bmp")
tivrano_add_frames(two FRAMES "$project/frames/arrow.bmp" NAMES heart)
EOF
if output=$(cmake -S "$duplicate" -B "$duplicate/build" -DCMAKE_PREFIX_PATH="$prefix" 2>&1); then
    fail "a name used twice configured"
fi
# CMake wraps its messages: read them as one line.
tr -s ' \n' '  ' <<<"$output" | grep -q 'the name heart is already defined by tivrano_add_frames(one)' ||
    fail "a name used twice: $output"
echo "a name used twice fails at configure time"

b="$work/build (subdirectory)"
cmake -S "$project" -B "$b" -G Ninja -DTIVRANO_SOURCE_DIR="$source_dir" >/dev/null
build "$b" || fail "add_subdirectory: $log"
check_figures "$b"
echo "built with tivrano's source tree pulled in by add_subdirectory, figures match"

wine=/usr/lib/wine/wine64
if command -v x86_64-w64-mingw32-gcc-posix >/dev/null && [ -x "$wine" ]; then
    b="$work/build (windows)"
    cmake -S "$project" -B "$b" -G Ninja --toolchain "$source_dir/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    build "$b" || fail "cross build: $log"
    grep -q "TIVRANO_EXECUTABLE:FILEPATH=$prefix/bin/tivrano" "$b/CMakeCache.txt" ||
        fail "the cross build did not take the build machine's tivrano"
    WINEDEBUG=-all check_figures "$b" "$wine" .exe
    echo "cross-compiled for Windows with the build machine's tivrano, figures match under Wine"
else
    [ -z "${CI:-}" ] || fail "no MinGW-w64 or Wine for the cross build, in CI"
    echo "skipped the cross build: no MinGW-w64 or Wine"
fi

# The README's make rule: a failed conversion leaves no output for make to take as done.
rules="$work/make rule"
mkdir "$rules"
cp "$project/frames/heart.bmp" "$rules/good.bmp"
printf 'BM' >"$rules/bad.bmp"
sed -n '/^%\.inc: %\.bmp$/,/^```/p' "$source_dir/README.md" | grep -v '^```' >"$rules/Makefile"
[ -s "$rules/Makefile" ] || fail "no make rule in the README"
PATH="$prefix/bin:$PATH" make -s -C "$rules" good.inc >/dev/null
cmp "$rules/good.inc" <("$prefix/bin/tivrano" "$rules/good.bmp") || fail "make rule: wrong good.inc"
for attempt in 1 2; do
    if PATH="$prefix/bin:$PATH" make -s -C "$rules" bad.inc >/dev/null 2>&1; then
        fail "make rule: a bad frame was made"
    fi
    [ ! -e "$rules/bad.inc" ] && [ ! -e "$rules/bad.inc.tmp" ] || fail "make rule: left a failed output"
done
echo "the README's make rule converts, and leaves nothing behind on failure"
