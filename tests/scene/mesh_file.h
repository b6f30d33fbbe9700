// Builds ".mesh" files byte by byte for the reader's tests, with every header
// field under the test's control so that each kind of broken file can be made.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace meshfile {

struct Subset {
    std::int32_t first;
    std::int32_t count;
};

struct Spec {
    std::uint32_t unused[5] = {0xDEADBEEF, 0x01234567, 0xFFFFFFFF, 0xCAFEBABE, 0x7F7F7F7F};
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

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Writes the header fields as given and the data as given: the counts are
// not derived from the data, so a test can make them disagree.
inline std::vector<std::uint8_t> Encode(const Spec& s)
{
    std::vector<std::uint8_t> out;
    PutU32(out, s.unused[0]);
    PutU32(out, s.unused[1]);
    PutU32(out, s.unused[2]);
    PutU32(out, s.vertexCount);
    PutU32(out, s.indexCount);
    PutU32(out, s.vertexType);
    PutU32(out, s.vertexSize);
    PutU32(out, s.indexSize);
    PutU32(out, s.primitiveType);
    PutU32(out, s.subsetCount);
    PutU32(out, s.unused[3]);
    PutU32(out, s.unused[4]);
    out.insert(out.end(), s.vertexBytes.begin(), s.vertexBytes.end());
    for (std::uint16_t i : s.indices) {
        out.push_back(static_cast<std::uint8_t>(i));
        out.push_back(static_cast<std::uint8_t>(i >> 8));
    }
    for (const Subset& sub : s.subsets) {
        PutU32(out, static_cast<std::uint32_t>(sub.first));
        PutU32(out, static_cast<std::uint32_t>(sub.count));
    }
    return out;
}

// A consistent mesh of `vertices` vertices of the given size whose bytes all
// differ from their neighbours, two triangles per subset.
inline Spec Consistent(std::uint32_t type, std::uint32_t size, std::uint32_t vertices = 6, int subsets = 2)
{
    Spec s;
    s.vertexType = type;
    s.vertexSize = size;
    s.vertexCount = vertices;
    for (std::uint32_t i = 0; i < vertices * size; ++i)
        s.vertexBytes.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    for (int sub = 0; sub < subsets; ++sub) {
        for (int t = 0; t < 2; ++t)
            for (int c = 0; c < 3; ++c)
                s.indices.push_back(static_cast<std::uint16_t>((sub * 6 + t * 3 + c * 2) % vertices));
        s.subsets.push_back({sub * 2, 2});
    }
    s.indexCount = static_cast<std::uint32_t>(s.indices.size());
    s.subsetCount = static_cast<std::uint32_t>(s.subsets.size());
    return s;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

} // namespace meshfile
