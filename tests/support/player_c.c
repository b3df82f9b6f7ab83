/* tivrano_player.h compiled as C99, as firmware in C compiles it. */
#include "player_c.h"

uint16_t c99_count(const struct tivrano_animation* a) {
    return tivrano_count(a);
}

uint16_t c99_width(const struct tivrano_animation* a) {
    return tivrano_width(a);
}

uint16_t c99_height(const struct tivrano_animation* a) {
    return tivrano_height(a);
}

uint16_t c99_delay_ms(const struct tivrano_animation* a, uint16_t i) {
    return tivrano_delay_ms(a, i);
}

void c99_frame(const struct tivrano_animation* a, uint16_t i, uint8_t* leds) {
    tivrano_frame(a, i, leds);
}

void c99_player_start(struct tivrano_player* p, const struct tivrano_animation* a) {
    tivrano_player_start(p, a);
}

uint16_t c99_player_next(struct tivrano_player* p, uint8_t* leds) {
    return tivrano_player_next(p, leds);
}
