#include "gui/GUIManager.h"

// What each screen draws: the pause menu, the HUD in play, the fades, the main
// menu and its option screens, in the order the frame asks for them.

#include <algorithm>

#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "gui/Achievements.h"
#include "gui/Subtitles.h"
#include "input/InputManager.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "render/DrawHelper.h"
#include "render/FrameShortcuts.h"
#include "render/TextureManager.h"
#include "scene/RigidAnimManager.h"

namespace {

// The fade strip runs from cell 0 to cell 64.
constexpr int kFadeCells = 64;

} // namespace

void CGUIManager::DrawNamed(const std::string& name, float dy)
{
    if (drawLog)
        drawLog->push_back(name);
    GUIElement element = GetElement(name);
    element.posY += dy;
    DrawElement(element);
}

void CGUIManager::DrawNamedCell(const std::string& name, float shift, int cell)
{
    if (drawLog)
        drawLog->push_back(name + ":" + std::to_string(cell) + "@" + std::to_string(static_cast<int>(shift)));
    const GUIElement& element = GetElement(name);
    DrawElementCell(element, shift, element.offset, cell);
}

void CGUIManager::RenderPause()
{
    DrawNamed(Localized("FONDO_PAUSE"));
    const std::pair<const char*, bool> buttons[] = {
        {"BOTON_PAUSE_RETURN", itemReturn}, {"BOTON_PAUSE_OPTIONS", itemOptions},
        {"BOTON_PAUSE_LOGROS", itemAchievements}, {"BOTON_PAUSE_AYUDA", itemHelp},
        {"BOTON_PAUSE_CHECKPOINT", itemCheckpoint}, {"BOTON_PAUSE_BACKTOMAIN", itemBackToMain},
    };
    for (const auto& button : buttons)
        DrawNamedCell(Localized(button.first), 0.0f, button.second ? 1 : 0);
}

void CGUIManager::RenderInGame(float seconds)
{
    if (pauseActive) {
        RenderPause();
        return;
    }
    CGameStateFlagsManager& story = getGSF();
    if (story.isReadyVinyetasIntro1())
        return;
    const CRigidAnimManager* rigid = getRigid();
    const bool flight = rigid->camSequenceRunning && !rigid->comboCameraSequence;
    const bool scriptFlight = story.isPlayingCamHangaresLlegadaAvion() || story.isPlayingCamAvionetaNueva2() ||
                              story.isPlayingCamAvionetaNueva3() || story.isPlayingCamIslaLlegadaPlaza() ||
                              story.isPlayingCamIslaSegundaOleadaPlaza() || story.isPlayingCamIslaOleadaAndamio();
    if (flight && !scriptFlight) {
        DrawNamed(ForDevice("SKIP_VINYETAS", PadConnected(), true));
        if (story.isPlayingCamIntroHangares())
            DrawNamed(Localized("EXPEDIENTE_X"));
    } else if (!flight) {
        RenderHud(seconds);
    }
    UpdateMissionBanners(seconds);
    UpdateAchievementBanners(seconds);
    getSubtitulos().Render(seconds);
    RenderFade();
}

void CGUIManager::RenderHud(float seconds)
{
    DrawNamed("MARCO");
    const HeroView hero = Hero();
    const bool pad = PadConnected();
    bool comboShown = false, signShown = false;
    if (parapetHint && !comboHintActive) {
        DrawNamed(ForDevice("PARAPETO", pad, false));
    } else if (comboHintActive && !parapetHint) {
        comboShown = true;
        const char* stem = comboHintX ? "COMBO_X" : (comboHintY ? "COMBO_Y" : nullptr);
        if (stem) {
            DrawNamedCell(ForDevice(stem, pad, true), 0.0f, comboBlinkCell);
            comboBlinkTimer += seconds;
            signShown = true;
        }
        if (comboBlinkTimer > 0.1f) {
            comboBlinkTimer = 0.0f;
            comboBlinkCell = comboBlinkCell == 1 ? 0 : 1;
        }
    }
    // Put in cover by a cut-scene as much as by his own key, a player must
    // see that he is in it and how to get out.
    const int code = hero.stateCode;
    if (!comboShown && hero.stateName == "PARAPETED" && (code == 38 || code == 62 || code == 34 || code == 63))
        DrawNamed(ForDevice("A_CUBIERTO", pad, true));
    // Still shown as the next fight begins (a hero put back within reach is
    // caught again at once), until a prompt takes its place.
    if (fightLoss != FightLoss::None && !signShown)
        DrawNamed(Localized(fightLoss == FightLoss::WrongButton ? "COMBO_PERDIDO_BOTON" : "COMBO_PERDIDO_TIEMPO"));
    // The weapon's box names it in the player's language, as every other
    // picture with words does.
    if (!hero.weapon.empty())
        DrawNamed(Localized(hero.weapon));
    if (!comboShown && !hero.weapon.empty()) {
        // The crosshair by what the view's ray meets.
        if (code == 35 || code == 41 || code == 48 || code == 52 || code == 64) {
            const int hit = RayTest();
            const char* prefix = hit == 3 ? "CROSSHAIR_AIMING2_"
                                          : (hit == 2 || hit == 1 ? "CROSSHAIR_AIMING3_" : "CROSSHAIR_NO_AIMING_");
            DrawNamed(prefix + hero.weapon);
        }
        // Clip and reserve: "<clip/reserve" between the strip's two signs.
        DrawNamedCell("NUMBERS", 0.0f, 10);
        const std::string clip = std::to_string(std::max(0, hero.clip));
        const std::string reserve = std::to_string(std::max(0, hero.ammo));
        float shift = 1.0f;
        for (char digit : clip)
            DrawNamedCell("NUMBERS", shift++, digit - '0');
        DrawNamedCell("NUMBERS", shift++, 11);
        for (char digit : reserve)
            DrawNamedCell("NUMBERS", shift++, digit - '0');
    }
    parapetHint = false;
}

void CGUIManager::RenderFade()
{
    const int cell = std::min(kFadeCells, std::max(0, static_cast<int>(fadeAlpha * kFadeCells)));
    DrawNamedCell(fadeWhite ? "FADE_BLANCO" : "FADE", 0.0f, cell);
}

void CGUIManager::DrawBackground(const char* stem, bool localized)
{
    for (int i = 0; i < 5; ++i)
        if (background[i]) {
            const std::string name = stem + std::to_string(i + 1);
            DrawElement(GetElement(localized ? Localized(name) : name));
            return;
        }
}

void CGUIManager::DrawButton(const std::string& name, bool selected)
{
    GUIElement& element = GetElement(name);
    DrawElementCell(element, 0.0f, element.offset, selected ? 1 : 0);
}

void CGUIManager::RenderMainMenu()
{
    DrawBackground("FONDO_MAINMENU", false);
    DrawButton(Localized("BOTON_MAINMENU_NUEVA"), itemNewGame);
    DrawButton(Localized("BOTON_MAINMENU_OPTIONS"), itemOptions);
    DrawButton(Localized("BOTON_MAINMENU_CONTROLES"), itemControls);
    DrawButton(Localized("BOTON_MAINMENU_LOGROS"), itemAchievements);
    DrawButton(Localized("BOTON_MAINMENU_EXIT"), itemExit);
}

void CGUIManager::RenderOptions()
{
    DrawBackground("FONDO_OPCIONES", true);
    auto selector = [&](const char* name, int row) {
        GUIElement& element = GetElement(name);
        int cell = 0;
        if (optionsCursor == row && leftArrowLit)
            cell = 1;
        else if (optionsCursor == row && rightArrowLit)
            cell = 2;
        DrawElementCell(element, 0.0f, element.offset, cell);
    };
    DrawButton(Localized("BOTON_OPTIONS_MUSICA"), optionsCursor == 0);
    selector("SELECTOR_MUSICA", 0);
    DrawButton(Localized("BOTON_OPTIONS_EFECTOS"), optionsCursor == 1);
    selector("SELECTOR_EFECTOS", 1);
    DrawButton(Localized("BOTON_OPTIONS_DOF"), optionsCursor == 2);
    DrawButton(Localized("BOTON_OPTIONS_MOTION"), optionsCursor == 3);
    DrawButton(Localized("BOTON_OPTIONS_BLOOM"), optionsCursor == 4);
    DrawButton(Localized("BOTON_OPTIONS_SUBTITULOS"), optionsCursor == 5);
    // A switch shows cell 0 when on.
    DrawButton("BOTON_OPTIONS_SUBTITULOS_ONOFF", !subtitlesOn);
    DrawButton("BOTON_OPTIONS_DOF_ONOFF", !depthOfFieldOn);
    DrawButton("BOTON_OPTIONS_MOTION_ONOFF", !motionBlurOn);
    DrawButton("BOTON_OPTIONS_BLOOM_ONOFF", !bloomOn);
    DrawNumber(GetElement("NUMBERS_MUSICA"), musicVolume, 1.0f);
    DrawNumber(GetElement("NUMBERS_EFECTOS"), effectsVolume, 1.0f);
    DrawButton(Localized("BOTON_OPTIONS_BACK"), optionsCursor == 6);
}

void CGUIManager::RenderControls()
{
    DrawElement(GetElement(Localized(PadConnected() ? "FONDO_MANDO" : "FONDO_TECLADO")));
}

void CGUIManager::RenderAchievements()
{
    DrawElement(GetElement(Localized("FONDO_LOGROS")));
    const CAchievementStats& stats = getAchievementStats();
    for (int id : kAchievementListOrder)
        if (stats.awarded[id - 1])
            DrawElement(GetElement(Localized(kAchievementListElements[id])));
    DrawButton(Localized("BOTON_OPTIONS_BACK"), true);
}

bool CGUIManager::DrawsSubtitles() const
{
    return !controlsActive && !optionsActive && !achievementsActive && !mainMenuActive && !pauseActive &&
           !getGSF().isReadyVinyetasIntro1();
}

void CGUIManager::Render(float seconds)
{
    if (controlsActive)
        RenderControls();
    else if (optionsActive)
        RenderOptions();
    else if (achievementsActive)
        RenderAchievements();
    else if (mainMenuActive)
        RenderMainMenu();
    else
        RenderInGame(seconds);
}
