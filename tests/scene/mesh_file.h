// Builds ".mesh" files byte by byte for the reader's tests, with every header
// field under the test's control so that each kind of broken file can be made.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace meshfile {

struct Subset {
    std::int32_t first;
    std::int32_t count;
};

struct Recipe {
    std::uint32_t vertexCount = 0;
    std::uint32_t indexCount = 0;
    std::uint32_t vertexType = 0;
    std::uint32_t vertexSize = 16;
    std::uint32_t indexSize = 2;
    std::uint32_t primitiveType = 4;
    std::uint32_t subsetCount = 0;
    std::vector<std::uint8_t> vertexBytes;
    std::vector<std::uint16_t> indices;
    std::vector<Subset> subsets;
};

// Writes the header fields and the data as given: the counts are not derived
// from the data, so a test can make them disagree. The words the reader skips
// hold junk.
inline std::vector<std::uint8_t> Encode(const Recipe& r)
{
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t v, int bytes = 4) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    for (std::uint32_t word : {0xDEADBEEFu, 0x01234567u, 0xFFFFFFFFu, r.vertexCount, r.indexCount, r.vertexType,
                               r.vertexSize, r.indexSize, r.primitiveType, r.subsetCount, 0xCAFEBABEu, 0x7F7F7F7Fu})
        put(word);
    out.insert(out.end(), r.vertexBytes.begin(), r.vertexBytes.end());
    for (std::uint16_t i : r.indices)
        put(i, 2);
    for (const Subset& sub : r.subsets) {
        put(static_cast<std::uint32_t>(sub.first));
        put(static_cast<std::uint32_t>(sub.count));
    }
    return out;
}

// A consistent mesh of `vertices` vertices of the given size whose bytes all
// differ from their neighbours, two triangles per subset.
inline Recipe Consistent(std::uint32_t type, std::uint32_t size, std::uint32_t vertices = 6, int subsets = 2)
{
    Recipe r;
    r.vertexType = type;
    r.vertexSize = size;
    r.vertexCount = vertices;
    for (std::uint32_t i = 0; i < vertices * size; ++i)
        r.vertexBytes.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    for (int sub = 0; sub < subsets; ++sub) {
        for (int corner = 0; corner < 6; ++corner)
            r.indices.push_back(static_cast<std::uint16_t>((sub * 6 + corner / 3 * 3 + corner % 3 * 2) % vertices));
        r.subsets.push_back({sub * 2, 2});
    }
    r.indexCount = static_cast<std::uint32_t>(r.indices.size());
    r.subsetCount = static_cast<std::uint32_t>(r.subsets.size());
    return r;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace meshfile
