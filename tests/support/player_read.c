/* tivrano_player.h compiled as C99 with every read from the animation its own, as on a chip
   that keeps constants in a memory of its own: each counted in c99_reads. */
#include <stdint.h>

unsigned long c99_reads;

#define TIVRANO_FLASH
#define TIVRANO_BYTE(p) (++c99_reads, *(p))
#define TIVRANO_WORD(p) (++c99_reads, *(p))
#define TIVRANO_POINTER(p) (++c99_reads, (const void*)*(p))
#define C99_NAME(f) c99_read_##f

#include "player_c.c"
