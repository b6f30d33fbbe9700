// Font choice, text decoding and DrawText layout, without a device.
#include "platform/d3dx9font_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace platform::fonttext;

std::string FontDir() {
    std::string path = VANTOREL_FONT;
    return path.substr(0, path.rfind('/'));
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

TEST(FontText, DecodesUtf8AndTheGamesSingleByteText) {
    EXPECT_EQ(DecodeGameText("\xC2\xBA \xC3\xB1", -1), U"\u00BA \u00F1");
    // The Windows game's own strings: one byte per character, Windows-1252.
    EXPECT_EQ(DecodeGameText("P\xC9TATE", -1), U"P\u00C9TATE");
    EXPECT_EQ(DecodeGameText("\x80\x93\x81", -1), U"\u20AC\u201C\u0081");
    // Sequences that are not UTF-8 fall back byte by byte: overlong, surrogate,
    // beyond U+10FFFF, cut short by the end or by the count.
    EXPECT_EQ(DecodeGameText("\xC0\x80", -1), U"\u00C0\u20AC");
    EXPECT_EQ(DecodeGameText("\xED\xA0\x80", -1), U"\u00ED\u00A0\u20AC");
    EXPECT_EQ(DecodeGameText("a\xC3", -1), U"a\u00C3");
    EXPECT_EQ(DecodeGameText("\xC3\xB1", 1), U"\u00C3");
    EXPECT_EQ(DecodeGameText("abc\0def", 7), U"abc");
    EXPECT_EQ(DecodeGameText(nullptr, -1), U"");
}

TEST(FontText, ChoosesDejaVuFilesByFaceAndWeight) {
    const std::string dir = FontDir();
    EXPECT_EQ(FileName(ChooseFontFile("Arial", 400, dir)), "DejaVuSans.ttf");
    EXPECT_EQ(FileName(ChooseFontFile("Verdana", 700, dir)), "DejaVuSans-Bold.ttf");
    EXPECT_EQ(FileName(ChooseFontFile("dejavu sans mono", 800, dir)), "DejaVuSansMono-Bold.ttf");
    EXPECT_EQ(FileName(ChooseFontFile("Courier New", 400, dir)), "DejaVuSansMono.ttf");
    EXPECT_EQ(ChooseFontFile("Arial", 400, "/no/such/folder"), "");
}

class FontLayout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(face.Load(FontDir() + "/DejaVuSans.ttf", 20, 0)); }

    int Width(const std::u32string& s) {
        float w = 0;
        for (char32_t c : s) w += face.Advance(c);
        return static_cast<int>(std::ceil(w - 1e-3f));
    }
    static std::u32string Visible(const TextLayout& l) {
        std::u32string s;
        for (const auto& c : l.chars) s += c.c;
        return s;
    }

    Face face;
};

TEST_F(FontLayout, SizesLikeCreateFont) {
    EXPECT_EQ(face.CellHeight(), 20);
    EXPECT_GT(face.Advance(U'\uFFFF'), 0.0f) << "a missing character still takes room";

    Face em;
    ASSERT_TRUE(em.Load(FontDir() + "/DejaVuSans.ttf", -20, 0));
    EXPECT_GT(em.CellHeight(), 20) << "a negative height is the em, smaller than the cell";

    EXPECT_FALSE(Face().Load("/no/such/font.ttf", 20, 0));
    GlyphBitmap g = face.Rasterize(U'\u00F1');
    EXPECT_GT(g.width, 0);
    EXPECT_LT(g.offsetY, -face.Ascent() / 2) << "the tilde reaches well above the baseline";
    int ink = 0;
    for (unsigned char c : g.coverage) ink += c;
    EXPECT_GT(ink, 0);
    EXPECT_EQ(face.Rasterize(U' ').width, 0);
}

TEST_F(FontLayout, MeasuresLinesAndBreaks) {
    RECT r{10, 20, 10, 20};
    TextLayout one = LayoutText(U"Hola mundo", face, r, 0);
    EXPECT_EQ(one.width, Width(U"Hola mundo"));
    EXPECT_EQ(one.height, 20);
    EXPECT_EQ(Visible(one), U"Holamundo");
    EXPECT_EQ(one.chars[0].penX, 10);
    EXPECT_EQ(one.chars[0].baselineY, 20 + face.Ascent());

    TextLayout two = LayoutText(U"ab\r\ncdef\nx", face, r, 0);
    EXPECT_EQ(two.height, 60);
    EXPECT_EQ(two.width, Width(U"cdef"));
    EXPECT_EQ(two.chars[2].penX, 10) << "each line starts at the left edge";
    EXPECT_EQ(two.chars[2].baselineY, 40 + face.Ascent());

    EXPECT_EQ(LayoutText(U"", face, r, 0).width, 0);
}

TEST_F(FontLayout, CentresInTheRectangle) {
    RECT r{100, 50, 300, 150};
    TextLayout centre = LayoutText(U"Vantorel", face, r, kAlignCenter | kAlignVCenter);
    EXPECT_EQ(centre.chars[0].penX, 100 + (200 - Width(U"Vantorel")) / 2);
    EXPECT_EQ(centre.top, 50 + (100 - 20) / 2);
    EXPECT_EQ(centre.chars[0].baselineY, centre.top + face.Ascent());
    // Two lines centre as a block, each line on its own width.
    TextLayout block = LayoutText(U"ab\nabcd", face, r, kAlignCenter | kAlignVCenter);
    EXPECT_EQ(block.top, 50 + (100 - 40) / 2);
    EXPECT_EQ(block.chars[0].penX, 100 + (200 - Width(U"ab")) / 2);
    EXPECT_EQ(block.chars[2].penX, 100 + (200 - Width(U"abcd")) / 2);
}

} // namespace
