// stb_image as the game builds it: only the decoders of the formats it ships.
#pragma once

namespace platform {
namespace image {

// stbi_info_from_memory, stbi_load_from_memory and stbi_image_free of our copy.
int StbInfo(const unsigned char* data, int size, int* width, int* height, int* channels);
unsigned char* StbLoad(const unsigned char* data, int size, int* width, int* height, int* channels, int wanted);
void StbFree(void* pixels);

} // namespace image
} // namespace platform
