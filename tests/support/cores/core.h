/* What a core gives the firmware that plays an animation on it (play.c): a way to print a line,
   a count of cycles, and a way to stop. Each core's startup file provides them, and main runs. */
#ifndef CORE_H
#define CORE_H

#include <stdint.h>

/* Writes the text, up to its NUL, where the emulator shows it. */
void core_write(const char* text);

/* Cycles since the program started, where the core counts them; 0 where the emulator counts
   instructions instead (measure.sh, from QEMU's trace). */
uint32_t core_cycles(void);

/* Stops the program, and the emulator with status 0 for a status of 0, and non-zero else. */
__attribute__((noreturn)) void core_exit(int status);

int main(void);

#endif
