// Fonts: face choice, text decoding and layout without a device; then on a real
// one, where text lands, in which colour, what DT_CALCRECT measures, and that
// the game's accented and single-byte characters show.
#include "d3d_fixture.h"
#include "platform/d3dx9font_text.h"

#include <algorithm>
#include <cmath>

using namespace d3dtest;
using namespace platform::fonttext;

namespace {

std::string FontDir() {
    std::string path = VANTOREL_FONT;
    return path.substr(0, path.rfind('/'));
}

TEST(FontText, DecodesUtf8AndTheGamesSingleByteText) {
    EXPECT_EQ(DecodeGameText("\xC2\xBA \xC3\xB1", -1), U"\u00BA \u00F1");
    // The Windows game's own strings: one byte per character, Windows-1252.
    EXPECT_EQ(DecodeGameText("P\xC9TATE", -1), U"P\u00C9TATE");
    EXPECT_EQ(DecodeGameText("\x80\x93\x81", -1), U"\u20AC\u201C\u0081");
    // Sequences that are not UTF-8 fall back byte by byte: overlong, surrogate,
    // cut short by the end or by the count.
    EXPECT_EQ(DecodeGameText("\xC0\x80", -1), U"\u00C0\u20AC");
    EXPECT_EQ(DecodeGameText("\xED\xA0\x80", -1), U"\u00ED\u00A0\u20AC");
    EXPECT_EQ(DecodeGameText("a\xC3", -1), U"a\u00C3");
    EXPECT_EQ(DecodeGameText("\xC3\xB1", 1), U"\u00C3");
    EXPECT_EQ(DecodeGameText("abc\0def", 7), U"abc");
    EXPECT_EQ(DecodeGameText(nullptr, -1), U"");
}

TEST(FontText, ChoosesDejaVuFilesByFaceAndWeight) {
    const std::string dir = FontDir() + "/";
    EXPECT_EQ(ChooseFontFile("Arial", 400, FontDir()), dir + "DejaVuSans.ttf");
    EXPECT_EQ(ChooseFontFile("No Such Face", 700, FontDir()), dir + "DejaVuSans-Bold.ttf");
    EXPECT_EQ(ChooseFontFile("dejavu sans mono", 800, FontDir()), dir + "DejaVuSansMono-Bold.ttf");
    EXPECT_EQ(ChooseFontFile("Courier New", 400, FontDir()), dir + "DejaVuSansMono.ttf");
    EXPECT_EQ(ChooseFontFile("Arial", 400, "/no/such/folder"), "");
    // Only the faces drawn with a file of their own are known by name.
    for (const char* known : {"DejaVu Sans", "dejavu serif condensed", "Courier New", "", " "})
        EXPECT_TRUE(IsKnownFace(known)) << known;
    for (const char* stood_in : {"Arial", "DejaVu Sans Bold", "Comic Sans"})
        EXPECT_FALSE(IsKnownFace(stood_in)) << stood_in;
}

class FontLayout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(face.Load(FontDir() + "/DejaVuSans.ttf", 20, 0)); }

    int Width(const std::u32string& s) {
        float w = 0;
        for (char32_t c : s) w += face.Advance(c);
        return static_cast<int>(std::ceil(w - 1e-3f));
    }

    Face face;
};

TEST_F(FontLayout, SizesLikeCreateFont) {
    EXPECT_GT(face.Advance(U'\uFFFF'), 0.0f) << "a missing character still takes room";
    Face em;
    ASSERT_TRUE(em.Load(FontDir() + "/DejaVuSans.ttf", -20, 0));
    EXPECT_GT(em.CellHeight(), 20) << "a negative height is the em, smaller than the cell";
    EXPECT_FALSE(Face().Load("/no/such/font.ttf", 20, 0));
    EXPECT_LT(face.Rasterize(U'\u00F1').offsetY, -face.Ascent() / 2) << "the tilde reaches well above the baseline";
}

TEST_F(FontLayout, MeasuresLinesBreaksAndCentresBlocks) {
    RECT r{10, 20, 10, 20};
    TextLayout one = LayoutText(U"Hola mundo", face, r, 0);
    EXPECT_EQ(one.width, Width(U"Hola mundo"));
    EXPECT_EQ(one.height, 20);
    ASSERT_EQ(one.chars.size(), 9u) << "the space leaves no glyph";
    EXPECT_EQ(one.chars[4].c, U'm');
    EXPECT_EQ(one.chars[0].penX, 10);
    EXPECT_EQ(one.chars[0].baselineY, 20 + face.Ascent());
    EXPECT_EQ(LayoutText(U"", face, r, 0).width, 0);

    TextLayout two = LayoutText(U"ab\r\ncdef\nx", face, r, 0);
    EXPECT_EQ(two.height, 60);
    EXPECT_EQ(two.width, Width(U"cdef"));
    EXPECT_EQ(two.chars[2].penX, 10) << "each line starts at the left edge";
    EXPECT_EQ(two.chars[2].baselineY, 40 + face.Ascent());

    // Two lines centre as a block, each line on its own width.
    r = RECT{100, 50, 300, 150};
    TextLayout block = LayoutText(U"ab\nabcd", face, r, kAlignCenter | kAlignVCenter);
    EXPECT_EQ(block.top, 50 + (100 - 40) / 2);
    EXPECT_EQ(block.chars[0].baselineY, block.top + face.Ascent());
    EXPECT_EQ(block.chars[0].penX, 100 + (200 - Width(U"ab")) / 2);
    EXPECT_EQ(block.chars[2].penX, 100 + (200 - Width(U"abcd")) / 2);
}

class FontTest : public D3DTest {
protected:
    ID3DXFont* MakeFont(const char* face, UINT weight = FW_BOLD) {
        ID3DXFont* font = nullptr;
        EXPECT_TRUE(SUCCEEDED(D3DXCreateFontA(device, 20, 0, weight, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face, &font)))
            << face;
        fonts.emplace_back(font);
        return font;
    }

    // The pixels that differ from black: how many, their bounding box, and how
    // many are exactly `color`, and how many have any blue.
    struct Ink {
        int count = 0, left = kWidth, top = kHeight, right = -1, bottom = -1, exact = 0, blue = 0;
    };
    static Ink InkOf(const std::vector<D3DCOLOR>& pixels, D3DCOLOR color = 0) {
        Ink ink;
        for (int y = 0; y < static_cast<int>(kHeight); ++y)
            for (int x = 0; x < static_cast<int>(kWidth); ++x) {
                const D3DCOLOR c = pixels[static_cast<size_t>(y) * kWidth + x] & 0xFFFFFFu;
                if (c == 0) continue;
                ++ink.count;
                ink.exact += c == (color & 0xFFFFFFu);
                ink.blue += Channel(c, 0) != 0;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        return ink;
    }
    std::vector<D3DCOLOR> Drawn(ID3DXFont* font, const char* text, RECT rect, DWORD format,
                                D3DCOLOR color = kWhite, INT* height = nullptr) {
        Clear(kBlack);
        device->BeginScene();
        const INT h = font->DrawTextA(nullptr, text, -1, &rect, format, color);
        device->EndScene();
        if (height) *height = h;
        return Pixels();
    }

    std::vector<Ref<ID3DXFont>> fonts;
};

TEST_F(FontTest, TextLandsInItsRectangleInItsColourLeavingTheStatesAlone) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    Ref<IDirect3DTexture9> texture = Texture(1, 1, {0xFF123456});
    device->SetTexture(0, texture.get());
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetFVF(D3DFVF_XYZ);

    INT height = 0;
    const Ink ink = InkOf(Drawn(font, "HIH", RECT{8, 20, 60, 44}, DT_LEFT | DT_TOP, 0xFFFFFF00, &height), 0xFFFFFF00);
    EXPECT_EQ(height, 20);
    EXPECT_GT(ink.count, 40);
    EXPECT_GT(ink.exact, 20) << "the stems are solid yellow";
    EXPECT_EQ(ink.blue, 0) << "nothing but yellow and its blends over black";
    EXPECT_GE(ink.left, 8);
    EXPECT_LE(ink.left, 11);
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.bottom, 40);

    DWORD value = 0;
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_TRUE));
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    device->GetFVF(&value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DFVF_XYZ));
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(Ref<IDirect3DBaseTexture9>(bound).get(), texture.get());
    device->SetTexture(0, nullptr);
}

TEST_F(FontTest, CalcRectMeasuresWithoutDrawingAndClipping) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    RECT rect{21, 16, 0, 0};
    EXPECT_EQ(font->DrawTextA(nullptr, "Hola", -1, &rect, DT_CALCRECT, kWhite), 20);
    EXPECT_EQ(rect.left, 21);
    EXPECT_EQ(rect.top, 16);
    EXPECT_EQ(rect.bottom, 36);
    EXPECT_GT(rect.right, 21 + 30);
    EXPECT_EQ(InkOf(Pixels()).count, 0);

    // Drawing in the measured rectangle loses nothing to clipping.
    const Ink measured = InkOf(Drawn(font, "Hola", rect, 0));
    EXPECT_GT(measured.count, 0);
    EXPECT_EQ(measured.count, InkOf(Drawn(font, "Hola", rect, DT_NOCLIP)).count);

    // A narrower one clips, unless told not to.
    const RECT narrow{4, 4, 20, 30};
    const Ink clipped = InkOf(Drawn(font, "WWWW", narrow, 0));
    EXPECT_GT(clipped.count, 0);
    EXPECT_LT(clipped.right, 20);
    EXPECT_GT(InkOf(Drawn(font, "WWWW", narrow, DT_NOCLIP)).right, 40);

    RECT none{0, 0, 0, 0};
    EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &none, 0, 0), 0);
}

TEST_F(FontTest, AccentedAndSingleByteCharactersShow) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    const RECT rect{10, 10, 60, 40};
    const std::vector<D3DCOLOR> ordinal = Drawn(font, "\xC2\xBA", rect, 0);
    const std::vector<D3DCOLOR> enye = Drawn(font, "\xC3\xB1", rect, 0);
    EXPECT_GT(InkOf(ordinal).count, 5);
    const std::vector<D3DCOLOR> n = Drawn(font, "n", rect, 0);
    EXPECT_GT(InkOf(enye).count, InkOf(n).count) << "the tilde is drawn";
    EXPECT_NE(Drawn(MakeFont("Arial", FW_NORMAL), "n", rect, 0), n) << "weight 700 is the bold face";
    // The same characters as the game's single-byte strings.
    EXPECT_EQ(Drawn(font, "\xBA", rect, 0), ordinal);
    EXPECT_EQ(Drawn(font, "\xF1", rect, 0), enye);
}

} // namespace
