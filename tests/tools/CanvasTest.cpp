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

TEST(Canvas, DrawingIsClippedToTheCanvasInsteadOfWrapping)
{
    Canvas c(5, 4, Rgba{1, 2, 3, 4});
    c.Put(-1, 0, kRed);
    c.Put(5, 0, kRed);
    c.Put(0, 4, kRed);
    c.Blend(0, -1, kRed);
    EXPECT_EQ(CountColour(c, Rgba{1, 2, 3, 4}), 20);
    EXPECT_EQ(c.Get(7, 7), (Rgba{0, 0, 0, 0}));
    EXPECT_THROW(Canvas(0, 10), std::invalid_argument);

    Canvas r(10, 8, kBlack);
    r.FillRect(2, 3, 4, 2, kRed);
    EXPECT_EQ(CountColour(r, kRed), 8);
    EXPECT_EQ(r.Get(5, 4), kRed);
    r.FillRect(8, 0, 5, 1, kBlue);
    EXPECT_EQ(CountColour(r, kBlue), 2);
    EXPECT_EQ(r.Get(0, 1), kBlack);

    Canvas s(10, 10, kBlack);
    s.StrokeRect(1, 1, 8, 8, 2, kRed);
    EXPECT_EQ(s.Get(8, 8), kRed);
    EXPECT_EQ(s.Get(3, 3), kBlack);
    EXPECT_EQ(CountColour(s, kRed), 64 - 16);
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
    EXPECT_EQ(datagen::Mix(Rgba{0, 0, 0, 0}, Rgba{100, 200, 50, 255}, 0.5f), (Rgba{50, 100, 25, 128}));
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
    EXPECT_EQ(r.Get(5, 15), kBlue);  // straight left edge
    EXPECT_EQ(r.Get(20, 5), kBlue);  // straight top edge
    EXPECT_EQ(r.Get(5, 5), kBlack);  // the rounded corner is cut
    EXPECT_EQ(r.Get(20, 26), kBlack);
}
