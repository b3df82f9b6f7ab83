/* tivrano_player.h: plays animations that `tivrano --pack` stored packed, on any chip.
   Player format 2 (TIVRANO_PLAYER_FORMAT), and 6 for animations packed small
   (TIVRANO_SMALL_FORMAT), 7 for those with fast records among the small (TIVRANO_MIXED_FORMAT),
   8 for those with records that stand alone and have an offset (TIVRANO_OFFSET_FORMAT).

   One C99 header, for C and C++. It allocates nothing and keeps no state of its own: a frame
   goes straight into the firmware's LED buffer, 3 bytes an LED in the order the text was made
   for (or as "Values of rgb565 and mono" says below), and the only state is the caller's
   `struct tivrano_player`. On an AVR the animation lives in flash and is read with pgm_read_*;
   elsewhere it is plain constant data. The stream player plays the same animation from a file,
   through a read function of the firmware's.

   API

     uint16_t tivrano_count(a), tivrano_width(a), tivrano_height(a)
         the frames, and the LEDs of a frame across and down.
     uint16_t tivrano_delay_ms(a, i)
         how long frame i is shown, in milliseconds.
     void tivrano_frame(a, i, leds)
         writes frame i, TIVRANO_VALUE_BYTES * width * height bytes (3 unless defined), into
         leds, whatever they held. It plays from the last frame at or before i that stands
         alone, and tivrano places those so that this takes at most about 4 times the cycles of
         the longest frame played in order.
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

   Playing from a file

   `tivrano --name=NAME --pack --binary -o FILE FRAMES...` writes the animation as one file (laid
   out as "Files" says below), for firmware that keeps it on an SD card, a flash file system or
   SPI flash. The stream player reads it through the firmware's function, a few bytes at a
   time; its state is the caller's `struct tivrano_stream`, at most 64 bytes (22 on an AVR),
   and it keeps no frame beside leds.

     typedef size_t (*tivrano_read)(void* context, uint32_t offset, uint8_t* to, size_t count)
         the firmware's: reads count bytes of the file from offset into to, and returns how many
         it read. context is what the firmware gave tivrano_stream_open.
     int tivrano_stream_open(s, read, context)
         reads the file's header and checks it, then reads the whole file once and checks it
         against its CRC-32: 0, or -1 when the file cannot be played. A file whose bytes changed
         after tivrano wrote it is refused here, before a byte of it reaches the LEDs.
     uint16_t tivrano_stream_count(s), tivrano_stream_width(s), tivrano_stream_height(s)
         the frames, and the LEDs of a frame across and down; 0 after a failed open. The
         firmware checks that its buffer holds TIVRANO_VALUE_BYTES * width * height bytes: the
         file says how many LEDs a frame has, and the player writes that many.
     uint16_t tivrano_stream_next(s, leds)
         writes the next frame into leds and returns its delay, as tivrano_player_next does,
         from the first frame after the last; it too relies on leds holding the frame it wrote
         last.
     uint8_t tivrano_stream_error(s)
         why the stream stopped, or TIVRANO_STREAM_OK (0):
         TIVRANO_STREAM_SHORT_READ  the read function gave fewer bytes than asked for: the card
                                    failed, or the file is cut short;
         TIVRANO_STREAM_BAD_FILE    not such a file, or of another format: a wrong magic number
                                    or format, a check that does not agree with the file's
                                    bytes, sizes that do not agree, a frame's record that is
                                    not there, a record that runs past its end or on after its
                                    commands, commands past the LEDs of the frame or past the
                                    palette.

   No bytes of the file are trusted: each number is checked before it is used, and nothing is
   written outside the TIVRANO_VALUE_BYTES * width * height bytes at leds, whatever the file
   holds. Once the stream has failed, in tivrano_stream_open or in tivrano_stream_next,
   tivrano_stream_next writes nothing more and returns 0 until tivrano_stream_open starts it
   again, from the first frame; the frame it failed in may be partly written. A delay of 0 can
   be a frame's own: to tell a failure, test tivrano_stream_error.

     static size_t read_file(void* context, uint32_t offset, uint8_t* to, size_t count) {
         FILE* file = context;
         return fseek(file, (long)offset, SEEK_SET) == 0 ? fread(to, 1, count, file) : 0;
     }

     static uint8_t leds[3 * 256];
     struct tivrano_stream stream;
     if (tivrano_stream_open(&stream, read_file, file) != 0 ||
         (uint32_t)tivrano_stream_width(&stream) * tivrano_stream_height(&stream) > 256) {
         stop();
     }
     for (;;) {
         uint16_t ms = tivrano_stream_next(&stream, leds);
         if (tivrano_stream_error(&stream) != TIVRANO_STREAM_OK) {
             stop();
         }
         show(leds);
         wait(ms);
     }

   For each frame it reads its entry in the file's tables, then its record TIVRANO_STREAM_CHUNK
   bytes at a time (16), and values as they are straight into leds; the palette's first
   TIVRANO_STREAM_COLOURS colours (16), its commonest, at once when a frame first needs one of
   them, and a colour after those when an LED needs it. The chunk and those colours lie on the
   stack of tivrano_stream_next, which takes about 120 bytes of it on an AVR, besides the read
   function, and with TIVRANO_SMALL defined about 80 more, for the small player; either number
   may be defined before the header is included, from 1 to 255 and to 256. A small file's model
   it holds there too, up to TIVRANO_SMALL_HELD bytes (35), and reads a byte of the rest where a
   new LED needs it: with a palette of over 16 colours, up to 4 reads for each new LED. Defined
   as 275 it holds every model, in 240 more bytes of stack (a 32 x 32 spinner of 133 colours:
   365 reads a frame, where it took 1,994).

   Values of rgb565 and mono

   `tivrano --format=rgb565 --pack` and `--format=mono --pack` store animations for panels that
   take 16-bit RGB565 values, or one bit an LED. A player plays values of one size,
   TIVRANO_VALUE_BYTES, which firmware defines before it includes this header, and such a text
   and its header define first: 3, an LED's three values (the default); 2, an LED's RGB565
   value, its two bytes as the text's --binary frames hold them (little-endian, or swapped with
   --swap-bytes); 1, a byte of mono's bits, 8 LEDs, as the text's array holds them. For mono,
   width and height count those bytes across a line of the strip and the lines down, and the
   buffer takes a frame as the unpacked array would. The struct's bits, and the file's, carry
   the size as TIVRANO_VALUE_FIELD (0 for 3 bytes): a text made for another size stops the
   build, saying so, the flash player writes nothing for its animation and the stream player
   refuses its file. The text declares NAME_bytes, the buffer's bytes, beside NAME_leds:

     #define TIVRANO_VALUE_BYTES 2
     #include "tivrano_player.h"
     static uint16_t frame[panel_leds];
     uint16_t ms = tivrano_player_next(&player, (uint8_t*)frame);

   Everything below counts values: an LED's, or for mono a byte's, of TIVRANO_VALUE_BYTES
   bytes, where it says an LED's 3.

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

   Packed small

   `tivrano --pack=small` stores an animation in fewer bytes, and each frame takes more cycles to
   play (`--pack=auto` takes the smaller of the two). Its text defines TIVRANO_SMALL before it
   includes this header, which then plays animations packed small too; firmware without one
   pays nothing for them but the check that refuses them (on an AVR, 8 bytes). Firmware that
   includes this header before a small animation's text, or its header, defines TIVRANO_SMALL
   first, or that text stops the build, saying so; a player without TIVRANO_SMALL writes
   nothing for a small animation, and the stream player refuses its file as of another format.
   On an AVR with a multiplier the flash player walks a small record in the AVR's own
   instructions (tivrano_small_avr), in some two thirds of the cycles of the same walk in C,
   which every other core compiles: a 16 x 16 frame in at most 64,000 cycles at 16 MHz, for
   tivrano reckons each record's cycles on an ATmega328P and stores as a fast record a frame
   that would take more; it takes some 90 bytes of stack. The stream player walks in the same
   instructions (tivrano_small_avr_stream), its record's bytes from the chunk read ahead, and
   through the firmware's read function what it does not hold: the next chunk, a colour after
   the first TIVRANO_STREAM_COLOURS, a probability past TIVRANO_SMALL_HELD. A frame of few
   colours so takes some 10 % more cycles than from flash; one that needs many such reads, more.

   The struct's bits are the palette's index bits (0 to 8; 0: no palette) with
   TIVRANO_SMALL_FLAG, and its palette array starts with the model: TIVRANO_SMALL_QUESTIONS
   probabilities, then 2^bits - 1 more for an index's bits (none for 0 bits), each a byte p
   that gives a yes (or a bit 0) the probability p / 256. A record's first byte says how it
   plays: its top bit set, after the previous frame, else alone; the next, from the last LED to
   the first; the low six, an offset m from 0 to 48 (24: none), dx = m / 7 - 3 LEDs across and
   dy = m % 7 - 3 down. The rest is a binary code of bytes (rANS): the decoder's state, of 16
   bits, starts as the next two bytes, high first; an answer of probability p is yes where the
   state's low byte l is below p, and the state, of high byte h, becomes p * h + l, or for a no
   (256 - p) * h + l - p; where that is below 256, the record's next byte comes in below it
   (state * 256 + byte). Each LED, in the record's order, asks in turn, each question once and none
   whose candidate's colour a question before it refused: is it the LED as the previous frame left
   it (after the previous frame); the previous frame's LED dx across and dy down before it, while
   the buffer still holds that (after the previous frame, with an offset), or standing alone,
   its own frame's LED dx across and dy down before it, where the record has written that
   already (with an offset; neither in a frame over 65,533 LEDs wide or tall); the LED before it on
   its row; the LED above it, where "before" and "above" are the other way round from the last LED.
   The probability of question q (0 to 3) is the model's 5 * q + a, where a is the LED before's
   answer (that question, or 4: none, and 4 for the first LED). An LED that is none of them is a
   palette index, its bits from the top, bit b at tree node n (1 at the top, then 2 * n + b) with
   the model's TIVRANO_SMALL_QUESTIONS + n - 1; or with 0 bits its 3 bytes (its value's), each bit
   of probability 128. A record ends with the last byte its decoder reads.

   A record whose first byte's low six bits are 63 (TIVRANO_SMALL_FAST) is a fast record after
   it, as above, its indices of the fewest of 1, 2, 4 and 8 bits that hold the palette's (8
   without a palette), and its top bit set where it starts with a skip. tivrano stores a frame
   so where that takes no more bytes: it then plays in fewer cycles too. An animation with such
   a record is of format 7, TIVRANO_MIXED_FORMAT; one with a record that stands alone and has an
   offset, of format 8, TIVRANO_OFFSET_FORMAT (it may hold fast records too). Formats 3, 4 and
   5 coded the answers with an arithmetic coder of bits, which took more cycles a frame: this
   player refuses their files as of another format, and their text does not build with it;
   tivrano makes them again.

   Files

   The file `tivrano --pack --binary` writes, which the stream player plays, holds the animation
   as follows. Every number in it is little-endian; an offset counts from the file's first byte.

     offset  bytes               what
     0       4                   "TIVP", the magic number
     4       1                   the format, TIVRANO_PLAYER_FORMAT, or TIVRANO_SMALL_FORMAT,
                                 TIVRANO_MIXED_FORMAT or TIVRANO_OFFSET_FORMAT
     5       1                   bits, of an index: 1, 2, 4 or 8; packed small, 0 to 8; and
                                 TIVRANO_VALUE_FIELD
     6       2                   width
     8       2                   height, width * height at most 65,535
     10      2                   count, of frames, at least 1
     12      2                   colours, of the palette: at most 2^bits
     14      2                   records, at least 1 and at most count
     16      4 * count           each frame's delay in milliseconds (2), then its record (2)
             4 * (records + 1)   where each record starts, and where the last ends, which is
                                 where the check starts (4 each)
                                 packed small, the model
             3 * colours         the palette (TIVRANO_VALUE_BYTES * colours)
                                 the records, one after the other, the first where the palette
                                 ends
             4                   the check: the CRC-32 of every byte before it, as zlib's
                                 crc32 computes it

   The palette and the records are the bytes an animation holds in flash, as the format above
   says: a record's commands cover every LED of a frame and end where the next record starts.
   Firmware made with an earlier header, which has no check, plays the file as it did; a file
   written before the check came is refused, and is made again with tivrano.

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

/* The stream player: a packed file read through the firmware's function, in small pieces. */

typedef size_t (*tivrano_read)(void* context, uint32_t offset, uint8_t* to, size_t count);

struct tivrano_stream {
    tivrano_read read;
    void* context;
    uint32_t size; /* where the file's last record ends, and its check starts */
    uint16_t count;
    uint16_t width;
    uint16_t height;
    uint16_t colours;
    uint16_t records;
    uint16_t next;
    uint8_t bits;
    uint8_t error;
};

/* What tivrano_stream_error says. */
#define TIVRANO_STREAM_OK 0
#define TIVRANO_STREAM_SHORT_READ 1
#define TIVRANO_STREAM_BAD_FILE 2

/* "TIVP", the file's first 4 bytes, read as a little-endian number. */
#define TIVRANO_FILE_MAGIC 0x50564954u
#define TIVRANO_FILE_HEADER 16u

/* On the stack of tivrano_stream_next: the bytes of a record it reads at a time, and the
   colours a palette may have for it to read the palette once a frame, not once an LED. */
#ifndef TIVRANO_STREAM_CHUNK
#define TIVRANO_STREAM_CHUNK 16
#endif
#ifndef TIVRANO_STREAM_COLOURS
#define TIVRANO_STREAM_COLOURS 16
#endif
#if TIVRANO_STREAM_CHUNK < 1 || TIVRANO_STREAM_CHUNK > 255 || TIVRANO_STREAM_COLOURS < 1 ||        \
    TIVRANO_STREAM_COLOURS > 256
#error "TIVRANO_STREAM_CHUNK is from 1 to 255, TIVRANO_STREAM_COLOURS from 1 to 256"
#endif

/* The bytes of a value the LED buffer holds, and the animations and files this player plays: 3,
   an LED's three values (the default); 2, an LED's RGB565 value (`--format=rgb565`); 1, a byte
   of 8 LEDs' bits (`--format=mono`). The struct's bits and the file's carry it as
   TIVRANO_VALUE_FIELD. */
#ifndef TIVRANO_VALUE_BYTES
#define TIVRANO_VALUE_BYTES 3
#endif
#if TIVRANO_VALUE_BYTES < 1 || TIVRANO_VALUE_BYTES > 3
#error "TIVRANO_VALUE_BYTES is 3 (grb), 2 (rgb565) or 1 (mono)"
#endif
#define TIVRANO_VALUE_SHIFT 4
#define TIVRANO_VALUE_MASK 0x30u
#define TIVRANO_VALUE_FIELD ((TIVRANO_VALUE_BYTES % 3u) << TIVRANO_VALUE_SHIFT)
/* TIVRANO_VALUE_BYTES, unsigned, for arithmetic. */
#define TIVRANO_VALUE_SIZE ((unsigned)TIVRANO_VALUE_BYTES)

/* Animations packed small: their format, the flag their bits carry beside the palette's index
   bits, and the model's probabilities before its tree's (4 questions, each after 5 answers). */
#define TIVRANO_SMALL_FORMAT 6
/* Packed small, with records of the fast format among the small ones: their first byte's low six
   bits are TIVRANO_SMALL_FAST. A player from before these refuses their file as of another
   format, and their text does not build with its header. */
#define TIVRANO_MIXED_FORMAT 7
#define TIVRANO_SMALL_FAST 63u
/* Packed small, with records that stand alone and ask about an LED of their own frame at their
   offset. A player from before these refuses them so. */
#define TIVRANO_OFFSET_FORMAT 8
#define TIVRANO_SMALL_FLAG 0x80u
#define TIVRANO_SMALL_QUESTIONS 20u
/* The model's bytes the stream holds on its stack while it plays a small frame: 35, the questions'
   and a tree of up to 4 bits; it reads any more, a byte at a time, where an LED needs one.
   Firmware may define another number before it includes the header: 275 holds every model. */
#ifndef TIVRANO_SMALL_HELD
#define TIVRANO_SMALL_HELD 35u
#endif
#if TIVRANO_SMALL_HELD < 1 || TIVRANO_SMALL_HELD > 275
#error "TIVRANO_SMALL_HELD is from 1 to 275"
#endif

static inline uint16_t tivrano_le16(const uint8_t* b) {
    return (uint16_t)((unsigned)b[1] << 8 | b[0]);
}

static inline uint32_t tivrano_le32(const uint8_t* b) {
    return (uint32_t)tivrano_le16(b + 2) << 16 | tivrano_le16(b);
}

/* Says why the stream stopped, and returns 0. */
static inline uint8_t tivrano_stream_fail(struct tivrano_stream* s, uint8_t error) {
    s->error = error;
    return 0;
}

/* Reads count bytes of the file at offset into to: 1, or 0 when fewer came. */
static inline uint8_t tivrano_stream_get(struct tivrano_stream* s, uint32_t offset, uint8_t* to,
                                         size_t count) {
    return s->read(s->context, offset, to, count) == count
               ? 1
               : tivrano_stream_fail(s, TIVRANO_STREAM_SHORT_READ);
}

/* What tivrano_stream_next keeps on its stack while it plays a frame: where it is in the record,
   whose bytes bytes[used] to bytes[have - 1], read ahead, come from just before `at`, and which
   ends at `end`; and the palette, which lies at `palette` in the file, whose first `held`
   colours, up to TIVRANO_STREAM_COLOURS, are in `colours` once the frame has needed one. */
struct tivrano_stream_frame {
    uint32_t at;
    uint32_t end;
    uint32_t palette;
    uint16_t held;
    uint8_t used;
    uint8_t have;
    uint8_t bytes[TIVRANO_STREAM_CHUNK];
    uint8_t colours[3 * TIVRANO_STREAM_COLOURS];
};

/* What the stream holds of a small animation's model while it plays a frame: where the model
   lies in the file, and its first bytes. Defined where TIVRANO_SMALL is, and no struct's layout
   depends on that, so that files of a program that differ in it agree. */
struct tivrano_small_held;

/* The record's next byte; 0, the stream failed, past its end. */
static inline uint8_t tivrano_stream_byte(struct tivrano_stream* s,
                                          struct tivrano_stream_frame* f) {
    if (f->used == f->have) {
        const uint32_t left = f->end - f->at;
        const uint8_t ahead = left < TIVRANO_STREAM_CHUNK ? (uint8_t)left : TIVRANO_STREAM_CHUNK;
        if (ahead == 0) {
            return tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
        }
        if (!tivrano_stream_get(s, f->at, f->bytes, ahead)) {
            return 0;
        }
        f->at += ahead;
        f->have = ahead;
        f->used = 0;
    }
    return f->bytes[f->used++];
}

/* Reads the record's next count bytes into to, those read ahead and then the rest straight: 1, or
   0 when the stream failed. */
static inline uint8_t tivrano_stream_bytes(struct tivrano_stream* s, struct tivrano_stream_frame* f,
                                           uint8_t* to, uint16_t count) {
    for (; count != 0 && f->used != f->have; --count) {
        *to++ = f->bytes[f->used++];
    }
    if (count == 0) {
        return 1;
    }
    if (count > f->end - f->at) {
        return tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
    }
    f->at += count;
    return tivrano_stream_get(s, f->at - count, to, count);
}

/* Copies a value's bytes from `from` to `to`, in RAM. */
static inline void tivrano_value(uint8_t* to, const uint8_t* from) {
    to[0] = from[0];
#if TIVRANO_VALUE_BYTES > 1
    to[1] = from[1];
#endif
#if TIVRANO_VALUE_BYTES > 2
    to[2] = from[2];
#endif
}

/* Puts the palette's colour `index`, if the stream has not failed reading it, into the LED at
   leds: 1, or 0 when the stream failed. */
static inline uint8_t tivrano_stream_colour(struct tivrano_stream* s,
                                            struct tivrano_stream_frame* f, uint8_t index,
                                            uint8_t* leds) {
    if (s->error != TIVRANO_STREAM_OK) {
        return 0;
    }
    if (index >= s->colours) {
        return tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
    }
    if (index >= TIVRANO_STREAM_COLOURS) {
        return tivrano_stream_get(s, f->palette + TIVRANO_VALUE_SIZE * (uint32_t)index, leds,
                                  TIVRANO_VALUE_SIZE);
    }
    if (f->held == 0) {
        /* The palette's commonest colours, in one read. */
        f->held = s->colours < TIVRANO_STREAM_COLOURS ? s->colours : TIVRANO_STREAM_COLOURS;
        if (!tivrano_stream_get(s, f->palette, f->colours, TIVRANO_VALUE_SIZE * f->held)) {
            return 0;
        }
    }
    tivrano_value(leds, f->colours + TIVRANO_VALUE_SIZE * index);
    return 1;
}

/* Copies an LED's value from the animation into leds, and returns where the next goes. */
#ifdef TIVRANO_AVR_LPM
static inline uint8_t* tivrano_put(uint8_t* leds, const uint8_t* from) {
    __asm__ volatile(".rept %[n]\n\tlpm __tmp_reg__, Z+\n\tst X+, __tmp_reg__\n\t.endr"
                     : "+x"(leds), "+z"(from)
                     : [n] "n"(TIVRANO_VALUE_SIZE)
                     : "memory");
    return leds;
}
#else
static inline uint8_t* tivrano_put(uint8_t* leds, const uint8_t* from) {
    leds[0] = TIVRANO_BYTE(from);
#if TIVRANO_VALUE_BYTES > 1
    leds[1] = TIVRANO_BYTE(from + 1);
#endif
#if TIVRANO_VALUE_BYTES > 2
    leds[2] = TIVRANO_BYTE(from + 2);
#endif
    return leds + TIVRANO_VALUE_SIZE;
}
#endif

/* Times 2^bits, the indices left in a byte give the next (high byte) and the rest (low). */
static inline uint8_t tivrano_scale(uint8_t bits) {
    return bits == 1 ? 2 : bits == 2 ? 4 : 16;
}

/* The next index in a byte of indices, from its top bits: *byte keeps the rest, moved up. */
static inline uint8_t tivrano_index(uint8_t* byte, uint8_t bits, uint8_t scale) {
    uint8_t index = *byte;
    if (bits != 8) {
        const uint16_t product = (uint16_t)((uint16_t)*byte * scale);
        index = (uint8_t)(product >> 8);
        *byte = (uint8_t)product;
    }
    return index;
}

/* The LED that a copy at LED `at` reads first: d before it, counting round from the first LED to
   the last. */
static inline uint16_t tivrano_copied_led(uint16_t at, uint16_t d, uint16_t total) {
    return (uint16_t)(at < d ? at + total - d : at - d);
}

/* Copies n LEDs (at least 1) from `from` to leds, the first first, and returns where the next
   goes: from one LED before leds, it repeats that LED. On an AVR with ld and st, post-increment,
   which avr-gcc's own loop does not use. */
#ifdef __AVR__
static inline uint8_t* tivrano_copy(uint8_t* leds, const uint8_t* from, uint16_t n) {
    do {
        __asm__ volatile(".rept %[n]\n\tld __tmp_reg__, Z+\n\tst X+, __tmp_reg__\n\t.endr"
                         : "+x"(leds), "+z"(from)
                         : [n] "n"(TIVRANO_VALUE_SIZE)
                         : "memory");
    } while (--n != 0);
    return leds;
}
#else
static inline uint8_t* tivrano_copy(uint8_t* leds, const uint8_t* from, uint16_t n) {
    do {
        tivrano_value(leds, from);
        leds += TIVRANO_VALUE_SIZE;
        from += TIVRANO_VALUE_SIZE;
    } while (--n != 0);
    return leds;
}
#endif

/* Where tivrano_play takes a record's bytes and the palette's colours from: the animation in
   flash, which it trusts, or the stream's file, whose every number it checks. A flag tells them
   apart, not stream == NULL: avr-gcc keeps every test of a pointer against NULL, 0 being an
   address there, where it drops the tests of a constant flag. */
struct tivrano_source {
    const uint8_t* record;  /* in flash: the record's next byte */
    const uint8_t* palette; /* in flash */
    const uint8_t* model;   /* in flash, of a small animation */
    struct tivrano_stream* stream;
    struct tivrano_stream_frame* frame;
    struct tivrano_small_held* held; /* from a stream, of a small animation */
    uint8_t in_flash;
};

/* tivrano_play and what it calls are inlined into each player, where in_flash is a constant: the
   flash player keeps none of the stream's code, nor the stream the flash player's, in firmware
   that uses both. */
#if defined(__GNUC__)
#define TIVRANO_INLINED static inline __attribute__((__always_inline__))
#else
#define TIVRANO_INLINED static inline
#endif

/* Makes v a value the compiler cannot know, here: it then computes from it where it is needed,
   not once for all before a loop, which on an 8-bit core spills the values to the stack. */
#if defined(__GNUC__)
#define TIVRANO_UNKNOWN(v) __asm__ volatile("" : "+r"(v))
#else
#define TIVRANO_UNKNOWN(v) ((void)0)
#endif

/* The record's next byte; from a stream, 0 once it has failed. */
TIVRANO_INLINED uint8_t tivrano_byte(struct tivrano_source* from) {
    if (!from->in_flash) {
        return tivrano_stream_byte(from->stream, from->frame);
    }
    return TIVRANO_BYTE(from->record++);
}

/* Whether the stream has failed; from flash, 0. */
TIVRANO_INLINED uint8_t tivrano_failed(const struct tivrano_source* from) {
    return !from->in_flash && from->stream->error != TIVRANO_STREAM_OK;
}

/* Whether the stream fails now, for `bad`, a fault of its bytes; from flash, 0. */
TIVRANO_INLINED uint8_t tivrano_refused(struct tivrano_source* from, int bad) {
    if (from->in_flash || !bad) {
        return 0;
    }
    tivrano_stream_fail(from->stream, TIVRANO_STREAM_BAD_FILE);
    return 1;
}

/* Puts LEDs of a command of values (op 3), a run (1) or indices (2), of n LEDs left, into *to,
   and moves *to past them: from flash the next LED, from a stream all n LEDs of values or of a run
   at once, a run's colour read once and copied. `index` is the colour of a run or of an index.
   Returns how many LEDs it put; 0 when the stream failed. */
TIVRANO_INLINED uint16_t tivrano_leds(struct tivrano_source* from, uint8_t** to, uint8_t op,
                                      uint8_t index, uint16_t n) {
    uint8_t* const leds = *to;
    if (from->in_flash) {
        const uint8_t* bytes = from->record;
        if (op == 3) {
            from->record += TIVRANO_VALUE_SIZE;
        } else {
            bytes = from->palette + TIVRANO_VALUE_SIZE * index;
        }
        *to = tivrano_put(leds, bytes);
        return 1;
    }
    if (op != 3) {
        if (!tivrano_stream_colour(from->stream, from->frame, index, leds)) {
            return 0;
        }
        if (op == 2) {
            *to = leds + TIVRANO_VALUE_SIZE;
            return 1;
        }
        if (n > 1) {
            tivrano_copy(leds + TIVRANO_VALUE_SIZE, leds, (uint16_t)(n - 1u));
        }
    } else if (!tivrano_stream_bytes(from->stream, from->frame, leds,
                                     (uint16_t)(TIVRANO_VALUE_SIZE * n))) {
        return 0;
    }
    *to = leds + TIVRANO_VALUE_SIZE * n;
    return n;
}

/* Applies one frame's record to the `total` LEDs at leds, for both players: 1, or 0 when the
   stream failed. From a stream, every count is checked against the LEDs left, every copy against
   the LEDs it reads, every index against the palette, and every byte against the record's end
   (tivrano_stream_next checks that the commands end there). */
TIVRANO_INLINED uint8_t tivrano_play(struct tivrano_source* from, uint8_t bits, uint16_t total,
                                     uint8_t* leds) {
    const uint8_t scale = tivrano_scale(bits);
    uint8_t* const first = leds;
    uint16_t left = total;
    while (left != 0) {
        const uint16_t at = (uint16_t)(total - left);
        uint8_t op = tivrano_byte(from);
        uint16_t n = (uint16_t)((op & 63u) + 1u);
        uint16_t d = 0;
        if (n == 64) {
            n = (uint16_t)(n + tivrano_byte(from));
        }
        op >>= 6;
        if (op == 3) {
            d = (uint16_t)((unsigned)tivrano_byte(from) << 8);
            d = (uint16_t)(d | tivrano_byte(from));
        }
        if (op == 0) {
            /* A skip covers one LED less than the count: it may skip none. */
            --n;
        }
        if (tivrano_failed(from) || tivrano_refused(from, n > left)) {
            return 0;
        }
        left = (uint16_t)(left - n);
        if (op == 0) {
            leds += TIVRANO_VALUE_SIZE * n;
        } else if (d != 0) {
            /* A copy that starts in the previous frame ends at the last LED. */
            const uint16_t led = tivrano_copied_led(at, d, total);
            if (tivrano_refused(from, d >= total || (at < d && n > total - led))) {
                return 0;
            }
            leds = tivrano_copy(leds, first + TIVRANO_VALUE_SIZE * led, n);
        } else {
            /* Values, a colour of the palette, or indices into it. */
            uint8_t index = 0;
            uint8_t byte = 0;
            uint8_t have = 0;
            if (op == 1) {
                index = tivrano_byte(from);
            }
            do {
                uint16_t put;
                if (op == 2) {
                    if (have == 0) {
                        byte = tivrano_byte(from);
                        have = 8;
                    }
                    index = tivrano_index(&byte, bits, scale);
                    have = (uint8_t)(have - bits);
                }
                put = tivrano_leds(from, &leds, op, index, n);
                if (put == 0) {
                    return 0;
                }
                n = (uint16_t)(n - put);
            } while (n != 0);
        }
    }
    return 1;
}

#ifdef TIVRANO_SMALL
/* This header plays animations packed small: a text tivrano made so checks it. */
#define TIVRANO_SMALL_PLAYER 1

/* The index bits of a fast record in a small animation: the fewest of 1, 2, 4 and 8 that hold the
   palette's (8 where there is none). */
TIVRANO_INLINED uint8_t tivrano_fast_bits(uint8_t bits) {
    return bits == 0 || bits > 4u ? 8u : bits == 3u ? 4u : bits;
}

struct tivrano_small_held {
    uint32_t model;
    uint8_t bytes[TIVRANO_SMALL_HELD];
};

/* The small player's binary decoder: a state of 16 bits, at least 256 between answers. */
struct tivrano_coder {
    uint16_t state;
};

/* The model's probability k, in 256ths: from flash, or from the stream, held or read. */
TIVRANO_INLINED uint8_t tivrano_probability(struct tivrano_source* from, uint16_t k) {
    uint8_t p = 128;
    if (from->in_flash) {
        return TIVRANO_BYTE(from->model + k);
    }
    if (k < TIVRANO_SMALL_HELD) {
        return from->held->bytes[k];
    }
    tivrano_stream_get(from->stream, from->held->model + k, &p, 1);
    return p;
}

/* a * b, of 8 bits each. avr-gcc multiplies them as 16-bit numbers, in three steps, not one,
   on an AVR that has mul. */
#if defined(__AVR__) && defined(__AVR_HAVE_MUL__)
TIVRANO_INLINED uint16_t tivrano_product(uint8_t a, uint8_t b) {
    uint16_t product;
    __asm__("mul %1, %2\n\tmovw %0, r0\n\tclr __zero_reg__" : "=r"(product) : "r"(a), "r"(b));
    return product;
}
#else
TIVRANO_INLINED uint16_t tivrano_product(uint8_t a, uint8_t b) {
    return (uint16_t)((unsigned)a * b);
}
#endif

/* Whether the answer is yes, of probability p in 256ths (1 to 255): the state's low byte below
   p. The state becomes the answer's share of its high byte, plus its low byte less the shares
   before; below 256, it takes in the record's next byte. */
TIVRANO_INLINED uint8_t tivrano_decode(struct tivrano_source* from, struct tivrano_coder* c,
                                       uint8_t p) {
    const uint8_t low = (uint8_t)c->state;
    const uint8_t high = (uint8_t)(c->state >> 8);
    uint8_t yes = low < p;
    if (yes) {
        c->state = (uint16_t)(tivrano_product(p, high) + low);
    } else {
        c->state = (uint16_t)(tivrano_product((uint8_t)(0u - p), high) + (uint8_t)(low - p));
    }
    if (c->state < 256u) {
        c->state = (uint16_t)(c->state << 8 | tivrano_byte(from));
    }
    return yes;
}

TIVRANO_INLINED uint8_t tivrano_same(const uint8_t* a, const uint8_t* b) {
    return a[0] == b[0] && (TIVRANO_VALUE_SIZE < 2 || a[1] == b[1]) &&
           (TIVRANO_VALUE_SIZE < 3 || a[2] == b[2]);
}

#if defined(TIVRANO_AVR_LPM) && defined(__AVR_HAVE_MUL__)
/* On an AVR the flash player walks a small record in its own instructions, as below: in 17 to
   40 % fewer cycles than avr-gcc makes of the walk in C, which mostly go to loading and storing
   what it keeps in registers here. What the walk reads, at the offsets its instructions name,
   and its scratch: the colours refused so far. */
#define TIVRANO_SMALL_AVR 1
struct tivrano_small_walk {
    const uint8_t* record; /* the record's next byte */
    const uint8_t* model;  /* the questions' probabilities */
    const uint8_t* tree;   /* the tree's, from node 0 */
    uintptr_t
        palette; /* its address less 2^bits values, 2^bits in 8 bits as the last node counts */
    uint8_t* at; /* the walk's first LED */
    uint16_t width;
    uint16_t height;
    ptrdiff_t back; /* the offset's bytes back */
    ptrdiff_t step; /* the next LED's, in bytes */
    ptrdiff_t row;  /* the next row's */
    uint16_t xlo;   /* dx - 3: the first column whose offset's LED is in the frame */
    uint16_t state;
    uint8_t dy;                               /* the offset plus 3, down as the walk goes */
    uint8_t first;                            /* the first question */
    uint8_t moves;                            /* whether the offset's LED is asked about */
    uint8_t bits;                             /* of an index; 0, a value's bits as they are */
    uint8_t row_in;                           /* whether the offset's row is in the frame */
    uint8_t refused[4 * TIVRANO_VALUE_BYTES]; /* the colours refused, the last never read */
    /* From a stream: where the chunk of the record read ahead ends, what the walk calls, the LED
       it asks a colour for, the colours held and how many, 2^bits in 8 bits, the stream, the
       frame it plays and the model it holds. */
    const uint8_t* end;
    uint8_t (*call)(struct tivrano_small_walk* w, uint8_t what, uint8_t of);
    uint8_t* led;
    const uint8_t* colours;
    uint8_t held;
    uint8_t leaf;
    struct tivrano_stream* stream;
    struct tivrano_stream_frame* frame;
    struct tivrano_small_held* model_held;
};
/* The first tree node not held from a stream, in 8 bits. */
#define TIVRANO_AVR_DEEP ((TIVRANO_SMALL_HELD - TIVRANO_SMALL_QUESTIONS + 1u) & 255u)

/* A value's bytes in the walk's registers, r20 and on, each put through `op` with its number. */
#if TIVRANO_VALUE_BYTES == 1
#define TIVRANO_AVR_VALUE(op) op(0, "r20")
#elif TIVRANO_VALUE_BYTES == 2
#define TIVRANO_AVR_VALUE(op) op(0, "r20") op(1, "r21")
#else
#define TIVRANO_AVR_VALUE(op) op(0, "r20") op(1, "r21") op(2, "r22")
#endif
#define TIVRANO_AVR_LOAD_BYTE(k, r) "ld " r ", X+\n\t"
#define TIVRANO_AVR_STORE_BYTE(k, r) "st X+, " r "\n\t"
#define TIVRANO_AVR_KEEP_BYTE(k, r) "std Y+%[refused]+" #k ", " r "\n\t"
#define TIVRANO_AVR_COMPARE_BYTE(k, r) "ld r0, Z+\n\t" TIVRANO_AVR_CP##k " r0, " r "\n\t"
#define TIVRANO_AVR_CP0 "cp"
#define TIVRANO_AVR_CP1 "cpc"
#define TIVRANO_AVR_CP2 "cpc"
#define TIVRANO_AVR_COPY_BYTE(k, r)                                                                \
    "lpm r0, Z+\n\t"                                                                               \
    "st X+, r0\n\t"
/* The value at X into the registers; them to X; them kept as the first refused colour; them
   against a refused colour at Z (Z set where it is the same); the palette's colour at Z to X. */
#define TIVRANO_AVR_LOAD TIVRANO_AVR_VALUE(TIVRANO_AVR_LOAD_BYTE)
#define TIVRANO_AVR_STORE TIVRANO_AVR_VALUE(TIVRANO_AVR_STORE_BYTE)
#define TIVRANO_AVR_KEEP TIVRANO_AVR_VALUE(TIVRANO_AVR_KEEP_BYTE)
#define TIVRANO_AVR_COMPARE TIVRANO_AVR_VALUE(TIVRANO_AVR_COMPARE_BYTE)
#define TIVRANO_AVR_COPY TIVRANO_AVR_VALUE(TIVRANO_AVR_COPY_BYTE)

/* The answer of probability p (r19) in 256ths, into T (set: yes), from the state (r3:r2), which
   takes in the record's next byte (r5:r4, by `in`) where it falls below 256, as tivrano_decode.
   Uses r0, r1 (0 again after, from r15, which is 0) and Z. */
#define TIVRANO_AVR_DECODE(in)                                                                     \
    "cp r2, r19\n\t" /* the state's low byte, l, below p: yes, of p of its high byte */            \
    "brsh 1f\n\t"                                                                                  \
    "set\n\t"                                                                                      \
    "mul r19, r3\n\t"                                                                              \
    "rjmp 2f\n"                                                                                    \
    "1:\n\t"                                                                                       \
    "clt\n\t" /* no: 256 - p of it, and l less p */                                                \
    "sub r2, r19\n\t"                                                                              \
    "neg r19\n\t"                                                                                  \
    "mul r19, r3\n"                                                                                \
    "2:\n\t"                                                                                       \
    "add r0, r2\n\t"                                                                               \
    "adc r1, r15\n\t"                                                                              \
    "movw r2, r0\n\t"                                                                              \
    "mov r1, r15\n\t" /* 0 again, the flags kept: whether the high byte is 0 */                    \
    "brne 3f\n\t"                                                                                  \
    "mov r3, r2\n\t" /* below 256: the next byte comes in below */                                 \
        in "3:\n\t"
/* The record's next byte into r2, from flash. */
#define TIVRANO_AVR_IN_FLASH                                                                       \
    "movw r30, r4\n\t"                                                                             \
    "lpm r2, Z+\n\t"                                                                               \
    "movw r4, r30\n"

/* The walk of tivrano_play_small below, in the same steps, as one asm statement: load_model and
   load_tree load a probability into r19 from Z, the model's or the tree's (node r26), take_in
   takes in the record's next byte, put_colour writes a new LED's colour (the leaf r26: its index
   plus 2^bits, in 8 bits) and goes on to the next LED, at_end ends the walk, and subroutines are
   what those call.
   Registers: r3:r2 the state, r5:r4 the record, r7:r6 the width, r9:r8 the LEDs left on the
   row, r11:r10 the row, r13:r12 the model, r14 the answer before, r15 0, r16 a question's place
   in the model, r17 the refusals, r18 the answer, r19 a probability, r22:r20 a question's
   colour, r25:r24 the LED, Y the walk. */
/* clang-format off */
#define TIVRANO_AVR_WALK(load_model, load_tree, take_in, put_colour, at_end, subroutines)          \
    __asm__ volatile(                                                                              \
        "push r28\n\t"                                                                             \
        "push r29\n\t"                                                                             \
        "movw r28, %A0\n\t"                                                                        \
        "ldd r2, Y+%[state]\n\t"                                                                   \
        "ldd r3, Y+%[state]+1\n\t"                                                                 \
        "ldd r4, Y+%[record]\n\t"                                                                  \
        "ldd r5, Y+%[record]+1\n\t"                                                                \
        "ldd r24, Y+%[at]\n\t"                                                                     \
        "ldd r25, Y+%[at]+1\n\t"                                                                   \
        "ldd r6, Y+%[width]\n\t"                                                                   \
        "ldd r7, Y+%[width]+1\n\t"                                                                 \
        "ldd r12, Y+%[model]\n\t"                                                                  \
        "ldd r13, Y+%[model]+1\n\t"                                                                \
        "clr r15\n\t"                                                                              \
        "movw r8, r6\n\t"                                                                          \
        "clr r10\n\t"                                                                              \
        "clr r11\n\t"                                                                              \
        "rcall .Ltivrano_row%=\n\t"                                                                \
        "ldi r18, 4\n\t"                                                                           \
        "rjmp .Ltivrano_led%=\n"                                                                   \
        ".Ltivrano_row_done%=:\n\t" /* the next row */                                             \
        "movw r8, r6\n\t"                                                                          \
        "add r10, r23\n\t"                                                                         \
        "adc r11, r15\n\t"                                                                         \
        "ldd r30, Y+%[height]\n\t"                                                                 \
        "ldd r31, Y+%[height]+1\n\t"                                                               \
        "cp r10, r30\n\t"                                                                          \
        "cpc r11, r31\n\t"                                                                         \
        "brne 1f\n\t"                                                                              \
        "rjmp .Ltivrano_end%=\n"                                                                   \
        "1:\n\t"                                                                                   \
        "rcall .Ltivrano_row%=\n\t"                                                                \
        "rjmp .Ltivrano_led%=\n"                                                                   \
        ".Ltivrano_done%=:\n\t" /* the next LED */                                                 \
        "ldd r30, Y+%[step]\n\t"                                                                   \
        "ldd r31, Y+%[step]+1\n\t"                                                                 \
        "add r24, r30\n\t"                                                                         \
        "adc r25, r31\n\t"                                                                         \
        "ldi r23, 1\n\t"                                                                           \
        "sub r8, r23\n\t"                                                                          \
        "sbc r9, r15\n\t"                                                                          \
        "breq .Ltivrano_row_done%=\n"                                                              \
        ".Ltivrano_led%=:\n\t"                                                                     \
        "mov r14, r18\n\t" /* the answer before */                                                 \
        "clr r17\n\t"                                                                              \
        "ldd r23, Y+%[first]\n\t"                                                                  \
        "cpi r23, 1\n\t"                                                                           \
        "brlo 1f\n\t"                                                                              \
        "breq .Ltivrano_moved%=\n\t"                                                               \
        "rjmp .Ltivrano_left%=\n"                                                                  \
        "1:\n\t"                                                                                   \
        /* After the previous frame: is it the LED as it is? */                                    \
        "movw r30, r12\n\t"                                                                        \
        "add r30, r14\n\t"                                                                         \
        "adc r31, r1\n\t"                                                                          \
        load_model TIVRANO_AVR_DECODE(take_in) "brtc 1f\n\t"                                       \
        "clr r18\n\t"                                                                              \
        "rjmp .Ltivrano_done%=\n"                                                                  \
        "1:\n\t"                                                                                   \
        "movw r26, r24\n\t" /* no: its colour refused */                                           \
        TIVRANO_AVR_LOAD TIVRANO_AVR_KEEP "inc r17\n"                                              \
        ".Ltivrano_moved%=:\n\t" /* the offset's, where it is in the frame */                      \
        "ldd r23, Y+%[moves]\n\t"                                                                  \
        "tst r23\n\t"                                                                              \
        "breq .Ltivrano_left%=\n\t"                                                                \
        "ldd r23, Y+%[row_in]\n\t"                                                                 \
        "tst r23\n\t"                                                                              \
        "breq .Ltivrano_left%=\n\t"                                                                \
        "movw r30, r6\n\t" /* its column: the width less the columns left, less dx - 3 */          \
        "sub r30, r8\n\t"                                                                          \
        "sbc r31, r9\n\t"                                                                          \
        "ldd r23, Y+%[xlo]\n\t"                                                                    \
        "sub r30, r23\n\t"                                                                         \
        "ldd r23, Y+%[xlo]+1\n\t"                                                                  \
        "sbc r31, r23\n\t"                                                                         \
        "cp r30, r6\n\t"                                                                           \
        "cpc r31, r7\n\t"                                                                          \
        "brsh .Ltivrano_left%=\n\t"                                                                \
        "movw r26, r24\n\t"                                                                        \
        "ldd r30, Y+%[back]\n\t"                                                                   \
        "ldd r31, Y+%[back]+1\n\t"                                                                 \
        "sub r26, r30\n\t"                                                                         \
        "sbc r27, r31\n\t"                                                                         \
        "ldi r16, 5\n\t"                                                                           \
        "rcall .Ltivrano_ask%=\n\t"                                                                \
        "brtc .Ltivrano_left%=\n\t"                                                                \
        "ldi r18, 1\n\t"                                                                           \
        "rjmp .Ltivrano_found%=\n"                                                                 \
        ".Ltivrano_left%=:\n\t" /* the one before, after the first column */                       \
        "cp r8, r6\n\t"                                                                            \
        "cpc r9, r7\n\t"                                                                           \
        "breq .Ltivrano_above%=\n\t"                                                               \
        "movw r26, r24\n\t"                                                                        \
        "ldd r30, Y+%[step]\n\t"                                                                   \
        "ldd r31, Y+%[step]+1\n\t"                                                                 \
        "sub r26, r30\n\t"                                                                         \
        "sbc r27, r31\n\t"                                                                         \
        "ldi r16, 10\n\t"                                                                          \
        "rcall .Ltivrano_ask%=\n\t"                                                                \
        "brtc .Ltivrano_above%=\n\t"                                                               \
        "ldi r18, 2\n\t"                                                                           \
        "rjmp .Ltivrano_found%=\n"                                                                 \
        ".Ltivrano_above%=:\n\t" /* the one above, on a row after the first */                     \
        "mov r23, r10\n\t"                                                                         \
        "or r23, r11\n\t"                                                                          \
        "breq .Ltivrano_fresh%=\n\t"                                                               \
        "movw r26, r24\n\t"                                                                        \
        "ldd r30, Y+%[row]\n\t"                                                                    \
        "ldd r31, Y+%[row]+1\n\t"                                                                  \
        "sub r26, r30\n\t"                                                                         \
        "sbc r27, r31\n\t"                                                                         \
        "ldi r16, 15\n\t"                                                                          \
        "rcall .Ltivrano_ask%=\n\t"                                                                \
        "brtc .Ltivrano_fresh%=\n\t"                                                               \
        "ldi r18, 3\n"                                                                             \
        ".Ltivrano_found%=:\n\t" /* another LED's colour */                                        \
        "movw r26, r24\n\t" TIVRANO_AVR_STORE "rjmp .Ltivrano_done%=\n"                            \
        ".Ltivrano_end%=:\n\t" at_end "pop r29\n\t"                                                \
        "pop r28\n\t"                                                                              \
        "rjmp .Ltivrano_out%=\n"                                                                   \
        ".Ltivrano_fresh%=:\n\t" /* a new LED: an index through the tree, or its value's bits */   \
        "ldi r18, 4\n\t"                                                                           \
        "ldd r17, Y+%[bits]\n\t"                                                                   \
        "tst r17\n\t"                                                                              \
        "breq .Ltivrano_raw%=\n\t"                                                                 \
        "ldd r20, Y+%[tree]\n\t"                                                                   \
        "ldd r21, Y+%[tree]+1\n\t"                                                                 \
        "ldi r26, 1\n"                                                                             \
        /* Each node: its probability, and the node doubled, plus 1 for a no (the decode above,    \
           with the node's bit taken where it branches), in 8 bits, which the last node's index    \
           is. */                                                                                  \
        ".Ltivrano_bit%=:\n\t"                                                                     \
        "movw r30, r20\n\t"                                                                        \
        "add r30, r26\n\t"                                                                         \
        "adc r31, r15\n\t" load_tree "lsl r26\n\t"                                                 \
        "cp r2, r19\n\t"                                                                           \
        "brsh 1f\n\t"                                                                              \
        "mul r19, r3\n\t"                                                                          \
        "rjmp 2f\n"                                                                                \
        "1:\n\t"                                                                                   \
        "inc r26\n\t"                                                                              \
        "sub r2, r19\n\t"                                                                          \
        "neg r19\n\t"                                                                              \
        "mul r19, r3\n"                                                                            \
        "2:\n\t"                                                                                   \
        "add r0, r2\n\t"                                                                           \
        "adc r1, r15\n\t"                                                                          \
        "movw r2, r0\n\t"                                                                          \
        "mov r1, r15\n\t"                                                                          \
        "brne 3f\n\t"                                                                              \
        "mov r3, r2\n\t" take_in "3:\n\t"                                                          \
        "dec r17\n\t"                                                                              \
        "brne .Ltivrano_bit%=\n\t"                                                                 \
        put_colour                                                                                 \
        /* A value's bytes, 8 bits of one half, from the top: the 1 put in first is shifted out    \
           after the eighth. */                                                                    \
        ".Ltivrano_raw%=:\n\t"                                                                     \
        "ldi r17, %[size]\n\t"                                                                     \
        "movw r26, r24\n"                                                                          \
        ".Ltivrano_byte%=:\n\t"                                                                    \
        "ldi r20, 1\n"                                                                             \
        ".Ltivrano_raw_bit%=:\n\t"                                                                 \
        "ldi r19, 128\n\t" TIVRANO_AVR_DECODE(take_in) "lsl r20\n\t"                               \
        "brts 5f\n\t"                                                                              \
        "ori r20, 1\n"                                                                             \
        "5:\n\t"                                                                                   \
        "brcc .Ltivrano_raw_bit%=\n\t"                                                             \
        "st X+, r20\n\t"                                                                           \
        "dec r17\n\t"                                                                              \
        "brne .Ltivrano_byte%=\n\t"                                                                \
        "rjmp .Ltivrano_done%=\n"                                                                  \
        /* A question about the LED at X, of probability r16 + the answer before: T set where it   \
           is yes; its colour in r22:r20, kept where it is refused. */                             \
        ".Ltivrano_ask%=:\n\t" TIVRANO_AVR_LOAD "movw r30, r28\n\t"                                \
        "adiw r30, %[refused]\n\t"                                                                 \
        "mov r23, r17\n"                                                                           \
        "1:\n\t"                                                                                   \
        "tst r23\n\t"                                                                              \
        "breq 2f\n\t" TIVRANO_AVR_COMPARE "breq 6f\n\t" /* a colour refused already: not asked */  \
        "dec r23\n\t"                                                                              \
        "rjmp 1b\n"                                                                                \
        "2:\n\t"                                                                                   \
        "movw r26, r30\n\t"                                                                        \
        "movw r30, r12\n\t"                                                                        \
        "add r30, r14\n\t"                                                                         \
        "adc r31, r1\n\t"                                                                          \
        "add r30, r16\n\t"                                                                         \
        "adc r31, r1\n\t"                                                                          \
        load_model TIVRANO_AVR_DECODE(take_in) "brts 7f\n\t"                                       \
        "cpi r16, 15\n\t" /* no question after the last */                                         \
        "breq 7f\n\t" TIVRANO_AVR_STORE "inc r17\n\t"                                              \
        "ret\n"                                                                                    \
        "6:\n\t"                                                                                   \
        "clt\n"                                                                                    \
        "7:\n\t"                                                                                   \
        "ret\n"                                                                                    \
        /* Whether the offset's row is in the frame, for the row r11:r10. */                       \
        ".Ltivrano_row%=:\n\t"                                                                     \
        "movw r30, r10\n\t"                                                                        \
        "adiw r30, 3\n\t"                                                                          \
        "ldd r23, Y+%[dy]\n\t"                                                                     \
        "sub r30, r23\n\t"                                                                         \
        "sbc r31, r1\n\t"                                                                          \
        "ldd r23, Y+%[height]\n\t"                                                                 \
        "cp r30, r23\n\t"                                                                          \
        "ldd r23, Y+%[height]+1\n\t"                                                               \
        "cpc r31, r23\n\t"                                                                         \
        "ldi r23, 0\n\t"                                                                           \
        "brsh 1f\n\t"                                                                              \
        "ldi r23, 1\n"                                                                             \
        "1:\n\t"                                                                                   \
        "std Y+%[row_in], r23\n\t"                                                                 \
        "ret\n"                                                                                    \
        subroutines ".Ltivrano_out%=:"                                                             \
        :                                                                                          \
        : "r"(w), [record] "i"(offsetof(struct tivrano_small_walk, record)),                       \
          [model] "i"(offsetof(struct tivrano_small_walk, model)),                                 \
          [tree] "i"(offsetof(struct tivrano_small_walk, tree)),                                   \
          [palette] "i"(offsetof(struct tivrano_small_walk, palette)),                             \
          [at] "i"(offsetof(struct tivrano_small_walk, at)),                                       \
          [width] "i"(offsetof(struct tivrano_small_walk, width)),                                 \
          [height] "i"(offsetof(struct tivrano_small_walk, height)),                               \
          [back] "i"(offsetof(struct tivrano_small_walk, back)),                                   \
          [step] "i"(offsetof(struct tivrano_small_walk, step)),                                   \
          [row] "i"(offsetof(struct tivrano_small_walk, row)),                                     \
          [xlo] "i"(offsetof(struct tivrano_small_walk, xlo)),                                     \
          [state] "i"(offsetof(struct tivrano_small_walk, state)),                                 \
          [dy] "i"(offsetof(struct tivrano_small_walk, dy)),                                       \
          [first] "i"(offsetof(struct tivrano_small_walk, first)),                                 \
          [moves] "i"(offsetof(struct tivrano_small_walk, moves)),                                 \
          [bits] "i"(offsetof(struct tivrano_small_walk, bits)),                                   \
          [row_in] "i"(offsetof(struct tivrano_small_walk, row_in)),                               \
          [refused] "i"(offsetof(struct tivrano_small_walk, refused)),                             \
          [size] "i"(TIVRANO_VALUE_BYTES),                                                         \
          [end] "i"(offsetof(struct tivrano_small_walk, end)),                                     \
          [call] "i"(offsetof(struct tivrano_small_walk, call)),                                   \
          [led] "i"(offsetof(struct tivrano_small_walk, led)),                                     \
          [held] "i"(offsetof(struct tivrano_small_walk, held)),                                   \
          [colours] "i"(offsetof(struct tivrano_small_walk, colours)),                             \
          [leaf] "i"(offsetof(struct tivrano_small_walk, leaf)),                                   \
          [deep] "i"(TIVRANO_AVR_DEEP)                                                             \
        : "r0", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11", "r12", "r13", "r14", \
          "r15", "r16", "r17", "r18", "r19", "r20", "r21", "r22", "r23", "r24", "r25", "r26",     \
          "r27", "r30", "r31", "memory");
/* clang-format on */

/* A new LED's colour, from the palette in flash. */
#define TIVRANO_AVR_COLOUR_FLASH                                                                   \
    "ldi r23, %[size]\n\t" /* the index's colour, less 2^bits in 8 bits before the palette */      \
    "mul r26, r23\n\t"                                                                             \
    "ldd r30, Y+%[palette]\n\t"                                                                    \
    "ldd r31, Y+%[palette]+1\n\t"                                                                  \
    "add r30, r0\n\t"                                                                              \
    "adc r31, r1\n\t"                                                                              \
    "clr r1\n\t"                                                                                   \
    "movw r26, r24\n\t" TIVRANO_AVR_COPY "rjmp .Ltivrano_done%=\n"
/* For a record in flash: out of line, once in each text that plays small animations from flash,
   and none in one that does not. */
static void tivrano_small_avr(struct tivrano_small_walk* w)
    __attribute__((__noinline__, __unused__));
static void tivrano_small_avr(struct tivrano_small_walk* w) {
    TIVRANO_AVR_WALK("lpm r19, Z\n\t", "lpm r19, Z\n\t", TIVRANO_AVR_IN_FLASH,
                     TIVRANO_AVR_COLOUR_FLASH, "", "");
}

#if TIVRANO_SMALL_HELD >= TIVRANO_SMALL_QUESTIONS
/* For a record read from a stream, where the model's questions are held: the record's bytes from
   the chunk in RAM, the model's from the stack, a new LED's colour from the colours held, and
   through tivrano_small_call where those end. */
#define TIVRANO_SMALL_AVR_STREAM 1

/* What the stream's walk asks of C, with every register but r0 and r19 kept: what r23, of r26;
   what it gives in r19. For the record's next byte (what 0), where the chunk is all taken; the
   probability of tree node r26 (1), past those held; the colour of index r26 (2), past the
   colours held, into the LED r25:r24. */
static uint8_t tivrano_small_call(struct tivrano_small_walk* w, uint8_t what, uint8_t of) {
    struct tivrano_source from;
    struct tivrano_stream_frame* f = w->frame;
    uint8_t got = 0;
    from.stream = w->stream;
    from.frame = f;
    from.held = w->model_held;
    from.in_flash = 0;
    if (what == 0) {
        f->used = (uint8_t)(w->record - f->bytes);
        got = tivrano_failed(&from) ? 0 : tivrano_stream_byte(from.stream, f);
        w->record = f->bytes + f->used;
        w->end = f->bytes + f->have;
    } else if (what == 1) {
        got = tivrano_failed(&from)
                  ? 128u
                  : tivrano_probability(&from, (uint16_t)(TIVRANO_SMALL_QUESTIONS - 1u + of));
    } else {
        (void)tivrano_stream_colour(from.stream, f, of, w->led);
        w->held = (uint8_t)f->held;
    }
    return got;
}

#if TIVRANO_SMALL_HELD >= 275
#define TIVRANO_AVR_TREE_STREAM "ld r19, Z\n\t"
#else
#define TIVRANO_AVR_TREE_STREAM                                                                    \
    "cpi r26, %[deep]\n\t"                                                                         \
    "brlo 8f\n\t"                                                                                  \
    "ldi r23, 1\n\t"                                                                               \
    "rcall .Ltivrano_call%=\n\t"                                                                   \
    "rjmp 9f\n"                                                                                    \
    "8:\n\t"                                                                                       \
    "ld r19, Z\n"                                                                                  \
    "9:\n\t"
#endif
#define TIVRANO_AVR_COPY_RAM_BYTE(k, r)                                                            \
    "ld r0, Z+\n\t"                                                                                \
    "st X+, r0\n\t"
#define TIVRANO_AVR_COLOUR_STREAM                                                                  \
    "ldd r23, Y+%[leaf]\n\t"                                                                       \
    "sub r26, r23\n\t" /* the index */                                                             \
    "ldd r23, Y+%[held]\n\t"                                                                       \
    "cp r26, r23\n\t"                                                                              \
    "brsh 8f\n\t"                                                                                  \
    "ldi r23, %[size]\n\t"                                                                         \
    "mul r26, r23\n\t"                                                                             \
    "ldd r30, Y+%[colours]\n\t"                                                                    \
    "ldd r31, Y+%[colours]+1\n\t"                                                                  \
    "add r30, r0\n\t"                                                                              \
    "adc r31, r1\n\t"                                                                              \
    "clr r1\n\t"                                                                                   \
    "movw r26, r24\n\t" TIVRANO_AVR_VALUE(TIVRANO_AVR_COPY_RAM_BYTE) "rjmp .Ltivrano_done%=\n"     \
                                                                     "8:\n\t"                      \
                                                                     "ldi r23, 2\n\t"              \
                                                                     "rcall .Ltivrano_call%=\n\t"  \
                                                                     "rjmp .Ltivrano_done%=\n"
#define TIVRANO_AVR_CALLS_STREAM                                                                   \
    ".Ltivrano_in%=:\n\t" /* the record's next byte, into r2 */                                    \
    "ldd r30, Y+%[end]\n\t"                                                                        \
    "ldd r31, Y+%[end]+1\n\t"                                                                      \
    "cp r4, r30\n\t"                                                                               \
    "cpc r5, r31\n\t"                                                                              \
    "breq 1f\n\t"                                                                                  \
    "movw r30, r4\n\t"                                                                             \
    "ld r2, Z+\n\t"                                                                                \
    "movw r4, r30\n\t"                                                                             \
    "ret\n"                                                                                        \
    "1:\n\t"                                                                                       \
    "std Y+%[record], r4\n\t"                                                                      \
    "std Y+%[record]+1, r5\n\t"                                                                    \
    "ldi r23, 0\n\t"                                                                               \
    "rcall .Ltivrano_call%=\n\t"                                                                   \
    "mov r2, r19\n\t"                                                                              \
    "ldd r4, Y+%[record]\n\t"                                                                      \
    "ldd r5, Y+%[record]+1\n\t"                                                                    \
    "ret\n"                                                                                        \
    ".Ltivrano_call%=:\n\t" /* tivrano_small_call, the flags kept */                               \
    "in r0, __SREG__\n\t"                                                                          \
    "push r0\n\t"                                                                                  \
    "push r18\n\t"                                                                                 \
    "push r20\n\t"                                                                                 \
    "push r21\n\t"                                                                                 \
    "push r22\n\t"                                                                                 \
    "push r23\n\t"                                                                                 \
    "push r24\n\t"                                                                                 \
    "push r25\n\t"                                                                                 \
    "push r26\n\t"                                                                                 \
    "push r27\n\t"                                                                                 \
    "push r30\n\t"                                                                                 \
    "push r31\n\t"                                                                                 \
    "std Y+%[led], r24\n\t"                                                                        \
    "std Y+%[led]+1, r25\n\t"                                                                      \
    "movw r24, r28\n\t"                                                                            \
    "mov r22, r23\n\t"                                                                             \
    "mov r20, r26\n\t"                                                                             \
    "ldd r30, Y+%[call]\n\t"                                                                       \
    "ldd r31, Y+%[call]+1\n\t"                                                                     \
    "icall\n\t"                                                                                    \
    "mov r19, r24\n\t"                                                                             \
    "pop r31\n\t"                                                                                  \
    "pop r30\n\t"                                                                                  \
    "pop r27\n\t"                                                                                  \
    "pop r26\n\t"                                                                                  \
    "pop r25\n\t"                                                                                  \
    "pop r24\n\t"                                                                                  \
    "pop r23\n\t"                                                                                  \
    "pop r22\n\t"                                                                                  \
    "pop r21\n\t"                                                                                  \
    "pop r20\n\t"                                                                                  \
    "pop r18\n\t"                                                                                  \
    "pop r0\n\t"                                                                                   \
    "out __SREG__, r0\n\t"                                                                         \
    "ret\n"
static void tivrano_small_avr_stream(struct tivrano_small_walk* w)
    __attribute__((__noinline__, __unused__));
static void tivrano_small_avr_stream(struct tivrano_small_walk* w) {
    TIVRANO_AVR_WALK("ld r19, Z\n\t", TIVRANO_AVR_TREE_STREAM, "rcall .Ltivrano_in%=\n",
                     TIVRANO_AVR_COLOUR_STREAM, "std Y+%[record], r4\n\tstd Y+%[record]+1, r5\n\t",
                     TIVRANO_AVR_CALLS_STREAM);
}
#endif
#endif

/* Applies one frame's small record, after its first byte, header, to the width * height LEDs at
   leds, for both players: 1, or 0 when the stream failed. Each LED is asked, in turn, whether it is
   the LED as the previous frame left it, the previous frame's LED at the record's offset (while the
   buffer still holds it; standing alone, its own frame's, written already), the LED before it on
   its row, or the one above it, skipping a candidate of a colour already refused; an LED that is
   none is a palette index, through the tree, or its 3 bytes as they are. From a stream, every index
   is checked against the palette and every byte against the record's end. */
TIVRANO_INLINED uint8_t tivrano_play_small(struct tivrano_source* from, uint8_t header,
                                           uint8_t bits, uint16_t width, uint16_t height,
                                           uint8_t* leds) {
    const uint8_t reads_previous = header >> 7;
    const uint8_t last_first = (header >> 6) & 1u;
    const uint8_t offset = header & 63u;
    /* The LEDs in the order the record plays them: at, the next, and x and y, its column and row
       counted from where the walk starts, across and down (from the last LED, the other way).
       Steps in bytes are as wide as a pointer: a row of values may take more than 32,767. */
    const ptrdiff_t step = last_first ? -(ptrdiff_t)TIVRANO_VALUE_BYTES : TIVRANO_VALUE_BYTES;
    const ptrdiff_t row = step * (ptrdiff_t)width;
    uint16_t n = (uint16_t)(width * height);
    uint8_t* at = last_first ? leds + TIVRANO_VALUE_SIZE * (size_t)(uint16_t)(n - 1u) : leds;
    uint16_t x = 0;
    uint16_t y = 0;
    /* The offset, plus 3, across and down as the walk goes, and as bytes back in the buffer; asked
       only where the LED it gives comes later in the walk, which the buffer still holds of the
       previous frame, or standing alone, earlier, which the record has written. */
    uint8_t dx = 0;
    uint8_t dy = offset;
    ptrdiff_t back;
    uint8_t moves;
    uint8_t first;
    uint8_t depth; /* of the tree, or of a byte's bits */
    struct tivrano_coder c;
    uint8_t last = 4;
    c.state = (uint16_t)((unsigned)tivrano_byte(from) << 8);
    c.state = (uint16_t)(c.state | tivrano_byte(from));
    if (tivrano_refused(from, offset > 48u)) {
        return 0;
    }
    /* No offset in a frame over 65,533 LEDs wide or tall, whose columns and rows past the last
       would count round into it. */
    if (width > 65533u || height > 65533u) {
        dy = 24u;
    }
    /* The offset's rows of 7, without a division, which some cores call a library for. */
    while (dy >= 7) {
        dy = (uint8_t)(dy - 7);
        ++dx;
    }
    /* The bytes back, worked out unsigned and so without overflow: where the offset leaves an
       LED in the frame they are fewer than the buffer's, which a pointer's difference counts, and
       elsewhere they are not used. */
    back = (ptrdiff_t)((((size_t)dy - 3u) * width + (size_t)dx - 3u) * TIVRANO_VALUE_SIZE);
    moves = back != 0 && ((back < 0) != last_first) == reads_previous;
    /* The first question: standing alone, the offset's, or where there is none, the LED before. */
    first = reads_previous ? 0 : moves ? 1 : 2;
    depth = bits != 0 ? bits : 8u;
    if (last_first) {
        dx = (uint8_t)(6u - dx);
        dy = (uint8_t)(6u - dy);
    }
#ifdef TIVRANO_SMALL_AVR
    {
        struct tivrano_small_walk w;
        w.at = at;
        w.width = width;
        w.height = height;
        w.back = back;
        w.step = step;
        w.row = row;
        w.xlo = (uint16_t)(dx - 3u);
        w.state = c.state;
        w.dy = dy;
        w.first = first;
        w.moves = moves;
        w.bits = bits;
        if (from->in_flash) {
            w.record = from->record;
            w.model = from->model;
            w.tree = from->model + TIVRANO_SMALL_QUESTIONS - 1u;
            w.palette =
                (uintptr_t)from->palette - TIVRANO_VALUE_SIZE * (((uintptr_t)1 << bits) & 255u);
            tivrano_small_avr(&w);
            return 1;
        }
#ifdef TIVRANO_SMALL_AVR_STREAM
        {
            struct tivrano_stream_frame* f = from->frame;
            w.record = f->bytes + f->used;
            w.end = f->bytes + f->have;
            w.model = from->held->bytes;
            w.tree = from->held->bytes + TIVRANO_SMALL_QUESTIONS - 1u;
            w.call = tivrano_small_call;
            w.stream = from->stream;
            w.frame = f;
            w.model_held = from->held;
            w.colours = f->colours;
            w.held = (uint8_t)f->held;
            w.leaf = (uint8_t)(1u << bits);
            tivrano_small_avr_stream(&w);
            f->used = (uint8_t)(w.record - f->bytes);
            return !tivrano_failed(from);
        }
#endif
    }
#endif
    for (; n != 0; --n) {
        const uint8_t* refused[4];
        const uint8_t* found = NULL;
        uint8_t refusals = 0;
        uint8_t answer = first;                    /* the question asked, until one is yes */
        uint8_t k = (uint8_t)(5u * answer + last); /* its probability */
        for (; answer < 4; ++answer, k = (uint8_t)(k + 5u)) {
            /* The question's LED, if it is there. Columns and rows before the first, or past the
               last, count round to far above width and height (of at most 65,533, for an offset
               to be asked). */
            const uint8_t* candidate = at;
            uint16_t column = x;
            uint8_t r;
            /* Found here, when asked, not before the questions for every LED. */
            TIVRANO_UNKNOWN(candidate);
            TIVRANO_UNKNOWN(column);
            if (answer == 1) {
                candidate = moves && (uint16_t)(column + 3u - dx) < width &&
                                    (uint16_t)(y + 3u - dy) < height
                                ? candidate - back
                                : NULL;
            } else if (answer == 2) {
                candidate = column != 0 ? candidate - step : NULL;
            } else if (answer == 3) {
                candidate = y != 0 ? candidate - row : NULL;
            }
            for (r = 0; candidate != NULL && r < refusals; ++r) {
                if (tivrano_same(refused[r], candidate)) {
                    candidate = NULL;
                }
            }
            if (candidate == NULL) {
                continue;
            }
            if (tivrano_decode(from, &c, tivrano_probability(from, k))) {
                found = candidate;
                break;
            }
            refused[refusals++] = candidate;
        }
        if (found == NULL) {
            /* A palette index through the tree, or without a palette each byte of the value as
               it is, its bits of probability one half. */
            uint8_t* to = at;
            uint8_t b = 0;
            do {
                uint16_t node = 1;
                uint8_t bit = depth;
                do {
                    uint8_t p = 128;
                    if (bits != 0) {
                        p = tivrano_probability(from,
                                                (uint16_t)(TIVRANO_SMALL_QUESTIONS - 1u + node));
                    }
                    node = (uint16_t)(2u * node + !tivrano_decode(from, &c, p));
                } while (--bit != 0);
                if (bits == 0) {
                    at[b] = (uint8_t)node;
                } else if (!tivrano_leds(from, &to, 2, (uint8_t)(node - (1u << bits)), 1)) {
                    return 0;
                }
            } while (bits == 0 && ++b < TIVRANO_VALUE_SIZE);
        } else if (answer != 0) {
            tivrano_value(at, found);
        }
        if (tivrano_failed(from)) {
            return 0;
        }
        last = answer;
        if (n == 1) {
            break; /* not a step before the first LED, which C does not allow */
        }
        at += step;
        if (++x == width) {
            x = 0;
            ++y;
        }
    }
    return 1;
}
#endif

/* Applies one frame's record, in flash, to leds. */
static inline void tivrano_apply(const struct tivrano_animation* a, const uint8_t* r,
                                 uint8_t* leds) {
    struct tivrano_source from;
    /* The index bits, and the small flag; a value field of another size is left in. */
    uint8_t bits = (uint8_t)(TIVRANO_BYTE(&a->bits) ^ TIVRANO_VALUE_FIELD);
    from.record = r;
    from.palette = (const uint8_t*)TIVRANO_POINTER(&a->palette);
    from.stream = NULL;
    from.frame = NULL;
    from.in_flash = 1;
    if (bits & (TIVRANO_SMALL_FLAG | TIVRANO_VALUE_MASK)) {
        /* Packed small: the model, then the palette, and a small record or a fast one. A player
           without TIVRANO_SMALL plays none, and none plays values of another size. */
#ifdef TIVRANO_SMALL
        uint8_t header;
        if (bits & TIVRANO_VALUE_MASK) {
            return;
        }
        bits &= 15u;
        from.model = from.palette;
        from.palette += TIVRANO_SMALL_QUESTIONS + (bits ? (1u << bits) - 1u : 0u);
        header = tivrano_byte(&from);
        if ((header & 63u) != TIVRANO_SMALL_FAST) {
            tivrano_play_small(&from, header, bits, tivrano_width(a), tivrano_height(a), leds);
            return;
        }
        bits = tivrano_fast_bits(bits);
#else
        return;
#endif
    }
    tivrano_play(&from, bits, (uint16_t)((unsigned)tivrano_width(a) * tivrano_height(a)), leds);
}

/* Whether frame i's record plays after the previous frame: a fast one starts with a skip, a small
   one with its top bit set. */
static inline uint8_t tivrano_reads_previous(const struct tivrano_animation* a, uint16_t i) {
    const uint8_t first = TIVRANO_BYTE(tivrano_record(a, i));
#ifdef TIVRANO_SMALL
    if (TIVRANO_BYTE(&a->bits) & TIVRANO_SMALL_FLAG) {
        return first >> 7;
    }
#endif
    return first < 64;
}

static inline void tivrano_frame(const struct tivrano_animation* a, uint16_t i, uint8_t* leds) {
    uint16_t k = i;
    while (k != 0 && tivrano_reads_previous(a, k)) {
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

/* The CRC-32 of the file's first `size` bytes, as zlib's crc32 computes it, read
   TIVRANO_STREAM_CHUNK bytes at a time; whether the reads came, the stream's error says. */
static inline uint32_t tivrano_stream_crc(struct tivrano_stream* s, uint32_t size) {
    uint8_t chunk[TIVRANO_STREAM_CHUNK];
    uint32_t crc = 0xFFFFFFFFu;
    uint32_t at = 0;
    while (at < size) {
        const uint32_t left = size - at;
        const uint8_t n = left < TIVRANO_STREAM_CHUNK ? (uint8_t)left : TIVRANO_STREAM_CHUNK;
        uint8_t k;
        if (!tivrano_stream_get(s, at, chunk, n)) {
            return 0;
        }
        for (k = 0; k < n; ++k) {
            uint8_t bit;
            crc ^= chunk[k];
            for (bit = 0; bit < 8; ++bit) {
                crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
            }
        }
        at += n;
    }
    return ~crc;
}

/* Where the file's table of record starts begins, and where its palette does. */
static inline uint32_t tivrano_stream_starts(const struct tivrano_stream* s) {
    return TIVRANO_FILE_HEADER + 4u * (uint32_t)s->count;
}

/* The bytes of a small animation's model, which lies before the palette; 0 for a fast one. */
static inline uint16_t tivrano_stream_model(const struct tivrano_stream* s) {
    const uint8_t bits = s->bits & 15u;
    return (s->bits & TIVRANO_SMALL_FLAG)
               ? (uint16_t)(TIVRANO_SMALL_QUESTIONS + (bits ? (1u << bits) - 1u : 0u))
               : 0u;
}

static inline uint32_t tivrano_stream_palette(const struct tivrano_stream* s) {
    return tivrano_stream_starts(s) + 4u * ((uint32_t)s->records + 1u) + tivrano_stream_model(s);
}

static inline int tivrano_stream_open(struct tivrano_stream* s, tivrano_read read, void* context) {
    uint8_t h[TIVRANO_FILE_HEADER];
    uint32_t records_at;
    s->read = read;
    s->context = context;
    s->error = TIVRANO_STREAM_OK;
    s->next = 0;
    if (tivrano_stream_get(s, 0, h, sizeof h)) {
        const uint32_t leds = (uint32_t)tivrano_le16(h + 6) * tivrano_le16(h + 8);
        /* The index bits, with a value field of another size left in. */
        const uint8_t bits = (uint8_t)(h[5] ^ TIVRANO_VALUE_FIELD);
        uint8_t sound_bits = bits == 1 || bits == 2 || bits == 4 || bits == 8;
        s->bits = bits;
#ifdef TIVRANO_SMALL
        /* Packed small: an index of up to 8 bits, or none and no palette. */
        if (h[4] >= TIVRANO_SMALL_FORMAT && h[4] <= TIVRANO_OFFSET_FORMAT) {
            h[4] = TIVRANO_PLAYER_FORMAT;
            sound_bits = bits <= 8u && (bits != 0 || tivrano_le16(h + 12) == 0);
            s->bits = (uint8_t)(bits | TIVRANO_SMALL_FLAG);
        }
#endif
        s->width = tivrano_le16(h + 6);
        s->height = tivrano_le16(h + 8);
        s->count = tivrano_le16(h + 10);
        s->colours = tivrano_le16(h + 12);
        s->records = tivrano_le16(h + 14);
        /* The records start where the palette ends; the file's last byte is there to read. */
        records_at = tivrano_stream_palette(s) + TIVRANO_VALUE_SIZE * s->colours;
        if (tivrano_le32(h) != TIVRANO_FILE_MAGIC || h[4] != TIVRANO_PLAYER_FORMAT || !sound_bits ||
            leds == 0 || leds > 65535u || s->count == 0 || s->colours > 1u << (s->bits & 15u)) {
            tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
        } else if (tivrano_stream_get(s, tivrano_stream_starts(s), h, 4) &&
                   tivrano_stream_get(s, tivrano_stream_starts(s) + 4u * (uint32_t)s->records,
                                      h + 4, 4)) {
            s->size = tivrano_le32(h + 4);
            if (tivrano_le32(h) != records_at || s->size <= records_at ||
                s->size > 0xFFFFFFFFu - 4u) {
                tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
            } else if (tivrano_stream_get(s, s->size, h, 4)) {
                /* The check follows the last record. */
                const uint32_t crc = tivrano_stream_crc(s, s->size);
                if (s->error == TIVRANO_STREAM_OK && crc != tivrano_le32(h)) {
                    tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
                }
            }
        }
    }
    if (s->error != TIVRANO_STREAM_OK) {
        s->count = s->width = s->height = 0;
        return -1;
    }
    return 0;
}

static inline uint16_t tivrano_stream_count(const struct tivrano_stream* s) {
    return s->count;
}

static inline uint16_t tivrano_stream_width(const struct tivrano_stream* s) {
    return s->width;
}

static inline uint16_t tivrano_stream_height(const struct tivrano_stream* s) {
    return s->height;
}

static inline uint8_t tivrano_stream_error(const struct tivrano_stream* s) {
    return s->error;
}

static inline uint16_t tivrano_stream_next(struct tivrano_stream* s, uint8_t* leds) {
    uint8_t entry[8];
    struct tivrano_stream_frame f;
    struct tivrano_source from;
    uint16_t delay;
    uint16_t record;
    uint8_t bits; /* of the fast record's indices; 0, a small record played */
    if (s->error != TIVRANO_STREAM_OK ||
        !tivrano_stream_get(s, TIVRANO_FILE_HEADER + 4u * (uint32_t)s->next, entry, 4)) {
        return 0;
    }
    delay = tivrano_le16(entry);
    record = tivrano_le16(entry + 2);
    if (record >= s->records) {
        return tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
    }
    if (!tivrano_stream_get(s, tivrano_stream_starts(s) + 4u * record, entry, 8)) {
        return 0;
    }
    f.at = tivrano_le32(entry);
    f.end = tivrano_le32(entry + 4);
    f.palette = tivrano_stream_palette(s);
    f.used = f.have = 0;
    f.held = 0;
    from.record = from.palette = from.model = NULL;
    from.stream = s;
    from.frame = &f;
    from.held = NULL;
    from.in_flash = 0;
    if (f.at < f.palette + TIVRANO_VALUE_SIZE * s->colours || f.end < f.at || f.end > s->size) {
        return tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
    }
    bits = s->bits;
    if (bits & TIVRANO_SMALL_FLAG) {
#ifdef TIVRANO_SMALL
        /* A small record, or a fast one. */
        const uint8_t header = tivrano_byte(&from);
        bits &= 15u;
        if ((header & 63u) != TIVRANO_SMALL_FAST) {
            const uint16_t model = tivrano_stream_model(s);
            struct tivrano_small_held held;
            held.model = f.palette - model;
            from.held = &held;
            if (!tivrano_stream_get(s, held.model, held.bytes,
                                    model < TIVRANO_SMALL_HELD ? model : TIVRANO_SMALL_HELD) ||
                !tivrano_play_small(&from, header, bits, s->width, s->height, leds)) {
                return 0;
            }
            bits = 0;
        } else {
            bits = tivrano_fast_bits(bits);
        }
#endif
    }
    if (bits != 0 && !tivrano_play(&from, bits, (uint16_t)((unsigned)s->width * s->height), leds)) {
        return 0;
    }
    /* The commands end where the record does. */
    if (f.used != f.have || f.at != f.end) {
        return tivrano_stream_fail(s, TIVRANO_STREAM_BAD_FILE);
    }
    s->next = (uint16_t)(s->next + 1u == s->count ? 0u : s->next + 1u);
    return delay;
}

#ifdef __cplusplus
}
#endif

#endif
