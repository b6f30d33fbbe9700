// Everything drawn in two dimensions over the game: the main menu and its
// screens, the pause menu, the HUD, banners and fades. Its flags steer the
// menu loop and the game loop; the rest of the game reads and writes them
// directly.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "xml/XMLParser.h"

// One screen image of "data/XML/GUI.xml"; (posX, posY) is its centre on the
// unit screen and alto its height as a share of the screen height.
struct GUIElement {
    std::string texture;
    std::string textureEmpty;
    std::string type;
    float posX = 0.0f;
    float posY = 0.0f;
    float aspect = 1.0f; // width over height of the picture
    float alto = 1.0f;
    int bullets = 0;
    float distance = 0.0f;
    float offset = 1.0f; // width of one cell of a strip, as a share of the texture
};

class CGUIManager : public CXMLParser {
public:
    static constexpr int kMissionCount = 11;
    static constexpr int kAchievementCount = 10;

    // Reads the screen elements and leaves the program in the main menu with
    // every setting at its default.
    void Init(int width, int height);
    // Script method: reads the screen elements of "data/XML/GUI.xml" again;
    // nothing else changes.
    void reload();
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;

    // The element of that name; a name the file lacks gets a default record
    // (no texture, centred at 0,0, full height), kept from then on, and one
    // line naming it when the file itself was read.
    GUIElement& GetElement(const std::string& name);
    const std::map<std::string, GUIElement>& Elements() const { return m_Elements; }
    // The name a screen draws: "_INGLES" appended in English.
    std::string Localized(const std::string& name) const;
    // The pad ("_MANDO") or keyboard ("_TECLADO") version of a hint, the
    // device part before any language part.
    std::string ForDevice(const std::string& stem, bool pad, bool localized) const;

    // The whole texture, alto high, keeping its aspect on any window shape.
    void DrawElement(GUIElement element);
    // One cell of a horizontal strip of cells cellWidth wide; shift moves it
    // right by 0.7 of its height times its aspect per unit.
    void DrawElementCell(GUIElement element, float shift, float cellWidth, int cell);
    // The decimal digits of a value from the start shift, one per shift, with
    // no leading zeros.
    void DrawNumber(const GUIElement& digits, int value, float startShift);

    // Fades over the game view; they advance only in the game loop.
    void FadeInFromBlack(float seconds);
    void FadeOutToBlack(float seconds);
    void FadeInFromWhite(float seconds);
    void FadeOutToWhite(float seconds);
    // One step of the running fade.
    void AdvanceFade(float seconds);

    // Once per menu-loop pass.
    void UpdateMainMenu(float seconds);
    // While the options screen is up, from either loop.
    void UpdateOptions();
    // The storm behind the menu screens: now and then a thunder clap and a
    // flicker of the background through its five variants.
    void UpdateLightning(float seconds);
    // Once per game-loop frame, also while paused.
    void Update(float seconds);
    // Draws the screen the flags select.
    void Render(float seconds);
    // Whether Render draws the subtitles this frame: in play, over the banners
    // (which rise and sink through the subtitles' band) and under the fade.
    // Elsewhere they are drawn before the screens, which cover them.
    bool DrawsSubtitles() const;
    // Starts mission banner n (1 to 11); any n becomes the current mission.
    // A banner still up keeps its time, so it does not start over.
    void showMission(int n);
    // Every banner off the screen at once, each to rise from the start when next shown.
    void HideMissionBanners();
    // Plays the achievement sound; ids 1 to 10 also get their banner and
    // are marked awarded. Awarded ids are not refused: the caller decides.
    void UnlockAchievement(int id);
    // Advance and draw the banners; from the in-game render only.
    void UpdateMissionBanners(float seconds);
    void UpdateAchievementBanners(float seconds);

    // The screen flags.
    bool mainMenuActive = false; // the menu loop runs while set
    bool pauseActive = false;    // the game loop only polls input and runs the pause menu
    bool optionsActive = false;
    bool controlsActive = false;
    bool achievementsActive = false;
    bool exitRequested = false;    // the player chose to leave the program
    bool restartRequested = false; // the next frame update restarts from the checkpoint
    bool english = false;          // English screen images
    bool achievementBannerShowing = false;
    bool parapetHint = false;
    bool comboHintActive = false;
    bool comboHintX = false;
    bool comboHintY = false;
    // Why the last fight was lost, shown in the prompt's place for a while:
    // the hero is put back where he came near, which would look like a jump
    // for no reason.
    enum class FightLoss { None, WrongButton, TooLate };
    FightLoss fightLoss = FightLoss::None;
    float fightLossTimer = 0.0f;
    static constexpr float kFightLossSeconds = 3.0f;
    void ShowFightLoss(FightLoss why)
    {
        fightLoss = why;
        fightLossTimer = why == FightLoss::None ? 0.0f : kFightLossSeconds;
    }

    // Menu cursors: one set at a time within each menu; itemOptions and
    // itemAchievements serve both.
    bool itemNewGame = false, itemControls = false, itemOptions = false, itemAchievements = false, itemExit = false;
    bool itemReturn = false, itemCheckpoint = false, itemHelp = false, itemBackToMain = false;
    int optionsCursor = 0; // 0 music, 1 effects, 2 depth of field, 3 motion blur, 4 bloom, 5 subtitles, 6 back
    bool leftArrowLit = false, rightArrowLit = false;

    // Settings, edited on the options screen.
    int musicVolume = 0;   // 0..100
    int effectsVolume = 0; // 0..100
    bool bloomOn = false;
    bool motionBlurOn = false;
    bool depthOfFieldOn = false;
    bool subtitlesOn = false;

    // Fade state.
    bool fading = false, fadeIn = false, fadeOut = false, fadeWhite = false;
    float fadeRemaining = 0.0f;
    float fadeTotal = 0.0f;
    float fadeAlpha = 0.0f;

    // Background flicker: background[0] is variant 1.
    bool background[5] = {};
    bool flashA = false, flashB = false, lastFlashWasA = false;
    float lightningTimer = 0.0f;
    float flashTimer = 0.0f;

    // Banners, indexed by mission 1..11 and achievement 1..10 (slot 0 unused).
    bool missionBannerActive[kMissionCount + 1] = {};
    float missionBannerOffset[kMissionCount + 1] = {};
    float missionBannerTimer[kMissionCount + 1] = {};
    float missionBannerSpeed = 0.0f;
    bool achievementBannerActive[kAchievementCount + 1] = {};
    float achievementBannerOffset[kAchievementCount + 1] = {};
    float achievementBannerTimer[kAchievementCount + 1] = {};
    float achievementBannerSpeed = 0.0f;
    int currentMission = 0;

    // HUD state.
    int comboBlinkCell = 0;
    float comboBlinkTimer = 0.0f;

    int screenWidth = 0;
    int screenHeight = 0;
    float heightOverWidth = 0.0f;

    // Where the screens' sounds and chances come from. Empty means the sound
    // manager and the game's RandomRange; tests put recorders here.
    std::function<void(const std::string& file)> playSample;
    std::function<void()> playThunder;
    std::function<float(float low, float high)> randomRange;
    // Whether a pad is connected; empty asks the input manager.
    std::function<bool()> padConnected;

    // What the pause key and the HUD read of the hero and the world.
    struct HeroView {
        short life = 0;
        std::string stateName; // the controller selector's: "FREE", "FIGHTING", ...
        int stateCode = 0;     // the current controller's
        std::string weapon;    // empty: no current weapon
        int clip = 0;
        int ammo = 0;
    };
    // Empty asks the hero.
    std::function<HeroView()> heroView;
    // What a ray from the view hits (3 an enemy, 2 or 1 a prop); empty asks
    // the collision manager.
    std::function<int()> rayTestProps;
    // When set, every element drawn is also written here as "NAME" for a
    // whole element and "NAME:cell@shift" for a cell.
    std::vector<std::string>* drawLog = nullptr;

private:
    void LoadElements();
    void StartFade(float seconds, bool in, bool out, bool white);
    void Sample(const char* file);
    void Thunder();
    float Random(float low, float high);
    bool PadConnected();
    void MoveMainMenuCursor(bool up);
    void RenderMainMenu();
    void RenderOptions();
    void RenderControls();
    void RenderAchievements();
    void DrawBackground(const char* stem, bool localized);
    void DrawButton(const std::string& name, bool selected);
    void DrawNamed(const std::string& name, float dy = 0.0f);
    void DrawNamedCell(const std::string& name, float shift, int cell);
    HeroView Hero();
    int RayTest();
    void UpdatePauseMenu();
    void MovePauseCursor(int how);
    void RenderPause();
    void RenderInGame(float seconds);
    void RenderHud(float seconds);
    void RenderFade();

    // One line when pictures the file names are not there.
    void SayMissingPictures();
    std::map<std::string, GUIElement> m_Elements;
    // Whether the last read of the file succeeded.
    bool m_FileRead = false;
    std::string m_ReadFault;
    int m_ReadCount = 0;
};

CGUIManager& getGUI();

// The achievements' list images in the order the achievements screen shows
// them, with each id's entry.
extern const int kAchievementListOrder[CGUIManager::kAchievementCount];
extern const char* const kAchievementListElements[CGUIManager::kAchievementCount + 1];
