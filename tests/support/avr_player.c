/* Plays an animation that tivrano packed, as firmware would, on an AVR under simavr: every frame
   twice round, with tivrano_player_next. It prints on the UART the FNV-1a checksum of the
   frames of the first round, the most and the mean cycles a frame took to decode, the most a
   frame took on its own with tivrano_frame, and the size of the player's state, then stops. The
   animation is `animation`, declared in animation.h with its LEDs a frame, animation_leds.

   With STREAM defined, it plays the packed file animation.bin of the folder it is built in with
   tivrano_stream_next instead, from flash, through the firmware's read function; `seek` is then
   0, and `error` what tivrano_stream_error says. LEDS gives the LEDs of a frame. */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <stdio.h>

#ifdef STREAM
#include <string.h>

#include "tivrano_player.h"

enum { animation_leds = LEDS };
/* The file's bytes, in flash, where the linker puts data that must lie in the first 64 KiB. */
__asm__(".section .progmem.data,\"a\",@progbits\n"
        "animation_file:\n"
        ".incbin \"animation.bin\"\n"
        "animation_file_end:\n"
        ".previous");
extern const uint8_t animation_file[] PROGMEM;
extern const uint8_t animation_file_end[] PROGMEM;

struct flash_file {
    const uint8_t* bytes;
    uint16_t size;
};

/* The firmware's read function: the file's bytes from flash. */
static size_t read_flash(void* context, uint32_t offset, uint8_t* to, size_t count) {
    const struct flash_file* file = context;
    if (offset >= file->size) {
        return 0;
    }
    if (count > file->size - offset) {
        count = (size_t)(file->size - offset);
    }
    memcpy_P(to, file->bytes + offset, count);
    return count;
}
#define NEXT tivrano_stream_next
#else
#include "animation.h"
#define NEXT tivrano_player_next
#endif

static int put(char c, FILE* stream) {
    (void)stream;
    while (!(UCSR0A & (1 << UDRE0))) {
    }
    UDR0 = (uint8_t)c;
    return 0;
}

static FILE uart = FDEV_SETUP_STREAM(put, NULL, _FDEV_SETUP_WRITE);
static volatile uint16_t overflows;
static uint8_t leds[3 * animation_leds];

ISR(TIMER1_OVF_vect) {
    ++overflows;
}

/* Cycles since the timer started, at 1 a cycle. */
static uint32_t now(void) {
    cli();
    uint16_t low = TCNT1;
    uint16_t high = overflows;
    if (TIFR1 & (1 << TOV1) && low < 0x8000) {
        ++high;
    }
    sei();
    return (uint32_t)high << 16 | low;
}

int main(void) {
    UCSR0B = 1 << TXEN0;
    stdout = &uart;
    TCCR1A = 0;
    TIMSK1 = 1 << TOIE1;
    TCCR1B = 1 << CS10;
    sei();
#ifdef STREAM
    struct flash_file file = {animation_file, (uint16_t)(animation_file_end - animation_file)};
    struct tivrano_stream player;
    tivrano_stream_open(&player, read_flash, &file);
    const uint16_t count = tivrano_stream_count(&player);
#else
    struct tivrano_player player;
    tivrano_player_start(&player, &animation);
    const uint16_t count = tivrano_count(&animation);
#endif
    uint32_t hash = 2166136261u;
    uint32_t most = 0;
    uint32_t total = 0;
    for (uint16_t round = 0; round < 2; ++round) {
        for (uint16_t i = 0; i < count; ++i) {
            const uint32_t start = now();
            NEXT(&player, leds);
            const uint32_t cycles = now() - start;
            most = cycles > most ? cycles : most;
            total += cycles;
            for (uint16_t k = 0; round == 0 && k < sizeof leds; ++k) {
                hash = (hash ^ leds[k]) * 16777619u;
            }
        }
    }
    uint32_t seek = 0;
#ifdef STREAM
    printf("error %u ", tivrano_stream_error(&player));
#else
    for (uint16_t i = 0; i < count; ++i) {
        const uint32_t start = now();
        tivrano_frame(&animation, i, leds);
        const uint32_t cycles = now() - start;
        seek = cycles > seek ? cycles : seek;
    }
#endif
    printf("frames %u fnv1a %08lx most %lu mean %lu seek %lu state %u\n", count,
           (unsigned long)hash, (unsigned long)most, (unsigned long)(total / (2u * count)),
           (unsigned long)seek, (unsigned)sizeof player);
    cli();
    sleep_mode();
    return 0;
}
