// A stand-in for Adafruit NeoPixel's header, for CI, which has no such library: just the calls
// that examples/NeoPixel uses, with the library's signatures, doing nothing but keeping the
// buffer. Not shipped.
#ifndef ADAFRUIT_NEOPIXEL_H
#define ADAFRUIT_NEOPIXEL_H
#include <stdint.h>
#include <stdlib.h>

typedef uint16_t neoPixelType;
#define NEO_GRB ((1 << 6) | (1 << 4) | (0 << 2) | (2))
#define NEO_KHZ800 0x0000

class Adafruit_NeoPixel {
  public:
    Adafruit_NeoPixel(uint16_t n, int16_t pin, neoPixelType type)
        : pixels_(static_cast<uint8_t*>(calloc(3 * n, 1))), pin_(pin), type_(type) {}
    void begin() {}
    void show() {}
    uint8_t* getPixels() const { return pixels_; }

  private:
    uint8_t* pixels_;
    int16_t pin_;
    neoPixelType type_;
};
#endif
