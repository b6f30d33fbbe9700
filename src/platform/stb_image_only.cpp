#include "platform/stb_image_only.h"

// Our own copy of stb_image with only the formats the game ships: its other
// decoders (16-bit PNM among them) have read and written out of bounds on
// crafted files, and a decoder that is not there cannot. It lives in a file
// of its own so that a build can treat the library apart from our code.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace platform {
namespace image {

int StbInfo(const unsigned char* data, int size, int* width, int* height, int* channels)
{
    return stbi_info_from_memory(data, size, width, height, channels);
}

unsigned char* StbLoad(const unsigned char* data, int size, int* width, int* height, int* channels, int wanted)
{
    return stbi_load_from_memory(data, size, width, height, channels, wanted);
}

void StbFree(void* pixels)
{
    stbi_image_free(pixels);
}

} // namespace image
} // namespace platform
