/* Prints each frame's size, width, height and a checksum of its bytes (32-bit FNV-1a), and each
   animation's frames and delays: pulse as arrays, beat packed and played by tivrano_player.h. */
#include <stdio.h>

#include "animation_frames.h"
#include "beat.h"
#include "pulse.h"

static void show(const char* name, const uint8_t* bytes, size_t size, int32_t width,
                 int32_t height) {
    uint32_t hash = 2166136261u;
    for (size_t k = 0; k < size; ++k) {
        hash = (hash ^ bytes[k]) * 16777619u;
    }
    printf("%s: %lu bytes, %ld x %ld, fnv1a %08lx\n", name, (unsigned long)size, (long)width,
           (long)height, (unsigned long)hash);
}

static void show_animation(const char* name, const uint8_t* const* frames, size_t count,
                           int32_t width, int32_t height, const uint16_t* delay_ms) {
    printf("%s: %lu frames, delays", name, (unsigned long)count);
    for (size_t k = 0; k < count; ++k) {
        printf(" %u", (unsigned)delay_ms[k]);
    }
    printf(" ms\n");
    for (size_t k = 0; k < count; ++k) {
        char frame[64];
        snprintf(frame, sizeof frame, "%s[%lu]", name, (unsigned long)k);
        show(frame, frames[k], (size_t)width * (size_t)height * 3, width, height);
    }
}

/* The frames of a packed animation as the player writes them into leds, one after another. */
static void play_packed(const char* name, const struct tivrano_animation* animation,
                        uint8_t* leds) {
    const uint16_t count = tivrano_count(animation);
    const int32_t width = tivrano_width(animation);
    const int32_t height = tivrano_height(animation);
    struct tivrano_player player;
    printf("%s: %u frames, delays", name, (unsigned)count);
    for (uint16_t k = 0; k < count; ++k) {
        printf(" %u", (unsigned)tivrano_delay_ms(animation, k));
    }
    printf(" ms\n");
    tivrano_player_start(&player, animation);
    for (uint16_t k = 0; k < count; ++k) {
        char frame[64];
        tivrano_player_next(&player, leds);
        snprintf(frame, sizeof frame, "%s[%u]", name, (unsigned)k);
        show(frame, leds, (size_t)width * (size_t)height * 3, width, height);
    }
}

int main(void) {
    static uint8_t leds[3 * beat_leds]; /* beat's LEDs, as beat.h declares them */
    show("heart", heart, heart_size, heart_width, heart_height);
    show("arrow", arrow, arrow_size, arrow_width, arrow_height);
    show("wave", wave, wave_size, wave_width, wave_height);
    show_animation("pulse", pulse, pulse_count, pulse_width, pulse_height, pulse_delay_ms);
    play_packed("beat", &beat, leds);
    printf("table: %lu frames, %s\n", (unsigned long)frames_count,
           frames[0] == heart && frames[1] == arrow && frames[2] == wave ? "in order"
                                                                         : "OUT OF ORDER");
    return 0;
}
