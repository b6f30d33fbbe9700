#include <algorithm>
#include <climits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/Font.h"

using datagen::Align;
using datagen::Canvas;
using datagen::Font;
using datagen::Rgba;

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kWhite{255, 255, 255, 255};

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

TEST(Font, TextInksTheBoxItMeasuresInTheColourGiven)
{
    const Font& font = Font::Regular();
    Canvas c(200, 60, kBlack);
    font.Draw(c, "Loading", 20, 10, 24, kWhite);
    const Ink ink = FindInk(c);
    ASSERT_GT(ink.count, 100);
    const float width = font.Measure("Loading", 24);
    EXPECT_GT(width, 60.0f);
    EXPECT_NEAR(font.Measure("Loading", 48), 2.0f * width, 1.0f);
    EXPECT_GE(ink.x0, 20);
    EXPECT_LE(ink.x0, 24);
    EXPECT_LE(ink.x1, 20 + int(width) + 1);
    EXPECT_GT(ink.x1, 20 + int(width) - 8);
    // The capital's top sits near the top of the line, not far below it.
    EXPECT_GE(ink.y0, 10);
    EXPECT_LE(ink.y0, 10 + 8);
    EXPECT_LE(ink.y1, 10 + 24 + 2);
    for (int y = ink.y0; y <= ink.y1; ++y)
        for (int x = ink.x0; x <= ink.x1; ++x) {
            const Rgba p = c.Get(x, y);
            EXPECT_TRUE(p.r == p.g && p.g == p.b) << x << "," << y;
        }

    // Alignment anchors the line at its end or its middle.
    Canvas right(300, 40, kBlack), centre(300, 40, kBlack);
    Font::Bold().Draw(right, "THE VANTOREL", 280, 5, 20, kWhite, Align::Right);
    Font::Bold().Draw(centre, "THE VANTOREL", 150, 5, 20, kWhite, Align::Center);
    EXPECT_LE(FindInk(right).x1, 281);
    EXPECT_GE(FindInk(right).x1, 274);
    EXPECT_NEAR((FindInk(centre).x0 + FindInk(centre).x1) / 2.0, 150.0, 3.0);
}

TEST(Font, AccentedLettersAreDecodedAndDrawn)
{
    Canvas plain(60, 60, kBlack), accented(60, 60, kBlack);
    Font::Regular().Draw(plain, "e", 10, 5, 40, kWhite);
    Font::Regular().Draw(accented, "\xC3\xA9", 10, 5, 40, kWhite); // é
    const Ink e = FindInk(plain), eAcute = FindInk(accented);
    ASSERT_GT(e.count, 0);
    EXPECT_LT(eAcute.y0, e.y0 - 4) << "the accent reaches well above the letter";

    EXPECT_EQ(datagen::DecodeUtf8("a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80"), (std::u32string{U'a', 0xF1, 0x20AC, 0x1F600}));
    // Malformed input never reads past the end and never drops the next letter.
    EXPECT_EQ(datagen::DecodeUtf8("\xE2\x82"), (std::u32string{0xFFFD, 0xFFFD}));
    EXPECT_EQ(datagen::DecodeUtf8("\xC3" "A"), (std::u32string{0xFFFD, U'A'}));
    EXPECT_EQ(datagen::DecodeUtf8("\xFF" "b"), (std::u32string{0xFFFD, U'b'}));
}

TEST(Font, MissingOrBogusFontFilesThrow)
{
    EXPECT_THROW(Font("/nonexistent/font.ttf"), std::runtime_error);
    EXPECT_THROW(Font("/dev/null"), std::runtime_error);
}
