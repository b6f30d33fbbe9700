// Fonts on a real device: where text lands, in which colour, what DT_CALCRECT
// measures, and that the game's accented and single-byte characters show.
#include "fx_device_fixture.h"

#include <algorithm>

namespace fxtest {
namespace {

class FontTest : public DeviceTest {
protected:
    ID3DXFont* MakeFont(const char* face, INT height = 20, UINT weight = FW_BOLD) {
        ID3DXFont* font = nullptr;
        HRESULT hr = D3DXCreateFontA(device, height, 0, weight, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face, &font);
        EXPECT_TRUE(SUCCEEDED(hr)) << face;
        if (font) fonts.push_back(font);
        return font;
    }
    void TearDown() override {
        for (ID3DXFont* f : fonts) f->Release();
        DeviceTest::TearDown();
    }

    // Bounding box of the pixels that differ from black, and how many there are.
    struct Ink {
        int count = 0, left = kSize, top = kSize, right = -1, bottom = -1;
        int exact = 0; // pixels of exactly the colour asked for
    };
    Ink InkOf(const std::vector<D3DCOLOR>& pixels, D3DCOLOR color = 0) {
        Ink ink;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                D3DCOLOR c = pixels[static_cast<size_t>(y) * kSize + x] & 0xFFFFFFu;
                if (c == 0) continue;
                ++ink.count;
                if (c == (color & 0xFFFFFFu)) ++ink.exact;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        return ink;
    }
    std::vector<D3DCOLOR> Drawn(ID3DXFont* font, const char* text, RECT rect, DWORD format,
                                D3DCOLOR color = 0xFFFFFFFF) {
        Clear(0xFF000000);
        device->BeginScene();
        font->DrawTextA(nullptr, text, -1, &rect, format, color);
        device->EndScene();
        return Pixels();
    }

    std::vector<ID3DXFont*> fonts;
};

TEST_F(FontTest, TextLandsInItsRectangleInItsColour) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    RECT rect{8, 20, 60, 44};
    Clear(0xFF000000);
    device->BeginScene();
    INT height = font->DrawTextA(nullptr, "HIH", -1, &rect, DT_LEFT | DT_TOP, 0xFFFFFF00);
    device->EndScene();
    EXPECT_EQ(height, 20);
    Ink ink = InkOf(Pixels(), 0xFFFFFF00);
    EXPECT_GT(ink.count, 40);
    EXPECT_GT(ink.exact, 20) << "the stems are solid yellow";
    EXPECT_GE(ink.left, 8);
    EXPECT_LE(ink.left, 11);
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.bottom, 40);
    // Nothing but yellow and its blends over black: no stray channel.
    for (D3DCOLOR c : Pixels()) EXPECT_EQ(c & 0xFFu, 0u);

    // Right and bottom alignment move the same text to the other corner.
    Ink moved = InkOf(Drawn(font, "HIH", rect, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE));
    EXPECT_GE(moved.right, 55);
    EXPECT_LT(moved.right, 60);
    EXPECT_GT(moved.top, ink.top);
    EXPECT_EQ(moved.count, ink.count);
}

TEST_F(FontTest, CalcRectMeasuresWithoutDrawing) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    RECT rect{21, 16, 0, 0};
    Clear(0xFF000000);
    INT height = font->DrawTextA(nullptr, "Hola", -1, &rect, DT_CALCRECT, 0xFFFFFFFF);
    EXPECT_EQ(height, 20);
    EXPECT_EQ(rect.left, 21);
    EXPECT_EQ(rect.top, 16);
    EXPECT_EQ(rect.bottom, 36);
    EXPECT_GT(rect.right, 21 + 30);
    EXPECT_EQ(InkOf(Pixels()).count, 0);

    // Drawing in the measured rectangle loses nothing to clipping.
    RECT measured = rect;
    Ink clipped = InkOf(Drawn(font, "Hola", measured, 0));
    Ink free = InkOf(Drawn(font, "Hola", measured, DT_NOCLIP));
    EXPECT_GT(clipped.count, 0);
    EXPECT_EQ(clipped.count, free.count);

    RECT lines{0, 0, 0, 0};
    EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &lines, 0, 0), 0);
}

TEST_F(FontTest, ClipsToTheRectangleUnlessNoClip) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    RECT rect{4, 4, 20, 30};
    Ink clipped = InkOf(Drawn(font, "WWWW", rect, 0));
    EXPECT_GT(clipped.count, 0);
    EXPECT_LT(clipped.right, 20);
    Ink free = InkOf(Drawn(font, "WWWW", rect, DT_NOCLIP));
    EXPECT_GT(free.right, 40);
}

TEST_F(FontTest, AccentedAndSingleByteCharactersShow) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    RECT rect{10, 10, 60, 40};
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
    ID3DXFont* regular = MakeFont("DejaVu Sans", 20, FW_NORMAL);
    ASSERT_TRUE(missing && dejavu && regular);
    RECT rect{2, 2, 62, 40};
    const std::vector<D3DCOLOR> fallback = Drawn(missing, "Rag", rect, 0);
    EXPECT_GT(InkOf(fallback).count, 0);
    EXPECT_EQ(fallback, Drawn(dejavu, "Rag", rect, 0));
    EXPECT_NE(fallback, Drawn(regular, "Rag", rect, 0)) << "weight 700 is the bold face";
}

TEST_F(FontTest, DrawingLeavesTheDeviceStatesAsTheyWere) {
    ID3DXFont* font = MakeFont("Arial");
    ASSERT_NE(font, nullptr);
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFF123456});
    ASSERT_NE(texture, nullptr);
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetFVF(D3DFVF_XYZ);
    RECT rect{0, 0, 64, 64};
    device->BeginScene();
    EXPECT_GT(font->DrawTextA(nullptr, "x", -1, &rect, 0, 0xFFFFFFFF), 0);
    device->EndScene();
    DWORD value = 0;
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_TRUE));
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    device->GetFVF(&value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DFVF_XYZ));
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, texture);
    if (bound) bound->Release();
    device->SetTexture(0, nullptr);
    texture->Release();
}

} // namespace
} // namespace fxtest
