/* For comparison only: the start-up cost of a C program that writes one line. */
#include <stdio.h>

int main(void) {
    puts("hello world");
    return 0;
}
