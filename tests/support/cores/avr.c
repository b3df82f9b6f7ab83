/* Startup for an AVR under simavr (an ATmega328P or an ATmega2560 at 16 MHz): avr-libc's own
   calls main. Output on the UART, which simavr prints; cycles from timer 1, counting every cycle
   and its overflows; and a stop by sleeping with interrupts off, which ends simavr (always with
   status 0: the firmware's lines say how it went). */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>

#include "core.h"

static volatile uint16_t overflows;

ISR(TIMER1_OVF_vect) {
    ++overflows;
}

/* Starts the UART and the timer before main, as the other cores' startups do their work. */
__attribute__((constructor)) static void start(void) {
    UCSR0B = 1 << TXEN0;
    TCCR1A = 0;
    TIMSK1 = 1 << TOIE1;
    TCCR1B = 1 << CS10;
    sei();
}

void core_write(const char* text) {
    for (; *text != '\0'; ++text) {
        while (!(UCSR0A & (1 << UDRE0))) {
        }
        UDR0 = (uint8_t)*text;
    }
}

uint32_t core_cycles(void) {
    cli();
    uint16_t low = TCNT1;
    uint16_t high = overflows;
    if (TIFR1 & (1 << TOV1) && low < 0x8000) {
        ++high;
    }
    sei();
    return (uint32_t)high << 16 | low;
}

void core_exit(int status) {
    (void)status;
    cli();
    for (;;) {
        sleep_mode();
    }
}
