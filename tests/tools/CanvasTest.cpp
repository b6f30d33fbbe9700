#include <algorithm>
#include <climits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/Canvas.h"
#include "datagen/Font.h"

using datagen::Canvas;
using datagen::Font;
using datagen::Rgba;

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kWhite{255, 255, 255, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};

// The box around every pixel that differs from black.
struct Ink {
    int count = 0;
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
};

Ink FindInk(const Canvas& c)
{
    Ink ink;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Get(x, y) != kBlack) {
                ++ink.count;
                ink.x0 = std::min(ink.x0, x);
                ink.y0 = std::min(ink.y0, y);
                ink.x1 = std::max(ink.x1, x);
                ink.y1 = std::max(ink.y1, y);
            }
    return ink;
}

} // namespace

TEST(Canvas, DrawingIsClippedToTheCanvasInsteadOfWrapping)
{
    EXPECT_THROW(Canvas(0, 10), std::invalid_argument);
    Canvas c(5, 4, kBlack);
    c.Put(-1, 0, kRed);
    c.Put(5, 0, kRed);
    c.Put(0, 4, kRed);
    c.Blend(0, -1, kRed);
    c.FillRect(3, 3, 5, 5, kBlue);
    EXPECT_EQ(c.Get(7, 7), (Rgba{0, 0, 0, 0}));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(c.Get(x, y), x >= 3 && y == 3 ? kBlue : kBlack) << x << "," << y;
}

TEST(Canvas, BlendComposesSourceOverAndGradientsRunEndToEnd)
{
    Canvas c(3, 1, kBlack);
    c.Blend(0, 0, Rgba{255, 255, 255, 128});
    EXPECT_NEAR(c.Get(0, 0).r, 128, 1);
    EXPECT_EQ(c.Get(0, 0).a, 255);
    c.Blend(1, 0, kRed, 0.25f);
    EXPECT_NEAR(c.Get(1, 0).r, 64, 1);
    // Onto a transparent pixel the source keeps its colour and brings its alpha.
    c.Put(2, 0, Rgba{0, 0, 0, 0});
    c.Blend(2, 0, Rgba{200, 100, 50, 100});
    EXPECT_EQ(c.Get(2, 0), (Rgba{200, 100, 50, 100}));

    Canvas g(4, 11, kBlack);
    g.VerticalGradient(0, 0, 4, 11, kBlack, Rgba{200, 100, 0, 255});
    EXPECT_EQ(g.Get(3, 10), (Rgba{200, 100, 0, 255}));
    EXPECT_EQ(g.Get(2, 5), (Rgba{100, 50, 0, 255}));
}

TEST(Canvas, EllipsesAndRoundedRectsAreFilledInsideWithSoftEdges)
{
    Canvas c(40, 40, kBlack);
    c.FillEllipse(20, 20, 10, 5, kRed);
    EXPECT_EQ(c.Get(12, 19), kRed);
    EXPECT_EQ(c.Get(20, 26), kBlack); // outside the short axis
    EXPECT_EQ(c.Get(29, 24), kBlack); // beside the corner of the box
    // Edge pixels are blended by how much of them the shape covers, so the
    // summed coverage is the ellipse's area.
    double covered = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 40; ++y)
            covered += c.Get(x, y).r / 255.0;
    EXPECT_NEAR(covered, 3.14159 * 10 * 5, 2.0);

    Canvas r(40, 40, kBlack);
    r.FillRoundedRect(5, 5, 30, 20, 8, kBlue);
    EXPECT_EQ(r.Get(5, 15), kBlue); // straight left edge
    EXPECT_EQ(r.Get(20, 5), kBlue); // straight top edge
    EXPECT_EQ(r.Get(5, 5), kBlack); // the rounded corner is cut
    EXPECT_EQ(r.Get(20, 26), kBlack);
}

TEST(Font, TextInksTheBoxItMeasuresWhereItIsAnchored)
{
    Canvas c(200, 60, kBlack);
    Font::Regular().Draw(c, "Loading", 20, 10, 24, kWhite);
    const Ink ink = FindInk(c);
    ASSERT_GT(ink.count, 100);
    const int width = int(Font::Regular().Measure("Loading", 24));
    EXPECT_TRUE(ink.x0 >= 20 && ink.x0 <= 24) << ink.x0;
    EXPECT_TRUE(ink.x1 > 20 + width - 8 && ink.x1 <= 20 + width + 1) << ink.x1;
    // The capital's top sits near the top of the line, not far below it.
    EXPECT_TRUE(ink.y0 >= 10 && ink.y0 <= 10 + 8) << ink.y0;
    EXPECT_LE(ink.y1, 10 + 24 + 2);

    // Alignment anchors the line at its end or its middle.
    Canvas right(300, 40, kBlack), centre(300, 40, kBlack);
    Font::Bold().Draw(right, "THE VANTOREL", 280, 5, 20, kWhite, datagen::Align::Right);
    Font::Bold().Draw(centre, "THE VANTOREL", 150, 5, 20, kWhite, datagen::Align::Center);
    EXPECT_TRUE(FindInk(right).x1 >= 274 && FindInk(right).x1 <= 281) << FindInk(right).x1;
    EXPECT_NEAR((FindInk(centre).x0 + FindInk(centre).x1) / 2.0, 150.0, 3.0);
}

TEST(Font, AccentsAreDecodedAndDrawnAndBadInputIsRefused)
{
    Canvas plain(60, 60, kBlack), accented(60, 60, kBlack);
    Font::Regular().Draw(plain, "e", 10, 5, 40, kWhite);
    Font::Regular().Draw(accented, "\xC3\xA9", 10, 5, 40, kWhite); // é
    ASSERT_GT(FindInk(plain).count, 0);
    EXPECT_LT(FindInk(accented).y0, FindInk(plain).y0 - 4) << "the accent reaches well above the letter";

    EXPECT_EQ(datagen::DecodeUtf8("a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80"), (std::u32string{U'a', 0xF1, 0x20AC, 0x1F600}));
    // Malformed input never reads past the end and never drops the next letter.
    EXPECT_EQ(datagen::DecodeUtf8("\xE2\x82"), (std::u32string{0xFFFD, 0xFFFD}));
    EXPECT_EQ(datagen::DecodeUtf8("\xC3" "A"), (std::u32string{0xFFFD, U'A'}));
    EXPECT_EQ(datagen::DecodeUtf8("\xFF" "b"), (std::u32string{0xFFFD, U'b'}));

    EXPECT_THROW(Font("/nonexistent/font.ttf"), std::runtime_error);
    EXPECT_THROW(Font("/dev/null"), std::runtime_error);
}
