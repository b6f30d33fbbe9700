// The shipped game's screen while playing, on the 800x600 window: banners,
// subtitles and the HUD each stay whole on screen and none covers another.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <algorithm>
#include <functional>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "platform/d3dx9core.h"
#include "platform/offscreen_device_fixture.h"

namespace {

constexpr int kLayoutWidth = 800, kLayoutHeight = 600;

// A rectangle in the screen's 0-1 space.
struct Box {
    std::string what;
    float left, top, right, bottom;
    bool Whole() const { return left >= 0.0f && top >= 0.0f && right <= 1.0f && bottom <= 1.0f; }
    bool Covers(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
};

// Where an element is drawn whole, moved down by dy (the drawing rule of the
// screens: alto is the height, the picture keeps its shape).
Box ElementBox(const std::string& name, float dy = 0.0f)
{
    CGUIManager& gui = getGUI();
    const GUIElement& e = gui.GetElement(name);
    const float hh = e.alto * 0.5f, hw = e.alto * e.aspect * gui.heightOverWidth * 0.5f;
    return {name, e.posX - hw, e.posY + dy - hh, e.posX + hw, e.posY + dy + hh};
}

// The cells of a number strip from shift 0 to the last one drawn.
Box StripBox(const std::string& name, int lastShift)
{
    CGUIManager& gui = getGUI();
    const GUIElement& e = gui.GetElement(name);
    Box box = ElementBox(name);
    box.right += e.alto * (lastShift * 0.7f) * e.aspect;
    return box;
}

// A line of text as the subtitles draw it: centred across the screen, in the
// middle of the band from top to bottom (fractions of the height).
Box TextBox(ID3DXFont* font, const std::string& text, float top, float bottom)
{
    RECT r{0, 0, kLayoutWidth, kLayoutHeight};
    font->DrawTextA(nullptr, text.c_str(), -1, &r, DT_CALCRECT | DT_CENTER | DT_VCENTER, 0);
    const float w = float(r.right - r.left) / kLayoutWidth, h = float(r.bottom - r.top) / kLayoutHeight;
    const float middle = (top + bottom) * 0.5f;
    return {"\"" + text + "\"", 0.5f - w * 0.5f, middle - h * 0.5f, 0.5f + w * 0.5f, middle + h * 0.5f};
}

// The subtitles' yellow letters inside the box, dimmed or not by the fade:
// red and green alike, no blue.
int YellowPixels(const std::vector<D3DCOLOR>& pixels, const Box& box)
{
    int yellow = 0;
    for (int y = int(box.top * kLayoutHeight); y < int(box.bottom * kLayoutHeight); ++y)
        for (int x = int(box.left * kLayoutWidth); x < int(box.right * kLayoutWidth); ++x) {
            const D3DCOLOR c = pixels[size_t(y) * kLayoutWidth + x];
            const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            yellow += r > 60 && g > r * 0.85f && b < r / 3;
        }
    return yellow;
}

class ScreenLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        ASSERT_TRUE(shippedgame::Start(kLayoutWidth, kLayoutHeight));
        // The subtitles' own font: 0.037 of the screen high, bold.
        ASSERT_EQ(D3DXCreateFontA(D3DDevice, int(kLayoutHeight * 0.037), 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                  "DejaVu Sans", &m_Font),
                  D3D_OK);
    }
    void TearDown() override
    {
        if (m_Font)
            m_Font->Release();
        shippedgame::Stop();
    }

    shippedgame::LinkedFolder m_Folder;
    ID3DXFont* m_Font = nullptr;
};

// Every line the game can show, in either language, as the voice lines and
// the radios show it: none is wider than the screen (less the shadow's shift).
TEST_F(ScreenLayout, EverySubtitleLineFitsTheScreen)
{
    CSubtitleManager& subtitles = getSubtitulos();
    std::vector<std::string> lines;
    for (bool english : {false, true}) {
        for (const auto& [key, entry] : subtitles.Table(english))
            for (const SubtitleLine& line : entry.lines)
                lines.push_back(line.text);
        for (bool hangar : {true, false})
            for (const SubtitleLine& line : subtitles.RadioTrack(hangar, english).lines)
                lines.push_back(line.text);
    }
    ASSERT_GT(lines.size(), 20u);
    for (const std::string& line : lines) {
        const Box box = TextBox(m_Font, line, 0.8f, 1.0f);
        EXPECT_LE(box.right - box.left, 1.0f - 0.004f) << box.what << " runs off the screen";
    }
}

// Pictures drawn in turns at one place: a fight's prompt or its lost reason;
// the cover hint near cover or the one in it.
bool Exclusive(const std::string& a, const std::string& b)
{
    auto both = [&](const char* prefix) { return a.rfind(prefix, 0) == 0 && b.rfind(prefix, 0) == 0; };
    return both("COMBO_") || (a.rfind("PARAPETO", 0) == 0 && b.rfind("A_CUBIERTO", 0) == 0);
}

// White letters inside the box: the mission line's.
int WhitePixels(const std::vector<D3DCOLOR>& pixels, const Box& box)
{
    int white = 0;
    for (int y = int(box.top * kLayoutHeight); y < int(box.bottom * kLayoutHeight); ++y)
        for (int x = int(box.left * kLayoutWidth); x < int(box.right * kLayoutWidth); ++x) {
            const D3DCOLOR c = pixels[size_t(y) * kLayoutWidth + x];
            white += ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 200;
        }
    return white;
}

// A new game's moment: the mission banner comes up, an achievement is won at
// once, the mission line says the longest objective, a long line is spoken
// and the radio plays nearby, with the cover hint and a lost fight's reason
// up. Every frame while the banners stand still, each piece is whole and
// clear of the others; a fight's prompt stands where the reason would.
TEST_F(ScreenLayout, BannersSubtitlesAndHudNeverCoverEachOther)
{
    shippedgame::EnterLevel("hangares");
    CGUIManager& gui = getGUI();
    gui.fadeAlpha = 0.0f;
    CSubtitleManager& subtitles = getSubtitulos();
    subtitles.subtitlesEnabled = true;

    // The widest line of each kind, where each kind is drawn.
    std::string longest, longestKey, radio;
    float widest = 0.0f, widestRadio = 0.0f;
    for (const auto& [key, entry] : subtitles.Table(false))
        for (const SubtitleLine& line : entry.lines) {
            const Box b = TextBox(m_Font, line.text, 0.8f, 1.0f);
            if (b.right - b.left > widest) {
                widest = b.right - b.left;
                longest = line.text;
                longestKey = key;
            }
        }
    for (const SubtitleLine& line : subtitles.RadioTrack(true, false).lines) {
        const Box b = TextBox(m_Font, line.text, 0.7f, 0.9f);
        if (b.right - b.left > widestRadio) {
            widestRadio = b.right - b.left;
            radio = line.text;
        }
    }
    ASSERT_FALSE(longest.empty());
    ASSERT_FALSE(radio.empty());

    // The longest objective the level's scripts give, as the line draws it.
    CMissionText& missionLine = getMissionText();
    int longestMission = -1;
    float widestMission = 0.0f;
    for (int n = 0; n <= missionLine.getLastMission(); ++n) {
        missionLine.setMission(n);
        const RECT r = missionLine.Bounds();
        if (float(r.right - r.left) > widestMission) {
            widestMission = float(r.right - r.left);
            longestMission = n;
        }
    }
    ASSERT_GT(widestMission, kLayoutWidth * 0.5f);
    auto missionBox = [&] {
        const RECT r = missionLine.Bounds();
        return Box{"the mission line", float(r.left) / kLayoutWidth, float(r.top) / kLayoutHeight,
                   float(r.right) / kLayoutWidth, float(r.bottom) / kLayoutHeight};
    };
    int missionSeen = 0;

    gui.showMission(1);
    gui.UnlockAchievement(1);
    subtitles.showSubtitulo(longestKey);
    missionLine.setMission(longestMission);
    int stillFrames = 0, crossings = 0;
    std::vector<D3DCOLOR> still;
    for (int frame = 0; frame < 50; ++frame) {
        GetGameCalls().UpdateFrame(0.2f);
        RenderFrame(0.2f);
        // Rising through the subtitles' band, the banner passes under the
        // line: its yellow letters show where the two meet.
        const Box line = TextBox(m_Font, subtitles.CurrentText(), 0.8f, 1.0f);
        const Box rising = ElementBox("MISION1", gui.missionBannerOffset[1]);
        if (gui.missionBannerActive[1] && gui.missionBannerOffset[1] > 0.0f && subtitles.IsLineFound() &&
            rising.Covers(line)) {
            ++crossings;
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            const int yellow = YellowPixels(pixels, {"", std::max(line.left, rising.left), std::max(line.top, rising.top),
                                                     std::min(line.right, rising.right),
                                                     std::min(line.bottom, rising.bottom)});
            EXPECT_GT(yellow, 20) << "the line \"" << subtitles.CurrentText() << "\" hidden by the banner";
        }
        // The weapon and the rounds sit inside the HUD's frame, which stands
        // for all three.
        const Box frameBox = ElementBox("MARCO");
        for (const Box& inside : {ElementBox("GUN"), StripBox("NUMBERS", 2 + 2 + 2)})
            EXPECT_TRUE(inside.left >= frameBox.left && inside.right <= frameBox.right && inside.top >= frameBox.top &&
                        inside.bottom <= frameBox.bottom)
                << inside.what << " out of the HUD's frame";
        // Letters at the line's place whenever it shows over the level.
        if (missionLine.IsShowing() && frame % 10 == 3) {
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            EXPECT_GT(WhitePixels(pixels, missionBox()), 150) << "the mission line is not drawn where it says";
            ++missionSeen;
        }
        std::vector<Box> boxes = {frameBox,
                                  TextBox(m_Font, longest, 0.8f, 1.0f),
                                  TextBox(m_Font, radio, 0.7f, 0.9f),
                                  missionBox(),
                                  ElementBox("PARAPETO_TECLADO"),
                                  ElementBox("A_CUBIERTO_TECLADO"),
                                  ElementBox("COMBO_PERDIDO_TIEMPO"),
                                  ElementBox("COMBO_X_TECLADO")};
        const bool mission = gui.missionBannerActive[1] && gui.missionBannerOffset[1] == 0.0f;
        const bool award = gui.achievementBannerActive[1] && gui.achievementBannerOffset[1] == 0.0f;
        if (mission)
            boxes.push_back(ElementBox("MISION1"));
        if (award)
            boxes.push_back(ElementBox("LOGRO_AVE_FENIX"));
        if (!mission || !award)
            continue;
        ++stillFrames;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_TRUE(boxes[i].Whole()) << boxes[i].what << " is cut by the screen's edge";
            for (size_t j = i + 1; j < boxes.size(); ++j)
                if (!Exclusive(boxes[i].what, boxes[j].what))
                    EXPECT_FALSE(boxes[i].Covers(boxes[j])) << boxes[i].what << " and " << boxes[j].what;
        }
        if (stillFrames == 5)
            devicetest::ReadBackBuffer(D3DDevice, &still);
    }
    EXPECT_GT(stillFrames, 15) << "both banners stood still together for a while";
    EXPECT_GT(crossings, 0) << "the banner rose through the line";
    EXPECT_GT(missionSeen, 2) << "the mission line was up while the banners were";

    // Paused, the line still shows under the pause menu's panel.
    subtitles.showSubtitulo(longestKey);
    GetGameCalls().UpdateFrame(0.2f);
    gui.pauseActive = true;
    RenderFrame(0.2f);
    gui.pauseActive = false;
    std::vector<D3DCOLOR> paused;
    devicetest::ReadBackBuffer(D3DDevice, &paused);
    ASSERT_TRUE(subtitles.IsLineFound());
    EXPECT_GT(YellowPixels(paused, TextBox(m_Font, subtitles.CurrentText(), 0.8f, 1.0f)), 100);

    // Off screen at both ends of their slides: the mission banner 0.4 lower,
    // the achievement's 0.2 higher.
    EXPECT_GE(ElementBox("MISION1", 0.4f).top, 1.0f) << "the mission banner rises from below the screen";
    EXPECT_LE(ElementBox("LOGRO_AVE_FENIX", -0.2f).bottom, 0.0f) << "the achievement drops from above it";

    if (const char* folder = std::getenv("VANTOREL_SHOTS"); folder && !still.empty()) {
        std::vector<unsigned char> rgba;
        for (D3DCOLOR c : still)
            rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                     static_cast<unsigned char>(c), 255});
        stbi_write_png((std::string(folder) + "/screen_layout.png").c_str(), kLayoutWidth, kLayoutHeight, 4, rgba.data(),
                       kLayoutWidth * 4);
    }
}

// The options screen: its title stands clear above the first row and, under
// the last row, a line of light letters names the keys that change them (the
// select key does not). Whatever of the background's title and that line the
// rows cover would show in the whole screen otherwise than in the background.
TEST_F(ScreenLayout, TheOptionsTitleAndItsKeysStandClearOfTheRows)
{
    CGUIManager& gui = getGUI();
    auto draw = [](const std::function<void()>& what) {
        std::vector<D3DCOLOR> pixels;
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        D3DDevice->BeginScene();
        D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        D3DDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        D3DDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        what();
        D3DDevice->EndScene();
        devicetest::ReadBackBuffer(D3DDevice, &pixels);
        return pixels;
    };
    const std::vector<D3DCOLOR> background = draw([&] { gui.DrawElement(gui.GetElement("FONDO_OPCIONES1")); });
    gui.optionsActive = true;
    gui.optionsCursor = 0; // as the screen opens: the first row lit
    const std::vector<D3DCOLOR> screen = draw([&] { gui.Render(0.0f); });
    gui.optionsActive = false;

    // Where the background has its amber title, and its light line of keys.
    struct Area {
        int left = kLayoutWidth, top = kLayoutHeight, right = 0, bottom = 0, pixels = 0;
    };
    Area title, keys;
    for (int y = 0; y < kLayoutHeight; ++y)
        for (int x = 0; x < kLayoutWidth; ++x) {
            const D3DCOLOR c = background[size_t(y) * kLayoutWidth + x];
            const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            Area* area = nullptr;
            // Their letters' edges too, blended into the dark panel.
            if (y < kLayoutHeight / 4 && r > 90 && r > b + 60 && g > b)
                area = &title;
            else if (y > kLayoutHeight * 0.72f && y < kLayoutHeight * 0.81f && r > 90 && g > 90 && b > 80)
                area = &keys;
            if (area) {
                area->left = std::min(area->left, x);
                area->top = std::min(area->top, y);
                area->right = std::max(area->right, x + 1);
                area->bottom = std::max(area->bottom, y + 1);
                ++area->pixels;
            }
        }
    // Nothing of the rows is drawn there.
    auto covered = [&](const Area& a) {
        int changed = 0;
        for (int y = a.top; y < a.bottom; ++y)
            for (int x = a.left; x < a.right; ++x)
                changed += screen[size_t(y) * kLayoutWidth + x] != background[size_t(y) * kLayoutWidth + x];
        return changed;
    };
    // From the title's top down, nothing of the rows until a clear gap under it.
    int rowTop = title.top;
    while (rowTop < kLayoutHeight && covered(Area{title.left, rowTop, title.right, rowTop + 1}) == 0)
        ++rowTop;
    EXPECT_GT(title.pixels, 200);
    EXPECT_GE(rowTop - title.bottom, kLayoutHeight / 50) << "the first row covers or touches the title";
    EXPECT_GT(keys.pixels, 150) << "no line of keys under the rows";
    EXPECT_EQ(covered(keys), 0);
}

} // namespace
