/* Startup for a Cortex-M core under qemu-system-arm: the vector table, a reset handler that
   lays out RAM and calls main, and output and exit through semihosting (bkpt 0xab), which QEMU
   gives with -semihosting-config enable=on,target=native. Built for ARMv6-M (cortex-m0plus)
   it runs on the micro:bit's Cortex-M0 as on an M0+; for ARMv7-M (cortex-m3) on the MPS2
   AN385. The layout is cortex_m.ld's. */
#include <stdint.h>

#include "core.h"

enum {
    SYS_WRITE0 = 0x04,
    SYS_EXIT = 0x18,
    ADP_STOPPED_APPLICATION_EXIT = 0x20026,
    ADP_STOPPED_RUN_TIME_ERROR_UNKNOWN = 0x20023,
};

extern uint32_t __data_load[], __data_start[], __data_end[], __bss_start[], __bss_end[];
extern uint32_t __stack_top[];

static uint32_t semihost(uint32_t operation, uint32_t argument) {
    register uint32_t r0 __asm__("r0") = operation;
    register uint32_t r1 __asm__("r1") = argument;
    __asm__ volatile("bkpt 0xab" : "+r"(r0) : "r"(r1) : "memory");
    return r0;
}

void core_write(const char* text) {
    semihost(SYS_WRITE0, (uint32_t)(uintptr_t)text);
}

uint32_t core_cycles(void) {
    return 0;
}

void core_exit(int status) {
    semihost(SYS_EXIT,
             status == 0 ? ADP_STOPPED_APPLICATION_EXIT : ADP_STOPPED_RUN_TIME_ERROR_UNKNOWN);
    for (;;) {
    }
}

void reset(void);

void reset(void) {
    for (uint32_t *from = __data_load, *to = __data_start; to < __data_end;) {
        *to++ = *from++;
    }
    for (uint32_t* to = __bss_start; to < __bss_end;) {
        *to++ = 0;
    }
    core_exit(main());
}

/* A fault, or any interrupt, ends the run with the reason instead of hanging it. */
static void fault(void) {
    core_write("fault\n");
    core_exit(1);
}

struct vectors {
    uint32_t* stack;
    void (*handler[15])(void);
};

__attribute__((section(".vectors"), used)) static const struct vectors vectors = {
    __stack_top,
    {reset, fault, fault, fault, fault, fault, fault, fault, fault, fault, fault, fault, fault,
     fault, fault},
};
