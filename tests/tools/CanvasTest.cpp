#include <gtest/gtest.h>

#include "datagen/Canvas.h"

using datagen::Canvas;
using datagen::Rgba;

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};

int CountColour(const Canvas& c, Rgba colour)
{
    int n = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            n += c.Get(x, y) == colour;
    return n;
}

} // namespace

TEST(Canvas, StartsFilledAndIgnoresPixelsOutside)
{
    Canvas c(5, 4, Rgba{1, 2, 3, 4});
    EXPECT_EQ(c.Pixels().size(), 5u * 4u * 4u);
    EXPECT_EQ(c.Get(4, 3), (Rgba{1, 2, 3, 4}));
    c.Put(-1, 0, kRed);
    c.Put(5, 0, kRed);
    c.Put(0, 4, kRed);
    c.Blend(0, -1, kRed);
    EXPECT_EQ(CountColour(c, Rgba{1, 2, 3, 4}), 20);
    EXPECT_EQ(c.Get(7, 7), (Rgba{0, 0, 0, 0}));
    EXPECT_THROW(Canvas(0, 10), std::invalid_argument);
    EXPECT_THROW(Canvas(10, -1), std::invalid_argument);
}

TEST(Canvas, BlendComposesSourceOver)
{
    Canvas c(3, 1, kBlack);
    c.Blend(0, 0, Rgba{255, 255, 255, 128});
    const Rgba half = c.Get(0, 0);
    EXPECT_NEAR(half.r, 128, 1);
    EXPECT_EQ(half.a, 255);

    c.Blend(1, 0, kRed, 0.25f);
    EXPECT_NEAR(c.Get(1, 0).r, 64, 1);
    EXPECT_EQ(c.Get(1, 0).g, 0);

    // Onto a transparent pixel the source keeps its colour and brings its alpha.
    c.Put(2, 0, Rgba{0, 0, 0, 0});
    c.Blend(2, 0, Rgba{200, 100, 50, 100});
    EXPECT_EQ(c.Get(2, 0), (Rgba{200, 100, 50, 100}));
}

TEST(Canvas, RectanglesCoverExactlyTheirArea)
{
    Canvas c(10, 8, kBlack);
    c.FillRect(2, 3, 4, 2, kRed);
    EXPECT_EQ(CountColour(c, kRed), 8);
    EXPECT_EQ(c.Get(2, 3), kRed);
    EXPECT_EQ(c.Get(5, 4), kRed);
    EXPECT_EQ(c.Get(6, 4), kBlack);
    EXPECT_EQ(c.Get(2, 5), kBlack);

    // Clipped at the edges instead of wrapping into the next row.
    c.FillRect(8, 0, 5, 1, kBlue);
    EXPECT_EQ(CountColour(c, kBlue), 2);
    EXPECT_EQ(c.Get(0, 1), kBlack);

    Canvas s(10, 10, kBlack);
    s.StrokeRect(1, 1, 8, 8, 2, kRed);
    EXPECT_EQ(s.Get(1, 1), kRed);
    EXPECT_EQ(s.Get(2, 5), kRed);
    EXPECT_EQ(s.Get(8, 8), kRed);
    EXPECT_EQ(s.Get(3, 3), kBlack);
    EXPECT_EQ(s.Get(6, 6), kBlack);
    EXPECT_EQ(s.Get(0, 0), kBlack);
    EXPECT_EQ(CountColour(s, kRed), 64 - 16);
}

TEST(Canvas, GradientsRunFromEndToEnd)
{
    Canvas c(4, 11, kBlack);
    c.VerticalGradient(0, 0, 4, 11, Rgba{0, 0, 0, 255}, Rgba{200, 100, 0, 255});
    EXPECT_EQ(c.Get(0, 0), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(c.Get(3, 10), (Rgba{200, 100, 0, 255}));
    EXPECT_EQ(c.Get(2, 5), (Rgba{100, 50, 0, 255}));
    for (int y = 1; y < 11; ++y)
        EXPECT_GE(c.Get(0, y).r, c.Get(0, y - 1).r);

    Canvas h(11, 2, kBlack);
    h.HorizontalGradient(0, 0, 11, 2, kRed, kBlue);
    EXPECT_EQ(h.Get(0, 1), kRed);
    EXPECT_EQ(h.Get(10, 0), kBlue);
    EXPECT_EQ(h.Get(5, 1), (Rgba{128, 0, 128, 255}));
}

TEST(Canvas, VignetteDarkensCornersOnly)
{
    Canvas c(21, 21, Rgba{200, 200, 200, 255});
    c.Vignette(1.0f);
    EXPECT_EQ(c.Get(10, 10).r, 200);
    EXPECT_LE(c.Get(0, 0).r, 1);
    EXPECT_GT(c.Get(10, 0).r, c.Get(0, 0).r);
    EXPECT_LT(c.Get(10, 0).r, 200);
    EXPECT_EQ(c.Get(0, 0).a, 255);
}

TEST(Canvas, EllipsesAndRoundedRectsAreFilledInsideWithSoftEdges)
{
    Canvas c(40, 40, kBlack);
    c.FillEllipse(20, 20, 10, 5, kRed);
    EXPECT_EQ(c.Get(20, 20), kRed);
    EXPECT_EQ(c.Get(12, 19), kRed);
    EXPECT_EQ(c.Get(20, 26), kBlack); // outside the short axis
    EXPECT_EQ(c.Get(29, 24), kBlack); // beside the corner of the box
    // Edge pixels are blended by how much of them the shape covers, so the
    // summed coverage is the ellipse's area.
    int soft = 0;
    double covered = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 40; ++y) {
            const Rgba p = c.Get(x, y);
            soft += p.r > 0 && p.r < 255;
            covered += p.r / 255.0;
        }
    EXPECT_GT(soft, 10);
    EXPECT_NEAR(covered, 3.14159 * 10 * 5, 2.0);

    Canvas r(40, 40, kBlack);
    r.FillRoundedRect(5, 5, 30, 20, 8, kBlue);
    EXPECT_EQ(r.Get(20, 15), kBlue);
    EXPECT_EQ(r.Get(5, 15), kBlue);   // straight left edge
    EXPECT_EQ(r.Get(20, 5), kBlue);   // straight top edge
    EXPECT_EQ(r.Get(5, 5), kBlack);   // the rounded corner is cut
    EXPECT_EQ(r.Get(34, 24), kBlack);
    EXPECT_EQ(r.Get(20, 26), kBlack);
}

TEST(Canvas, MixAndRgbPixels)
{
    EXPECT_EQ(datagen::Mix(kRed, kBlue, 0.0f), kRed);
    EXPECT_EQ(datagen::Mix(kRed, kBlue, 1.0f), kBlue);
    EXPECT_EQ(datagen::Mix(kRed, kBlue, 7.0f), kBlue);
    EXPECT_EQ(datagen::Mix(Rgba{0, 0, 0, 0}, Rgba{100, 200, 50, 255}, 0.5f), (Rgba{50, 100, 25, 128}));

    Canvas c(2, 1, Rgba{1, 2, 3, 4});
    c.Put(1, 0, Rgba{5, 6, 7, 8});
    EXPECT_EQ(c.RgbPixels(), (std::vector<std::uint8_t>{1, 2, 3, 5, 6, 7}));
}
