// Plays the animation beside this sketch straight into Adafruit NeoPixel's own buffer. For a
// NEO_GRB strip the buffer holds green, red, blue, tivrano's own order:
//   tivrano --name=animation --pack --header=animation.h -o animation.c FRAME.bmp ...
// (for a NEO_RGB strip add --order=rgb). setBrightness() scales that buffer in place, so this
// sketch leaves it alone; with it, draw each frame whole with tivrano_frame() instead.
#include <Adafruit_NeoPixel.h>
#include <tivrano_player.h>

#include "animation.h"

#define DATA_PIN 6

static Adafruit_NeoPixel strip(animation_leds, DATA_PIN, NEO_GRB + NEO_KHZ800);
static struct tivrano_player player;

void setup() {
    strip.begin();
    tivrano_player_start(&player, &animation);
}

void loop() {
    const uint16_t ms = tivrano_player_next(&player, strip.getPixels());
    strip.show();
    delay(ms);
}
