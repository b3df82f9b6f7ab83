/* tivrano_player.h compiled as C99 for the values of TIVRANO_VALUE_BYTES bytes the build defines:
   its functions in the table c99_values_<bytes>. */
#include "player_values.h"

#define TABLE(bytes) TABLE_NAMED(bytes)
#define TABLE_NAMED(bytes) c99_values_##bytes

const struct c99_values TABLE(TIVRANO_VALUE_BYTES) = {
    tivrano_count,        tivrano_width,         tivrano_delay_ms,    tivrano_frame,
    tivrano_player_start, tivrano_player_next,   tivrano_stream_open, tivrano_stream_count,
    tivrano_stream_width, tivrano_stream_height, tivrano_stream_next, tivrano_stream_error,
};
