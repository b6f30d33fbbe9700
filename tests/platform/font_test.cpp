// Fonts on a real device: where text lands, in which colour, what DT_CALCRECT
// measures, and that the game's accented and single-byte characters show.
// Where each line and character goes is checked exactly without a device.
#include "d3d_fixture.h"

#include <algorithm>

using namespace d3dtest;

namespace {

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

    // Bounding box of the pixels that differ from black, and how many there are.
    struct Ink {
        int count = 0, left = kWidth, top = kHeight, right = -1, bottom = -1;
        int exact = 0; // pixels of exactly the colour asked for
    };
    static Ink InkOf(const std::vector<D3DCOLOR>& pixels, D3DCOLOR color = 0) {
        Ink ink;
        for (int y = 0; y < static_cast<int>(kHeight); ++y)
            for (int x = 0; x < static_cast<int>(kWidth); ++x) {
                const D3DCOLOR c = pixels[static_cast<size_t>(y) * kWidth + x] & 0xFFFFFFu;
                if (c == 0) continue;
                ++ink.count;
                ink.exact += c == (color & 0xFFFFFFu);
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

TEST_F(FontTest, TextLandsInItsRectangleInItsColour) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    INT height = 0;
    const std::vector<D3DCOLOR> pixels = Drawn(font, "HIH", RECT{8, 20, 60, 44}, DT_LEFT | DT_TOP, 0xFFFFFF00, &height);
    EXPECT_EQ(height, 20);
    const Ink ink = InkOf(pixels, 0xFFFFFF00);
    EXPECT_GT(ink.count, 40);
    EXPECT_GT(ink.exact, 20) << "the stems are solid yellow";
    EXPECT_GE(ink.left, 8);
    EXPECT_LE(ink.left, 11);
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.bottom, 40);
    // Nothing but yellow and its blends over black: no stray channel.
    for (D3DCOLOR c : pixels) EXPECT_EQ(Blue(c), 0);

    // Centred both ways, the same text moves to the middle; the height then
    // runs from the rectangle's top.
    const Ink moved = InkOf(Drawn(font, "HIH", RECT{8, 20, 60, 44}, DT_CENTER | DT_VCENTER, kWhite, &height));
    EXPECT_EQ(height, 22);
    EXPECT_NEAR(moved.left - 8, 59 - moved.right, 2);
    EXPECT_EQ(moved.top, ink.top + 2);
    EXPECT_EQ(moved.count, ink.count);
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
    EXPECT_GT(InkOf(enye).count, InkOf(Drawn(font, "n", rect, 0)).count) << "the tilde is drawn";
    // The same characters as the game's single-byte strings.
    EXPECT_EQ(Drawn(font, "\xBA", rect, 0), ordinal);
    EXPECT_EQ(Drawn(font, "\xF1", rect, 0), enye);
}

TEST_F(FontTest, FacesNotInstalledFallBackToDejaVuSans) {
    ID3DXFont* missing = MakeFont("No Such Face");
    ID3DXFont* dejavu = MakeFont("DejaVu Sans");
    ID3DXFont* regular = MakeFont("DejaVu Sans", FW_NORMAL);
    ASSERT_TRUE(missing && dejavu && regular);
    const RECT rect{2, 2, 62, 40};
    const std::vector<D3DCOLOR> fallback = Drawn(missing, "Rag", rect, 0);
    EXPECT_GT(InkOf(fallback).count, 0);
    EXPECT_EQ(fallback, Drawn(dejavu, "Rag", rect, 0));
    EXPECT_NE(fallback, Drawn(regular, "Rag", rect, 0)) << "weight 700 is the bold face";
}

TEST_F(FontTest, DrawingLeavesTheDeviceStatesAsTheyWere) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    Ref<IDirect3DTexture9> texture = Texture(1, 1, {0xFF123456});
    device->SetTexture(0, texture.get());
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetFVF(D3DFVF_XYZ);
    Drawn(font, "x", RECT{0, 0, 64, 48}, 0);
    EXPECT_GT(InkOf(Pixels()).count, 0);
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

} // namespace
