/* How stb_image is built here: PNG alone, from memory, no larger than 16384 pixels a side. */
#ifndef TIVRANO_STB_IMAGE_OPTIONS_H
#define TIVRANO_STB_IMAGE_OPTIONS_H
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_THREAD_LOCALS
#define STBI_MAX_DIMENSIONS 16384
#endif
