// Plays the animation beside this sketch straight into FastLED's own array. FastLED keeps each
// CRGB as red, green, blue, whatever the strip's order (it reorders as it sends), so the
// animation is made with --order=rgb:
//   tivrano --name=animation --pack --order=rgb --header=animation.h -o animation.c FRAME.bmp ...
// FastLED scales the brightness as it sends, not in the array, so the player can go on from
// the frame it wrote last.
#include <FastLED.h>
#include <tivrano_player.h>

#include "animation.h"

#define DATA_PIN 6

static CRGB leds[animation_leds];
static struct tivrano_player player;

void setup() {
    FastLED.addLeds<WS2812B, DATA_PIN, GRB>(leds, animation_leds);
    FastLED.setBrightness(64);
    tivrano_player_start(&player, &animation);
}

void loop() {
    const uint16_t ms = tivrano_player_next(&player, (uint8_t*)leds);
    FastLED.show();
    delay(ms);
}
