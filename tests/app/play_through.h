// A scripted player who plays the shipped game from the main menu through
// both levels to the credits and back, using only what a player has: the
// menu keys, space, the movement keys, the mouse (the camera pointed at a
// target, the buttons), the console, and the hero put at a stretch's start
// the way a restart puts him. What the game showed on the way is kept in a
// record that the test and the soak bench read back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/GameCalls.h"
#include "platform/d3dx9math.h"
#include "platform/dinput.h"

class CEnemy;

namespace playthrough {

// A checkpoint restart as the player saw it the frame after.
struct Restart {
    int checkpoint = 0;
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    std::string wave;
};

// What the run saw, each list in the order it happened.
struct Record {
    // Every change of the three story codes.
    std::vector<int> sequence, hangarRigidState, islaSequence;
    std::vector<std::string> wavesEntered; // every change of the current wave
    std::vector<std::string> wavesCleared; // a wave seen with nobody standing, once per entry
    std::vector<int> checkpoints;          // every change of the checkpoint number
    std::vector<int> missions;             // every mission banner started
    std::vector<int> zones;                // every change of the trigger zone
    std::vector<Restart> restarts;
    std::vector<std::string> logicsWithoutFunction; // active logics the scripts define no function for
    // How many frames each prompt of the final fight showed, in order.
    std::vector<int> finalFightPrompts;
    bool achievement8 = false;
    bool creditsEnded = false; // the credits ended on the main menu
    // Empty when every stretch ran to its end; else the stretch and the step
    // that waited too long, and what the story was doing.
    std::string stall;
    int frames = 0;
    // Milliseconds of each updated and each drawn frame of the last loop.
    std::vector<double> updateMs, renderMs;
};

// Whether an enemy still counts for its wave: alive, and not a docker who
// has been shot and runs off.
bool Standing(CEnemy* enemy);

// One thing the player waits for, and what he does each frame meanwhile.
struct Step {
    std::string what;
    double seconds; // game time allowed before the story is said to stall
    std::function<bool()> frame; // true once done
};

class Player : public CGameCalls {
public:
    struct Options {
        int drawEvery = 1;          // draw one frame in this many
        bool blowScaffold = true;   // shoot the scaffold barrel in wave_34
        int loops = 1;              // new games played from the menu before exiting
        std::function<void(int loop)> onLoopEnd; // after each loop's credits
        // A death besides the usual two, in the stretch of the checkpoint
        // this gives for a loop (none when unset or 0).
        std::function<int(int loop)> extraDeath;
        // That loop's extra restart taken by the pause menu's "checkpoint"
        // item instead of a death (when set and true).
        std::function<bool(int loop)> restartByPause;
        bool trace = false;
        // Only the hangars, up to the switch to the island; then the window
        // is closed, or, with more loops to play, the pause menu's way back to
        // the main menu is taken.
        bool hangarsOnly = false; // each step and each change of a code on the standard output
        // A stretch of the island alone: after the hangars' intro the
        // console's "Checkpoint" command makes this island checkpoint (3 to 5)
        // the one to go back to, the hero falls and is revived there, and the
        // run goes on from that checkpoint's stretch. 0 plays the whole game.
        int startCheckpoint = 0;
        // The memorial and the credits left to end by themselves, not skipped.
        bool waitOutTheEnd = false;
        std::function<void()> onMenuFrame; // after each main menu frame drawn
    };

    Player();
    explicit Player(const Options& options);
    ~Player() override;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void UpdateMainMenu(float dt) override;
    void UpdateFrame(float dt) override;
    void RenderFrame(float dt) override;
    void RestartLevel(bool newGame) override;
    // The trigger zone's reset on leaving the main menu is one of its changes.
    void ResetManagers() override;

    platform::FakeDirectInput keys;
    Record record;
    Options options;
    // The game time each frame stands for; the player moves the clock by it.
    std::function<void(double)> advanceClock;

    // --- what the stretches use ------------------------------------------
    // Every key and button let go.
    void Release();
    // A key that goes down only every other frame: a fresh press each time.
    void Tap(int key);
    // The hero put down where a restart would put him.
    void Place(const D3DXVECTOR3& position, float yaw);
    // Walks the hero toward the point; true once he is within reach of it.
    bool WalkTo(const D3DXVECTOR3& target, float reach);
    // Fights the current wave: aims at the nearest enemy standing and fires.
    // True once nobody of the wave stands (dockers count once shot).
    bool FightWave();
    // Aims at the point and fires once the camera looks at it, walking
    // closer while a wall stands between; `box` names the collision box
    // that the shot is meant to hit (empty for a prop or a character).
    void ShootAt(const D3DXVECTOR3& point, const std::string& box);
    // The same, answering prompts and rearming first.
    void ShootThing(const D3DXVECTOR3& point, const std::string& box);
    // Types a console line, the console opened and closed around it.
    static void Console(const std::string& line);
    // Dies by the console (the line typed), then revives with space. True
    // once revived.
    bool DieAndRevive(const std::string& line = "FuckPlayer 400");
    // Answers a fight's prompt with its button.
    void AnswerPrompts();
    // Another weapon, or one lying about, when the one in hand is empty;
    // false when there is nothing to do about it.
    bool Rearm();
    int StepFrames() const { return m_StepFrames; }
    // Places of the level out of the enemies' sight, where the hero gets his
    // breath back when no nearer spot hides him.
    std::vector<D3DXVECTOR3> refuges;

private:
    void Plan();
    void PlanHangares();
    void PlanIsla();
    void PlanIslandsEnd();
    void PlanStartAt(int checkpoint);
    void PlanCredits();
    void PlanClose();
    void PlanBackToMenu();
    static constexpr const char* kBackToMenu = "back to the main menu by the pause menu";
    void Watch();
    void WatchCodes();
    void CheckLogics();
    bool Aim(const D3DXVECTOR3& point);
    // Picks another spot to shoot at the point from, in turn round it,
    // nearer and farther, and sets off there.
    void MoveElsewhere(const D3DXVECTOR3& point);
    void ForgetSpot();

    std::vector<Step> m_Steps;
    std::size_t m_Step = 0;
    int m_StepFrames = 0;
    int m_Loop = 0;
    int m_MenuPasses = 0;
    bool m_Playing = false;
    bool m_Recording = false;
    bool m_Done = false;
    bool m_TapDown[256] = {};
    bool m_FireDown = false;
    bool m_PromptDown = false;
    int m_Frame = 0;
    // Watching the story.
    int m_Sequence = -1, m_Hangar = -1, m_Isla = -1, m_Checkpoint = -1, m_Zone = -1;
    std::string m_Wave;
    bool m_WaveCleared = false;
    bool m_BannerShown[12] = {};
    bool m_RestartPending = false;
    int m_DeathStage = 0;
    bool m_Reviving = false;
    bool m_ExtraDied = false;
    bool m_PauseRestart = false; // the pause menu's restart asked for, not yet seen
    int m_ExtraDeathWait = 0;
    int m_ReviveFrames = 0;
    // The step a checkpoint's stretch is played again from after a death.
    int m_StretchOf[6] = {-1, -1, -1, -1, -1, -1};
    std::string m_Target; // the enemy being fought
    int m_TargetFrames = 0;
    int m_OnTargetFrames = 0;
    int m_TargetLife = 0;
    bool m_Approach = false;
    bool m_Retreating = false;
    int m_RetreatFrames = 0;
    int m_RetreatLife = -1;    // life on reaching the place he backed off to
    int m_NoRetreatFrames = 0; // hit there too: fights on for a while
    D3DXVECTOR3 m_Hide{0.0f, 0.0f, 0.0f}; // where he backs off to
    std::vector<D3DXVECTOR3> m_BadHides;  // found out there or held up on the way
    D3DXVECTOR3 m_HideWalkFrom{0.0f, 0.0f, 0.0f};
    int m_HideWalkFrames = 0;
    // Walking: where he was at the last look, and a moment of backing off
    // when he has not got on from there.
    D3DXVECTOR3 m_WalkFrom{0.0f, 0.0f, 0.0f};
    int m_WalkFrames = 0;
    int m_UnstickFrames = 0;
    bool m_UnstickLeft = false;
    // Where he was last held up, and how many times running he was held
    // up there.
    D3DXVECTOR3 m_HeldAt{0.0f, 0.0f, 0.0f};
    int m_HeldAgain = 0;
    int m_GatherFrames = 0;
    D3DXVECTOR3 m_Home{0.0f, 0.0f, 0.0f};
    int m_ApproachFrames = 0;
    // Shooting from one spot without getting on the point, or without
    // anything to show for the shots: time to shoot from elsewhere.
    int m_OffTargetFrames = 0;
    int m_StuckFrames = 0;
    bool m_Moving = false;
    D3DXVECTOR3 m_Spot{0.0f, 0.0f, 0.0f};
    int m_SpotFrames = 0;
    int m_SpotTry = 0;
    int m_NextSpotSearch = 0; // the step frame from which a clear spot is looked for again
};

// A step's frame that walks the hero through the points in turn, then on to
// the last until `arrived` says he is there.
std::function<bool()> Walker(Player* player, std::vector<D3DXVECTOR3> path, std::function<bool()> arrived);
// A step's frame that first puts the hero at a stretch's start.
std::function<bool()> PlacedFirst(Player* player, D3DXVECTOR3 at, float yaw, std::function<bool()> then);

// The height of the ground under a point (false over nothing).
bool GroundUnder(const D3DXVECTOR3& at, float* height);
// A spot on the ground the hero stands on (not up or down a drop from him).
bool SameLevel(const D3DXVECTOR3& spot);
// A straight walk from the hero's feet to the spot: ground all the way, no
// drop and no wall.
bool WalkableWay(const D3DXVECTOR3& from, const D3DXVECTOR3& to);
// A spot in one of the hangars' volumes still waiting for him: going there
// for a shot would start the next wave over the one he fights.
bool UpTheLevel(const D3DXVECTOR3& spot);
// The same of the spot or of any point on the straight way there.
bool WayUpTheLevel(const D3DXVECTOR3& from, const D3DXVECTOR3& spot);
// Nothing between the two points but the named box or the target itself.
bool ClearLine(const D3DXVECTOR3& from, const D3DXVECTOR3& point, const std::string& box);
// The spot nearest the hero, on his level and with a straight way there,
// from which a shot at the point meets nothing else on the way.
bool FindShootingSpot(const D3DXVECTOR3& point, const std::string& box, D3DXVECTOR3* spot);
// The nearest spot the eyes do not see: round the hero on his level, or one
// of the refuges (the level's own places out of sight) when nearer by way.
// Spots near one of the `shunned` are left out.
bool FindHidingSpot(const std::vector<D3DXVECTOR3>& eyes, const std::vector<D3DXVECTOR3>& refuges,
                    const std::vector<D3DXVECTOR3>& shunned, D3DXVECTOR3* spot);
// On the island, the next point on the way to the target: the plateau and
// the square meet only at the ramp, and a fence stands before its foot.
D3DXVECTOR3 IslandWaypoint(const D3DXVECTOR3& hero, const D3DXVECTOR3& target);

// The game time of one frame.
constexpr double kFrameSeconds = 1.0 / 30.0;

// Text as the keyboard types it: one message a character (two bytes for the
// console key's "º"); and one press of Return.
void PushText(const std::string& text);
void PushReturn();

} // namespace playthrough
