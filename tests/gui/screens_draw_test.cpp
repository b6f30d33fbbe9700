// The screens as they come out on a real frame: element sizes and places,
// strip cells, numbers, and which picture each screen state shows.
#include <stb_image_write.h>

#include <string>
#include <vector>

#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "platform/gl_device.h"
#include "render/DeviceFixture.h"
#include "render/FrameShortcuts.h"
#include "render/TextureManager.h"

namespace {

using drawtest::kSize;

constexpr D3DCOLOR kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00;
constexpr D3DCOLOR kCyan = 0xFF00FFFF, kMagenta = 0xFFFF00FF, kWhite = 0xFFFFFFFF, kGrey = 0xFF808080;

int Red(D3DCOLOR c) { return static_cast<int>((c >> 16) & 0xFF); }
int Green(D3DCOLOR c) { return static_cast<int>((c >> 8) & 0xFF); }

// Colours of the ten digit cells, all told apart.
const D3DCOLOR kDigit[10] = {0xFF100000, 0xFF200000, 0xFF300000, 0xFF400000, 0xFF500000,
                             0xFF600000, 0xFF700000, 0xFF800000, 0xFF900000, 0xFFA00000};

class ScreensDraw : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        getTextureManager().Clear();
        D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        D3DDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        D3DDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        getSubtitulos().english = false;
    }
    void TearDown() override
    {
        SetFrameShortcuts(true);
        getTextureManager().Clear();
        for (bool& a : getAchievementStats().awarded)
            a = false;
        DeviceTest::TearDown();
    }

    // A strip of cells, each one colour, under data/textures/GUI/.
    void Picture(const std::string& name, std::vector<D3DCOLOR> cells, int cellWidth = 1, int height = 1)
    {
        std::vector<unsigned char> rgba;
        for (int y = 0; y < height; ++y)
            for (D3DCOLOR c : cells)
                for (int x = 0; x < cellWidth; ++x)
                    rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                             static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 24)});
        std::filesystem::create_directories("data/textures/GUI");
        const int width = static_cast<int>(cells.size()) * cellWidth;
        ASSERT_TRUE(stbi_write_png(("data/textures/GUI/" + name + ".png").c_str(), width, height, 4, rgba.data(),
                                   width * 4));
    }
    // An element line of GUI.xml.
    static std::string Element(const std::string& name, const std::string& picture, float x, float y, float alto,
                               int textWidth, int textHeight, int cells = 1)
    {
        return "<ELEMENT name='" + name + "' texture='GUI/" + picture + ".png' pos_x='" + std::to_string(x) +
               "' pos_y='" + std::to_string(y) + "' alto='" + std::to_string(alto) + "' text_width='" +
               std::to_string(textWidth) + "' text_height='" + std::to_string(textHeight) + "' offset='" +
               std::to_string(1.0 / cells) + "'/>";
    }
    void Gui(const std::string& elements)
    {
        std::filesystem::create_directories("data/XML");
        std::ofstream("data/XML/GUI.xml") << "<GUI>" << elements << "</GUI>";
        gui.Init(800, 600);
        gui.padConnected = [this] { return pad; };
    }
    void Frame()
    {
        ClearTo(drawtest::kBlack);
        D3DDevice->BeginScene();
        gui.Render(0.0f);
        D3DDevice->EndScene();
    }

    drawtest::ScratchFolder folder{"screens"};
    CGUIManager gui;
    bool pad = false;
};

// 512 x 128 at alto 0.2 on an 800 x 600 window: 0.2 of the height, 0.6 of the width.
TEST_F(ScreensDraw, AnElementKeepsItsAspectOnTheWindowAroundItsCentre)
{
    Picture("box", {kRed});
    Gui(Element("BOX", "box", 0.5f, 0.5f, 0.2f, 512, 128));
    D3DDevice->BeginScene();
    gui.DrawElement(gui.GetElement("BOX"));
    D3DDevice->EndScene();
    // Edges at x 0.2 and 0.8 (12.8 and 51.2 pixels), y 0.4 and 0.6 (25.6 and 38.4).
    const struct {
        int x, y;
        D3DCOLOR colour;
    } probes[] = {{13, 32, kRed},   {12, 32, drawtest::kBlack}, {50, 32, kRed},   {52, 32, drawtest::kBlack},
                  {32, 26, kRed},   {32, 25, drawtest::kBlack}, {32, 37, kRed},   {32, 38, drawtest::kBlack}};
    for (const auto& p : probes)
        EXPECT_EQ(Pixel(p.x, p.y), p.colour) << p.x << "," << p.y;
}

// Digits stand 0.7 of their height times their aspect apart whatever the
// window's shape; the value 100 is the cells 1, 0, 0 at shifts 1, 2, 3.
TEST_F(ScreensDraw, NumbersAreCellsOfTheDigitStripFromTheirStartShift)
{
    Picture("digits", std::vector<D3DCOLOR>(kDigit, kDigit + 10));
    Gui(Element("NUM", "digits", 0.1f, 0.5f, 0.25f, 1, 1, 10));
    // Shift k centres the cell at x = 0.1 + 0.175 k: 17.6, 28.8, 40 pixels.
    const struct {
        int value;
        D3DCOLOR at[5]; // at shifts 0 to 4
    } cases[] = {
        {100, {drawtest::kBlack, kDigit[1], kDigit[0], kDigit[0], drawtest::kBlack}},
        {7, {drawtest::kBlack, kDigit[7], drawtest::kBlack, drawtest::kBlack, drawtest::kBlack}},
        {0, {drawtest::kBlack, kDigit[0], drawtest::kBlack, drawtest::kBlack, drawtest::kBlack}},
        {35, {drawtest::kBlack, kDigit[3], kDigit[5], drawtest::kBlack, drawtest::kBlack}},
    };
    const int x[5] = {6, 18, 29, 40, 51};
    for (const auto& c : cases) {
        ClearTo(drawtest::kBlack);
        D3DDevice->BeginScene();
        gui.DrawNumber(gui.GetElement("NUM"), c.value, 1.0f);
        D3DDevice->EndScene();
        for (int shift = 0; shift < 5; ++shift)
            EXPECT_EQ(Pixel(x[shift], 32), c.at[shift]) << c.value << " at shift " << shift;
    }
}

// Which picture each screen state puts in the middle of the frame.
TEST_F(ScreensDraw, EachScreenDrawsItsBackgroundAndButtonsInTheRightCellAndLanguage)
{
    Picture("bg1", {kRed});
    Picture("bg3", {kGreen});
    Picture("bg_other", {kGrey});
    Picture("button", {kBlue, kYellow});
    Picture("button_en", {kCyan, kMagenta});
    Picture("pad", {kWhite});
    Picture("keys", {kCyan});
    Picture("pad_en", {kMagenta});
    Picture("onoff", {kGreen, kRed});
    Picture("list", {kYellow});
    std::string xml;
    const char* bg[5] = {"bg1", "bg_other", "bg3", "bg_other", "bg_other"};
    for (int v = 1; v <= 5; ++v) {
        xml += Element("FONDO_MAINMENU" + std::to_string(v), bg[v - 1], 0.5f, 0.5f, 1.0f, 4, 3);
        xml += Element("FONDO_OPCIONES" + std::to_string(v), bg[v - 1], 0.5f, 0.5f, 1.0f, 4, 3);
    }
    // Each probe row of the screen (y 0.1 to 0.9) holds one button.
    const char* menu[] = {"NUEVA", "CONTROLES", "OPTIONS", "LOGROS", "EXIT"};
    for (int i = 0; i < 5; ++i) {
        const std::string name = std::string("BOTON_MAINMENU_") + menu[i];
        xml += Element(name, "button", 0.5f, 0.1f + 0.2f * i, 0.1f, 1, 1, 2);
        xml += Element(name + "_INGLES", "button_en", 0.5f, 0.1f + 0.2f * i, 0.1f, 1, 1, 2);
    }
    xml += Element("BOTON_OPTIONS_BLOOM", "button", 0.3f, 0.3f, 0.1f, 1, 1, 2);
    xml += Element("BOTON_OPTIONS_BLOOM_ONOFF", "onoff", 0.7f, 0.3f, 0.1f, 1, 1, 2);
    xml += Element("BOTON_OPTIONS_BACK", "button", 0.5f, 0.9f, 0.1f, 1, 1, 2);
    xml += Element("FONDO_MANDO", "pad", 0.5f, 0.5f, 1.0f, 4, 3);
    xml += Element("FONDO_TECLADO", "keys", 0.5f, 0.5f, 1.0f, 4, 3);
    xml += Element("FONDO_MANDO_INGLES", "pad_en", 0.5f, 0.5f, 1.0f, 4, 3);
    xml += Element("FONDO_LOGROS", "bg1", 0.5f, 0.5f, 1.0f, 4, 3);
    xml += Element("LOGROS_REGISTRO_PLENA_FORMA", "list", 0.5f, 0.5f, 0.1f, 4, 1);
    Gui(xml);

    auto row = [](int i) { return static_cast<int>((0.1f + 0.2f * i) * kSize); };
    Frame();
    EXPECT_EQ(Pixel(4, 4), kRed) << "the dark background";
    EXPECT_EQ(Pixel(32, row(0)), kYellow) << "New game selected";
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(Pixel(32, row(i)), kBlue) << menu[i];

    gui.itemNewGame = false;
    gui.itemAchievements = true;
    gui.background[0] = false;
    gui.background[2] = true;
    Frame();
    EXPECT_EQ(Pixel(4, 4), kGreen) << "a flash shows its variant";
    EXPECT_EQ(Pixel(32, row(0)), kBlue);
    EXPECT_EQ(Pixel(32, row(3)), kYellow) << "Achievements selected";

    gui.english = true;
    Frame();
    EXPECT_EQ(Pixel(32, row(3)), kMagenta) << "English buttons";
    EXPECT_EQ(Pixel(32, row(1)), kCyan);
    gui.english = false;

    gui.optionsActive = true;
    gui.optionsCursor = 4;
    Frame();
    EXPECT_EQ(Pixel(4, 4), kGreen) << "the options over the same storm";
    EXPECT_EQ(Pixel(int(0.3f * kSize), int(0.3f * kSize)), kYellow) << "bloom's row selected";
    EXPECT_EQ(Pixel(int(0.7f * kSize), int(0.3f * kSize)), kGreen) << "bloom on: cell 0";
    EXPECT_EQ(Pixel(32, int(0.9f * kSize)), kBlue) << "Back not selected";
    gui.bloomOn = false;
    Frame();
    EXPECT_EQ(Pixel(int(0.7f * kSize), int(0.3f * kSize)), kRed) << "bloom off: cell 1";

    gui.controlsActive = true; // wins over the options
    Frame();
    EXPECT_EQ(Pixel(32, 32), kCyan) << "no pad: the keyboard picture";
    pad = true;
    Frame();
    EXPECT_EQ(Pixel(32, 32), kWhite) << "the pad's picture";
    gui.english = true;
    Frame();
    EXPECT_EQ(Pixel(32, 32), kMagenta);
    gui.english = false;

    gui.controlsActive = gui.optionsActive = false;
    gui.achievementsActive = true;
    Frame();
    EXPECT_EQ(Pixel(32, 32), kRed) << "the empty list";
    EXPECT_EQ(Pixel(32, int(0.9f * kSize)), kYellow) << "Back drawn selected";
    getAchievementStats().awarded[4] = true; // achievement 5
    Frame();
    EXPECT_EQ(Pixel(32, 32), kYellow) << "an awarded achievement is listed";

    gui.achievementsActive = gui.mainMenuActive = false;
    Frame();
    EXPECT_EQ(Pixel(32, 32), drawtest::kBlack) << "in play the menu screens are gone";
}

// A strip of four cells four texels wide, the first opaque red and the rest
// clear, each cell spread over the whole window: a cell whose texels are all
// clear wherever it shows is not drawn at all; one that blends in a texel of
// its neighbour by the filter, or of the first cell by the wrap, is.
TEST_F(ScreensDraw, ACellThatBlendsNothingInIsNotDrawnButOneShowingANeighboursTexelIs)
{
    Picture("strip", {kRed, 0x00000000, 0x00000000, 0x00000000}, 4, 2);
    Gui(Element("STRIP", "strip", 0.5f, 0.5f, 1.0f, 4, 3, 4) + Element("AWAY", "strip", 1.8f, 0.5f, 1.0f, 4, 3, 4));
    // As the frame draws the screen pictures: filtered.
    D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    auto draw = [&](const char* name, int cell) {
        ClearTo(kGrey);
        platform::ResetDrawStats(D3DDevice);
        D3DDevice->BeginScene();
        gui.DrawElementCell(gui.GetElement(name), 0.0f, 0.25f, cell);
        D3DDevice->EndScene();
        return platform::GetDrawStats(D3DDevice).drawCalls;
    };
    EXPECT_EQ(draw("STRIP", 2), 0u);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    EXPECT_EQ(draw("AWAY", 0), 0u) << "off the screen";
    // The left edge reads half of the red cell's last texel.
    EXPECT_EQ(draw("STRIP", 1), 1u);
    EXPECT_GT(Red(Pixel(0, 32)), Green(Pixel(0, 32)) + 40);
    EXPECT_EQ(Pixel(32, 32), kGrey);
    // The right edge wraps round to the red cell.
    EXPECT_EQ(draw("STRIP", 3), 1u);
    EXPECT_GT(Red(Pixel(63, 32)), Green(Pixel(63, 32)) + 40);
    // Without blending a clear texel is black on the frame.
    D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    EXPECT_EQ(draw("STRIP", 2), 1u);
    EXPECT_EQ(Pixel(32, 32) & 0xFFFFFF, 0u);
    D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    // Drawn the plain way, every quad is drawn.
    SetFrameShortcuts(false);
    EXPECT_EQ(draw("STRIP", 2), 1u);
    EXPECT_EQ(Pixel(32, 32), kGrey);
}

// A cell drawn twice as wide as the window, as the fade is: only the texels
// of its middle half show, and the neighbours its edges would reach off the
// screen do not make it draw.
TEST_F(ScreensDraw, ACellWiderThanTheWindowCountsOnlyTheTexelsOnTheScreen)
{
    Picture("bands", {kRed, 0x00000000, kRed}, 8, 2);
    Gui(Element("WIDE", "bands", 0.5f, 0.5f, 1.0f, 8, 3, 3));
    D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    ClearTo(kGrey);
    platform::ResetDrawStats(D3DDevice);
    D3DDevice->BeginScene();
    gui.DrawElementCell(gui.GetElement("WIDE"), 0.0f, 1.0f / 3.0f, 1);
    D3DDevice->EndScene();
    EXPECT_EQ(platform::GetDrawStats(D3DDevice).drawCalls, 0u);
    EXPECT_EQ(Pixel(0, 32), kGrey);
}

// Columns 0 to 3 of a 64-texel strip opaque: a quad showing columns 32 to 40
// reads none of them magnified or minified by two, but a smaller level reads
// them once it is minified by sixteen; right beside them, the filter does.
TEST_F(ScreensDraw, WhatAQuadCanReadCountsTheFilterAndTheSmallerLevelsItsSizeReaches)
{
    std::vector<D3DCOLOR> columns(16, 0x00000000);
    columns[0] = kRed;
    Picture("wide", columns, 4, 4);
    IDirect3DTexture9* wide = getTextureManager().GetTexture("GUI/wide.png");
    ASSERT_NE(wide, nullptr);
    ASSERT_GT(wide->GetLevelCount(), 4u);
    CTextureManager& textures = getTextureManager();
    EXPECT_TRUE(textures.ShowsNothing(wide, 0.5f, 0.625f, 0.5f));
    EXPECT_TRUE(textures.ShowsNothing(wide, 0.5f, 0.625f, 2.0f));
    EXPECT_FALSE(textures.ShowsNothing(wide, 0.5f, 0.625f, 16.0f));
    EXPECT_FALSE(textures.ShowsNothing(wide, 0.0625f, 0.125f, 0.5f));
    EXPECT_TRUE(textures.ShowsNothing(wide, 0.125f, 0.25f, 0.5f));
    EXPECT_FALSE(textures.ShowsNothing(wide, 0.9f, 1.0f, 0.5f)) << "the wrap reaches column 0";
    EXPECT_TRUE(textures.ShowsNothing(wide, 0.9f, 0.98f, 0.5f));
    // A picture that cannot be read back as 32-bit texels never counts as clear.
    EXPECT_FALSE(textures.ShowsNothing(nullptr, 0.5f, 0.625f, 0.5f));
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3DDevice->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target,
                                       nullptr),
              D3D_OK);
    EXPECT_FALSE(textures.ShowsNothing(target, 0.5f, 0.625f, 0.5f));
    target->Release();
}

} // namespace
