/* Plays an animation that tivrano packed, as firmware would, on a bare core under an emulator:
   from flash, `animation` of animation.h with its LEDs a frame, animation_leds; or, with STREAM
   defined, the packed file animation.bin of the folder it is built in, placed in flash and read
   by the stream player through the firmware's read function, LEDS giving the values of a frame
   (LEDs; for mono, bytes of 8).
   It plays every frame twice round. It prints each frame's FNV-1a checksum of its LED bytes and
   its delay (from flash as tivrano_frame writes the frame on its own, from a file as the stream
   writes it in order), that of every frame in order, then what it measured (core_cycles; 0 on a
   core that counts none): the most cycles a frame took in order and the total of both rounds,
   the most a frame took on its own, the bytes of the player's state, and the stream's error:

     frame 0 fnv1a 8c2f06a1 ms 100
     ...
     frames 12 fnv1a 0b1d9e4c
     most 9050 total 104436 seek 22131 state 4 error 0

   with "but the second round differs" after the checksum of every frame where it does. Only the
   header's API is used. player_next and player_frame stay out of line, so that the player's code
   can be measured (nm -S) and its instructions counted in a trace. */
#include <stddef.h>
#include <stdint.h>

#include "core.h"
#include "tivrano_player.h"

/* The compilers may call these, freestanding or not. */
void* memcpy(void* to, const void* from, size_t n) {
    unsigned char* t = to;
    const unsigned char* f = from;
    while (n-- != 0) {
        *t++ = *f++;
    }
    return to;
}

void* memset(void* to, int value, size_t n) {
    unsigned char* t = to;
    while (n-- != 0) {
        *t++ = (unsigned char)value;
    }
    return to;
}

#ifdef STREAM
enum { animation_leds = LEDS };

/* The file's bytes, in flash: on an AVR where the linker puts data that must lie in the first
   64 KiB, read with memcpy_P. */
#ifdef __AVR__
#define FILE_SECTION ".progmem.data"
#define copy_from_flash memcpy_P
#else
#define FILE_SECTION ".rodata"
#define copy_from_flash memcpy
#endif
__asm__(".section " FILE_SECTION ",\"a\"\n"
        "animation_file:\n"
        ".incbin \"animation.bin\"\n"
        "animation_file_end:\n"
        ".previous");
extern const uint8_t animation_file[];
extern const uint8_t animation_file_end[];

/* The firmware's read function: the file's bytes from flash, as many as it holds. */
static size_t read_flash(void* context, uint32_t offset, uint8_t* to, size_t count) {
    const size_t size = (size_t)(animation_file_end - animation_file);
    (void)context;
    if (offset >= size) {
        return 0;
    }
    if (count > size - offset) {
        count = size - offset;
    }
    copy_from_flash(to, animation_file + offset, count);
    return count;
}

typedef struct tivrano_stream player_state;

__attribute__((noinline)) uint16_t player_next(player_state* player, uint8_t* to) {
    return tivrano_stream_next(player, to);
}
#else
#include "animation.h"

typedef struct tivrano_player player_state;

__attribute__((noinline)) uint16_t player_next(player_state* player, uint8_t* to) {
    return tivrano_player_next(player, to);
}

__attribute__((noinline)) void player_frame(uint16_t i, uint8_t* to) {
    tivrano_frame(&animation, i, to);
}
#endif

/* The LEDs' bytes; of values of 2 bytes or 1 (rgb565, mono), as many as the text says a frame
   takes. */
#if TIVRANO_VALUE_BYTES != 3 && !defined(STREAM)
static uint8_t leds[animation_bytes];
#else
static uint8_t leds[TIVRANO_VALUE_BYTES * animation_leds];
#endif

static uint32_t fnv1a(uint32_t hash, const uint8_t* bytes, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        hash = (hash ^ bytes[k]) * 16777619u;
    }
    return hash;
}

/* Appends the words to line, with a blank before each: text, a number in decimal, and one in 8
   hexadecimal digits. */
static char* put_text(char* line, const char* text) {
    *line++ = ' ';
    while (*text != '\0') {
        *line++ = *text++;
    }
    return line;
}

/* Without a division, which an ARMv6-M core does in a library call. */
static char* put_decimal(char* line, uint32_t value) {
    static const uint32_t tens[] = {1000000000, 100000000, 10000000, 1000000, 100000,
                                    10000,      1000,      100,      10,      1};
    int started = 0;
    *line++ = ' ';
    for (size_t k = 0; k < sizeof tens / sizeof tens[0]; ++k) {
        char digit = '0';
        while (value >= tens[k]) {
            value -= tens[k];
            ++digit;
        }
        started |= digit != '0' || tens[k] == 1;
        if (started) {
            *line++ = digit;
        }
    }
    return line;
}

static char* put_hex(char* line, uint32_t value) {
    *line++ = ' ';
    for (int shift = 28; shift >= 0; shift -= 4) {
        *line++ = "0123456789abcdef"[(value >> shift) & 15u];
    }
    return line;
}

/* Writes the line, which starts with a blank. */
static void say(char* line, char* end) {
    end[0] = '\n';
    end[1] = '\0';
    core_write(line + 1);
}

/* Says "frame <i> fnv1a <hash of leds> ms <delay>". */
static void say_frame(uint16_t i, uint16_t ms) {
    char line[80];
    char* end = put_decimal(put_text(line, "frame"), i);
    end = put_hex(put_text(end, "fnv1a"), fnv1a(2166136261u, leds, sizeof leds));
    say(line, put_decimal(put_text(end, "ms"), ms));
}

/* The cycles of a call to core_cycles, which each figure takes off. */
static uint32_t idle;

static uint32_t cycles_since(uint32_t start) {
    return core_cycles() - start - idle;
}

int main(void) {
    player_state player;
    uint32_t all[2] = {2166136261u, 2166136261u};
    uint32_t most = 0;
    uint32_t total = 0;
    uint32_t seek = 0;
    uint8_t error = 0;
    idle = core_cycles();
    idle = core_cycles() - idle;
#ifdef STREAM
    tivrano_stream_open(&player, read_flash, NULL);
    const uint16_t count = tivrano_stream_count(&player);
#else
    const uint16_t count = tivrano_count(&animation);
    for (uint16_t i = 0; i < count; ++i) {
        /* The LEDs hold nothing of the frame before, which tivrano_frame must not read. */
        memset(leds, 0xAA, sizeof leds);
        const uint32_t start = core_cycles();
        player_frame(i, leds);
        const uint32_t cycles = cycles_since(start);
        seek = cycles > seek ? cycles : seek;
        say_frame(i, tivrano_delay_ms(&animation, i));
    }
    tivrano_player_start(&player, &animation);
#endif
    for (int round = 0; round < 2; ++round) {
        for (uint16_t i = 0; i < count; ++i) {
            const uint32_t start = core_cycles();
            const uint16_t ms = player_next(&player, leds);
            const uint32_t cycles = cycles_since(start);
            most = cycles > most ? cycles : most;
            total += cycles;
            all[round] = fnv1a(all[round], leds, sizeof leds);
#ifdef STREAM
            if (round == 0) {
                say_frame(i, ms);
            }
            error = tivrano_stream_error(&player);
#else
            (void)ms;
#endif
        }
    }
    char line[100];
    char* end = put_hex(put_text(put_decimal(put_text(line, "frames"), count), "fnv1a"), all[0]);
    say(line, all[1] == all[0] ? end : put_text(end, "but the second round differs"));
    end = put_decimal(put_text(line, "most"), most);
    end = put_decimal(put_text(put_decimal(put_text(end, "total"), total), "seek"), seek);
    end = put_decimal(put_text(put_decimal(put_text(end, "state"), sizeof player), "error"), error);
    say(line, end);
    core_exit(all[1] != all[0] || error != 0);
}
