// Any bytes as "data/fx/bloom.xml", read by the bloom object itself (without
// a device its stages are kept as targets that could not be made).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "render/Bloom.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    TBloomEffect bloom;
    bloom.Parse(in, "data/fx/bloom.xml");
    return 0;
}
