#include <algorithm>
#include <set>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "datagen/MeshTextures.h"
#include "xml/temp_folder.h"

namespace {

// The step writes exactly the names it announces (the layouts' materials are
// checked against that list), each a small image that decodes.
TEST(MeshTextures, WritesTheAnnouncedImages)
{
    TempFolder folder;
    datagen::Output out(folder.Path());
    datagen::GenerateMeshTextures(out);
    EXPECT_TRUE(out.Failures().empty());
    std::set<std::string> expected;
    for (const std::string& name : datagen::MeshTextureNames())
        expected.insert(std::string(datagen::kTextureFolder) + name);
    EXPECT_EQ(std::set<std::string>(out.Files().begin(), out.Files().end()), expected);
    for (const std::string& file : out.Files()) {
        int w = 0, h = 0, channels = 0;
        unsigned char* pixels = stbi_load((folder / file).c_str(), &w, &h, &channels, 4);
        ASSERT_NE(pixels, nullptr) << file;
        stbi_image_free(pixels);
        EXPECT_LE(std::max(w, h), 256) << file;
    }
}

// Textures repeat over every surface, so the noise they come from must meet
// itself at the edges.
TEST(MeshTextures, NoiseWrapsWithoutASeamAndSpansItsRange)
{
    for (float v : {0.0f, 0.3f, 0.77f}) {
        EXPECT_FLOAT_EQ(datagen::TileNoise(0.25f, v, 8, 4, 3), datagen::TileNoise(1.25f, v, 8, 4, 3));
        EXPECT_NEAR(datagen::TileFbm(0.9999f, v, 8, 8, 4, 3), datagen::TileFbm(0.0f, v, 8, 8, 4, 3), 0.01f);
        EXPECT_NEAR(datagen::TileFbm(v, 0.9999f, 8, 8, 4, 3), datagen::TileFbm(v, 0.0f, 8, 8, 4, 3), 0.01f);
    }
    float low = 1, high = 0;
    for (int i = 0; i < 1000; ++i) {
        const float n = datagen::TileNoise(i * 0.0137f, i * 0.0291f, 16, 16, 9);
        low = std::min(low, n);
        high = std::max(high, n);
    }
    EXPECT_GE(low, 0.0f);
    EXPECT_LT(high, 1.0f);
    EXPECT_GT(high - low, 0.5f);
}

// Rising along +u the normal leans towards -u (red below the middle), rising
// down the image green does; a flat map is the plain up colour.
TEST(MeshTextures, NormalMapsLeanAwayFromTheRise)
{
    const int size = 8;
    std::vector<float> flat(size * size, 0.5f), alongU(size * size), alongV(size * size);
    for (int i = 0; i < size * size; ++i) {
        alongU[i] = 0.1f * (i % size);
        alongV[i] = 0.1f * (i / size);
    }
    EXPECT_EQ(datagen::NormalMapFromHeights(flat, size, 2.0f).Get(3, 3), (datagen::Rgba{128, 128, 255, 255}));
    const datagen::Rgba u = datagen::NormalMapFromHeights(alongU, size, 5.0f).Get(3, 3);
    EXPECT_LT(u.r, 120);
    EXPECT_EQ(u.g, 128);
    const datagen::Rgba v = datagen::NormalMapFromHeights(alongV, size, 5.0f).Get(3, 3);
    EXPECT_EQ(v.r, 128);
    EXPECT_LT(v.g, 120);
}

} // namespace
