#!/usr/bin/env bash
# The CMake package as a firmware project meets it: tivrano installed into a prefix whose path
# holds blanks and parentheses, and examples/animation built against it with make and Ninja,
# its figures checked against Pillow's own decoding of the frames, through the rebuilds (a
# changed frame or GIF, a changed tool, nothing changed, a bad frame or GIF twice). Then, in
# small projects: what stops a build (ImageMagick's default BMP, what only reading the frames
# shows) and what stops the configure (a few of the tool's reasons, which name the keyword,
# and every rule of CMake's own); names, ORDER, FORMAT and BINARY, PNG frames from a glob, GIFs
# with transparency and animations of one frame, on an INTERFACE library; an AVR's flash. Also
# from the source tree with add_subdirectory, where a bad GAMMA fails the build first, and
# cross-compiled for Windows when MinGW-w64 and Wine are here. ImageMagick is out of the
# package's reach throughout: the magick and convert on the PATH are stand-ins that fail, and
# the test ends by checking that none was run. Each part says what it checks as it passes.
#   consumer_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build_dir=$(cd "$2" && pwd)
# A python3 with Pillow and ImageMagick, as CMake found them; empty where missing.
python=${TIVRANO_PYTHON:-}
magick=${TIVRANO_MAGICK:-}
# Skipped where a tool is missing, but never in CI, which installs them all.
skip() {
    [ -z "${CI:-}" ] || { echo "FAILED, in CI: $*"; exit 1; }
    echo "skipped: $*"
    exit 77
}
for need in ninja make; do
    command -v "$need" >/dev/null || skip "$need is missing"
done
[ -n "$python" ] || skip "configuring found no python3 with Pillow (python3-pil)"
[ -n "$magick" ] || skip "configuring found no ImageMagick (imagemagick)"

work=$(mktemp -d "${TMPDIR:-/tmp}/tivrano consumer.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The package needs no ImageMagick: what it would find on the PATH (before the system's folders,
# where find_program looks last) fails and leaves a mark. The test makes its images with
# $magick, by its full path.
mkdir "$work/no-imagemagick"
for decoy in magick convert; do
    printf '#!/bin/sh\necho "$0 $*" >>"%s/imagemagick-ran"\necho "%s: not here" >&2\nexit 127\n' \
        "$work" "$decoy" >"$work/no-imagemagick/$decoy"
    chmod +x "$work/no-imagemagick/$decoy"
done
export PATH="$work/no-imagemagick:$PATH"
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
    expected=$("$python" "$source_dir/tests/e2e/frame_figures.py" "heart=$project/frames/heart.bmp" \
        "arrow=$project/frames/arrow.bmp" "wave=$project/frames/wave (12 x 4).bmp" \
        "pulse=$project/frames/pulse.gif" "beat=$project/frames/pulse.gif")
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
    grep -o 'tivrano: converting .* into [a-z0-9_]*' <<<"$log" | awk '{ print $NF }' | sort | tr '\n' ' '
}

for generator in "Unix Makefiles" Ninja; do
    b="$work/build ($generator)"
    cmake -S "$project" -B "$b" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    build "$b" || fail "$generator: first build: $log"
    all="arrow beat heart pulse wave "
    [ "$(converted)" = "$all" ] || fail "$generator: first build converted $(converted)"
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
    "$python" "$source_dir/examples/make_bmp.py" random 7 5 "$project/frames/arrow.bmp" 9
    build "$b" || fail "$generator: build after a changed frame: $log"
    [ "$(converted)" = "arrow " ] || fail "$generator: a changed arrow converted $(converted)"
    check_figures "$b"
    echo "$generator: a changed frame is converted again, and only it"

    touch "$prefix/bin/tivrano"
    build "$b" || fail "$generator: build after a changed tool: $log"
    [ "$(converted)" = "$all" ] || fail "$generator: a changed tool converted $(converted)"
    echo "$generator: a changed tool converts every frame again"

    printf '\377\330\377, a JPEG, not a bitmap' >"$project/frames/arrow.bmp"
    for attempt in 1 2; do
        ! build "$b" || fail "$generator: a bad frame built (attempt $attempt)"
        grep -q 'BM header not found!' <<<"$log" || fail "$generator: no tool message: $log"
        grep -q 'tivrano: .*arrow.bmp: not a BMP file.*JPEG image' <<<"$log" ||
            fail "$generator: no reason from the tool: $log"
        [ "$b/tivrano_animation/arrow.c" -ot "$project/frames/arrow.bmp" ] ||
            fail "$generator: a failed conversion wrote arrow.c"
        ! ls "$b/tivrano_animation" | grep -q tmp || fail "$generator: a failed conversion left a file"
    done
    echo "$generator: a bad frame fails the build with the tool's message, twice, writing nothing"

    cp "$work/arrow.bmp" "$project/frames/arrow.bmp"
    build "$b" || fail "$generator: build after mending the frame: $log"
    check_figures "$b"

    # An animation as an editor writes it: the first frame, without transparency, leaves the
    # top row and the left column uncovered, which a browser shows transparent; the second is a
    # 3 x 2 update at +2+1 whose transparent pixel lets the first frame show through.
    "$magick" -dispose none -delay 10 \( -size 7x5 gradient:red-blue -repage 8x6+1+1 \) \
        -delay 20 \( -size 3x2 xc:yellow -alpha set -region 1x1+1+1 -alpha transparent \
        +region -repage 8x6+2+1 \) -delay 30 -page +0+0 -size 8x6 gradient:green-white \
        -loop 0 "$project/frames/pulse.gif"
    build "$b" || fail "$generator: build after a new GIF: $log"
    [ "$(converted)" = "beat pulse " ] || fail "$generator: a new GIF converted $(converted)"
    check_figures "$b"
    "$magick" "$project/frames/pulse.gif" -delay 40 -size 8x6 xc:purple \
        "$project/frames/pulse.gif"
    build "$b" || fail "$generator: build after a frame added to the GIF: $log"
    [ "$(converted)" = "beat pulse " ] ||
        fail "$generator: a fourth frame converted $(converted)"
    check_figures "$b"
    echo "$generator: the GIF's frames and delays match Pillow's; a frame added to it is built:"
    sed 's/^/    /' <<<"$log"
    echo "  and the program prints:"
    "$b/animation" | tr -d '\r' | grep '^pulse\|^beat' | sed 's/^/    /'

    printf 'GIF89a, cut short' >"$project/frames/pulse.gif"
    for attempt in 1 2; do
        ! build "$b" || fail "$generator: a broken GIF built (attempt $attempt)"
        grep -q '^GIF file broken!' <<<"$log" &&
            grep -q 'tivrano: .*pulse.gif: the GIF holds no frames' <<<"$log" ||
            fail "$generator: no message from the tool for a broken GIF: $log"
        for made in pulse.c pulse.h beat.c beat.h; do
            [ "$b/tivrano_animation/$made" -ot "$project/frames/pulse.gif" ] ||
                fail "$generator: a broken GIF wrote $made"
        done
    done
    echo "$generator: a broken GIF stops the build with the tool's message, twice, writing nothing"
    cp "$source_dir/examples/animation/frames/pulse.gif" "$project/frames/pulse.gif"
done

# A project of one program around one tivrano_add_frames call, in a new build folder;
# `configure` and `build` then run it. The program prints each frame's figures as
# examples/animation does.
checks="$work/checks"
mkdir -p "$checks/frames"
cp "$project/frames/heart.bmp" "$project/frames/arrow.bmp" "$checks/frames/"
frames_project() { # the call's arguments after the target; the frames' names for main.c
    local call=$1
    shift
    {
        echo '#include <stdio.h>'
        echo '#include "app_frames.h"'
        sed -n '/^static void show/,/^}/p' "$project/main.c"
        echo 'int main(void) {'
        for name in "$@"; do
            echo "    show(\"$name\", $name, ${name}_size, ${name}_width, ${name}_height);"
        done
        echo '    return 0;'
        echo '}'
    } >"$checks/main.c"
    cat >"$checks/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.20)
project(checks LANGUAGES C)
find_package(tivrano 1.3 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
add_executable(app main.c)
tivrano_add_frames(app $call)
EOF
    rm -rf "$checks/build"
}
configure() { # extra arguments; the output is in $log, the status the function's
    log=$(cmake -S "$checks" -B "$checks/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" "$@" 2>&1)
}
figures() { # frame_figures.py's arguments; its lines on the frames
    "$python" "$source_dir/tests/e2e/frame_figures.py" "$@" | grep -v '^table'
}

# ImageMagick's default BMP: a 124-byte header, read 84 bytes off, stops the build every time.
"$magick" -seed 7 -size 20x20 plasma:fractal "$checks/frames/editor.png"
"$magick" "$checks/frames/editor.png" "$checks/frames/editor.bmp"
frames_project "FRAMES frames/editor.bmp" editor
configure || fail "configure for the ImageMagick frame: $log"
for attempt in 1 2; do
    ! build "$checks/build" || fail "ImageMagick's default BMP built (attempt $attempt)"
    for line in 'BMP file refused by --strict!' \
        "tivrano: $checks/frames/editor.bmp: refused by --strict" \
        "tivrano: warning: $checks/frames/editor.bmp: the header puts the pixels at byte 138" \
        'tivrano: hint: '; do
        grep -qF "$line" <<<"$log" || fail "no \"$line\" in the failed build: $log"
    done
done
echo "ImageMagick's default BMP stops the build, twice, naming the file:"
sed 's/^/    /' <<<"$log"
frames_project "FRAMES frames/editor.bmp ALLOW_WARNINGS" editor
configure && build "$checks/build" || fail "ALLOW_WARNINGS: $log"
grep -qF "tivrano: warning: $checks/frames/editor.bmp: the header puts" <<<"$log" ||
    fail "ALLOW_WARNINGS hid the warning: $log"
echo "with ALLOW_WARNINGS it builds, and the warning is shown"

# Names: only the last extension is cut. ORDER on the host: the figures are Pillow's pixels in
# red, green, blue order.
cp "$checks/frames/heart.bmp" "$checks/frames/walk.1.bmp"
cp "$checks/frames/arrow.bmp" "$checks/frames/walk.2.bmp"
frames_project "FRAMES frames/walk.1.bmp frames/walk.2.bmp ORDER rgb" walk_1 walk_2
configure && build "$checks/build" || fail "walk.1.bmp and walk.2.bmp: $log"
! grep -q '^tivrano' <<<"$log" || fail "a clean build printed the tool's lines: $log"
[ "$("$checks/build/app")" = "$(figures --order=rgb "walk_1=$checks/frames/walk.1.bmp" \
    "walk_2=$checks/frames/walk.2.bmp")" ] || fail "walk.1.bmp and walk.2.bmp: wrong figures"
echo "walk.1.bmp and walk.2.bmp become walk_1 and walk_2, with ORDER rgb the figures of Pillow's"
echo "  pixels in red, green, blue order"

# What a call may not do stops the configure, with a message that names the call and the cause:
# the tool's reason, naming the keyword, and the rules that are CMake's own. The rows share one
# build folder, where a failed configure leaves only what it found of the compiler.
cp "$checks/frames/heart.bmp" "$checks/frames/friend.bmp"
"$magick" -size 600x600 xc:red xc:blue "$checks/frames/big.gif"
"$magick" -size 2x2 xc:red "$checks/frames/dot.png"
"$magick" -size 3x2 xc:red "$checks/frames/wide.png"
frames_project "FRAMES frames/heart.bmp" heart
cp "$checks/CMakeLists.txt" "$work/one call.txt"
# A message {OPTIONS} stands for the reason tivrano --check OPTIONS gives, which must be one.
while IFS='|' read -r calls message; do
    cp "$work/one call.txt" "$checks/CMakeLists.txt"
    eval "printf '%s\n' $calls" >>"$checks/CMakeLists.txt"
    if [[ $message =~ \{(.*)\} ]]; then
        ! said=$("$prefix/bin/tivrano" --check ${BASH_REMATCH[1]} 2>&1) ||
            fail "tivrano --check ${BASH_REMATCH[1]} took it"
        message=${message/"${BASH_REMATCH[0]}"/"${said#tivrano: }"}
    fi
    ! configure || fail "configured: $calls"
    tr -s ' \n' '  ' <<<"$log" | grep -qF "$message" || fail "$calls: no \"$message\" in $log"
done <<'EOF'
'tivrano_add_frames(app FRAMES frames/friend.bmp)'|tivrano_add_frames(app): NAME friend: a keyword of C or C++ (the name of frame frames/friend.bmp, made from its file name; give the frame a name with NAMES)
'tivrano_add_frames(app FRAMES frames/arrow.bmp NAMES main)'|tivrano_add_frames(app): {--name=main} (the name of frame frames/arrow.bmp)
'tivrano_add_frames(app FRAMES frames/arrow.bmp NAMES arrow TABLE int)'|tivrano_add_frames(app): TABLE int: a keyword of C or C++
'tivrano_add_frames(app FRAMES frames/arrow.bmp MAX_BYTES 0)'|tivrano_add_frames(app): {--max-bytes=0}
'tivrano_add_animation(app NAME one SOURCE frames/dot.png MAX_BYTES 0)'|tivrano_add_animation(app): {--max-bytes=0}
'tivrano_add_animation(app NAME one SOURCE frames/dot.png BINARY data/one.bin HEADER one.h)'|tivrano_add_animation(app): {--binary --header=one.h}
'tivrano_add_animation(app NAME one SOURCE frames/dot.png BINARY data/one.bin OUTPUT_DIR out)'|tivrano_add_animation(app): OUTPUT_DIR is for the C source, and BINARY writes a file instead
'tivrano_add_frames(app FRAME frames/arrow.bmp)'|tivrano_add_frames(app): unknown arguments: FRAME;frames/arrow.bmp
'tivrano_add_frames(App FRAMES frames/arrow.bmp)'|tivrano_add_frames(App): App is not a target
'tivrano_add_frames(app NAMES arrow)'|tivrano_add_frames(app): no FRAMES given
'tivrano_add_animation(app SOURCE frames/dot.png)'|tivrano_add_animation(app): give the animation a NAME
'tivrano_add_animation(app NAME one SOURCE frames/none.png)'|tivrano_add_animation(app): the SOURCE frames/none.png is not a file
'tivrano_add_animation(app NAME one SOURCE frames/heart.bmp)'|tivrano_add_animation(app): the SOURCE frames/heart.bmp is neither a GIF nor a PNG
'tivrano_add_frames(app FRAMES frames/arrow.bmp frames/dot.png NAMES arrow HEADER other.h)'|tivrano_add_frames(app): 2 FRAMES but 1 NAMES; give one name a frame
'tivrano_add_frames(app FRAMES frames/arrow.bmp)'|is written by tivrano_add_frames(app) already; give this call a HEADER of its own
'tivrano_add_frames(app FRAMES frames/arrow.bmp NAMES heart HEADER other.h)'|tivrano_add_frames(app): the name heart is already defined for frames/heart.bmp (tivrano_add_frames(app)), and again for frames/arrow.bmp (tivrano_add_frames(app))
'tivrano_add_frames(app FRAMES frames/arrow.bmp NAMES one_0 HEADER other.h)' 'tivrano_add_animation(app NAME one SOURCE frames/dot.png)'|tivrano_add_animation(app): the name one_0 is already defined for frames/arrow.bmp (tivrano_add_frames(app))
'tivrano_add_animation(app NAME one SOURCE frames/dot.png)' 'tivrano_add_frames(app FRAMES frames/arrow.bmp NAMES one_12_size HEADER other.h)'|tivrano_add_frames(app): the name one_12_size is already defined for the animation of frames/dot.png (tivrano_add_animation(app))
'tivrano_add_animation(app NAME heart SOURCE frames/big.gif)'|tivrano_add_animation(app): the NAME heart is taken by frames/heart.bmp (tivrano_add_frames(app)); choose another NAME
'file(GLOB none frames/none*.png)' 'tivrano_add_animation(app NAME none SOURCE ${none})'|tivrano_add_animation(app): SOURCE names no file
'tivrano_add_animation(app NAME one SOURCE frames/big.gif frames/dot.png)'|tivrano_add_animation(app): SOURCE takes one GIF, or PNG frames; 2 files were given with frames/big.gif
'set(CMAKE_CROSSCOMPILING ON)' 'get_filename_component(bin "${tivrano_DIR}/../../../bin" ABSOLUTE)' 'string(REPLACE ":" ";" CMAKE_IGNORE_PATH "$ENV{PATH}:${bin}")' 'tivrano_add_animation(app NAME one SOURCE frames/dot.png)'|tivrano_add_animation(app): no tivrano for the build machine
EOF
echo "the tool's reasons, naming the keyword, for names (one made from a file name), MAX_BYTES and"
echo "  HEADER with BINARY, and CMake's own rules (the arguments and target, OUTPUT_DIR with"
echo "  BINARY, FRAMES and NAMES, NAME, SOURCE, a header or a name taken twice, no tool for the"
echo "  build machine) stop the configure"

# What only reading the frames shows stops the build, with the tool's message and reason, and
# writes nothing. The rows share one build folder too.
frames_project "FRAMES frames/heart.bmp" heart
while IFS='|' read -r call message reason unwritten; do
    cp "$work/one call.txt" "$checks/CMakeLists.txt"
    echo "$call" >>"$checks/CMakeLists.txt"
    configure || fail "$call: configure: $log"
    ! build "$checks/build" || fail "built: $call"
    grep -qx "$message" <<<"$log" && grep -F -e "$reason" <<<"$log" | grep -q '^tivrano: ' ||
        fail "$call: no \"$message\" and \"$reason\" in $log"
    [ ! -e "$checks/build/tivrano_app/$unwritten" ] || fail "$call: wrote $unwritten"
done <<'EOF'
tivrano_add_animation(app NAME pair SOURCE frames/dot.png frames/wide.png)|PNG frames refused!|frames/wide.png: 3 x 2 pixels, the frames before it 2 x 2; every frame needs the same size|pair.c
tivrano_add_animation(app NAME big SOURCE frames/big.gif)|GIF frames refused!|frames/big.gif: 600 x 600 pixels, more LEDs than the 65535 a frame of an animation holds|big.c
tivrano_add_animation(app NAME two SOURCE frames/dot.png frames/dot.png DELAY_MS 10,20,30)|Ungueltige Anzahl der Parameter|--delay-ms=10,20,30: 3 delays for 2 frames|two.c
tivrano_add_animation(app NAME twice SOURCE frames/dot.png frames/dot.png MAX_BYTES 20)|PNG data refused by --max-bytes!|twice: 50 bytes stored, more than --max-bytes=20 allows|twice.c
tivrano_add_frames(app FRAMES frames/arrow.bmp HEADER arrow.h MAX_BYTES 100)|BMP data refused by --max-bytes!|frames/arrow.bmp: 105 bytes stored, more than --max-bytes=100 allows|arrow.c
EOF
echo "frames of two sizes, a GIF too large, a DELAY_MS list not one a frame and MAX_BYTES, packed"
echo "  or not, stop the build with the tool's reasons, writing nothing"

# FORMAT on the host: the frame holds what tivrano --binary writes, and the header and the TABLE
# declare it 16-bit. BINARY writes the packed file (fast, and with PACKED SMALL small) into the
# data folder beside the sources, the
# frames of a mono animation where an absolute path says, and the frames on a ring's MAP, which
# a changed map converts again, and on TILES; a second build does nothing.
frames_project "FRAMES frames/heart.bmp FORMAT rgb565 SWAP_BYTES TABLE all" heart
cp "$source_dir/examples/animation/frames/pulse.gif" "$source_dir/examples/ring24.csv" "$checks/frames/"
cat >>"$checks/CMakeLists.txt" <<'EOF'
tivrano_add_animation(app NAME beat SOURCE frames/pulse.gif PACKED BINARY data/beat.bin)
tivrano_add_animation(app NAME tiny SOURCE frames/pulse.gif PACKED SMALL BINARY data/tiny.bin)
tivrano_add_animation(app NAME raw SOURCE frames/pulse.gif FORMAT mono THRESHOLD 60
    BINARY ${CMAKE_BINARY_DIR}/raw.bin)
tivrano_add_animation(app NAME ring SOURCE frames/pulse.gif MAP frames/ring24.csv BINARY ring.bin)
tivrano_add_animation(app NAME wall SOURCE frames/pulse.gif TILES 2x2 TILE_START bottom-right
    TILE_COLUMNS TILE_SERPENTINE SERPENTINE BINARY wall.bin)
EOF
cat >"$checks/main.c" <<'EOF'
#include <stdio.h>
#include "app_frames.h"
_Static_assert(sizeof heart[0] == 2, "an rgb565 frame is declared 16-bit");
int main(void) {
    fwrite(heart, 1, heart_size, stdout);
    return all[0] != heart;
}
EOF
configure && build "$checks/build" || fail "FORMAT and BINARY: $log"
tool="$prefix/bin/tivrano"
cmp -s <("$checks/build/app") <("$tool" --format=rgb565 --swap-bytes --binary \
    "$checks/frames/heart.bmp") || fail "FORMAT rgb565 SWAP_BYTES: the frame differs"
cmp -s "$checks/data/beat.bin" <("$tool" --name=beat --pack --binary "$checks/frames/pulse.gif") ||
    fail "BINARY: data/beat.bin is not the packed file"
cmp -s "$checks/data/tiny.bin" <("$tool" --name=tiny --pack=small --binary \
    "$checks/frames/pulse.gif") || fail "PACKED SMALL: data/tiny.bin is not the small file"
cmp -s "$checks/build/raw.bin" <("$tool" --name=raw --format=mono --threshold=60 --binary \
    "$checks/frames/pulse.gif") || fail "BINARY: raw.bin is not the mono frames"
ring() { # ring.bin against the tool's frames on the map as it is now
    cmp -s "$checks/ring.bin" <("$tool" --name=ring --map="$checks/frames/ring24.csv" --binary \
        "$checks/frames/pulse.gif")
}
ring || fail "MAP: ring.bin is not the ring's frames"
sed -i 2d "$checks/frames/ring24.csv"
build "$checks/build" && ring || fail "MAP: a changed map was not converted again: $log"
cmp -s "$checks/wall.bin" <("$tool" --name=wall --tiles=2x2 --tile-start=bottom-right \
    --tile-columns --tile-serpentine --serpentine --binary "$checks/frames/pulse.gif") ||
    fail "TILES: wall.bin is not the panels' frames"
build "$checks/build" && grep -q 'ninja: no work to do' <<<"$log" ||
    fail "an unchanged build with BINARY did work: $log"
echo "FORMAT rgb565 with SWAP_BYTES, and BINARY files packed (PACKED SMALL too), mono, on a MAP"
echo "  (converted again when it changes) and on TILES, hold what the tool writes"

# PNG frames from a glob, which lists f10 before f2; a thirteenth is taken by the next build.
pngs=()
for k in $(seq 1 13); do
    pngs+=("xc:rgb($((k * 19)),$((255 - k * 19)),$k)")
done
"$magick" -size 3x2 "${pngs[@]}" -scene 1 +adjoin "$checks/frames/f%d.png"
mv "$checks/frames/f13.png" "$work/f13.png"
# Animations of one frame, a PNG and a GIF, and frames, all on an INTERFACE library. A GIF whose
# first frame leaves the top row and the left column uncovered, transparent, and whose second
# has a transparent pixel over the first: an animation on a BACKGROUND, and the first frame as
# a frame. (Over an uncovered pixel, Pillow would show the GIF's background colour where
# browsers, and the tool, show transparency.)
"$magick" -delay 25 -size 3x2 gradient:navy-orange "$checks/frames/still.gif"
"$magick" -dispose none -delay 10 \( -size 3x2 gradient:red-blue -repage 4x3+1+1 \) -delay 20 \
    \( -size 2x1 xc:yellow -alpha set -region 1x1+1+0 -alpha transparent +region \
    -repage 4x3+2+1 \) -loop 0 "$checks/frames/ghost.gif"
{
    echo '#include <stdio.h>'
    echo '#include "art_frames.h"'
    echo '#include "ghost.h"'
    echo '#include "one.h"'
    echo '#include "seq.h"'
    echo '#include "still.h"'
    sed -n '/^static void show/,/^}/p' "$project/main.c"
    echo 'int main(void) {'
    echo '    show_animation("seq", seq, seq_count, seq_width, seq_height, seq_delay_ms);'
    echo '    show_animation("one", one, one_count, one_width, one_height, one_delay_ms);'
    echo '    show("heart", heart, heart_size, heart_width, heart_height);'
    echo '    show_animation("still", still, still_count, still_width, still_height, still_delay_ms);'
    echo '    show("still_0", still_0, still_0_size, still_0_width, still_0_height);'
    echo '    show_animation("ghost", ghost, ghost_count, ghost_width, ghost_height, ghost_delay_ms);'
    echo '    show("png_frame", png_frame, png_frame_size, png_frame_width, png_frame_height);'
    echo '    show("gif_frame", gif_frame, gif_frame_size, gif_frame_width, gif_frame_height);'
    echo '}'
} >"$checks/main.c"
cat >"$checks/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.20)
project(checks LANGUAGES C)
find_package(tivrano 1.6 REQUIRED)
add_executable(app main.c)
file(GLOB frames CONFIGURE_DEPENDS frames/f*.png)
tivrano_add_animation(app NAME seq SOURCE ${frames} DELAY_MS 40 MAX_BYTES 500)
tivrano_add_animation(app NAME dim SOURCE ${frames} PACKED MAX_BYTES 200 GAMMA 2.8 MAX_CURRENT_MA 20)
add_library(art INTERFACE)
target_link_libraries(app PRIVATE art)
tivrano_add_animation(art NAME one SOURCE frames/f1.png DELAY_MS 40)
tivrano_add_frames(art FRAMES frames/heart.bmp frames/f2.png frames/ghost.gif
    NAMES heart png_frame gif_frame)
tivrano_add_animation(art NAME still SOURCE frames/still.gif)
tivrano_add_animation(app NAME ghost SOURCE frames/ghost.gif BACKGROUND 102030)
EOF
rm -rf "$checks/build"
first() { # name, file: the figures of the file's first frame, named so
    figures "$1=$2" | sed -n "s/^$1\[0\]/$1/p"
}
configure || fail "PNG frames: $log"
for count in 12 13; do
    build "$checks/build" || fail "PNG frames: $log"
    sequence=$(for k in $(seq 1 $count); do printf '%s' "$checks/frames/f$k.png:"; done)
    [ "$("$checks/build/app")" = "$(figures --delay-ms=40 "seq=${sequence%:}" \
        "one=$checks/frames/f1.png" "heart=$checks/frames/heart.bmp" \
        "still=$checks/frames/still.gif"
        first still_0 "$checks/frames/still.gif"
        figures --background=102030 "ghost=$checks/frames/ghost.gif"
        first png_frame "$checks/frames/f2.png"
        first gif_frame "$checks/frames/ghost.gif")" ] ||
        fail "PNG frames ($count): the program printed $("$checks/build/app")"
    [ $count = 13 ] || mv "$work/f13.png" "$checks/frames/f13.png"
done
echo "PNG frames f1 ... f12 from a glob come in the order of their numbers; f13 added is taken;"
echo "  a PNG and a GIF of one frame are animations of one, a GIF with transparency is laid on"
echo "  its BACKGROUND, a PNG and a GIF are frames (the GIF's first), frames and animations fit"
echo "  an INTERFACE library"
# The same frames packed, with the colours corrected and one current factor for all.
grep -q 'Current: at most [0-9]* mA (limit 20 mA, scaled to [0-9]* %)' \
    "$checks/build/tivrano_app/dim.c" || fail "MAX_CURRENT_MA: no current line in dim.c"

# An AVR: the frame, wired serpentine from the bottom left, lies in flash as laid out.
if command -v avr-gcc >/dev/null && command -v avr-objcopy >/dev/null; then
    frames_project "FRAMES frames/heart.bmp TABLE all SERPENTINE START bottom-left PROGMEM" heart
    cp "$source_dir/examples/animation/frames/pulse.gif" "$checks/frames/"
    {
        echo 'tivrano_add_animation(app NAME pulse SOURCE frames/pulse.gif PROGMEM)'
        echo 'tivrano_add_animation(app NAME beat SOURCE frames/pulse.gif PACKED)'
    } >>"$checks/CMakeLists.txt"
    cat >"$checks/main.c" <<'EOF'
#include <avr/pgmspace.h>
#include "app_frames.h"
#include "beat.h"
#include "pulse.h"
volatile uint8_t out;
volatile uint16_t wait;
static uint8_t leds[3 * 64];
int main(void) {
    struct tivrano_player player;
    for (size_t k = 0; k < 192; ++k) {
        out = pgm_read_byte((const uint8_t*)pgm_read_ptr(&all[0]) + k);
    }
    for (size_t i = 0; i < pulse_count; ++i) {
        out = pgm_read_byte((const uint8_t*)pgm_read_ptr(&pulse[i]));
        wait = pgm_read_word(&pulse_delay_ms[i]);
    }
    tivrano_player_start(&player, &beat);
    wait = tivrano_player_next(&player, leds);
    return 0;
}
EOF
    configure --toolchain "$prefix/lib/cmake/tivrano/avr-gcc.cmake" && build "$checks/build" ||
        fail "AVR: $log"
    elf="$checks/build/app"
    read -r address size < <(avr-nm -S "$elf" | awk '$4 == "heart" { print $1, $2 }')
    avr-objcopy -O binary -j .text "$elf" "$work/flash.bin"
    [ "$(od -An -v -tx1 -j $((16#$address)) -N $((16#$size)) "$work/flash.bin" | tr -d ' \n')" = \
        "$(figures --serpentine --start=bottom-left --hex "heart=$checks/frames/heart.bmp")" ] ||
        fail "AVR: the frame in flash is not as laid out"
    echo "AVR: the serpentine frame lies in flash ($((16#$size)) bytes) as Pillow's pixels laid out"
    # The table holds the frames' addresses and the delays their milliseconds, little-endian.
    symbols=$(avr-nm -S "$elf")
    flash() { # symbol; its bytes in flash, in hex
        read -r address size < <(awk -v name="$1" '$4 == name { print $1, $2 }' <<<"$symbols")
        (( 16#$address < 16#800000 )) || fail "AVR: $1 is not in flash but at $address"
        od -An -v -tx1 -j $((16#$address)) -N $((16#$size)) "$work/flash.bin" | tr -d ' \n'
    }
    # The fourth frame is the second again, stored once.
    table=$(for k in 0 1 2 1; do
        awk -v name="pulse_$k" '$4 == name { print substr($1, 7, 2) substr($1, 5, 2) }' \
            <<<"$symbols"
    done | tr -d '\n')
    [ "$(flash pulse)" = "$table" ] ||
        fail "AVR: the table $(flash pulse) is not the frames' addresses $table"
    heart_address=$(awk '$4 == "heart" { print substr($1, 7, 2) substr($1, 5, 2) }' <<<"$symbols")
    [ "$(flash all)" = "$heart_address" ] || fail "AVR: the TABLE holds $(flash all), not heart"
    [ "$(flash pulse_delay_ms)" = 2c01640064006400 ] ||
        fail "AVR: the delays in flash are $(flash pulse_delay_ms), not 300 100 100 100"
    flash beat >/dev/null
    echo "AVR: the TABLE, the animation's table and delays (300 100 100 100 ms), and the packed"
    echo "  animation are in flash too"
    avr-size "$elf"
else
    [ -z "${CI:-}" ] || fail "no avr-gcc, in CI"
    echo "skipped the AVR build: no avr-gcc (gcc-avr, avr-libc)"
fi

b="$work/build (subdirectory)"
cmake -S "$project" -B "$b" -G Ninja -DTIVRANO_SOURCE_DIR="$source_dir" >/dev/null
build "$b" || fail "add_subdirectory: $log"
check_figures "$b"
echo "built with tivrano's source tree pulled in by add_subdirectory, figures match"
# There the tool is built with the project, and checks the options as the build's first step.
cp "$project/CMakeLists.txt" "$work/CMakeLists.txt"
echo "tivrano_add_frames(animation FRAMES frames/heart.bmp NAMES odd HEADER odd.h GAMMA 2.)" \
    >>"$project/CMakeLists.txt"
! build "$b" || fail "add_subdirectory: GAMMA 2. built"
! said=$("$b/tivrano/tivrano" --check --gamma=2. 2>&1) || fail "--gamma=2. taken"
grep -qF "$said" <<<"$log" || fail "add_subdirectory: GAMMA 2.: no \"$said\" in $log"
[ ! -e "$b/tivrano_animation/odd.c" ] || fail "add_subdirectory: GAMMA 2. wrote odd.c"
cp "$work/CMakeLists.txt" "$project/CMakeLists.txt"
build "$b" || fail "add_subdirectory, the GAMMA taken out: $log"
echo "  where GAMMA 2. fails the build first, with the tool's reason, writing no frame"

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

[ ! -e "$work/imagemagick-ran" ] || fail "ImageMagick was run: $(cat "$work/imagemagick-ran")"
echo "no configure or build ran ImageMagick, whose magick and convert on the PATH were stand-ins"
