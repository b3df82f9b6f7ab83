/* What a core gives the firmware that plays an animation on it (play.c): a way to print a line
   and a way to stop. Each core's startup file provides them and calls main. */
#ifndef CORE_H
#define CORE_H

/* Writes the text, up to its NUL, where the emulator shows it. */
void core_write(const char* text);

/* Stops the program, and the emulator with status 0 for a status of 0, and non-zero else. */
__attribute__((noreturn)) void core_exit(int status);

int main(void);

#endif
