/* tivrano_player.h compiled as C99, as firmware in C compiles it; player_read.c compiles it
   again with reads of its own, under the names C99_NAME gives. */
#include "player_c.h"

#ifndef C99_NAME
#define C99_NAME(f) c99_##f
/* The stream player reads through its own function, not the macros: compiled here only. */
#define C99_STREAM
#endif

uint16_t C99_NAME(count)(const struct tivrano_animation* a) {
    return tivrano_count(a);
}

uint16_t C99_NAME(width)(const struct tivrano_animation* a) {
    return tivrano_width(a);
}

uint16_t C99_NAME(height)(const struct tivrano_animation* a) {
    return tivrano_height(a);
}

uint16_t C99_NAME(delay_ms)(const struct tivrano_animation* a, uint16_t i) {
    return tivrano_delay_ms(a, i);
}

void C99_NAME(frame)(const struct tivrano_animation* a, uint16_t i, uint8_t* leds) {
    tivrano_frame(a, i, leds);
}

void C99_NAME(player_start)(struct tivrano_player* p, const struct tivrano_animation* a) {
    tivrano_player_start(p, a);
}

uint16_t C99_NAME(player_next)(struct tivrano_player* p, uint8_t* leds) {
    return tivrano_player_next(p, leds);
}

#ifdef C99_STREAM
int C99_NAME(stream_open)(struct tivrano_stream* s, tivrano_read read, void* context) {
    return tivrano_stream_open(s, read, context);
}

uint16_t C99_NAME(stream_count)(const struct tivrano_stream* s) {
    return tivrano_stream_count(s);
}

uint16_t C99_NAME(stream_width)(const struct tivrano_stream* s) {
    return tivrano_stream_width(s);
}

uint16_t C99_NAME(stream_height)(const struct tivrano_stream* s) {
    return tivrano_stream_height(s);
}

uint16_t C99_NAME(stream_next)(struct tivrano_stream* s, uint8_t* leds) {
    return tivrano_stream_next(s, leds);
}

uint8_t C99_NAME(stream_error)(const struct tivrano_stream* s) {
    return tivrano_stream_error(s);
}
#endif
