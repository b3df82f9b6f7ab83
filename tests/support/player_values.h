/* tivrano_player.h compiled as C99 for values of 2 bytes (rgb565's) and of 1 (a byte of mono's
   bits), small animations too: each player's functions in a table, for the C++ tests
   (player_values.c, built once for each). */
#ifndef TIVRANO_TEST_PLAYER_VALUES_H
#define TIVRANO_TEST_PLAYER_VALUES_H

#include "player_c.h"

#ifdef __cplusplus
extern "C" {
#endif

struct c99_values {
    uint16_t (*count)(const struct tivrano_animation*);
    uint16_t (*width)(const struct tivrano_animation*);
    uint16_t (*delay_ms)(const struct tivrano_animation*, uint16_t);
    void (*frame)(const struct tivrano_animation*, uint16_t, uint8_t*);
    void (*start)(struct tivrano_player*, const struct tivrano_animation*);
    uint16_t (*next)(struct tivrano_player*, uint8_t*);
    int (*stream_open)(struct tivrano_stream*, tivrano_read, void*);
    uint16_t (*stream_count)(const struct tivrano_stream*);
    uint16_t (*stream_width)(const struct tivrano_stream*);
    uint16_t (*stream_height)(const struct tivrano_stream*);
    uint16_t (*stream_next)(struct tivrano_stream*, uint8_t*);
    uint8_t (*stream_error)(const struct tivrano_stream*);
};

extern const struct c99_values c99_values_2;
extern const struct c99_values c99_values_1;

#ifdef __cplusplus
}
#endif

#endif
