// A stand-in for FastLED's header, for CI, which has no FastLED: just the calls that
// examples/FastLED uses, with FastLED's signatures, doing nothing. Not shipped.
#ifndef FASTLED_H
#define FASTLED_H
#include <stdint.h>

struct CRGB {
    uint8_t r;
    uint8_t g;
    uint8_t b;
};

enum EOrder { RGB = 0012, GRB = 0102 };

template <uint8_t DATA_PIN, EOrder RGB_ORDER> class WS2812B {};

class CFastLED {
  public:
    template <template <uint8_t DATA_PIN, EOrder RGB_ORDER> class CHIPSET, uint8_t DATA_PIN,
              EOrder RGB_ORDER>
    void addLeds(CRGB* data, int count) {
        leds_ = data;
        count_ = count;
    }
    void setBrightness(uint8_t scale) { brightness_ = scale; }
    void show() {}

  private:
    CRGB* leds_ = nullptr;
    int count_ = 0;
    uint8_t brightness_ = 255;
};

static CFastLED FastLED;
#endif
