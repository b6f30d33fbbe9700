#include <algorithm>
#include <array>
#include <climits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/Canvas.h"
#include "datagen/Font.h"

using datagen::Canvas;
using datagen::Font;
using datagen::Rgba;

const Rgba kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

// Count, left, top, right and bottom of the pixels that are not black.
static std::array<int, 5> Ink(const Canvas& c)
{
    std::array<int, 5> ink{0, INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Get(x, y) != kBlack)
                ink = {ink[0] + 1, std::min(ink[1], x), std::min(ink[2], y), std::max(ink[3], x), std::max(ink[4], y)};
    return ink;
}

// Drawing is clipped instead of wrapping; blends compose source-over, gradients run end to end
// and shapes are filled inside with soft edges.
TEST(Canvas, ClipsBlendsAndFillsAsDrawn)
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

    Canvas b(3, 1, kBlack);
    b.Blend(0, 0, Rgba{255, 255, 255, 128});
    EXPECT_NEAR(b.Get(0, 0).r, 128, 1);
    EXPECT_EQ(b.Get(0, 0).a, 255);
    b.Blend(1, 0, kRed, 0.25f);
    EXPECT_NEAR(b.Get(1, 0).r, 64, 1);
    // Onto a transparent pixel the source keeps its colour and brings its alpha.
    b.Put(2, 0, Rgba{0, 0, 0, 0});
    b.Blend(2, 0, Rgba{200, 100, 50, 100});
    EXPECT_EQ(b.Get(2, 0), (Rgba{200, 100, 50, 100}));

    Canvas g(4, 11, kBlack);
    g.VerticalGradient(0, 0, 4, 11, kBlack, Rgba{200, 100, 0, 255});
    EXPECT_EQ(g.Get(3, 10), (Rgba{200, 100, 0, 255}));
    EXPECT_EQ(g.Get(2, 5), (Rgba{100, 50, 0, 255}));

    // Edge pixels are blended by coverage, so the summed coverage is the area.
    Canvas e(40, 40, kBlack);
    e.FillEllipse(20, 20, 10, 5, kRed);
    double covered = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 40; ++y)
            covered += e.Get(x, y).r / 255.0;
    EXPECT_NEAR(covered, 3.14159 * 10 * 5, 2.0);

    Canvas r(40, 40, kBlack);
    r.FillRoundedRect(5, 5, 30, 20, 8, kBlue);
    EXPECT_EQ(r.Get(5, 15), kBlue); // straight left edge
    EXPECT_EQ(r.Get(5, 5), kBlack); // the rounded corner is cut
}

// Text inks the box it measures where it is anchored, accents included;
// malformed text and files that are not fonts are refused.
TEST(Font, TextInksWhereAnchoredAccentsShowAndBadInputIsRefused)
{
    Canvas c(200, 60, kBlack);
    Font::Regular().Draw(c, "Loading", 20, 10, 24, kWhite);
    const auto [count, x0, y0, x1, y1] = Ink(c);
    ASSERT_GT(count, 100);
    const int width = int(Font::Regular().Measure("Loading", 24));
    EXPECT_NEAR(x0, 22, 2);
    EXPECT_NEAR(x1, 20 + width - 3, 4);
    EXPECT_NEAR(y0, 14, 4) << "the capital's top sits near the top of the line";
    EXPECT_LE(y1, 10 + 24 + 2);

    // Alignment anchors the line at its end or its middle.
    Canvas right(300, 40, kBlack), centre(300, 40, kBlack);
    Font::Bold().Draw(right, "THE VANTOREL", 280, 5, 20, kWhite, datagen::Align::Right);
    Font::Bold().Draw(centre, "THE VANTOREL", 150, 5, 20, kWhite, datagen::Align::Center);
    EXPECT_NEAR(Ink(right)[3], 277.5, 3.5);
    EXPECT_NEAR((Ink(centre)[1] + Ink(centre)[3]) / 2.0, 150.0, 3.0);

    Canvas plain(60, 60, kBlack), accented(60, 60, kBlack);
    Font::Regular().Draw(plain, "e", 10, 5, 40, kWhite);
    Font::Regular().Draw(accented, "\xC3\xA9", 10, 5, 40, kWhite); // é
    ASSERT_GT(Ink(plain)[0], 0);
    EXPECT_LT(Ink(accented)[2], Ink(plain)[2] - 4) << "the accent reaches well above the letter";

    EXPECT_EQ(datagen::DecodeUtf8("a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80"), (std::u32string{U'a', 0xF1, 0x20AC, 0x1F600}));
    // Malformed input never reads past the end and never drops the next letter.
    EXPECT_EQ(datagen::DecodeUtf8("\xE2\x82"), (std::u32string{0xFFFD, 0xFFFD}));
    EXPECT_EQ(datagen::DecodeUtf8("\xC3" "A"), (std::u32string{0xFFFD, U'A'}));
    EXPECT_EQ(datagen::DecodeUtf8("\xFF" "b"), (std::u32string{0xFFFD, U'b'}));

    EXPECT_THROW(Font("/nonexistent/font.ttf"), std::runtime_error);
    EXPECT_THROW(Font("/dev/null"), std::runtime_error);
}
