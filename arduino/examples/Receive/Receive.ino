// Shows frames as they come over Serial, at 115200 baud, from tivrano --send (or the page's
// Play on LEDs, or any Adalight sender): each frame goes into the LED buffer, three bytes an
// LED in the buffer's order, laid out along the strip by the sender's wiring options. This
// sketch prints one line a frame, the sum of its LED bytes modulo 65536; put your LED library's
// show() there, and its buffer and order in place of these.
//   tivrano --send=/dev/ttyUSB0 --loop=0 walk1.bmp walk2.bmp walk3.bmp
#include <tivrano_receive.h>

static const uint16_t LEDS = 256;
static uint8_t leds[3 * LEDS];
static struct tivrano_receiver receiver;

void setup() {
    Serial.begin(115200);
    tivrano_receive_start(&receiver, leds, LEDS, "GRB");
}

void loop() {
    while (Serial.available() > 0) {
        if (tivrano_receive(&receiver, (uint8_t)Serial.read())) {
            uint16_t sum = 0;
            for (uint16_t i = 0; i < sizeof leds; ++i) {
                sum += leds[i];
            }
            Serial.println(sum);
        }
    }
}
