// The screen's tiles: where a layer can show, so that the composite reads it
// only there.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "render/DeviceFixture.h"
#include "render/ScreenTiles.h"

namespace {

TEST(ScreenTiles, ARectangleMarksTheTilesOfThePixelsItHoldsGrownByOne)
{
    ScreenTiles tiles;
    tiles.Reset(100, 70, false);
    ASSERT_EQ(tiles.Columns(), 4);
    ASSERT_EQ(tiles.Rows(), 3);
    EXPECT_EQ(tiles.CountMarked(), 0u);

    tiles.MarkPixels(40.0f, 10.0f, 60.0f, 20.0f);
    EXPECT_TRUE(tiles.Marked(1, 0));
    EXPECT_EQ(tiles.CountMarked(), 1u);
    // Pixel 64's centre (64.5) lies more than a pixel beyond 63.0, not beyond 63.6.
    tiles.MarkPixels(40.0f, 10.0f, 63.0f, 20.0f);
    EXPECT_FALSE(tiles.Marked(2, 0));
    tiles.MarkPixels(40.0f, 10.0f, 63.6f, 20.0f);
    EXPECT_TRUE(tiles.Marked(2, 0));
    EXPECT_EQ(tiles.CountMarked(), 2u);
    // Pixel 31's centre (31.5) lies more than a pixel before 32.6, not before 32.4.
    tiles.MarkPixels(32.6f, 10.0f, 40.0f, 20.0f);
    EXPECT_FALSE(tiles.Marked(0, 0));
    tiles.MarkPixels(32.4f, 10.0f, 40.0f, 20.0f);
    EXPECT_TRUE(tiles.Marked(0, 0));
    tiles.Reset(100, 70, false);
    tiles.MarkPixels(40.0f, 10.0f, 63.6f, 20.0f);

    // Off the screen nothing; reaching over its edge, up to the edge.
    tiles.MarkPixels(-50.0f, -50.0f, -10.0f, -10.0f);
    tiles.MarkPixels(200.0f, 10.0f, 300.0f, 20.0f);
    EXPECT_EQ(tiles.CountMarked(), 2u);
    tiles.MarkPixels(90.0f, 60.0f, 5e30f, 5e30f);
    EXPECT_TRUE(tiles.Marked(2, 1) && tiles.Marked(3, 1) && tiles.Marked(2, 2) && tiles.Marked(3, 2));
    EXPECT_EQ(tiles.CountMarked(), 6u);
    EXPECT_FALSE(tiles.Marked(4, 0)) << "no tile beyond the screen";

    tiles.MarkPixels(std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(tiles.CountMarked(), 12u) << "a rectangle of no known place may be anywhere";
    tiles.Reset(100, 70, true);
    EXPECT_EQ(tiles.CountMarked(), 12u);
}

TEST(ScreenTiles, TilesOfOneGroupAlongARowGoAsOneRectangleWithinTheScreen)
{
    // 100 x 70: four columns, three rows, the last ones cut short.
    const std::vector<int> groups = {0, 0, 1, 1, 1, 0, 0, 0, 2, 2, 2, 2};
    const std::vector<std::vector<ScreenRect>> runs = TileRuns(100, 70, 3, groups);
    ASSERT_EQ(runs.size(), 3u);
    auto as = [](const std::vector<ScreenRect>& rects) {
        std::vector<std::vector<int>> out;
        for (const ScreenRect& r : rects)
            out.push_back({r.left, r.top, r.right, r.bottom});
        return out;
    };
    EXPECT_EQ(as(runs[0]), (std::vector<std::vector<int>>{{0, 0, 64, 32}, {32, 32, 100, 64}}));
    EXPECT_EQ(as(runs[1]), (std::vector<std::vector<int>>{{64, 0, 100, 32}, {0, 32, 32, 64}}));
    EXPECT_EQ(as(runs[2]), (std::vector<std::vector<int>>{{0, 64, 100, 70}}));
    EXPECT_TRUE(TileRuns(100, 70, 3, {0, 1})[0].empty()) << "a group for too few of the tiles: nothing";
}

// The eye 100 before the origin looking at it, a quarter turn of view.
D3DXMATRIX Looking()
{
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, -100), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 3.14159265f / 2.0f, 1.0f, 1.0f, 1000.0f);
    return view * projection;
}

TEST(ScreenTiles, ASquareMarksTheTilesItsProjectionCanCover)
{
    const D3DXMATRIX viewProjection = Looking();
    const D3DXVECTOR3 left(-1, 0, 0), up(0, 1, 0);
    ScreenTiles tiles;
    // Up and to the left of the middle: at (44.8, 44.8) of 128, reaching under 2 pixels.
    tiles.Reset(128, 128, false);
    MarkSquare(D3DXVECTOR3(-30, 30, 0), 4.0f, left, up, viewProjection, tiles);
    EXPECT_TRUE(tiles.Marked(1, 1));
    EXPECT_EQ(tiles.CountMarked(), 1u);
    // 50 wide, turned round, it may reach from 22 to 68 pixels either way.
    MarkSquare(D3DXVECTOR3(-30, 30, 0), -50.0f, left, up, viewProjection, tiles);
    EXPECT_TRUE(tiles.Marked(0, 0) && tiles.Marked(2, 2) && tiles.Marked(0, 2));
    EXPECT_EQ(tiles.CountMarked(), 9u);

    tiles.Reset(128, 128, false);
    MarkSquare(D3DXVECTOR3(-30, 30, -150), 4.0f, left, up, viewProjection, tiles);
    EXPECT_EQ(tiles.CountMarked(), 0u) << "behind the eye nothing shows";
    MarkSquare(D3DXVECTOR3(0, 0, -100), 40.0f, D3DXVECTOR3(0, 0, 1), up, viewProjection, tiles);
    EXPECT_EQ(tiles.CountMarked(), 16u) << "through the eye's plane it may cover anything";
}

using LitTexels = drawtest::DeviceTest;

// Texel (2, 5) of a 4 x 8 texture stretched over 256 x 128: every pixel whose
// filtered read takes it lies in a marked tile, and no tile is marked more
// than one tile away from such a pixel.
TEST_F(LitTexels, TheTilesOfEveryPixelReadingALitTexelAreMarked)
{
    std::vector<D3DCOLOR> texels(32, 0xFF000000);
    texels[5 * 4 + 2] = 0xFF010000;
    texels[1 * 4 + 0] = 0x80000000; // alpha alone does not count
    IDirect3DTexture9* texture = Texture(4, 8, texels);
    ScreenTiles tiles;
    tiles.Reset(256, 128, false);
    ASSERT_TRUE(MarkLitTexels(texture, tiles));

    std::set<std::pair<int, int>> reading;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const int tx = static_cast<int>(std::floor((x + 0.5f) * 4.0f / 256.0f - 0.5f));
            const int ty = static_cast<int>(std::floor((y + 0.5f) * 8.0f / 128.0f - 0.5f));
            if ((tx == 2 || tx + 1 == 2) && (ty == 5 || ty + 1 == 5))
                reading.insert({x / ScreenTiles::kSide, y / ScreenTiles::kSide});
        }
    ASSERT_FALSE(reading.empty());
    for (const auto& tile : reading)
        EXPECT_TRUE(tiles.Marked(tile.first, tile.second)) << tile.first << ", " << tile.second;
    for (int row = 0; row < tiles.Rows(); ++row)
        for (int column = 0; column < tiles.Columns(); ++column) {
            if (!tiles.Marked(column, row))
                continue;
            bool near = false;
            for (const auto& tile : reading)
                near = near || (std::abs(tile.first - column) <= 1 && std::abs(tile.second - row) <= 1);
            EXPECT_TRUE(near) << column << ", " << row;
        }
    EXPECT_LE(tiles.CountMarked(), 12u) << "the eight tiles reading it, and the next column either side";

    tiles.Reset(256, 128, false);
    EXPECT_TRUE(MarkLitTexels(Texture(2, 2, std::vector<D3DCOLOR>(4, 0x80000000)), tiles));
    EXPECT_EQ(tiles.CountMarked(), 0u);
    EXPECT_FALSE(MarkLitTexels(nullptr, tiles));
    EXPECT_EQ(tiles.CountMarked(), 32u) << "what cannot be read may hold anything";

    // Seen through its alpha, a black texel that is not transparent counts,
    // and a coloured one that is does not: a layer laid by its alpha.
    std::vector<D3DCOLOR> layer(4, 0x00FFFFFF);
    layer[3] = 0x01000000;
    tiles.Reset(256, 128, false);
    ASSERT_TRUE(MarkOpaqueTexels(Texture(2, 2, layer), tiles));
    EXPECT_TRUE(tiles.Marked(7, 3));
    EXPECT_FALSE(tiles.Marked(0, 0));
    tiles.Reset(256, 128, false);
    ASSERT_TRUE(MarkLitTexels(Texture(2, 2, layer), tiles));
    EXPECT_TRUE(tiles.Marked(0, 0));
}

} // namespace
