#!/usr/bin/env bash
# Measures packed animations, on the set bench/animations.py draws:
#   - the bytes stored packed against the frames as triples, for each animation and for each
#     group (16 x 16 pixel art, 32 x 32 and 64 x 32 LED-matrix scenes, a photograph);
#   - the time to pack, the best of 5 runs of the tool;
#   - the cycles tivrano_player_next takes for a frame on an AVR at 16 MHz, in simavr, the most
#     and the mean over every frame twice round (an ATmega328P for 16 x 16 frames, whose LED
#     buffer fits its 2 KiB of RAM; an ATmega2560 for the larger ones);
#   - the same frames as zlib -9 and xz -9e store them (python3's zlib and lzma, of the frames as
#     the text's arrays hold them, one after the other), as a share of the triples;
#   - the cycles tivrano_frame takes for a frame on its own, the most over every frame;
#   - the flash the player's code takes on an ATmega328P, and the RAM of its state.
# Every animation is also played back on the build machine against its unpacked text.
# Needs python3, gcc-avr, avr-libc and simavr; `ROUNDS=1` for a quicker run. FRAMES=DIR measures
# frames made elsewhere instead: DIR/list names them, a line `NAME GROUP COUNT` for each
# DIR/NAME/*.bmp. PACK=small (or auto) measures --pack=small (or auto) instead of the fast
# format.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
rounds=${ROUNDS:-5}
pack=${PACK:-fast}
# The small player, where the animations may be packed small.
small=()
[ "$pack" = fast ] || small=(-DTIVRANO_SMALL)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target tivrano >/dev/null
tool=$(cd "$build" && pwd)/tivrano
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/check.c" <<'EOF'
#include <stdio.h>
#include <string.h>
#include "packed.h"
#include "plain.h"
int main(void) {
    static uint8_t leds[3 * 65535];
    struct tivrano_player player;
    int bad = 0;
    FILE* raw = fopen("raw.bin", "wb");
    tivrano_player_start(&player, &packed);
    for (size_t k = 0; k < 2 * plain_count; ++k) {
        tivrano_player_next(&player, leds);
        bad |= memcmp(leds, plain[k % plain_count], 3u * plain_width * plain_height) != 0;
        if (k < plain_count) {
            fwrite(plain[k], 1, 3u * plain_width * plain_height, raw);
        }
    }
    for (size_t k = plain_count; k-- > 0;) {
        memset(leds, 0xAA, 3u * plain_width * plain_height);
        tivrano_frame(&packed, (uint16_t)k, leds);
        bad |= memcmp(leds, plain[k], 3u * plain_width * plain_height) != 0;
    }
    return fclose(raw) != 0 || bad;
}
EOF

share() { # part whole: as a percentage with one decimal
    echo "$(( $1 * 1000 / $2 / 10 )).$(( $1 * 1000 / $2 % 10 )) %"
}
echo "| Animation | Frames | Size | As triples | Packed | Share | zlib -9 | xz -9e | Time to pack | AVR cycles a frame, most / mean | Any frame on its own, most |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
declare -A triples stored zipped xzipped
groups=()
if [ -n "${FRAMES:-}" ]; then
    source_dir=$(cd "$FRAMES" && pwd)
    cp "$source_dir/list" "$work/list"
else
    source_dir=$work/frames
    python3 bench/animations.py "$work/frames" >"$work/list"
fi
while read -r name group count; do
    frames=("$source_dir/$name"/*.bmp)
    cd "$work"
    "$tool" --name=plain --header=plain.h -o plain.c "${frames[@]}"
    best=""
    for _ in $(seq "$rounds"); do
        start=$(date +%s%N)
        "$tool" --name=animation --pack="$pack" --header=animation.h -o animation.c "${frames[@]}"
        took=$(( ($(date +%s%N) - start) / 1000000 ))
        [ -n "$best" ] && [ "$best" -le "$took" ] || best=$took
    done
    sed 's/\banimation\b/packed/g' animation.c >packed.c
    sed 's/\banimation\b/packed/g' animation.h >packed.h
    cc -O2 -I"$OLDPWD/include" check.c plain.c packed.c -o check && ./check ||
        { echo "$name: the player does not give back the frames"; exit 1; }
    zlib_bytes=$(python3 -c 'import sys, zlib; print(len(zlib.compress(open("raw.bin", "rb").read(), 9)))')
    xz_bytes=$(python3 -c 'import lzma; print(len(lzma.compress(open("raw.bin", "rb").read(), preset=9 | lzma.PRESET_EXTREME)))')
    read -r raw packed_bytes < <(sed -n 's/^Animation: [0-9]* frames\?, \([0-9]*\) bytes as triples, \([0-9]*\) bytes stored.*/\1 \2/p' animation.c)
    pinned=$(awk -v name="$name" '$1 == name { print $2 }' "$OLDPWD/bench/packed_sizes.txt")
    [ -z "${FRAMES:-}" ] && [ "$pack" = fast ] && [ "$packed_bytes" != "$pinned" ] &&
        echo "$name: $packed_bytes bytes stored, pinned at ${pinned:-none} in bench/packed_sizes.txt" >&2
    size=$(sed -n 's/^Breite: \([0-9]*\), Hoehe: \([0-9]*\).*/\1 x \2/p' animation.c)
    leds=$(( ${size% x*} * ${size#* x } ))
    mcu=atmega328p
    [ "$leds" -le 256 ] || mcu=atmega2560
    cores=$OLDPWD/tests/support/cores
    avr-gcc -mmcu=$mcu -Os -std=c99 -I. -I"$OLDPWD/include" -I"$cores" "${small[@]}" \
        "$cores/avr.c" "$cores/play.c" animation.c -o player.elf
    # The firmware's last line, without simavr's colours: most, total, seek.
    read -r most total seek < <(simavr -m $mcu -f 16000000 player.elf 2>&1 |
        sed -n 's/^.*most \([0-9]*\) total \([0-9]*\) seek \([0-9]*\).*/\1 \2 \3/p')
    cycles="$most / $(( total / (2 * count) ))"
    cd "$OLDPWD"
    [ -n "${triples[$group]:-}" ] || groups+=("$group")
    triples[$group]=$(( ${triples[$group]:-0} + raw ))
    stored[$group]=$(( ${stored[$group]:-0} + packed_bytes ))
    zipped[$group]=$(( ${zipped[$group]:-0} + zlib_bytes ))
    xzipped[$group]=$(( ${xzipped[$group]:-0} + xz_bytes ))
    echo "| $name | $count | $size | $raw | $packed_bytes | $(share "$packed_bytes" "$raw") | $(share "$zlib_bytes" "$raw") | $(share "$xz_bytes" "$raw") | $best ms | $cycles ($mcu) | $seek, $(( seek * 10 / ${cycles%% *} / 10 )).$(( seek * 10 / ${cycles%% *} % 10 )) times |"
done <"$work/list"
echo
for group in "${groups[@]}"; do
    echo "$group: ${stored[$group]} of ${triples[$group]} bytes, $(share "${stored[$group]}" "${triples[$group]}"); zlib -9: ${zipped[$group]}, $(share "${zipped[$group]}" "${triples[$group]}"); xz -9e: ${xzipped[$group]}, $(share "${xzipped[$group]}" "${triples[$group]}")"
done

# The player's code: a program that plays an animation, against one that only reads a byte of it.
cat >"$work/size.c" <<'EOF'
#include "animation.h"
volatile uint16_t out;
uint8_t leds[3 * LEDS];
int main(void) {
#ifdef PLAY
    struct tivrano_player player;
    tivrano_player_start(&player, &animation);
    out = tivrano_player_next(&player, leds);
    tivrano_frame(&animation, 1, leds);
    out += tivrano_count(&animation);
#else
    out = pgm_read_byte((const uint8_t *)&animation);
#endif
    return 0;
}
EOF
flash() {
    avr-gcc -mmcu=atmega328p -Os -std=c99 -I"$work" -Iinclude -DLEDS=256 "$@" "$work/size.c" \
        "$work/animation.c" -o "$work/size.elf" -ffunction-sections -fdata-sections -Wl,--gc-sections
    avr-size -A "$work/size.elf" | awk '$1 == ".text" { print $2 }'
}
first=$(head -n 1 "$work/list" | cut -d ' ' -f 1)
cd "$work" && "$tool" --name=animation --pack="$pack" --header=animation.h -o animation.c "$source_dir/$first"/*.bmp && cd "$OLDPWD"
echo "player: $(( $(flash -DPLAY) - $(flash) )) bytes of AVR flash (tivrano_player_start, tivrano_player_next, tivrano_frame, tivrano_count), on $first"
