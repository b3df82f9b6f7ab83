/* For comparison only: the same conversion, formatting every value with printf, the way a
 * straightforward build would. Same output as tivrano for valid input. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

static int32_t read_le32(const unsigned char* bytes) {
    return (int32_t)((uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
                     (uint32_t)bytes[3] << 24);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        return 1;
    }
    FILE* in = fopen(argv[1], "rb");
    if (in == NULL || fseek(in, 0, SEEK_END) != 0) {
        return 1;
    }
    const long size = ftell(in);
    if (size < 54 || size > 1000000 || fseek(in, 0, SEEK_SET) != 0) {
        return 1;
    }
    unsigned char* bmp = malloc((size_t)size);
    if (bmp == NULL || fread(bmp, 1, (size_t)size, in) != (size_t)size) {
        return 1;
    }
    const int32_t width = read_le32(bmp + 18);
    const int32_t height = read_le32(bmp + 22);
    const uint64_t line = width > 0 ? (3 * (uint64_t)width + 3) & ~(uint64_t)3 : 0;
    if (width > 0 && height > 0 &&
        54 + line * (uint64_t)(height - 1) + 3 * (uint64_t)width > (uint64_t)size) {
        return 1;
    }
    printf("/*\r\nBreite: %ld, Hoehe: %ld\r\n3 bytes / pixel, GRB Reihenfolge\r\n"
           "Beschreibung: hier eintragen\r\n*/\r\n",
           (long)width, (long)height);
    printf("const uint8_t animationX[] = {\r\n    ");
    int j = 0;
    for (int32_t row = height - 1; width > 0 && row >= 0; --row) {
        const unsigned char* data = bmp + 54 + line * (uint64_t)row;
        for (int32_t i = 0; i < width; ++i, data += 3) {
            printf("%3d, %3d, %3d, ", data[1], data[2], data[0]);
            if (++j == 8) {
                j = 0;
                printf("\r\n    ");
            }
        }
    }
    printf("};\n\r");
    free(bmp);
    fclose(in);
    return fflush(stdout) == 0 ? 0 : 1;
}
