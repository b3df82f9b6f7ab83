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
#define C99_NAME(f) c99_read_##f

#include "player_c.c"
