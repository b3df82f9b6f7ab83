// Plays the animation beside this sketch (animation.c and animation.h, which tivrano made with
//   tivrano --name=animation --pack --header=animation.h -o animation.c FRAME.bmp ...)
// into a buffer, and prints on Serial, at 115200 baud, one line a frame: the frame's number
// and the sum of its LED bytes modulo 65536. It needs nothing but the Arduino core: put your
// own animation's two files in place of these, and your LED library's show() after each frame.
// animation.h comes first: for an animation packed small (--pack=small, the example Small) it
// asks tivrano_player.h for the small player.
#include "animation.h"

#include <tivrano_player.h>

static uint8_t leds[3 * animation_leds];
static struct tivrano_player player;
static uint16_t frame;

void setup() {
    Serial.begin(115200);
    tivrano_player_start(&player, &animation);
}

void loop() {
    const uint16_t ms = tivrano_player_next(&player, leds);
    uint16_t sum = 0;
    for (uint16_t i = 0; i < sizeof leds; ++i) {
        sum += leds[i];
    }
    char line[16];
    snprintf(line, sizeof line, "%u %u", frame, sum);
    Serial.println(line);
    frame = frame + 1 < tivrano_count(&animation) ? frame + 1 : 0;
    delay(ms);
}
