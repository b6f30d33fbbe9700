#include "gui/GUIManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "app/GameStateFlags.h"
#include "app/Startup.h"
#include "app/MainConfig.h"
#include "gui/Achievements.h"
#include "gui/Subtitles.h"
#include "input/InputManager.h"
#include "math/VectorMath.h"
#include "platform/bounded.h"
#include "platform/dinput.h"
#include "platform/files.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "render/DrawHelper.h"
#include "render/FrameShortcuts.h"
#include "render/TextureManager.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"

const int kAchievementListOrder[CGUIManager::kAchievementCount] = {1, 2, 3, 4, 6, 7, 8, 9, 5, 10};
const char* const kAchievementListElements[CGUIManager::kAchievementCount + 1] = {
    "",
    "LOGROS_REGISTRO_AVE_FENIX",
    "LOGROS_REGISTRO_BRINDIS",
    "LOGROS_REGISTRO_BRONCEADO",
    "LOGROS_REGISTRO_VELDO",
    "LOGROS_REGISTRO_PLENA_FORMA",
    "LOGROS_REGISTRO_HACEDOR_COJOS",
    "LOGROS_REGISTRO_REVIENTA_FRENTES",
    "LOGROS_REGISTRO_BRUNDAKOSTEL",
    "LOGROS_REGISTRO_SONIC",
    "LOGROS_REGISTRO_ARMADO",
};

namespace {

// Whether the device blends a textured quad by the texture's own alpha (source
// alpha over its inverse), so that a clear texel leaves the frame as it was.
bool BlendsByTextureAlpha()
{
    DWORD blend = FALSE, source = 0, dest = 0, op = 0, arg1 = 0, arg2 = 0;
    if (!D3DDevice || FAILED(D3DDevice->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend)) || !blend ||
        FAILED(D3DDevice->GetRenderState(D3DRS_SRCBLEND, &source)) || source != D3DBLEND_SRCALPHA ||
        FAILED(D3DDevice->GetRenderState(D3DRS_DESTBLEND, &dest)) || dest != D3DBLEND_INVSRCALPHA ||
        FAILED(D3DDevice->GetTextureStageState(0, D3DTSS_ALPHAOP, &op)) ||
        FAILED(D3DDevice->GetTextureStageState(0, D3DTSS_ALPHAARG1, &arg1)) ||
        FAILED(D3DDevice->GetTextureStageState(0, D3DTSS_ALPHAARG2, &arg2)))
        return false;
    if (op == D3DTOP_SELECTARG1)
        return arg1 == D3DTA_TEXTURE;
    return op == D3DTOP_MODULATE && (arg1 == D3DTA_TEXTURE || arg2 == D3DTA_TEXTURE);
}

// Whether a screen quad from left to right and top to bottom (unit screen)
// showing the texture's columns u0 to u1 would leave the frame as it was:
// wholly off the screen, or blended by alpha over clear texels wherever it
// shows. The fade's clear cell covers the whole screen every frame.
bool QuadShowsNothing(IDirect3DTexture9* texture, float left, float right, float top, float bottom, float u0,
                      float u1, int screenWidth)
{
    if (!ShortcutOn(Shortcut::ClearGuiSkipped) || !(left < right))
        return false;
    if (right <= 0.0f || left >= 1.0f || bottom <= 0.0f || top >= 1.0f)
        return true;
    D3DSURFACE_DESC desc{};
    if (screenWidth <= 0 || FAILED(texture->GetLevelDesc(0, &desc)) || !BlendsByTextureAlpha())
        return false;
    const float across = (u1 - u0) / (right - left);
    const float shownU0 = u0 + (std::max(left, 0.0f) - left) * across;
    const float shownU1 = u0 + (std::min(right, 1.0f) - left) * across;
    const float texelsPerPixel = std::fabs(across) * static_cast<float>(desc.Width) / static_cast<float>(screenWidth);
    return getTextureManager().ShowsNothing(texture, std::min(shownU0, shownU1), std::max(shownU0, shownU1),
                                            texelsPerPixel);
}

const char kGuiFile[] = "data/XML/GUI.xml";
const char kMoveSound[] = "data/sound/upDown.wav";
const char kAchievementSound[] = "data/sound/logroXBox.wav";
const char* const kAchievementBanners[CGUIManager::kAchievementCount + 1] = {
    "",
    "LOGRO_AVE_FENIX",
    "LOGRO_BRINDIS",
    "LOGRO_BRONCEADO",
    "LOGRO_REGISTRO_VELDO",
    "LOGRO_PLENA_FORMA",
    "LOGRO_HACEDOR_COJOS",
    "LOGRO_REVIENTA_FRENTES",
    "LOGRO_BRUNDAKOSTEL",
    "LOGRO_REGISTRO_SONIC",
    "LOGRO_REGISTRO_ARMADO",
};
// A mission banner holds still until 9 s, an achievement banner until 7 s.
constexpr float kMissionBannerHold = 9.0f;
constexpr float kAchievementBannerHold = 7.0f;
const char kSelectSound[] = "data/sound/lados.wav";
// A screen has a few hundred images at most; a file with more is broken.
constexpr int kMaxElements = 10000;

// The menus' reading of this poll and the one before.
struct MenuInput {
    bool select = false, back = false, up = false, down = false;
    bool rightPress = false, leftPress = false, rightHeld = false, leftHeld = false;
    bool close = false;
    bool pauseKey = false;
    bool columnSwitch = false; // the pause menu's: arrows, d-pad and stick, not A and D
};

MenuInput ReadMenuInput()
{
    const CInputManager* input = getInputManager();
    const CKeyboard keys = input->GetKeyboardState();
    const CGamepad pad = input->GetGamepadState();
    auto just = [&](int code) { return keys.IsKeyJustPressed(code); };
    auto held = [&](int code) { return keys.IsKeyDown(code); };
    // A stick edge is the stick leaving the centre (or the other side) in this poll.
    const bool stickUp = pad.GetLeftStickY() > 0 && pad.GetPrevLeftStickY() <= 0;
    const bool stickDown = pad.GetLeftStickY() < 0 && pad.GetPrevLeftStickY() >= 0;
    const bool stickRight = pad.GetLeftStickX() > 0 && pad.GetPrevLeftStickX() <= 0;
    const bool stickLeft = pad.GetLeftStickX() < 0 && pad.GetPrevLeftStickX() >= 0;

    MenuInput in;
    in.select = just(DIK_RETURN) || pad.IsAJustPressed();
    in.back = just(DIK_ESCAPE) || pad.IsBackJustPressed();
    in.up = just(DIK_W) || just(DIK_UP) || pad.IsDpadUpJustPressed() || stickUp;
    in.down = just(DIK_S) || just(DIK_DOWN) || pad.IsDpadDownJustPressed() || stickDown;
    in.rightPress = just(DIK_D) || just(DIK_RIGHT) || pad.IsDpadRightJustPressed() || stickRight;
    in.leftPress = just(DIK_A) || just(DIK_LEFT) || pad.IsDpadLeftJustPressed() || stickLeft;
    in.rightHeld = held(DIK_D) || held(DIK_RIGHT) || pad.IsDpadRightJustPressed() || pad.GetLeftStickX() > 0;
    in.leftHeld = held(DIK_A) || held(DIK_LEFT) || pad.IsDpadLeftJustPressed() || pad.GetLeftStickX() < 0;
    in.close = in.select || in.back || pad.IsStartJustPressed();
    in.pauseKey = just(DIK_ESCAPE) || pad.IsBackJustPressed() || pad.IsStartJustPressed();
    in.columnSwitch = just(DIK_LEFT) || just(DIK_RIGHT) || pad.IsDpadLeftJustPressed() ||
                      pad.IsDpadRightJustPressed() || stickLeft || stickRight;
    return in;
}

// A number from the file, or the default when it is not a finite number.
float FiniteFloat(const CXMLAttributes& attributes, const char* name, float def, std::string* fault)
{
    const float value = attributes.GetFloat(name, def);
    if (std::isfinite(value))
        return value;
    *fault = std::string("\"") + name + "\" is not a finite number";
    return def;
}

// Lightning flicker: the background variant up to each bound, then the end.
struct FlashStep {
    float upTo;
    int variantA, variantB; // 0: the pattern has ended
};
const FlashStep kFlashSteps[] = {
    {0.04f, 2, 2}, {0.08f, 3, 3}, {0.12f, 4, 4}, {0.16f, 3, 5}, {0.20f, 2, 5}, {0.24f, 3, 5},
    {0.28f, 4, 5}, {0.32f, 5, 3}, {0.36f, 5, 2}, {0.44f, 5, 1}, {0.48f, 5, 2}, {0.52f, 5, 3},
    {0.72f, 5, 5}, {0.80f, 4, 5}, {0.88f, 3, 4}, {0.96f, 2, 3}, {1.04f, 0, 2},
};

int FlashVariant(float t, bool patternA)
{
    for (const FlashStep& step : kFlashSteps)
        if (t <= step.upTo)
            return patternA ? step.variantA : step.variantB;
    return 0;
}

} // namespace

void CGUIManager::Init(int width, int height)
{
    screenWidth = width;
    screenHeight = height;
    heightOverWidth = width > 0 ? static_cast<float>(height) / static_cast<float>(width) : 0.75f;
    LoadElements();

    CGUIManager fresh;
    fresh.m_Elements.swap(m_Elements);
    fresh.m_FileRead = m_FileRead;
    fresh.screenWidth = screenWidth;
    fresh.screenHeight = screenHeight;
    fresh.heightOverWidth = heightOverWidth;
    fresh.playSample = std::move(playSample);
    fresh.playThunder = std::move(playThunder);
    fresh.randomRange = std::move(randomRange);
    fresh.padConnected = std::move(padConnected);

    fresh.mainMenuActive = true;
    fresh.english = getSubtitulos().english;
    fresh.itemNewGame = true;
    fresh.itemReturn = true;
    fresh.musicVolume = fresh.effectsVolume = 100;
    fresh.bloomOn = true;
    fresh.motionBlurOn = false;
    fresh.depthOfFieldOn = true;
    fresh.subtitlesOn = fresh.english;
    getSubtitulos().subtitlesEnabled = fresh.subtitlesOn;
    fresh.fadeAlpha = 1.0f;
    fresh.background[0] = true;
    for (int i = 1; i <= kMissionCount; ++i)
        fresh.missionBannerOffset[i] = 0.4f;
    fresh.missionBannerSpeed = 0.4f;
    for (int i = 1; i <= kAchievementCount; ++i)
        fresh.achievementBannerOffset[i] = 0.1f;
    fresh.achievementBannerSpeed = 0.2f;

    // Every field back to its start value at once, the parser's own state kept.
    CXMLParser& parser = *this;
    const CXMLParser keptParser = parser;
    *this = std::move(fresh);
    static_cast<CXMLParser&>(*this) = keptParser;
}

void CGUIManager::reload()
{
    LoadElements();
}

void CGUIManager::LoadElements()
{
    m_Elements.clear();
    m_ReadFault.clear();
    m_ReadCount = 0;
    m_FileRead = LoadXML(kGuiFile) && m_ReadFault.empty();
    if (m_FileRead) {
        SayMissingPictures();
        return;
    }
    std::string fault = m_ReadFault.empty() ? GetFault() : m_ReadFault;
    // One line, whatever the parser's message ends with.
    while (!fault.empty() && (fault.back() == '\n' || fault.back() == '\r'))
        fault.pop_back();
    // Screens half described would draw some buttons and not others: all or
    // nothing, as for a missing file.
    m_Elements.clear();
    std::fprintf(stderr, "%s refused: %s\n", kGuiFile, fault.c_str());
}

void CGUIManager::SayMissingPictures()
{
    // One line for them all: a lost picture folder is one fault, not a
    // hundred, and the menus and the HUD go with it.
    std::set<std::string> pictures, missing;
    for (const auto& entry : m_Elements)
        if (!entry.second.texture.empty() && pictures.insert(entry.second.texture).second &&
            !platform::FileExists(CTextureManager::PathOf(entry.second.texture)))
            missing.insert(entry.second.texture);
    if (missing.empty())
        return;
    std::string named;
    int listed = 0;
    for (const std::string& picture : missing) {
        if (listed++ == 3) {
            named += ", ...";
            break;
        }
        named += (named.empty() ? "" : ", ") + bounded::Echoed(picture);
    }
    bounded::SayOnce(std::string(kGuiFile) + ": " + std::to_string(missing.size()) + " of its " +
                     std::to_string(pictures.size()) + " pictures are missing (" + named +
                     "): what shows them is not drawn");
}

void CGUIManager::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name != "ELEMENT" || !m_ReadFault.empty())
        return;
    if (++m_ReadCount > kMaxElements) {
        m_ReadFault = "more than " + std::to_string(kMaxElements) + " elements";
        m_StopParsing = true;
        return;
    }
    GUIElement element;
    element.texture = attributes.GetString("texture", "");
    element.textureEmpty = attributes.GetString("texture_empty", "");
    element.type = attributes.GetString("type", "");
    element.posX = FiniteFloat(attributes, "pos_x", 0.0f, &m_ReadFault);
    element.posY = FiniteFloat(attributes, "pos_y", 0.0f, &m_ReadFault);
    const float textWidth = FiniteFloat(attributes, "text_width", 1.0f, &m_ReadFault);
    float textHeight = FiniteFloat(attributes, "text_height", 1.0f, &m_ReadFault);
    // A height of 0 would make the picture infinitely wide: read it as 1.
    if (textHeight == 0.0f)
        textHeight = 1.0f;
    element.aspect = textWidth / textHeight;
    element.alto = FiniteFloat(attributes, "alto", 1.0f, &m_ReadFault);
    element.bullets = attributes.GetInt("bullets", 0);
    element.distance = FiniteFloat(attributes, "distance", 0.0f, &m_ReadFault);
    element.offset = FiniteFloat(attributes, "offset", 1.0f, &m_ReadFault);
    if (!std::isfinite(element.aspect))
        m_ReadFault = "\"text_width\" over \"text_height\" is not a finite number";
    if (!m_ReadFault.empty()) {
        m_ReadFault = "element \"" + bounded::Echoed(attributes.GetString("name", "")) + "\": " + m_ReadFault;
        m_StopParsing = true;
        return;
    }
    m_Elements[attributes.GetString("name", "")] = element;
}

GUIElement& CGUIManager::GetElement(const std::string& name)
{
    auto found = m_Elements.find(name);
    if (found != m_Elements.end())
        return found->second;
    // A file that was not read at all has said so already.
    if (m_FileRead)
        bounded::SayOnce(std::string(kGuiFile) + ": no element \"" + bounded::Echoed(name) + "\": it is not drawn");
    return m_Elements[name];
}

std::string CGUIManager::Localized(const std::string& name) const
{
    return english ? name + "_INGLES" : name;
}

std::string CGUIManager::ForDevice(const std::string& stem, bool pad, bool localized) const
{
    const std::string name = stem + (pad ? "_MANDO" : "_TECLADO");
    return localized ? Localized(name) : name;
}

void CGUIManager::DrawElement(GUIElement element)
{
    IDirect3DTexture9* texture = getTextureManager().GetTexture(element.texture);
    // A missing picture is left out rather than drawn as a blank block.
    if (!texture)
        return;
    const float halfHeight = element.alto * 0.5f;
    const float halfWidth = element.alto * element.aspect * heightOverWidth * 0.5f;
    const float left = element.posX - halfWidth, right = element.posX + halfWidth;
    const float top = element.posY - halfHeight, bottom = element.posY + halfHeight;
    if (QuadShowsNothing(texture, left, right, top, bottom, 0.0f, 1.0f, screenWidth))
        return;
    getDrawHelper().DrawTexturedRect(texture, left, right, top, bottom);
}

void CGUIManager::DrawElementCell(GUIElement element, float shift, float cellWidth, int cell)
{
    IDirect3DTexture9* texture = getTextureManager().GetTexture(element.texture);
    if (!texture)
        return;
    const float halfHeight = element.alto * 0.5f;
    const float halfWidth = element.alto * element.aspect * heightOverWidth * 0.5f;
    // The step between cells is not scaled by the window's shape: digits
    // stand closer together on a wide window. Kept, the layouts rely on it.
    const float x = element.posX + element.alto * (shift * 0.7f) * element.aspect;
    const float top = element.posY - halfHeight, bottom = element.posY + halfHeight;
    if (QuadShowsNothing(texture, x - halfWidth, x + halfWidth, top, bottom, cell * cellWidth, (cell + 1) * cellWidth,
                         screenWidth))
        return;
    getDrawHelper().DrawTexturedRectEx(texture, x - halfWidth, x + halfWidth, top, bottom, cellWidth, cell);
}

void CGUIManager::DrawNumber(const GUIElement& digits, int value, float startShift)
{
    if (value < 0)
        value = 0;
    const std::string text = std::to_string(value);
    for (std::size_t i = 0; i < text.size(); ++i)
        DrawElementCell(digits, startShift + static_cast<float>(i), digits.offset, text[i] - '0');
}

void CGUIManager::StartFade(float seconds, bool in, bool out, bool white)
{
    fading = true;
    fadeRemaining = fadeTotal = seconds;
    fadeIn = in;
    fadeOut = out;
    fadeWhite = white;
}

void CGUIManager::FadeInFromBlack(float seconds) { StartFade(seconds, true, false, false); }
void CGUIManager::FadeOutToBlack(float seconds) { StartFade(seconds, false, true, false); }
void CGUIManager::FadeInFromWhite(float seconds) { StartFade(seconds, true, false, true); }
void CGUIManager::FadeOutToWhite(float seconds) { StartFade(seconds, false, true, true); }

void CGUIManager::AdvanceFade(float seconds)
{
    if (!fading)
        return;
    // A fade of no length has nothing to show in between: it ends at once
    // instead of dividing 0 by 0.
    if (fadeRemaining >= 0.0f && fadeTotal > 0.0f) {
        if (fadeIn)
            fadeAlpha = fadeRemaining / fadeTotal;
        else if (fadeOut)
            fadeAlpha = 1.0f - fadeRemaining / fadeTotal;
        fadeRemaining -= seconds;
        return;
    }
    fadeAlpha = fadeIn ? 0.0f : 1.0f;
    fadeRemaining = fadeTotal = 0.0f;
    fadeIn = fadeOut = fadeWhite = fading = false;
}

void CGUIManager::Sample(const char* file)
{
    if (playSample)
        playSample(file);
    else
        getSoundManager().playThisSampleOnce(file, 1.0f);
}

void CGUIManager::Thunder()
{
    if (playThunder)
        playThunder();
    else
        getSoundManager().PlayThunder();
}

float CGUIManager::Random(float low, float high)
{
    return randomRange ? randomRange(low, high) : RandomRange(low, high);
}

bool CGUIManager::PadConnected()
{
    return padConnected ? padConnected() : getInputManager()->IsGamepadConnected();
}

void CGUIManager::MoveMainMenuCursor(bool up)
{
    bool* order[] = {&itemNewGame, &itemControls, &itemOptions, &itemAchievements, &itemExit};
    constexpr int count = 5;
    int at = -1;
    for (int i = 0; i < count; ++i)
        if (*order[i])
            at = i;
    int next;
    if (at < 0)
        next = up ? 3 : 0; // nothing chosen: up lands on Achievements, down on New game
    else
        next = (at + (up ? count - 1 : 1)) % count;
    if (at >= 0)
        *order[at] = false;
    *order[next] = true;
}

void CGUIManager::UpdateMainMenu(float seconds)
{
    CSoundManager& sound = getSoundManager();
    if (!sound.menuThemePlaying)
        sound.EnterMenu();

    const MenuInput in = ReadMenuInput();
    if (achievementsActive) {
        if (in.close) {
            Sample(kSelectSound);
            achievementsActive = false;
        }
        return;
    }
    if (controlsActive) {
        if (in.close) {
            Sample(kSelectSound);
            controlsActive = false;
        }
        return;
    }

    UpdateLightning(seconds);
    if (optionsActive) {
        UpdateOptions();
        return;
    }
    if (in.select) {
        Sample(kSelectSound);
        if (itemExit) {
            exitRequested = true;
        } else if (itemNewGame) {
            // Without the levels' floors the menu stays: the start said why.
            if (getCollisionManager().WhyNoGame().empty()) {
                mainMenuActive = false;
                if (sound.menuThemePlaying)
                    sound.LeaveMenu();
                getSubtitulos().Resume();
            }
        } else if (itemOptions) {
            optionsActive = true;
            controlsActive = achievementsActive = false;
        } else if (itemControls) {
            controlsActive = true;
            optionsActive = achievementsActive = false;
        } else if (itemAchievements) {
            achievementsActive = true;
            optionsActive = controlsActive = false;
        }
    }
    if (in.back)
        exitRequested = true;
    if (in.up) {
        Sample(kMoveSound);
        MoveMainMenuCursor(true);
    } else if (in.down) {
        Sample(kMoveSound);
        MoveMainMenuCursor(false);
    }
}

void CGUIManager::UpdateOptions()
{
    const MenuInput in = ReadMenuInput();
    CSoundManager& sound = getSoundManager();
    if ((in.select && optionsCursor == 6) || in.back) {
        optionsActive = false;
        sound.musicVolume = musicVolume * 0.01f;
        sound.effectsVolume = effectsVolume * 0.01f;
        setMainConfig("bloomRender", bloomOn);
        setMainConfig("blurRender", motionBlurOn);
        getSubtitulos().subtitlesEnabled = subtitlesOn;
    }

    if (in.up) {
        optionsCursor = optionsCursor - 1 < 0 ? 6 : optionsCursor - 1;
        Sample(kMoveSound);
    } else if (in.down) {
        optionsCursor = optionsCursor + 1 > 6 ? 0 : optionsCursor + 1;
        Sample(kMoveSound);
    }

    leftArrowLit = rightArrowLit = false;
    if (in.rightHeld) {
        rightArrowLit = true;
        leftArrowLit = false;
    }
    if (in.leftHeld) {
        leftArrowLit = true;
        rightArrowLit = false;
    }

    if (!in.rightPress && !in.leftPress)
        return;
    Sample(kSelectSound);
    const int step = in.rightPress ? 5 : -5;
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 100 ? 100 : v); };
    switch (optionsCursor) {
    case 0:
        musicVolume = clamp(musicVolume + step);
        sound.musicVolume = musicVolume * 0.01f;
        sound.ApplyVolumes();
        break;
    case 1:
        effectsVolume = clamp(effectsVolume + step);
        sound.effectsVolume = effectsVolume * 0.01f;
        break;
    case 2:
        depthOfFieldOn = !depthOfFieldOn;
        break;
    case 3:
        motionBlurOn = !motionBlurOn;
        break;
    case 4:
        bloomOn = !bloomOn;
        break;
    case 5:
        subtitlesOn = !subtitlesOn;
        break;
    default:
        break;
    }
}

void CGUIManager::UpdateLightning(float seconds)
{
    lightningTimer += seconds;
    if (lightningTimer > Random(0.0f, 100.0f) + 2.0f && !flashA && !flashB) {
        const float r = Random(0.0f, 10.0f);
        if (r >= 5.0f) {
            Thunder();
            lightningTimer = flashTimer = 0.0f;
            flashA = lastFlashWasA = true;
        } else if (lastFlashWasA) {
            // A second, longer flicker only ever follows the short one.
            Thunder();
            lightningTimer = flashTimer = 0.0f;
            flashB = true;
            lastFlashWasA = false;
        }
    }
    if (!flashA && !flashB)
        return;
    flashTimer += seconds;
    for (bool& b : background)
        b = false;
    const int variant = FlashVariant(flashTimer, flashA);
    if (variant > 0) {
        background[variant - 1] = true;
        return;
    }
    flashTimer = 0.0f;
    background[0] = true;
    flashA = flashB = false;
}

void CGUIManager::Update(float seconds)
{
    const MenuInput in = ReadMenuInput();
    if (achievementsActive) {
        if (in.close) {
            Sample(kSelectSound);
            achievementsActive = false;
        }
    } else if (optionsActive) {
        UpdateLightning(seconds);
        UpdateOptions();
    } else {
        const HeroView hero = Hero();
        if (in.pauseKey && !getGSF().isPlayingCreditos() && hero.life > 0) {
            CSoundManager& sound = getSoundManager();
            if (pauseActive && controlsActive) {
                // The help image would otherwise stay over the running game.
                Sample(kSelectSound);
                controlsActive = false;
            } else if (pauseActive) {
                if (sound.menuThemePlaying)
                    sound.LeaveMenu();
                pauseActive = false;
                showMission(currentMission);
                getSubtitulos().Resume();
            } else if (hero.stateName != "FIGHTING") {
                // In a fight the key does nothing at all: there is no menu to close.
                if (!sound.menuThemePlaying)
                    sound.EnterMenu();
                pauseActive = true;
                getSubtitulos().Pause();
            }
        }
        if (pauseActive)
            UpdatePauseMenu();
    }
    AdvanceFade(seconds);
    if (fightLoss != FightLoss::None && !pauseActive && (fightLossTimer -= seconds) <= 0.0f)
        ShowFightLoss(FightLoss::None);
}

void CGUIManager::MovePauseCursor(int how)
{
    // Down the left column, then down the right one.
    bool* order[] = {&itemReturn, &itemCheckpoint, &itemOptions, &itemHelp, &itemAchievements, &itemBackToMain};
    constexpr int count = 6;
    int at = -1;
    for (int i = 0; i < count; ++i)
        if (*order[i])
            at = i;
    int next;
    if (at < 0)
        next = how < 0 ? 4 : (how > 0 ? 0 : 2);
    else if (how < 0)
        next = (at + count - 1) % count;
    else if (how > 0)
        next = (at + 1) % count;
    else
        next = (at + 3) % count; // the other item of the row
    for (bool* item : order)
        *item = false;
    *order[next] = true;
}

void CGUIManager::UpdatePauseMenu()
{
    const MenuInput in = ReadMenuInput();
    if (in.up || in.down || in.columnSwitch) {
        Sample(kMoveSound);
        MovePauseCursor(in.up ? -1 : (in.down ? 1 : 0));
    }
    if (!in.select)
        return;
    Sample(kSelectSound);
    CSoundManager& sound = getSoundManager();
    if (controlsActive) {
        Sample(kSelectSound);
        controlsActive = false;
    } else if (itemBackToMain) {
        // The menu music plays on into the main menu.
        mainMenuActive = true;
        pauseActive = optionsActive = false;
        itemBackToMain = itemAchievements = itemOptions = itemExit = false;
        itemNewGame = itemReturn = true;
        getGSF().setReadyVinyetasIntro1();
        getSubtitulos().subtitlesEnabled = subtitlesOn;
    } else if (itemReturn) {
        pauseActive = optionsActive = false;
        if (sound.menuThemePlaying)
            sound.LeaveMenu();
        showMission(currentMission);
        getSubtitulos().subtitlesEnabled = subtitlesOn;
        getSubtitulos().Resume();
    } else if (itemAchievements) {
        achievementsActive = true;
    } else if (itemHelp) {
        controlsActive = true;
    } else if (itemCheckpoint) {
        restartRequested = true;
        pauseActive = optionsActive = itemCheckpoint = false;
        itemReturn = true;
        if (sound.menuThemePlaying)
            sound.LeaveMenu();
        getSubtitulos().subtitlesEnabled = subtitlesOn;
        // Held, the restarted level's voice lines would never move on.
        getSubtitulos().Resume();
    } else if (itemOptions) {
        optionsActive = true;
        bloomOn = getMainConfig("bloomRender");
        motionBlurOn = getMainConfig("blurRender");
        lightningTimer = flashTimer = 0.0f;
        for (bool& b : background)
            b = false;
        background[0] = true;
        flashA = flashB = lastFlashWasA = false;
    }
}

void CGUIManager::showMission(int n)
{
    currentMission = n;
    if (n < 1 || n > kMissionCount)
        return;
    missionBannerActive[n] = true;
    missionBannerOffset[n] = 0.4f;
}

void CGUIManager::HideMissionBanners()
{
    for (int k = 1; k <= kMissionCount; ++k) {
        missionBannerActive[k] = false;
        missionBannerTimer[k] = 0.0f;
        missionBannerOffset[k] = 0.4f;
    }
}

void CGUIManager::UnlockAchievement(int id)
{
    if (playSample)
        playSample(kAchievementSound);
    else
        getSoundManager().playThisSampleOnce(kAchievementSound, 1.0f);
    if (id < 1 || id > kAchievementCount)
        return;
    achievementBannerOffset[id] = 0.2f;
    achievementBannerActive[id] = true;
    achievementBannerShowing = true;
    getAchievementStats().awarded[id - 1] = true;
}

namespace {

// One step of a sliding banner; false when it has just ended.
bool SlideBanner(bool& active, float& timer, float& offset, float seconds, float hold, float speed)
{
    timer += seconds;
    if (timer <= hold)
        offset = std::max(0.0f, offset - seconds * speed);
    else
        offset += seconds * speed;
    if (offset <= speed)
        return true;
    offset = timer = 0.0f;
    active = false;
    return false;
}

} // namespace

void CGUIManager::UpdateMissionBanners(float seconds)
{
    for (int k = 1; k <= kMissionCount; ++k) {
        if (!missionBannerActive[k])
            continue;
        if (SlideBanner(missionBannerActive[k], missionBannerTimer[k], missionBannerOffset[k], seconds,
                        kMissionBannerHold, missionBannerSpeed))
            DrawNamed(Localized("MISION" + std::to_string(k)), missionBannerOffset[k]);
    }
}

void CGUIManager::UpdateAchievementBanners(float seconds)
{
    for (int k = 1; k <= kAchievementCount; ++k) {
        if (!achievementBannerActive[k])
            continue;
        if (SlideBanner(achievementBannerActive[k], achievementBannerTimer[k], achievementBannerOffset[k], seconds,
                        kAchievementBannerHold, achievementBannerSpeed))
            DrawNamed(Localized(kAchievementBanners[k]), -achievementBannerOffset[k]);
        else
            achievementBannerShowing = false;
    }
}

CGUIManager::HeroView CGUIManager::Hero()
{
    if (heroView)
        return heroView();
    HeroView view;
    CPlayer* hero = getPlayer();
    view.life = hero->getLife();
    if (const CControllerSelector* selector = hero->GetControllerSelector())
        view.stateName = selector->GetStateName();
    if (IController* controller = hero->GetController())
        view.stateCode = controller->GetStateCode();
    if (const IWeapon* weapon = hero->GetCurrentWeapon()) {
        view.weapon = weapon->GetName();
        view.clip = weapon->GetCurrentClip();
        view.ammo = weapon->GetAmmo();
    }
    return view;
}

int CGUIManager::RayTest()
{
    return rayTestProps ? rayTestProps() : getCollisionManager().RayTestProps();
}

CGUIManager& getGUI()
{
    static CGUIManager manager;
    return manager;
}
