/* What examples/Play prints on its Serial, decoded on the build machine: the animation `animation`
   played twice round with tivrano_player_next, one line a frame, its number and the sum of its
   LED bytes modulo 65536. */
#include <stdio.h>

#include "animation.h"

int main(void) {
    static uint8_t leds[3 * animation_leds];
    struct tivrano_player player;
    tivrano_player_start(&player, &animation);
    const uint16_t count = tivrano_count(&animation);
    for (unsigned round = 0; round < 2; ++round) {
        for (uint16_t frame = 0; frame < count; ++frame) {
            tivrano_player_next(&player, leds);
            unsigned sum = 0;
            for (size_t i = 0; i < sizeof leds; ++i) {
                sum += leds[i];
            }
            printf("%u %u\n", (unsigned)frame, sum % 65536U);
        }
    }
    return fclose(stdout) == 0 ? 0 : 1;
}
