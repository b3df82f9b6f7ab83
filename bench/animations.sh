#!/usr/bin/env bash
# Measures packed animations, on the set bench/animations.py draws:
#   - the bytes stored packed against the frames as triples, for each animation and for each
#     group (16 x 16 pixel art, 32 x 32 and 64 x 32 LED-matrix scenes, a photograph);
#   - the time to pack, the best of 5 runs of the tool;
#   - the cycles tivrano_player_next takes for a frame on an AVR at 16 MHz, in simavr, the most
#     and the mean over every frame twice round (an ATmega328P for 16 x 16 frames, whose LED
#     buffer fits its 2 KiB of RAM; an ATmega2560 for the larger ones);
#   - the flash the player's code takes on an ATmega328P, and the RAM of its state.
# Every animation is also played back on the build machine against its unpacked text.
# Needs python3, gcc-avr, avr-libc and simavr; `ROUNDS=1` for a quicker run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
rounds=${ROUNDS:-5}
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
    tivrano_player_start(&player, &packed);
    for (size_t k = 0; k < 2 * plain_count; ++k) {
        tivrano_player_next(&player, leds);
        bad |= memcmp(leds, plain[k % plain_count], 3u * plain_width * plain_height) != 0;
    }
    return bad;
}
EOF

echo "| Animation | Frames | Size | As triples | Packed | Share | Time to pack | AVR cycles a frame, most / mean |"
echo "|---|---|---|---|---|---|---|---|"
declare -A triples stored
python3 bench/animations.py "$work/frames" >"$work/list"
while read -r name group count; do
    frames=("$work/frames/$name"/*.bmp)
    cd "$work"
    "$tool" --name=plain --header=plain.h -o plain.c "${frames[@]}"
    best=""
    for _ in $(seq "$rounds"); do
        start=$(date +%s%N)
        "$tool" --name=animation --pack --header=animation.h -o animation.c "${frames[@]}"
        took=$(( ($(date +%s%N) - start) / 1000000 ))
        [ -n "$best" ] && [ "$best" -le "$took" ] || best=$took
    done
    sed 's/\banimation\b/packed/g' animation.c >packed.c
    sed 's/\banimation\b/packed/g' animation.h >packed.h
    cc -O2 -I"$OLDPWD/include" check.c plain.c packed.c -o check && ./check ||
        { echo "$name: the player does not give back the frames"; exit 1; }
    read -r raw packed_bytes < <(sed -n 's/^Animation: [0-9]* frames\?, \([0-9]*\) bytes as triples, \([0-9]*\) bytes stored.*/\1 \2/p' animation.c)
    size=$(sed -n 's/^Breite: \([0-9]*\), Hoehe: \([0-9]*\).*/\1 x \2/p' animation.c)
    leds=$(( ${size% x*} * ${size#* x } ))
    mcu=atmega328p
    [ "$leds" -le 256 ] || mcu=atmega2560
    avr-gcc -mmcu=$mcu -Os -std=c99 -I. -I"$OLDPWD/include" \
        "$OLDPWD/tests/support/avr_player.c" animation.c -o player.elf
    cycles=$(simavr -m $mcu -f 16000000 player.elf 2>&1 | sed -n 's/.*most \([0-9]*\) mean \([0-9]*\).*/\1 \/ \2/p')
    cd "$OLDPWD"
    triples[$group]=$(( ${triples[$group]:-0} + raw ))
    stored[$group]=$(( ${stored[$group]:-0} + packed_bytes ))
    echo "| $name | $count | $size | $raw | $packed_bytes | $(( packed_bytes * 1000 / raw / 10 )).$(( packed_bytes * 1000 / raw % 10 )) % | $best ms | $cycles ($mcu) |"
done <"$work/list"
echo
for group in pixel16 matrix photo; do
    share=$(( stored[$group] * 1000 / triples[$group] ))
    echo "$group: ${stored[$group]} of ${triples[$group]} bytes, $(( share / 10 )).$(( share % 10 )) %"
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
cd "$work" && "$tool" --name=animation --pack --header=animation.h -o animation.c frames/ghost/*.bmp && cd "$OLDPWD"
echo "player: $(( $(flash -DPLAY) - $(flash) )) bytes of AVR flash (tivrano_player_start, tivrano_player_next, tivrano_frame, tivrano_count)"
