// Any bytes as an image file for a texture.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::image::Image image;
    std::string fault;
    // A smaller side than the game's keeps each run quick; the check is the same.
    if (!platform::image::Decode(data, size, 1024, image, &fault))
        return 0;
    // Each level must hold what its size says.
    for (std::size_t level = 0; level < image.levels.size(); ++level) {
        const std::size_t w = std::max(1u, image.width >> level), h = std::max(1u, image.height >> level);
        if (image.levels[level].size() != w * h * 4)
            __builtin_trap();
    }
    return 0;
}
