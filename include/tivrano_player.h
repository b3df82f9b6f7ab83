/* tivrano_player.h: plays animations that `tivrano --pack` stored packed, on any chip.
   Player format 2 (TIVRANO_PLAYER_FORMAT).

   One C99 header, for C and C++. It allocates nothing and keeps no state of its own: a frame
   goes straight into the firmware's LED buffer, 3 bytes an LED in the order the text was made
   for, and the only state is the caller's `struct tivrano_player`. On an AVR the animation
   lives in flash and is read with pgm_read_*; elsewhere it is plain constant data.

   API

     uint16_t tivrano_count(a), tivrano_width(a), tivrano_height(a)
         the frames, and the LEDs of a frame across and down.
     uint16_t tivrano_delay_ms(a, i)
         how long frame i is shown, in milliseconds.
     void tivrano_frame(a, i, leds)
         writes frame i, 3 * width * height bytes, into leds, whatever they held. It plays from
         the last frame at or before i that stands alone, and tivrano places those so that this
         takes at most about 4 times the cycles of the longest frame played in order.
     void tivrano_player_start(p, a)
     uint16_t tivrano_player_next(p, leds)
         writes the next frame into leds, from the first after the last, and returns its delay.
         It relies on leds still holding the frame it wrote last: firmware that changes the
         buffer between frames (some LED libraries scale it in place) calls tivrano_frame, or
         tivrano_player_start again, instead.

   A text declares its animation, `const struct tivrano_animation NAME`, and the LEDs of a
   frame as `enum { NAME_leds = width * height }`, for the buffer:

     static uint8_t leds[3 * walk_leds];
     struct tivrano_player player;
     tivrano_player_start(&player, &walk);
     for (;;) {
         uint16_t ms = tivrano_player_next(&player, leds);
         show(leds);
         wait(ms);
     }

   Reading from program memory

   On an AVR the animation is placed with TIVRANO_FLASH, where the linker puts data that must
   lie in the first 64 KiB of flash, and read with pgm_read_byte, pgm_read_word and
   pgm_read_ptr; elsewhere TIVRANO_FLASH is empty and the reads are plain. A chip that keeps
   constants in a memory of its own (an ESP8266, whose flash takes only aligned 4-byte reads,
   or an 8051) defines any of these before including the header:

     TIVRANO_FLASH        where the animation's objects go, written after their names
     TIVRANO_BYTE(p)      the uint8_t at p
     TIVRANO_WORD(p)      the uint16_t at p
     TIVRANO_POINTER(p)   the pointer at p, as a const void*

     #define TIVRANO_FLASH PROGMEM
     #define TIVRANO_BYTE(p) pgm_read_byte(p)
     #define TIVRANO_WORD(p) pgm_read_word(p)
     #define TIVRANO_POINTER(p) pgm_read_ptr(p)
     #include "tivrano_player.h"

   Format

   The format has a number, TIVRANO_PLAYER_FORMAT, which changes whenever what follows does. A
   text tivrano made checks it and stops the build, saying so, when this header plays another.

   An animation holds a palette of up to 256 colours, 3 bytes each as the LEDs take them, and a
   record for each frame; frames that are alike share a record. A record is commands, one after
   the other, that write the frame over the previous one, which leds still hold. One that
   starts with a skip (a first byte below 64) reads the previous frame; any other stands alone,
   and tivrano_frame plays from it.

   A command is one byte, two bits of what it does and six of a count c: n = c + 1 LEDs, or for
   c = 63, n = 64 + the next byte (64 to 319). Then, by its top two bits:

     00  skip n - 1 LEDs (0 to 318), which keep their values
     01  one byte, a palette index: n LEDs of that colour
     10  n palette indices of `bits` bits each (1, 2, 4 or 8), the first in the top bits of the
         first byte: ceil(n * bits / 8) bytes
     11  two bytes, d, high byte first. For d = 0, 3 * n bytes: n LEDs as they are. Otherwise
         n LEDs, each copied from the LED d before it in the buffer, counting round from the
         first LED to the last (d is less than the LEDs of a frame). The LEDs the record has
         written hold the new frame, the others the previous one: only a record that starts
         with a skip reads those, and a copy that starts among them ends at the last LED.

   Commands follow each other until every LED of the frame is covered. Besides the palette and
   the records, an animation has a table of each frame's record, the delays, and the struct:
   on an AVR 4 bytes a frame and 13 more, which the "bytes stored" of the text's comment and
   --max-bytes count; with 4-byte pointers 2 more a frame and 7 more, and any padding the
   compiler adds to align the arrays.

   Files

   `tivrano --binary --pack` writes an animation as one file, for firmware that reads it from an
   SD card, a flash file system or SPI flash with the stream player below. Every number in it is
   little-endian; an offset counts from the file's first byte.

     offset  bytes               what
     0       4                   "TIVP", the magic number
     4       1                   the format, TIVRANO_PLAYER_FORMAT
     5       1                   bits, of an index: 1, 2, 4 or 8
     6       2                   width
     8       2                   height, width * height at most 65,535
     10      2                   count, of frames, at least 1
     12      2                   colours, of the palette: at most 2^bits
     14      2                   records, at least 1 and at most count
     16      4 * count           each frame's delay in milliseconds (2), then its record (2)
             4 * (records + 1)   where each record starts, and where the last ends: the file's
                                 size (4 each)
             3 * colours         the palette
                                 the records, one after the other, the first where the palette
                                 ends

   The palette and the records are the bytes an animation holds in flash, as the format above
   says: a record's commands cover every LED of a frame and end where the next record starts.

   Limits

   65,535 frames, of 65,535 LEDs each. On an AVR, avr-gcc places no object over 32,767 bytes:
   a text with one stops the build there, saying so. pgm_read_* reach only the first 64 KiB of
   flash, and a pointer beyond them links unchecked: the animations go where the linker puts
   data that must lie there, ahead of all other data in flash, and together must fit in it.
   An ATmega328P has 32 KiB in all; on a larger AVR keep the animations of one firmware under
   64 KiB together. */
#ifndef TIVRANO_PLAYER_H
#define TIVRANO_PLAYER_H

#include <stddef.h>
#include <stdint.h>

/* The format of the animations this header plays: a text made for another refuses to build. */
#define TIVRANO_PLAYER_FORMAT 2

#ifdef __AVR__
#include <avr/pgmspace.h>
#endif

#ifndef TIVRANO_FLASH
#ifdef __AVR__
/* In flash, where the linker puts data that must lie in the first 64 KiB, ahead of the rest. */
#define TIVRANO_FLASH __attribute__((__section__(".progmem.gcc_tivrano")))
#else
#define TIVRANO_FLASH
#endif
#endif

#ifndef TIVRANO_BYTE
#ifdef __AVR__
#define TIVRANO_BYTE(p) pgm_read_byte(p)
/* The reads are the AVR's own, so an LED's bytes can be copied with lpm (tivrano_put). */
#define TIVRANO_AVR_LPM 1
#else
#define TIVRANO_BYTE(p) (*(p))
#endif
#endif

#ifndef TIVRANO_WORD
#ifdef __AVR__
#define TIVRANO_WORD(p) pgm_read_word(p)
#else
#define TIVRANO_WORD(p) (*(p))
#endif
#endif

#ifndef TIVRANO_POINTER
#ifdef __AVR__
#define TIVRANO_POINTER(p) pgm_read_ptr(p)
#else
#define TIVRANO_POINTER(p) ((const void*)*(p))
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct tivrano_animation {
    uint16_t count;
    uint16_t width;
    uint16_t height;
    uint8_t bits;
    const uint8_t* palette;
    const uint8_t* const* frames;
    const uint16_t* delay_ms;
};

struct tivrano_player {
    const struct tivrano_animation* animation;
    uint16_t next;
};

static inline uint16_t tivrano_count(const struct tivrano_animation* a) {
    return TIVRANO_WORD(&a->count);
}

static inline uint16_t tivrano_width(const struct tivrano_animation* a) {
    return TIVRANO_WORD(&a->width);
}

static inline uint16_t tivrano_height(const struct tivrano_animation* a) {
    return TIVRANO_WORD(&a->height);
}

static inline uint16_t tivrano_delay_ms(const struct tivrano_animation* a, uint16_t i) {
    const uint16_t* delays = (const uint16_t*)TIVRANO_POINTER(&a->delay_ms);
    return TIVRANO_WORD(&delays[i]);
}

static inline const uint8_t* tivrano_record(const struct tivrano_animation* a, uint16_t i) {
    const uint8_t* const* frames = (const uint8_t* const*)TIVRANO_POINTER(&a->frames);
    return (const uint8_t*)TIVRANO_POINTER(&frames[i]);
}

/* Copies an LED's 3 bytes from the animation into leds, and returns where the next goes. */
#ifdef TIVRANO_AVR_LPM
static inline uint8_t* tivrano_put(uint8_t* leds, const uint8_t* from) {
    __asm__ volatile("lpm __tmp_reg__, Z+\n\tst X+, __tmp_reg__\n\t"
                     "lpm __tmp_reg__, Z+\n\tst X+, __tmp_reg__\n\t"
                     "lpm __tmp_reg__, Z\n\tst X+, __tmp_reg__"
                     : "+x"(leds), "+z"(from)
                     :
                     : "memory");
    return leds;
}
#else
static inline uint8_t* tivrano_put(uint8_t* leds, const uint8_t* from) {
    leds[0] = TIVRANO_BYTE(from);
    leds[1] = TIVRANO_BYTE(from + 1);
    leds[2] = TIVRANO_BYTE(from + 2);
    return leds + 3;
}
#endif

/* Applies one frame's record to leds. */
static inline void tivrano_apply(const struct tivrano_animation* a, const uint8_t* r,
                                 uint8_t* leds) {
    const uint16_t total = (uint16_t)((unsigned)tivrano_width(a) * tivrano_height(a));
    uint8_t* const first = leds;
    uint16_t left = total;
    const uint8_t* palette = (const uint8_t*)TIVRANO_POINTER(&a->palette);
    const uint8_t bits = TIVRANO_BYTE(&a->bits);
    /* Times 2^bits, the indices left in a byte give the next (high byte) and the rest (low). */
    const uint8_t scale = bits == 1 ? 2 : bits == 2 ? 4 : 16;
    while (left != 0) {
        const uint16_t at = (uint16_t)(total - left);
        uint8_t op = TIVRANO_BYTE(r++);
        uint16_t n = (uint16_t)((op & 63u) + 1u);
        uint16_t d = 0;
        if (n == 64) {
            n = (uint16_t)(n + TIVRANO_BYTE(r++));
        }
        op >>= 6;
        if (op == 3) {
            d = (uint16_t)(TIVRANO_BYTE(r) << 8 | TIVRANO_BYTE(r + 1));
            r += 2;
        }
        left = (uint16_t)(left - n);
        if (op == 0) {
            /* A skip covers one LED less than the count: it may skip none. */
            ++left;
            leds += 3u * (uint16_t)(n - 1u);
        } else if (d != 0) {
            /* Each LED from the one d before, counting round from the first LED to the last: a
               copy that starts in the previous frame ends at the last LED. */
            uint16_t from_led = (uint16_t)(at - d);
            const uint8_t* from;
            if (at < d) {
                from_led = (uint16_t)(from_led + total);
            }
            from = first + 3u * from_led;
            do {
                *leds++ = *from++;
                *leds++ = *from++;
                *leds++ = *from++;
            } while (--n != 0);
        } else {
            /* From the animation: a colour of the palette, indices into it, or values. */
            uint8_t index = 0;
            uint8_t byte = 0;
            uint8_t have = 0;
            if (op == 1) {
                index = TIVRANO_BYTE(r++);
            }
            do {
                const uint8_t* from = r;
                if (op == 3) {
                    r += 3;
                } else {
                    if (op == 2) {
                        if (have == 0) {
                            byte = TIVRANO_BYTE(r++);
                            have = 8;
                        }
                        index = byte;
                        if (bits != 8) {
                            const uint16_t product = (uint16_t)((uint16_t)byte * scale);
                            index = (uint8_t)(product >> 8);
                            byte = (uint8_t)product;
                        }
                        have = (uint8_t)(have - bits);
                    }
                    from = palette + 3u * index;
                }
                leds = tivrano_put(leds, from);
            } while (--n != 0);
        }
    }
}

static inline void tivrano_frame(const struct tivrano_animation* a, uint16_t i, uint8_t* leds) {
    uint16_t k = i;
    while (k != 0 && TIVRANO_BYTE(tivrano_record(a, k)) < 64) {
        --k;
    }
    for (;;) {
        tivrano_apply(a, tivrano_record(a, k), leds);
        if (k++ == i) {
            return;
        }
    }
}

static inline void tivrano_player_start(struct tivrano_player* p,
                                        const struct tivrano_animation* a) {
    p->animation = a;
    p->next = 0;
}

static inline uint16_t tivrano_player_next(struct tivrano_player* p, uint8_t* leds) {
    const struct tivrano_animation* a = p->animation;
    const uint16_t i = p->next;
    tivrano_apply(a, tivrano_record(a, i), leds);
    p->next = (uint16_t)(i + 1u == tivrano_count(a) ? 0u : i + 1u);
    return tivrano_delay_ms(a, i);
}

#ifdef __cplusplus
}
#endif

#endif
