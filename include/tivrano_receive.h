/* tivrano_receive.h: takes frames that `tivrano --send` (or the page's Play on LEDs, or any
   Adalight sender) sends over a serial port, into the firmware's LED buffer.

   One C99 header, for C and C++, beside tivrano_player.h; it allocates nothing. An Adalight
   message is "Ada", the LEDs' count less one as two bytes, high first, those two bytes' XOR with
   0x55, then each LED red, green, blue. The receiver finds messages in the bytes as they come,
   one byte at a time, and writes each LED into the buffer in the buffer's own order ("GRB" for
   a strip of WS2812 LEDs, as the player writes them; "RGB" for FastLED's CRGB): the wiring is
   the sender's, which lays the LEDs out along the strip.

     static uint8_t leds[3 * 256];
     struct tivrano_receiver receiver;
     tivrano_receive_start(&receiver, leds, 256, "GRB");
     for (;;) {
         if (byte_came() && tivrano_receive(&receiver, the_byte())) {
             show(leds);
         }
     }

   A message for more LEDs than the buffer holds fills the buffer and drops the rest; one for
   fewer leaves the LEDs after its last as they were. A message whose check byte is wrong is
   passed over, and the receiver looks for the next "Ada". */
#ifndef TIVRANO_RECEIVE_H
#define TIVRANO_RECEIVE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct tivrano_receiver {
    uint8_t* leds;
    uint16_t leds_count; /* the LEDs the buffer holds */
    uint16_t count;      /* the LEDs of the message being read */
    uint16_t led;        /* the LED being read */
    uint8_t place[3];    /* where red, green and blue go among an LED's 3 bytes */
    uint8_t step;        /* how far into the header, or into the LED */
    uint8_t high;        /* the count's high byte, until its low one comes */
    uint8_t header;      /* nonzero while the header is read */
};

/* order: the buffer's order of an LED's three bytes, such as "GRB"; one that is not a
   permutation of R, G and B is taken as "GRB". */
static inline void tivrano_receive_start(struct tivrano_receiver* r, uint8_t* leds,
                                         uint16_t leds_count, const char* order) {
    uint8_t k;
    uint8_t seen = 0;
    r->leds = leds;
    r->leds_count = leds_count;
    r->count = 0;
    r->led = 0;
    r->step = 0;
    r->high = 0;
    r->header = 1;
    for (k = 0; k < 3; ++k) {
        const char c = order[k];
        const uint8_t colour = c == 'R' || c == 'r'   ? 0
                               : c == 'G' || c == 'g' ? 1
                               : c == 'B' || c == 'b' ? 2
                                                      : 3;
        if (colour < 3) {
            r->place[colour] = k;
            seen = (uint8_t)(seen | 1u << colour);
        }
    }
    if (seen != 7) {
        r->place[0] = 1;
        r->place[1] = 0;
        r->place[2] = 2;
    }
}

/* Takes the next byte: 1 once a whole frame has come into the buffer, else 0. */
static inline int tivrano_receive(struct tivrano_receiver* r, uint8_t byte) {
    if (r->header) {
        static const char ADA[3] = {'A', 'd', 'a'};
        if (r->step < 3) {
            r->step = byte == (uint8_t)ADA[r->step] ? (uint8_t)(r->step + 1)
                                                    : (uint8_t)(byte == 'A' ? 1 : 0);
        } else if (r->step == 3) {
            r->high = byte;
            r->step = 4;
        } else if (r->step == 4) {
            r->count = (uint16_t)(r->high << 8 | byte);
            r->step = 5;
        } else {
            const uint8_t low = (uint8_t)(r->count & 0xFFu);
            r->step = 0;
            if (byte == (uint8_t)(r->high ^ low ^ 0x55u)) {
                r->header = 0;
                r->led = 0;
            }
        }
        return 0;
    }
    /* count holds the LEDs less one: the message ends after LED count. */
    if (r->led < r->leds_count) {
        r->leds[3u * r->led + r->place[r->step]] = byte;
    }
    if (++r->step == 3) {
        r->step = 0;
        if (r->led++ == r->count) {
            r->header = 1;
            return 1;
        }
    }
    return 0;
}

#ifdef __cplusplus
}
#endif

#endif
