/* Startup for an RV32IMC core, the ESP32-C3's instruction set, under qemu-riscv32 (user mode):
   _start calls main, and output and exit are Linux's system calls write (64) and exit (93) by
   ecall. The loader sets the stack and clears .bss. */
#include <stddef.h>

#include "core.h"

enum { SYS_WRITE = 64, SYS_EXIT = 93, STANDARD_OUTPUT = 1 };

static long system_call(long number, long a, long b, long c) {
    register long a0 __asm__("a0") = a;
    register long a1 __asm__("a1") = b;
    register long a2 __asm__("a2") = c;
    register long a7 __asm__("a7") = number;
    __asm__ volatile("ecall" : "+r"(a0) : "r"(a1), "r"(a2), "r"(a7) : "memory");
    return a0;
}

void core_write(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') {
        ++n;
    }
    system_call(SYS_WRITE, STANDARD_OUTPUT, (long)text, (long)n);
}

uint32_t core_cycles(void) {
    return 0;
}

void core_exit(int status) {
    system_call(SYS_EXIT, status, 0, 0);
    for (;;) {
    }
}

__attribute__((noreturn)) void _start(void);

void _start(void) {
    core_exit(main());
}
