/* tivrano_player.h compiled as C99, for the C++ tests to call: the stream player's functions
   (player_c.c), and the flash player's with reads from the animation of their own, as on a chip
   that keeps constants in a memory of its own, which count them in c99_reads (player_read.c). */
#ifndef TIVRANO_TEST_PLAYER_C_H
#define TIVRANO_TEST_PLAYER_C_H

/* Animations packed small too. */
#define TIVRANO_SMALL 1
#include "tivrano_player.h"

#ifdef __cplusplus
extern "C" {
#endif

int c99_stream_open(struct tivrano_stream* s, tivrano_read read, void* context);
uint16_t c99_stream_count(const struct tivrano_stream* s);
uint16_t c99_stream_width(const struct tivrano_stream* s);
uint16_t c99_stream_height(const struct tivrano_stream* s);
uint16_t c99_stream_next(struct tivrano_stream* s, uint8_t* leds);
uint8_t c99_stream_error(const struct tivrano_stream* s);

extern unsigned long c99_reads;
uint16_t c99_read_count(const struct tivrano_animation* a);
uint16_t c99_read_width(const struct tivrano_animation* a);
uint16_t c99_read_delay_ms(const struct tivrano_animation* a, uint16_t i);
void c99_read_frame(const struct tivrano_animation* a, uint16_t i, uint8_t* leds);
void c99_read_player_start(struct tivrano_player* p, const struct tivrano_animation* a);
uint16_t c99_read_player_next(struct tivrano_player* p, uint8_t* leds);

#ifdef __cplusplus
}
#endif

#endif
