// The pause menu, the HUD, the banners and the fade overlay as a player sees
// them: what the keys do, which elements a frame draws in which cell, and how
// long a banner stays up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "input/InputFixture.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"

namespace {

using Strings = std::vector<std::string>;
const std::string kPauseMove = "data/sound/upDown.wav";
const std::string kPauseSelect = "data/sound/lados.wav";
constexpr float kFrame = 1.0f / 30.0f;

struct PauseInput {
    int key = 0;
    WORD button = 0;
    SHORT stickX = 0;
};
PauseInput PauseKey(int code) { return PauseInput{code, 0, 0}; }
PauseInput PauseButton(WORD b) { return PauseInput{0, b, 0}; }
PauseInput PauseStickX(SHORT x) { return PauseInput{0, 0, x}; }

class PauseHud : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetDirectInputSource(&keys);
        platform::SetPadSource(&pad);
        SetFocus(inputtest::TestWindow());
        getInputManager()->Init(nullptr, inputtest::TestWindow());
        getInputManager()->SetControllerSource([] { return static_cast<IController*>(nullptr); });
        pad.connected = true;
        Poll();
        Poll();
        InitMainConfig();
        getGSF().resetStates();
        getGSF().sequence = CGameStateFlagsManager::HangaresIntroDone;
        getRigid()->camSequenceRunning = false;
        getRigid()->comboCameraSequence = false;
        getSubtitulos().english = false;
        getSubtitulos().Resume();
        getSoundManager().menuThemePlaying = false;
        getAchievementStats().ResetForNewGame();
        gui.Init(800, 600);
        gui.mainMenuActive = false;
        gui.fadeAlpha = 0.0f;
        gui.playSample = [this](const std::string& file) { sounds.push_back(file); };
        gui.playThunder = [] {};
        gui.randomRange = [](float, float high) { return high; };
        gui.padConnected = [this] { return padHints; };
        gui.heroView = [this] { return hero; };
        gui.rayTestProps = [this] { return ray; };
        gui.drawLog = &drawn;
        hero.life = 350;
        hero.stateName = "FREE";
        hero.stateCode = 30;
        hero.weapon = "GUN";
        hero.clip = 12;
        hero.ammo = 24;
    }
    void TearDown() override
    {
        getInputManager()->SetControllerSource(nullptr);
        platform::SetDirectInputSource(nullptr);
        platform::SetPadSource(nullptr);
        getGSF().resetStates();
        getSubtitulos().Resume();
        getSoundManager().menuThemePlaying = false;
        InitMainConfig();
    }

    void Poll() { getInputManager()->Update(); }
    void Hold(const PauseInput& in, bool down)
    {
        if (in.key)
            keys.SetKey(in.key, down);
        if (down)
            pad.gamepad.wButtons |= in.button;
        else
            pad.gamepad.wButtons &= ~in.button;
        pad.gamepad.sThumbLX = down ? in.stickX : 0;
    }
    // One game-loop GUI update with the input pressed, then let go.
    Strings Frame(const PauseInput& in, float seconds = kFrame)
    {
        sounds.clear();
        Hold(in, true);
        Poll();
        gui.Update(seconds);
        Hold(in, false);
        Poll();
        return sounds;
    }
    Strings Frame() { return Frame(PauseInput{}); }
    Strings Render(float seconds = kFrame)
    {
        drawn.clear();
        gui.Render(seconds);
        return drawn;
    }

    std::string Cursor() const
    {
        const std::pair<bool, const char*> items[] = {
            {gui.itemReturn, "return"}, {gui.itemCheckpoint, "checkpoint"}, {gui.itemOptions, "options"},
            {gui.itemHelp, "help"},     {gui.itemAchievements, "achievements"}, {gui.itemBackToMain, "back"}};
        std::string on;
        for (const auto& item : items)
            if (item.first)
                on += on.empty() ? item.second : std::string("+") + item.second;
        return on.empty() ? "none" : on;
    }
    void PlaceCursor(const std::string& item)
    {
        gui.itemReturn = item == "return";
        gui.itemCheckpoint = item == "checkpoint";
        gui.itemOptions = item == "options";
        gui.itemHelp = item == "help";
        gui.itemAchievements = item == "achievements";
        gui.itemBackToMain = item == "back";
    }
    // What the game shows and plays around the pause menu, as one line.
    std::string State() const
    {
        std::string s;
        auto add = [&s](bool on, const char* name) {
            if (on)
                s += s.empty() ? name : std::string(" ") + name;
        };
        add(gui.pauseActive, "paused");
        add(getSoundManager().menuThemePlaying, "menu-music");
        add(getSubtitulos().IsPaused(), "subtitles-held");
        add(gui.missionBannerActive[3], "banner3");
        add(gui.restartRequested, "restart");
        add(gui.optionsActive, "options");
        add(gui.controlsActive, "help");
        add(gui.achievementsActive, "achievements");
        add(gui.mainMenuActive, "main-menu");
        add(getGSF().isReadyVinyetasIntro1(), "intro-comic-ready");
        return s;
    }
    // How many seconds, at 30 frames a second, an element is drawn.
    float SecondsShown(const std::string& name)
    {
        int frames = 0;
        for (int i = 0; i < 30 * 15; ++i) {
            const Strings frame = Render(kFrame);
            frames += static_cast<int>(std::count(frame.begin(), frame.end(), name));
        }
        return frames * kFrame;
    }
    void OpenPause()
    {
        Frame(PauseKey(DIK_ESCAPE));
        ASSERT_TRUE(gui.pauseActive);
    }

    platform::FakeDirectInput keys;
    platform::FakePad pad;
    CGUIManager gui;
    CGUIManager::HeroView hero;
    int ray = 0;
    bool padHints = false;
    Strings sounds;
    Strings drawn;
};

TEST_F(PauseHud, ThePauseCursorRunsDownTheColumnsWrapsAndSwitchesAcrossARow)
{
    const struct {
        const char* from;
        PauseInput in;
        const char* to;
    } cases[] = {
        {"none", PauseKey(DIK_UP), "achievements"},
        {"none", PauseKey(DIK_DOWN), "return"},
        {"none", PauseKey(DIK_LEFT), "options"},
        {"return", PauseKey(DIK_UP), "back"},
        {"back", PauseKey(DIK_S), "return"},
        {"checkpoint", PauseKey(DIK_DOWN), "options"},
        {"options", PauseButton(XINPUT_GAMEPAD_DPAD_DOWN), "help"},
        {"help", PauseKey(DIK_W), "options"},
        {"return", PauseKey(DIK_RIGHT), "help"},
        {"help", PauseKey(DIK_LEFT), "return"},
        {"checkpoint", PauseButton(XINPUT_GAMEPAD_DPAD_RIGHT), "achievements"},
        {"options", PauseStickX(20000), "back"},
        {"back", PauseButton(XINPUT_GAMEPAD_DPAD_LEFT), "options"},
    };
    for (const auto& c : cases) {
        gui.pauseActive = true;
        PlaceCursor(c.from);
        EXPECT_EQ(Frame(c.in), Strings{kPauseMove}) << c.from << " -> " << c.to;
        EXPECT_EQ(Cursor(), c.to) << "from " << c.from;
    }
    // A and D switch columns nowhere; nothing moves while the game runs.
    PlaceCursor("return");
    EXPECT_TRUE(Frame(PauseKey(DIK_D)).empty());
    EXPECT_EQ(Cursor(), "return");
    gui.pauseActive = false;
    EXPECT_TRUE(Frame(PauseKey(DIK_DOWN)).empty());
    EXPECT_EQ(Cursor(), "return");
}

TEST_F(PauseHud, EachPauseItemDoesItsOwnThingOnSelect)
{
    const struct {
        const char* item;
        const char* state;
        const char* cursor;
    } cases[] = {
        {"return", "banner3", "return"},
        {"checkpoint", "restart", "return"},
        {"options", "paused menu-music subtitles-held options", "options"},
        {"help", "paused menu-music subtitles-held help", "help"},
        {"achievements", "paused menu-music subtitles-held achievements", "achievements"},
        {"back", "menu-music subtitles-held main-menu intro-comic-ready", "return"},
    };
    for (const auto& c : cases) {
        SetUp();
        gui.currentMission = 3;
        gui.subtitlesOn = true;
        getSubtitulos().subtitlesEnabled = false;
        OpenPause();
        PlaceCursor(c.item);
        EXPECT_EQ(Frame(PauseKey(DIK_RETURN)), Strings{kPauseSelect}) << c.item;
        EXPECT_EQ(State(), c.state) << c.item;
        EXPECT_EQ(Cursor(), c.cursor) << c.item;
        const bool leaves = !gui.pauseActive;
        EXPECT_EQ(getSubtitulos().subtitlesEnabled, leaves) << c.item << ": leaving applies the subtitle setting";
        TearDown();
    }
    // Back to the main menu lands on New game; Options reads the switches.
    SetUp();
    OpenPause();
    PlaceCursor("back");
    gui.itemControls = false;
    Frame(PauseKey(DIK_RETURN));
    EXPECT_TRUE(gui.itemNewGame);
    SetUp();
    setMainConfig("bloomRender", false);
    setMainConfig("blurRender", true);
    gui.bloomOn = true;
    gui.background[0] = false;
    gui.background[3] = true;
    OpenPause();
    PlaceCursor("options");
    Frame(PauseButton(XINPUT_GAMEPAD_A));
    EXPECT_FALSE(gui.bloomOn);
    EXPECT_TRUE(gui.motionBlurOn);
    EXPECT_TRUE(gui.background[0] && !gui.background[3]) << "the storm starts calm";
}

TEST_F(PauseHud, HelpClosesBySelectOrThePauseKeyBackToThePauseMenu)
{
    for (const PauseInput close : {PauseKey(DIK_RETURN), PauseKey(DIK_ESCAPE), PauseButton(XINPUT_GAMEPAD_START)}) {
        SetUp();
        OpenPause();
        PlaceCursor("help");
        Frame(PauseKey(DIK_RETURN));
        ASSERT_TRUE(gui.controlsActive);
        const Strings clicks = close.key == DIK_RETURN ? Strings{kPauseSelect, kPauseSelect} : Strings{kPauseSelect};
        EXPECT_EQ(Frame(close), clicks);
        EXPECT_EQ(State(), "paused menu-music subtitles-held") << "help closed, the pause menu still up";
        EXPECT_EQ(Cursor(), "help");
        TearDown();
    }
}

TEST_F(PauseHud, ThePauseKeyOpensAndClosesButNotInCreditsAtNoLifeOrInAFight)
{
    gui.currentMission = 3;
    for (const PauseInput key : {PauseKey(DIK_ESCAPE), PauseButton(XINPUT_GAMEPAD_BACK), PauseButton(XINPUT_GAMEPAD_START)}) {
        Frame(key);
        EXPECT_EQ(State(), "paused menu-music subtitles-held");
        Frame(key);
        EXPECT_EQ(State(), "banner3") << "closing restarts the mission banner";
        gui.missionBannerActive[3] = false;
    }
    // The banner keeps its time when it is restarted.
    gui.showMission(3);
    for (int i = 0; i < 60; ++i)
        Render();
    const float timer = gui.missionBannerTimer[3];
    OpenPause();
    Frame(PauseKey(DIK_ESCAPE));
    EXPECT_FLOAT_EQ(gui.missionBannerTimer[3], timer);
    EXPECT_FLOAT_EQ(gui.missionBannerOffset[3], 0.4f);
    gui.missionBannerActive[3] = false;

    hero.life = 0;
    Frame(PauseKey(DIK_ESCAPE));
    EXPECT_EQ(State(), "") << "no pause at life 0";
    hero.life = 350;
    getGSF().setPlayingCreditos();
    Frame(PauseKey(DIK_ESCAPE));
    EXPECT_EQ(State(), "") << "no pause during the credits";
    getGSF().islaSequence = 0;
    hero.stateName = "FIGHTING";
    getSoundManager().menuThemePlaying = true;
    Frame(PauseKey(DIK_ESCAPE));
    EXPECT_EQ(State(), "menu-music") << "a fight ignores the key: nothing opens, nothing is closed";
}

TEST_F(PauseHud, TheHudDrawsFrameWeaponCrosshairByStateAndRayAndTheAmmunition)
{
    const Strings ammo24 = {"NUMBERS:10@0", "NUMBERS:1@1", "NUMBERS:2@2", "NUMBERS:11@3", "NUMBERS:2@4",
                            "NUMBERS:4@5"};
    auto with = [](Strings a, const Strings& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        int code;
        int ray;
        const char* weapon;
        Strings hud;
    } cases[] = {
        {30, 3, "GUN", with({"MARCO", "GUN"}, ammo24)},
        {43, 3, "GUN", with({"MARCO", "GUN"}, ammo24)},
        {35, 3, "GUN", with({"MARCO", "GUN", "CROSSHAIR_AIMING2_GUN"}, ammo24)},
        {41, 2, "SHOTGUN", with({"MARCO", "SHOTGUN", "CROSSHAIR_AIMING3_SHOTGUN"}, ammo24)},
        {48, 1, "THOMPSON", with({"MARCO", "THOMPSON", "CROSSHAIR_AIMING3_THOMPSON"}, ammo24)},
        {52, 0, "GUN", with({"MARCO", "GUN", "CROSSHAIR_NO_AIMING_GUN"}, ammo24)},
        {64, 4, "GUN", with({"MARCO", "GUN", "CROSSHAIR_NO_AIMING_GUN"}, ammo24)},
    };
    for (const auto& c : cases) {
        hero.stateCode = c.code;
        hero.weapon = c.weapon;
        ray = c.ray;
        EXPECT_EQ(Render(), with(c.hud, {"FADE:0@0"})) << "state " << c.code << " ray " << c.ray;
    }

    hero.stateCode = 30;
    hero.weapon = "GUN";
    hero.clip = 0;
    hero.ammo = 1200;
    EXPECT_EQ(Render(), (Strings{"MARCO", "GUN", "NUMBERS:10@0", "NUMBERS:0@1", "NUMBERS:11@2", "NUMBERS:1@3",
                                 "NUMBERS:2@4", "NUMBERS:0@5", "NUMBERS:0@6", "FADE:0@0"}));

    // The cover hint comes by device and lasts one frame unless set again.
    hero.clip = 1;
    hero.ammo = 2;
    const Strings tail = {"GUN", "NUMBERS:10@0", "NUMBERS:1@1", "NUMBERS:11@2", "NUMBERS:2@3", "FADE:0@0"};
    gui.parapetHint = true;
    EXPECT_EQ(Render(), with({"MARCO", "PARAPETO_TECLADO"}, tail));
    EXPECT_FALSE(gui.parapetHint);
    EXPECT_EQ(Render(), with({"MARCO"}, tail));
    padHints = true;
    gui.parapetHint = true;
    EXPECT_EQ(Render(), with({"MARCO", "PARAPETO_MANDO"}, tail));
    // Both hints at once: neither shows, the HUD runs as usual.
    gui.parapetHint = gui.comboHintActive = gui.comboHintX = true;
    EXPECT_EQ(Render(), with({"MARCO"}, tail));
}

// In cover, whether he walked into it or a cut-scene put him there, the HUD
// says so and how to get out, by device and language, until he peeks out,
// vaults or leaves; a fight's prompt takes its place.
TEST_F(PauseHud, InCoverTheHudSaysSoAndHowToGetOut)
{
    auto hint = [this] {
        const Strings seen = Render();
        for (const std::string& name : seen)
            if (name.rfind("A_CUBIERTO", 0) == 0)
                return name;
        return std::string();
    };
    hero.stateName = "PARAPETED";
    for (int code : {38, 62, 34, 63}) {
        hero.stateCode = code;
        EXPECT_EQ(hint(), "A_CUBIERTO_TECLADO") << code;
    }
    for (int code : {48, 37, 39}) {
        hero.stateCode = code;
        EXPECT_EQ(hint(), "") << code;
    }
    hero.stateCode = 62;
    padHints = true;
    EXPECT_EQ(hint(), "A_CUBIERTO_MANDO");
    gui.english = true;
    EXPECT_EQ(hint(), "A_CUBIERTO_MANDO_INGLES");
    gui.english = false;
    gui.comboHintActive = gui.comboHintX = true;
    EXPECT_EQ(hint(), "");
    gui.comboHintActive = gui.comboHintX = false;
    hero.stateName = "FREE";
    hero.stateCode = 30;
    EXPECT_EQ(hint(), "");
}

TEST_F(PauseHud, AComboHintBlinksHidesTheAmmunitionAndBlinksEvenWithoutAButton)
{
    gui.comboHintActive = gui.comboHintX = true;
    Strings cells;
    for (int i = 0; i < 6; ++i) {
        const Strings frame = Render(0.06f);
        ASSERT_EQ(frame.size(), 4u) << "MARCO, the hint, the weapon, the overlay: no crosshair, no ammunition";
        EXPECT_EQ(frame[0], "MARCO");
        EXPECT_EQ(frame[2], "GUN");
        cells.push_back(frame[1]);
    }
    EXPECT_EQ(cells, (Strings{"COMBO_X_TECLADO:0@0", "COMBO_X_TECLADO:0@0", "COMBO_X_TECLADO:1@0",
                              "COMBO_X_TECLADO:1@0", "COMBO_X_TECLADO:0@0", "COMBO_X_TECLADO:0@0"}));
    gui.comboHintX = false;
    gui.comboHintY = true;
    padHints = true;
    EXPECT_EQ(Render(0.06f)[1], "COMBO_Y_MANDO:1@0") << "the blink goes on from where the X hint left it";

    gui.comboHintY = false;
    gui.comboBlinkCell = 1;
    gui.comboBlinkTimer = 0.2f;
    hero.stateCode = 52;
    EXPECT_EQ(Render(), (Strings{"MARCO", "GUN", "FADE:0@0"}));
    EXPECT_EQ(gui.comboBlinkCell, 0) << "the blink still flips once past 0.1 s";
    EXPECT_EQ(gui.comboBlinkTimer, 0.0f);
    Render();
    EXPECT_EQ(gui.comboBlinkTimer, 0.0f) << "no hint drawn: its timer stands still";
    EXPECT_EQ(gui.comboBlinkCell, 0);
}

// A lost fight says why where the prompt stood, in the player's language,
// for three seconds of play, even as the next fight begins, until that
// fight's prompt takes the place.
TEST_F(PauseHud, ALostFightSaysWhyInThePromptsPlaceForThreeSeconds)
{
    auto shows = [&](const std::string& name) {
        const Strings frame = Render();
        return std::find(frame.begin(), frame.end(), name) != frame.end();
    };
    gui.ShowFightLoss(CGUIManager::FightLoss::TooLate);
    EXPECT_TRUE(shows("COMBO_PERDIDO_TIEMPO"));
    gui.ShowFightLoss(CGUIManager::FightLoss::WrongButton);
    EXPECT_TRUE(shows("COMBO_PERDIDO_BOTON"));
    gui.english = true;
    EXPECT_TRUE(shows("COMBO_PERDIDO_BOTON_INGLES"));
    gui.english = false;

    gui.comboHintActive = true;
    EXPECT_TRUE(shows("COMBO_PERDIDO_BOTON")) << "the next fight, before its prompt";
    gui.comboHintY = true;
    EXPECT_FALSE(shows("COMBO_PERDIDO_BOTON")) << "its prompt instead";
    EXPECT_TRUE(shows("COMBO_Y_TECLADO:0@0"));
    gui.comboHintActive = gui.comboHintY = false;

    for (int i = 0; i < 2; ++i)
        Frame(PauseInput{}, 1.4f);
    EXPECT_TRUE(shows("COMBO_PERDIDO_BOTON")) << "2.8 s on";
    Frame(PauseInput{}, 0.3f);
    EXPECT_FALSE(shows("COMBO_PERDIDO_BOTON"));
    EXPECT_FALSE(shows("COMBO_PERDIDO_TIEMPO"));
}

TEST_F(PauseHud, WhatAFrameDrawsFollowsThePauseTheComicAndTheCamera)
{
    using G = CGameStateFlagsManager;
    gui.showMission(2);
    const Strings hud = {"MARCO", "GUN", "NUMBERS:10@0", "NUMBERS:1@1", "NUMBERS:2@2", "NUMBERS:11@3",
                         "NUMBERS:2@4", "NUMBERS:4@5", "MISION2", "FADE:0@0"};
    const struct {
        bool flight, combo;
        int sequence;
        bool english;
        Strings frame;
    } cases[] = {
        {false, false, G::HangaresIntroDone, false, hud},
        {true, true, G::HangaresIntroDone, false, hud},
        // The weapon's box names it in the player's language.
        {false, false, G::HangaresIntroDone, true,
         {"MARCO", "GUN_INGLES", "NUMBERS:10@0", "NUMBERS:1@1", "NUMBERS:2@2", "NUMBERS:11@3", "NUMBERS:2@4",
          "NUMBERS:4@5", "MISION2_INGLES", "FADE:0@0"}},
        {true, false, G::PlayingCamIntroHangares, false, {"SKIP_VINYETAS_TECLADO", "EXPEDIENTE_X", "MISION2", "FADE:0@0"}},
        {true, false, G::PlayingCamIntroHangares, true,
         {"SKIP_VINYETAS_TECLADO_INGLES", "EXPEDIENTE_X_INGLES", "MISION2_INGLES", "FADE:0@0"}},
        {true, false, G::PlayingCamEmpalado, false, {"SKIP_VINYETAS_TECLADO", "MISION2", "FADE:0@0"}},
        {true, false, G::PlayingCamHangaresLlegadaAvion, false, {"MISION2", "FADE:0@0"}},
        {true, false, G::PlayingCamAvionetaNueva3, false, {"MISION2", "FADE:0@0"}},
        {false, false, G::ReadyVinyetasIntro1, false, {}},
    };
    for (const auto& c : cases) {
        getRigid()->camSequenceRunning = c.flight;
        getRigid()->comboCameraSequence = c.combo;
        getGSF().sequence = c.sequence;
        gui.english = c.english;
        EXPECT_EQ(Render(), c.frame) << "sequence " << c.sequence << " flight " << c.flight << " combo " << c.combo;
    }
    // The island's flights are told by the island's code.
    getGSF().sequence = G::HangaresIntroDone;
    getGSF().islaSequence = G::PlayingCamIslaOleadaAndamio;
    getRigid()->camSequenceRunning = true;
    gui.english = false;
    EXPECT_EQ(Render(), (Strings{"MISION2", "FADE:0@0"}));

    // Paused: the menu alone, the cursor's button lit.
    gui.pauseActive = true;
    PlaceCursor("checkpoint");
    EXPECT_EQ(Render(), (Strings{"FONDO_PAUSE", "BOTON_PAUSE_RETURN:0@0", "BOTON_PAUSE_OPTIONS:0@0",
                                 "BOTON_PAUSE_LOGROS:0@0", "BOTON_PAUSE_AYUDA:0@0", "BOTON_PAUSE_CHECKPOINT:1@0",
                                 "BOTON_PAUSE_BACKTOMAIN:0@0"}));
    gui.english = true;
    EXPECT_EQ(Render()[0], "FONDO_PAUSE_INGLES");
    gui.pauseActive = false;
    gui.controlsActive = true;
    const Strings help = Render();
    EXPECT_EQ(std::count(help.begin(), help.end(), "MARCO"), 0) << "the help screen has no HUD over it";
}

TEST_F(PauseHud, TheOverlayCellFollowsTheFadeAndStartsOpaque)
{
    CGUIManager fresh;
    fresh.Init(800, 600);
    EXPECT_EQ(fresh.fadeAlpha, 1.0f) << "the game view stays black until a fade in runs";
    const struct {
        float alpha;
        bool white;
        const char* overlay;
    } cases[] = {{1.0f, false, "FADE:64@0"}, {0.5f, false, "FADE:32@0"}, {0.999f, true, "FADE_BLANCO:63@0"},
                 {0.0f, true, "FADE_BLANCO:0@0"}};
    for (const auto& c : cases) {
        gui.fadeAlpha = c.alpha;
        gui.fadeWhite = c.white;
        EXPECT_EQ(Render().back(), c.overlay);
    }
    // A fade in runs down to clear in the game loop's update, paused or not.
    gui.fadeWhite = false;
    gui.FadeInFromBlack(1.0f);
    gui.pauseActive = true;
    for (int i = 0; i < 40; ++i)
        Frame();
    gui.pauseActive = false;
    EXPECT_EQ(Render().back(), "FADE:0@0");
}

TEST_F(PauseHud, BannersSlideInHoldAndLeaveEachByItsOwnClock)
{
    gui.showMission(1);
    EXPECT_EQ(gui.currentMission, 1);
    Render();
    EXPECT_NEAR(gui.missionBannerOffset[1], 0.4f - kFrame * 0.4f, 1e-5) << "it rises from 0.4 below";
    EXPECT_NEAR(SecondsShown("MISION1"), 10.0f - kFrame, 0.1f);

    // Mission numbers outside the list only become the current mission.
    for (int n : {0, 12}) {
        gui.showMission(n);
        EXPECT_EQ(gui.currentMission, n);
    }
    for (bool active : gui.missionBannerActive)
        EXPECT_FALSE(active);

    // An achievement banner drops in from above for about 8 s; two at once
    // move apart, and either one ending clears the showing flag.
    gui.UnlockAchievement(2);
    EXPECT_EQ(sounds, Strings{"data/sound/logroXBox.wav"});
    for (int i = 0; i < 60; ++i)
        Render();
    gui.UnlockAchievement(5);
    const Strings both = Render();
    EXPECT_EQ(both, (Strings{"MARCO", "GUN", "NUMBERS:10@0", "NUMBERS:1@1", "NUMBERS:2@2", "NUMBERS:11@3",
                             "NUMBERS:2@4", "NUMBERS:4@5", "LOGRO_BRINDIS", "LOGRO_PLENA_FORMA", "FADE:0@0"}));
    float shown = 62 * kFrame;
    while (gui.achievementBannerActive[2]) {
        Render();
        shown += kFrame;
    }
    EXPECT_NEAR(shown, 8.0f, 0.1f);
    EXPECT_TRUE(gui.achievementBannerActive[5]);
    EXPECT_FALSE(gui.achievementBannerShowing) << "cleared by the first banner to end";
}

// The achievement rules against the shared record, as the frame update runs
// them.
class AchievementsTest : public PauseHud {
protected:
    void SetUp() override
    {
        PauseHud::SetUp();
        getGUI().Init(800, 600);
        getGUI().playSample = [this](const std::string& file) { sounds.push_back(file); };
        getPlayer()->SetHasShotgun(false);
        getPlayer()->SetHasThompson(false);
    }
    void TearDown() override
    {
        getGUI().playSample = nullptr;
        getPlayer()->SetHasShotgun(false);
        getPlayer()->SetHasThompson(false);
        getAchievementStats().ResetForNewGame();
        PauseHud::TearDown();
    }
    // Ids awarded so far.
    std::vector<int> Awarded() const
    {
        std::vector<int> ids;
        for (int id = 1; id <= 10; ++id)
            if (getAchievementStats().awarded[id - 1])
                ids.push_back(id);
        return ids;
    }
    // Every banner ended, as after the banners' time has run.
    void EndBanners()
    {
        CGUIManager& g = getGUI();
        for (bool& active : g.achievementBannerActive)
            active = false;
        g.achievementBannerShowing = false;
    }
};

TEST_F(AchievementsTest, EachRuleAwardsAtItsThresholdAndNotBelow)
{
    using Counter = std::uint16_t CAchievementStats::*;
    const struct {
        int id;
        Counter counter;
        std::uint16_t below, at;
    } cases[] = {
        {2, &CAchievementStats::propsShot, 4, 5},     {3, &CAchievementStats::blastHits, 2, 3},
        {4, &CAchievementStats::meleeWins, 2, 3},     {5, &CAchievementStats::coverJumps, 3, 4},
        {6, &CAchievementStats::legShots, 5, 6},      {7, &CAchievementStats::headShots, 4, 5},
        {9, &CAchievementStats::rolls, 4, 5},
    };
    CAchievementStats& stats = getAchievementStats();
    for (const auto& c : cases) {
        stats.ResetForNewGame();
        EndBanners();
        stats.*c.counter = c.below;
        CheckAchievements();
        EXPECT_TRUE(Awarded().empty()) << c.id;
        stats.*c.counter = c.at;
        CheckAchievements();
        EXPECT_EQ(Awarded(), std::vector<int>{c.id});
        EXPECT_TRUE(getGUI().achievementBannerActive[c.id]) << c.id;
    }
    // One restore awards the first; two before the check never do.
    stats.ResetForNewGame();
    EndBanners();
    stats.checkpointRestores = 2;
    CheckAchievements();
    EXPECT_TRUE(Awarded().empty());
    stats.checkpointRestores = 1;
    CheckAchievements();
    EXPECT_EQ(Awarded(), std::vector<int>{1});
    // The Thompson alone is not enough; with the shotgun it is.
    EndBanners();
    getPlayer()->SetHasThompson(true);
    CheckAchievements();
    EXPECT_EQ(Awarded(), std::vector<int>{1});
    getPlayer()->SetHasShotgun(true);
    CheckAchievements();
    EXPECT_EQ(Awarded(), (std::vector<int>{1, 10}));
}

TEST_F(AchievementsTest, RulesOfOneFrameShowTogetherALaterOneWaitsForTheBanners)
{
    CAchievementStats& stats = getAchievementStats();
    stats.propsShot = 5;
    stats.rolls = 5;
    CheckAchievements();
    EXPECT_EQ(Awarded(), (std::vector<int>{2, 9}));
    EXPECT_EQ(sounds.size(), 2u);
    stats.headShots = 5;
    CheckAchievements();
    EXPECT_EQ(Awarded(), (std::vector<int>{2, 9})) << "a banner is up: the third waits";
    getGUI().achievementBannerActive[2] = false;
    getGUI().achievementBannerShowing = false;
    CheckAchievements();
    EXPECT_EQ(Awarded(), (std::vector<int>{2, 7, 9}));
    EndBanners();
    sounds.clear();
    CheckAchievements();
    EXPECT_TRUE(sounds.empty()) << "awarded ones are not announced again";
}

TEST_F(AchievementsTest, UnlockingOutsideTheListOnlySoundsAndDirectCallsRepeat)
{
    CGUIManager& g = getGUI();
    for (int id : {0, 11, -1}) {
        g.UnlockAchievement(id);
        EXPECT_FALSE(g.achievementBannerShowing) << id;
    }
    EXPECT_EQ(sounds.size(), 3u);
    EXPECT_TRUE(Awarded().empty());
    g.UnlockAchievement(8);
    g.achievementBannerOffset[8] = 0.0f;
    g.UnlockAchievement(8);
    EXPECT_EQ(sounds.size(), 5u) << "the finisher's repeated calls replay the sound";
    EXPECT_FLOAT_EQ(g.achievementBannerOffset[8], 0.2f) << "and restart the banner";
    EXPECT_EQ(Awarded(), std::vector<int>{8});

    // A new game restarts the counts but keeps what was awarded.
    getAchievementStats().propsShot = 3;
    getAchievementStats().shotsFired = 40;
    getAchievementStats().playTime = 12.0f;
    getAchievementStats().ResetForLevel();
    EXPECT_EQ(getAchievementStats().propsShot, 0);
    EXPECT_EQ(getAchievementStats().shotsFired, 0);
    EXPECT_EQ(getAchievementStats().playTime, 0.0f);
    EXPECT_EQ(Awarded(), std::vector<int>{8});
    getAchievementStats().ResetForNewGame();
    EXPECT_TRUE(Awarded().empty());
}

} // namespace
