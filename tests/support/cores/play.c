/* Plays an animation that tivrano packed, as firmware would, on a bare core under an emulator:
   every frame twice round with tivrano_player_next. For each frame of the first round it
   prints the FNV-1a checksum of the LED bytes, then the checksum of all of them, as the AVR's
   firmware prints it (tests/support/avr_player.c):

     frame 0 fnv1a 8c2f06a1
     ...
     frames 12 fnv1a 0b1d9e4c

   and says so where tivrano_frame gives another frame, or where the second round differs. The
   animation is `animation`, declared in animation.h with its LEDs a frame, animation_leds. Only
   the header's API is used. player_next and player_frame stay out of line, so that the player's
   code can be measured (nm -S) and its instructions counted in a trace. */
#include <stddef.h>
#include <stdint.h>

#include "animation.h"
#include "core.h"

static uint8_t leds[3 * animation_leds];
static uint8_t again[3 * animation_leds];

/* The compilers may call these, freestanding or not. */
void* memcpy(void* to, const void* from, size_t n) {
    unsigned char* t = to;
    const unsigned char* f = from;
    while (n-- != 0) {
        *t++ = *f++;
    }
    return to;
}

void* memset(void* to, int value, size_t n) {
    unsigned char* t = to;
    while (n-- != 0) {
        *t++ = (unsigned char)value;
    }
    return to;
}

__attribute__((noinline)) uint16_t player_next(struct tivrano_player* player, uint8_t* to) {
    return tivrano_player_next(player, to);
}

__attribute__((noinline)) void player_frame(uint16_t i, uint8_t* to) {
    tivrano_frame(&animation, i, to);
}

static uint32_t fnv1a(uint32_t hash, const uint8_t* bytes, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        hash = (hash ^ bytes[k]) * 16777619u;
    }
    return hash;
}

/* Appends the words to line, with a blank before each: text, a number in decimal, and one in 8
   hexadecimal digits. */
static char* put_text(char* line, const char* text) {
    *line++ = ' ';
    while (*text != '\0') {
        *line++ = *text++;
    }
    return line;
}

/* Without a division, which an ARMv6-M core does in a library call: value is under 65536. */
static char* put_decimal(char* line, uint16_t value) {
    static const uint16_t tens[] = {10000, 1000, 100, 10, 1};
    int started = 0;
    *line++ = ' ';
    for (size_t k = 0; k < sizeof tens / sizeof tens[0]; ++k) {
        char digit = '0';
        while (value >= tens[k]) {
            value = (uint16_t)(value - tens[k]);
            ++digit;
        }
        started |= digit != '0' || tens[k] == 1;
        if (started) {
            *line++ = digit;
        }
    }
    return line;
}

static char* put_hex(char* line, uint32_t value) {
    *line++ = ' ';
    for (int shift = 28; shift >= 0; shift -= 4) {
        *line++ = "0123456789abcdef"[(value >> shift) & 15u];
    }
    return line;
}

/* Prints "<what> <number> fnv1a <hash>", with more after it if `more` is not NULL. */
static void say(const char* what, uint16_t number, uint32_t hash, const char* more) {
    char line[80];
    char* end = put_hex(put_text(put_decimal(put_text(line, what), number), "fnv1a"), hash);
    if (more != NULL) {
        end = put_text(end, more);
    }
    end[0] = '\n';
    end[1] = '\0';
    core_write(line + 1);
}

int main(void) {
    const uint16_t count = tivrano_count(&animation);
    struct tivrano_player player;
    uint32_t all[2] = {2166136261u, 2166136261u};
    int bad = 0;
    tivrano_player_start(&player, &animation);
    for (int round = 0; round < 2; ++round) {
        for (uint16_t i = 0; i < count; ++i) {
            player_next(&player, leds);
            all[round] = fnv1a(all[round], leds, sizeof leds);
            if (round == 0) {
                const uint32_t hash = fnv1a(2166136261u, leds, sizeof leds);
                player_frame(i, again);
                const int same = fnv1a(2166136261u, again, sizeof again) == hash;
                say("frame", i, hash, same ? NULL : "but tivrano_frame gives another");
                bad |= !same;
            }
        }
    }
    say("frames", count, all[0], all[1] == all[0] ? NULL : "but the second round differs");
    return bad || all[1] != all[0];
}
