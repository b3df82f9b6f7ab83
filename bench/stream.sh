#!/usr/bin/env bash
# Measures the stream player, which plays the file `tivrano --binary --pack` writes through a
# read function of the firmware's, on the set bench/animations.py draws:
#   - the file's bytes, and the calls of the read function a frame takes, on average;
#   - the cycles tivrano_stream_next takes for a frame on an AVR at 16 MHz, in simavr, with the
#     file in flash and the read function copying from it (memcpy_P), the most and the mean over
#     every frame twice round (an ATmega328P for 16 x 16 frames, an ATmega2560 for the larger
#     ones), beside those tivrano_player_next takes for the same animation as text;
#   - the flash the stream player's code takes on an ATmega328P, the RAM of its state, and the
#     stack frame of tivrano_stream_next.
# Every file is also played back on the build machine, read with stdio, against the unpacked
# text. Needs python3, gcc-avr, avr-libc and simavr. FRAMES=DIR measures frames made elsewhere,
# and PACK=small (or auto) files packed so, as bench/animations.sh does.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target tivrano >/dev/null
tool=$(cd "$build" && pwd)/tivrano
pack=${PACK:-fast}
small=()
[ "$pack" = fast ] || small=(-DTIVRANO_SMALL)
include=$PWD/include
cores=$PWD/tests/support/cores
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/check.c" <<'EOF'
#include <stdio.h>
#include <string.h>
#include "tivrano_player.h"
#include "plain.h"
static unsigned long reads;
static size_t read_file(void* context, uint32_t offset, uint8_t* to, size_t count) {
    FILE* file = context;
    ++reads;
    return fseek(file, (long)offset, SEEK_SET) == 0 ? fread(to, 1, count, file) : 0;
}
int main(void) {
    static uint8_t leds[3 * 65535];
    const size_t size = 3u * plain_width * plain_height;
    struct tivrano_stream stream;
    FILE* file = fopen("animation.bin", "rb");
    int bad = file == NULL || tivrano_stream_open(&stream, read_file, file) != 0 ||
              tivrano_stream_count(&stream) != plain_count ||
              tivrano_stream_width(&stream) != plain_width ||
              tivrano_stream_height(&stream) != plain_height;
    const unsigned long opened = reads;
    for (size_t k = 0; !bad && k < 2 * plain_count; ++k) {
        const uint16_t ms = tivrano_stream_next(&stream, leds);
        bad = memcmp(leds, plain[k % plain_count], size) != 0 ||
              ms != plain_delay_ms[k % plain_count] || tivrano_stream_error(&stream) != 0;
    }
    printf("%.1f\n", (double)(reads - opened) / (2.0 * plain_count));
    return bad;
}
EOF

# The lines the firmware prints in simavr, without its colours.
simulate() { # mcu elf
    simavr -m "$1" -f 16000000 "$2" 2>&1 | sed 's/\x1b\[[0-9;]*m//g; s/\.$//' |
        grep -E '^(frame|most)'
}
most() { # the firmware's lines: the most cycles a frame
    sed -n 's/^most \([0-9]*\) .*/\1/p' <<<"$1"
}
mean() { # the firmware's lines, frames: the mean cycles a frame, over both rounds
    echo $(( $(sed -n 's/^most .* total \([0-9]*\) .*/\1/p' <<<"$1") / (2 * $2) ))
}
echo "| Animation | Frames | Size | File | Reads a frame | Stream: AVR cycles a frame, most / mean | From the text: most / mean | Stream / text, mean |"
echo "|---|---|---|---|---|---|---|---|"
if [ -n "${FRAMES:-}" ]; then
    source_dir=$(cd "$FRAMES" && pwd)
    cp "$source_dir/list" "$work/list"
else
    source_dir=$work/frames
    python3 bench/animations.py "$work/frames" >"$work/list"
fi
state=""
while read -r name _ count; do
    frames=("$source_dir/$name"/*.bmp)
    cd "$work"
    "$tool" --name=plain --header=plain.h -o plain.c "${frames[@]}"
    "$tool" --name=animation --pack="$pack" --header=animation.h -o animation.c "${frames[@]}"
    "$tool" --name=animation --pack="$pack" --binary -o animation.bin "${frames[@]}"
    cc -O2 -I"$include" "${small[@]}" check.c plain.c -o check && reads=$(./check) ||
        { echo "$name: the stream player does not give back the frames"; exit 1; }
    size=$(sed -n 's/^Breite: \([0-9]*\), Hoehe: \([0-9]*\).*/\1 x \2/p' animation.c)
    leds=$(( ${size% x*} * ${size#* x } ))
    mcu=atmega328p
    [ "$leds" -le 256 ] || mcu=atmega2560
    firmware=("-mmcu=$mcu" -Os -std=c99 -I"$include" -I"$cores" "${small[@]}" "$cores/avr.c"
        "$cores/play.c")
    avr-gcc "${firmware[@]}" -I. animation.c -o player.elf
    # The firmware takes animation.bin, of the folder it is built in, into flash.
    avr-gcc "${firmware[@]}" -DSTREAM -DLEDS="$leds" -o stream.elf
    played=$(simulate $mcu player.elf)
    streamed=$(simulate $mcu stream.elf)
    [ "$(grep ^frame <<<"$streamed")" = "$(grep ^frame <<<"$played")" ] &&
        grep -q ' error 0$' <<<"$streamed" ||
        { echo "$name: in simavr the stream player gives other frames: $streamed"; exit 1; }
    state=$(sed -n 's/.*state \([0-9]*\).*/\1/p' <<<"$streamed")
    mean=$(mean "$streamed" "$count")
    text_mean=$(mean "$played" "$count")
    cd "$OLDPWD"
    echo "| $name | $count | $size | $(stat -c %s "$work/animation.bin") | $reads | $(most "$streamed") / $mean ($mcu) | $(most "$played") / $text_mean | $(( mean * 10 / text_mean / 10 )).$(( mean * 10 / text_mean % 10 )) |"
done <"$work/list"
echo

# The stream player's code: a program that opens and plays a file, against one that only calls
# the same read function; and the stack frame of tivrano_stream_next, kept out of line.
cat >"$work/size.c" <<'EOF'
#include <string.h>
#include "tivrano_player.h"
const uint8_t file[16] PROGMEM = {0};
volatile uint16_t out;
uint8_t leds[3 * 256];
static size_t read_flash(void* context, uint32_t offset, uint8_t* to, size_t count) {
    memcpy_P(to, (const uint8_t*)context + offset, count);
    return count;
}
__attribute__((noinline)) uint16_t next(struct tivrano_stream* s, uint8_t* to) {
    return tivrano_stream_next(s, to);
}
int main(void) {
#ifdef PLAY
    struct tivrano_stream stream;
    out = (uint16_t)tivrano_stream_open(&stream, read_flash, (void*)file);
    out = next(&stream, leds);
    out += tivrano_stream_count(&stream) + tivrano_stream_error(&stream);
#else
    out = (uint16_t)read_flash((void*)file, out, leds, out);
#endif
    return 0;
}
EOF
flash() {
    avr-gcc -mmcu=atmega328p -Os -std=c99 -I"$include" "$@" "$work/size.c" -o "$work/size.elf" \
        -ffunction-sections -fdata-sections -Wl,--gc-sections
    avr-size -A "$work/size.elf" | awk '$1 == ".text" { print $2 }'
}
code=$(( $(flash -DPLAY "${small[@]}") - $(flash) ))
(cd "$work" && avr-gcc -mmcu=atmega328p -Os -std=c99 -I"$include" -DPLAY "${small[@]}" \
    -fstack-usage -c size.c)
frame=$(awk '$1 ~ /:next$/ { print $2 }' "$work/size.su")
calls=$(awk '$1 ~ /tivrano_stream_/ { print $2 }' "$work/size.su" | sort -n | tail -1)
echo "stream player: $code bytes of AVR flash (tivrano_stream_open, _next, _count, _error); state $state bytes of RAM; tivrano_stream_next's stack frame $frame bytes, ${calls:-0} more in what it calls, besides the read function"
