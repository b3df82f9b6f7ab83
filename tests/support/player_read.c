/* tivrano_player.h compiled as C99 with every read from the animation its own, as on a chip
   that keeps constants in a memory of its own: each counted in c99_reads. */
#include <stdint.h>

unsigned long c99_reads;

/* Counted in a function, as a chip's own reads are: two reads in one expression are then
   sequenced, as they would not be with ++c99_reads in the macro itself. */
static void count_read(void) {
    ++c99_reads;
}

#define TIVRANO_FLASH
#define TIVRANO_BYTE(p) (count_read(), *(p))
#define TIVRANO_WORD(p) (count_read(), *(p))
#define TIVRANO_POINTER(p) (count_read(), (const void*)*(p))

#include "player_c.h"

uint16_t c99_read_count(const struct tivrano_animation* a) {
    return tivrano_count(a);
}

uint16_t c99_read_width(const struct tivrano_animation* a) {
    return tivrano_width(a);
}

uint16_t c99_read_delay_ms(const struct tivrano_animation* a, uint16_t i) {
    return tivrano_delay_ms(a, i);
}

void c99_read_frame(const struct tivrano_animation* a, uint16_t i, uint8_t* leds) {
    tivrano_frame(a, i, leds);
}

void c99_read_player_start(struct tivrano_player* p, const struct tivrano_animation* a) {
    tivrano_player_start(p, a);
}

uint16_t c99_read_player_next(struct tivrano_player* p, uint8_t* leds) {
    return tivrano_player_next(p, leds);
}
