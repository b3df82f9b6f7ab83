/* tivrano_player.h compiled as C99, as firmware in C compiles it: the stream player, which reads
   through the firmware's function. This one holds every model of a small file, where the C++
   one holds the first 35 bytes and reads the rest: the tests play each file through both. */
#define TIVRANO_SMALL_HELD 275
#include "player_c.h"

int c99_stream_open(struct tivrano_stream* s, tivrano_read read, void* context) {
    return tivrano_stream_open(s, read, context);
}

uint16_t c99_stream_count(const struct tivrano_stream* s) {
    return tivrano_stream_count(s);
}

uint16_t c99_stream_width(const struct tivrano_stream* s) {
    return tivrano_stream_width(s);
}

uint16_t c99_stream_height(const struct tivrano_stream* s) {
    return tivrano_stream_height(s);
}

uint16_t c99_stream_next(struct tivrano_stream* s, uint8_t* leds) {
    return tivrano_stream_next(s, leds);
}

uint8_t c99_stream_error(const struct tivrano_stream* s) {
    return tivrano_stream_error(s);
}
