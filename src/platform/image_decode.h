// Decoding the image files the game ships into texels, apart from any
// device: JPEG, PNG, TGA and BMP through stb_image (every other decoder it
// has is compiled out) and uncompressed DDS of our own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {
namespace image {

// An image ready for a texture: levels of B, G, R, A bytes, rows top first.
struct Image {
    unsigned width = 0, height = 0;
    bool alpha = false;
    std::vector<std::vector<unsigned char>> levels; // only level 0 unless the file brings mips
};

// Decodes bytes into image. The size is read before any texel: an image
// wider or taller than maxSide (as its header claims, for a PNG or BMP stb
// itself would not size) is refused with *fault saying so, and nothing is
// decoded; so is a picture cut short before its last texel or, for a JPEG,
// its end marker. False with an empty fault for bytes that are no image we
// read.
bool Decode(const unsigned char* data, std::size_t size, int maxSide, Image& image, std::string* fault);

// The size of a JPEG read from its header alone, after the checks Decode
// makes before it decodes a texel (a JPEG carries no alpha). False for bytes
// that are no JPEG and for a JPEG that Decode refuses before decoding: Decode
// then says why.
bool JpegSize(const unsigned char* data, std::size_t size, int maxSide, unsigned* width, unsigned* height);

} // namespace image
} // namespace platform
