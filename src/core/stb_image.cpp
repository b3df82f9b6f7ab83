// stb_image's code, compiled once, as its header asks. It is Debian's libstb-dev, not ours: the
// static analysis CI runs over our sources leaves this file out.
#include "stb_image_options.h"

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
