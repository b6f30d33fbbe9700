// The scripted player's loop: the menu, each frame's plan of stretches and
// steps, the console and deaths, and the record of what the story did.
#include "play_through.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "app/GameStateFlags.h"
#include "app/Startup.h"
#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "platform/sdl_window.h"
#include "scene/CharacterEntity.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "player/WeaponPickups.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

extern "C" {
#include <lua.h>
}

namespace playthrough {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

void PushText(const std::string& text)
{
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
    for (std::size_t i = 0; i < text.size();) {
        // One character a message: two bytes for the console key's "º".
        const std::size_t n = static_cast<unsigned char>(text[i]) >= 0xC0 ? 2 : 1;
        std::memset(e.text.text, 0, sizeof e.text.text);
        std::memcpy(e.text.text, text.data() + i, n);
        SDL_PushEvent(&e);
        i += n;
    }
}

void PushReturn()
{
    SDL_Event e{};
    e.key.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    e.key.keysym.sym = SDLK_RETURN;
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    e.key.state = SDL_RELEASED;
    SDL_PushEvent(&e);
}

Player::Player() : Player(Options()) {}

Player::Player(const Options& chosen) : options(chosen)
{
    Plan();
    StoryCode::watcher = [this] { WatchCodes(); };
}

Player::~Player()
{
    StoryCode::watcher = nullptr;
}

void Player::WatchCodes()
{
    if (!m_Recording)
        return;
    const CGameStateFlagsManager& story = getGSF();
    auto follow = [this](int now, int& last, std::vector<int>& list) {
        if (now == last)
            return;
        list.push_back(now);
        last = now;
        if (options.trace) {
            const D3DXVECTOR3 h = getPlayer()->GetPosition().GetPosition();
            std::printf("frame %d: code %d, wave %s, hero (%.0f %.0f %.0f), step %d\n", record.frames, now,
                        getEnemyManager()->GetCurrentWave().c_str(), h.x, h.y, h.z, static_cast<int>(m_Step));
        }
    };
    follow(story.sequence, m_Sequence, record.sequence);
    follow(story.hangarRigidState, m_Hangar, record.hangarRigidState);
    follow(story.islaSequence, m_Isla, record.islaSequence);
}

void Player::Plan()
{
    m_Steps.clear();
    refuges.clear();
    const int from = options.hangarsOnly ? 0 : options.startCheckpoint;
    if (from >= 3 && from <= 5)
        PlanStartAt(from);
    else
        PlanHangares();
    if (options.hangarsOnly) {
        if (options.loops > 1)
            PlanBackToMenu();
        else
            PlanClose();
    } else {
        const std::size_t started = m_Steps.size();
        PlanIsla();
        PlanIslandsEnd();
        PlanCredits();
        if (from >= 3 && from <= 5) {
            // The stretches before the one started at are never played.
            const int first = m_StretchOf[from];
            const int skipped = first - static_cast<int>(started);
            m_Steps.erase(m_Steps.begin() + started, m_Steps.begin() + first);
            for (int& stretch : m_StretchOf)
                stretch = stretch < first ? -1 : stretch - skipped;
        }
    }
    m_Step = 0;
    m_StepFrames = 0;
    m_ExtraDied = false;
    m_PauseRestart = false;
    m_ExtraDeathWait = 0;
}

void Player::PlanClose()
{
    m_Steps.push_back({"the window closed", 5.0, [this] {
                           if (m_StepFrames == 1) {
                               SDL_Event e{};
                               e.type = SDL_WINDOWEVENT;
                               e.window.windowID = SDL_GetWindowID(platform::SdlWindowOf(MainWindow));
                               e.window.event = SDL_WINDOWEVENT_CLOSE;
                               SDL_PushEvent(&e);
                           }
                           Release();
                           return false;
                       }});
}

// Escape, then down the pause menu to its way back to the main menu.
void Player::PlanBackToMenu()
{
    m_Steps.push_back({kBackToMenu, 30.0, [this] {
                           if (getGUI().mainMenuActive) {
                               Release();
                               return true;
                           }
                           if (!getGUI().pauseActive)
                               Tap(DIK_ESCAPE);
                           return false;
                       }});
}

void Player::Release()
{
    keys = platform::FakeDirectInput();
}

void Player::Tap(int key)
{
    m_TapDown[key] = !m_TapDown[key];
    keys.SetKey(key, m_TapDown[key]);
}

void Player::AnswerPrompts()
{
    const CGUIManager& gui = getGUI();
    if (!gui.comboHintActive) {
        m_PromptDown = false;
        return;
    }
    const bool x = gui.comboHintX && !m_PromptDown;
    const bool y = gui.comboHintY && !m_PromptDown;
    keys.SetButton(0, x);
    keys.SetButton(1, y);
    m_PromptDown = x || y;
}

void Player::Console(const std::string& line)
{
    PushText("\xC2\xBA");
    PushText(line);
    PushReturn();
    PushText("\xC2\xBA");
}

bool Player::DieAndRevive(const std::string& line)
{
    switch (m_DeathStage) {
    case 0:
        Release();
        m_RestartPending = false;
        Console(line);
        m_DeathStage = 1;
        return false;
    case 1:
        // Dead: space revives him at the checkpoint.
        if (getPlayer()->GetLife() <= 0)
            Tap(DIK_SPACE);
        if (!m_RestartPending)
            return false;
        Release();
        m_DeathStage = 0;
        m_RestartPending = false;
        return true;
    default:
        return true;
    }
}

void Player::RestartLevel(bool newGame)
{
    if (newGame) {
        // The story is followed from the new game's reset on.
        m_Recording = true;
        m_Sequence = m_Hangar = m_Isla = -1;
    }
    CGameCalls::RestartLevel(newGame);
    if (newGame)
        return;
    Restart restart;
    restart.checkpoint = getTriggerManager().checkpoint;
    restart.position = getPlayer()->GetPosition().GetPosition();
    restart.wave = getEnemyManager()->GetCurrentWave();
    record.restarts.push_back(restart);
    m_RestartPending = true;
}

void Player::UpdateMainMenu(float dt)
{
    if (++m_MenuPasses == 1)
        SetFocus(MainWindow);
    // The credits end on the main menu: the last step sees it here.
    if (m_Playing && !m_Done && m_Step + 1 == m_Steps.size() && m_Steps[m_Step].frame()) {
        if (++m_Step == m_Steps.size()) {
            m_Playing = false;
            if (options.onLoopEnd)
                options.onLoopEnd(m_Loop);
            m_Recording = false;
            ++m_Loop;
        }
        m_StepFrames = 0;
    }
    CGameCalls::UpdateMainMenu(dt);
    if (advanceClock)
        advanceClock(kFrameSeconds);
    for (int key : {DIK_SPACE, DIK_W, DIK_A, DIK_S, DIK_D, DIK_DOWN})
        keys.SetKey(key, false);
    keys.SetButton(0, false);
    keys.SetButton(1, false);
    CGUIManager& gui = getGUI();
    const bool returnDown = keys.keys[DIK_RETURN] != 0;
    keys.SetKey(DIK_RETURN, false);
    if (returnDown || m_MenuPasses % 3 != 0)
        return;
    if (m_Playing)
        return; // the pause menu's way back would come here: not used
    const bool leave = m_Done || m_Loop >= options.loops;
    if (leave) {
        // Down to the exit, then Return.
        if (gui.itemExit)
            keys.SetKey(DIK_RETURN, true);
        else
            keys.SetKey(DIK_DOWN, true);
        return;
    }
    if (gui.itemNewGame) {
        keys.SetKey(DIK_RETURN, true);
        Plan(); // with the options as they stand now
        m_Playing = true;
    } else {
        keys.SetKey(DIK_DOWN, true);
    }
}

void Player::UpdateFrame(float dt)
{
    const Clock::time_point start = Clock::now();
    if (m_Playing && !m_Done && m_DeathStage == 0 && (getPlayer()->GetLife() <= 0 || m_Reviving)) {
        // Killed in a fight: revived at the checkpoint, the stretch is played again.
        if (!m_Reviving) {
            m_Reviving = true;
            m_RestartPending = false;
            Release();
        }
        if (m_RestartPending) {
            m_Reviving = false;
            m_RestartPending = false;
            Release();
            const int checkpoint = getTriggerManager().checkpoint;
            if (checkpoint >= 1 && checkpoint <= 5 && m_StretchOf[checkpoint] >= 0) {
                m_Step = static_cast<std::size_t>(m_StretchOf[checkpoint]);
                m_StepFrames = 0;
                ForgetSpot();
            }
            m_Retreating = false;
            m_RetreatFrames = 0;
            m_NoRetreatFrames = 0;
            m_BadHides.clear();
            if (options.trace)
                std::printf("frame %d: killed, back at checkpoint %d\n", record.frames, checkpoint);
        } else {
            Tap(DIK_SPACE);
            if (++m_ReviveFrames > 600) {
                record.stall = "the hero was killed and did not come back: " +
                               getPlayer()->GetControllerSelector()->GetStateName() + " at step " +
                               std::to_string(m_Step + 1) + ", scripted " +
                               std::to_string(getRigid()->scriptedSequenceRunning) + ", flight " +
                               std::to_string(getRigid()->camSequenceRunning) + ", free camera " +
                               std::to_string(getCamera().IsFreeCamera());
                m_Done = true;
                getGUI().exitRequested = true;
            }
        }
    } else if (m_Playing && !m_Done && m_PauseRestart) {
        // Escape until the pause menu opens (the frames drawn pick its
        // item), then the stretch played again.
        if (m_RestartPending) {
            m_PauseRestart = false;
            m_RestartPending = false;
            Release();
            const int checkpoint = getTriggerManager().checkpoint;
            if (checkpoint >= 1 && checkpoint <= 5 && m_StretchOf[checkpoint] >= 0)
                m_Step = static_cast<std::size_t>(m_StretchOf[checkpoint]);
            m_StepFrames = 0;
            ForgetSpot();
            if (options.trace)
                std::printf("frame %d: restarted by the pause menu at checkpoint %d\n", record.frames, checkpoint);
        } else {
            Release();
            Tap(DIK_ESCAPE);
            if (++m_ReviveFrames > 600) {
                record.stall = "the pause menu's checkpoint item restarted nothing";
                m_Done = true;
                getGUI().exitRequested = true;
            }
        }
    } else if (m_Playing && !m_Done && m_Step < m_Steps.size()) {
        m_ReviveFrames = 0;
        // The loop's extra death, a little into its stretch.
        const int extra = options.extraDeath ? options.extraDeath(m_Loop) : 0;
        if (extra >= 1 && extra <= 5 && !m_ExtraDied && m_DeathStage == 0 && m_StretchOf[extra] >= 0 &&
            m_Step >= static_cast<std::size_t>(m_StretchOf[extra]) && getTriggerManager().checkpoint == extra &&
            !getRigid()->scriptedSequenceRunning && !getRigid()->camSequenceRunning && ++m_ExtraDeathWait > 60) {
            m_ExtraDied = true;
            m_PauseRestart = options.restartByPause && options.restartByPause(m_Loop);
            if (!m_PauseRestart)
                Console("FuckPlayer 400");
        }
        Step& step = m_Steps[m_Step];
        if (m_StepFrames == 0 && !m_Retreating)
            m_Home = getPlayer()->GetPosition().GetPosition();
        if (step.frame()) {
            if (options.trace)
                std::printf("frame %d: %s (%.1f s)\n", record.frames, step.what.c_str(),
                            m_StepFrames * kFrameSeconds);
            ++m_Step;
            m_StepFrames = 0;
            ForgetSpot();
        } else if (++m_StepFrames * kFrameSeconds > step.seconds) {
            std::ostringstream stall;
            const CGameStateFlagsManager& story = getGSF();
            stall << "loop " << m_Loop + 1 << ", step " << m_Step + 1 << " (" << step.what << ") waited "
                  << step.seconds << " s: sequence " << story.sequence << ", hangar " << story.hangarRigidState
                  << ", island " << story.islaSequence << ", wave " << getEnemyManager()->GetCurrentWave()
                  << ", checkpoint " << getTriggerManager().checkpoint << ", life " << getPlayer()->GetLife() << ", "
                  << getPlayer()->GetControllerSelector()->GetStateName()
                  << (getGUI().comboHintActive ? ", a fight's prompt up" : "");
            const D3DXVECTOR3 at = getPlayer()->GetPosition().GetPosition();
            stall << ", hero at (" << at.x << ", " << at.y << ", " << at.z << "), " << getAchievementStats().shotsFired
                  << " shots, " << getAchievementStats().bodyPartsHit << " hits, target " << m_Target
                  << ", anyone alive " << getEnemyManager()->anyBotAlive() << ", logics on:";
            for (const std::string& name : getTriggerManager().ActiveLogicNames())
                stall << " " << name;
            for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
                CEnemy* e = entry.second;
                stall << "; " << e->GetName() << " life " << e->GetLife() << " state " << e->getIA()->GetState()
                      << " dying " << e->getIA()->IsDying() << " destroyed " << e->getIA()->IsDestroyed()
                      << " actions " << (e->GetEntity() ? e->GetEntity()->GetActionCount() : -1);
            }
            record.stall = stall.str();
            m_Done = true;
            Release();
            getGUI().exitRequested = true;
        }
    }
    if (options.trace && m_Playing && record.frames % 30 == 0 && getPlayer()->GetLife() > 0 &&
        !getEnemyManager()->GetCurrentWaveEnemies().empty()) {
        const D3DXVECTOR3 h = getPlayer()->GetPosition().GetPosition();
        std::printf("  life %d at (%.0f %.0f %.0f) %s:", getPlayer()->GetLife(), h.x, h.y, h.z,
                    getPlayer()->GetControllerSelector()->GetStateName().c_str());
        for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
            CEnemy* e = entry.second;
            if (!Standing(e))
                continue;
            const D3DXVECTOR3 p = e->GetPosition().GetPosition();
            std::printf(" %s %d s%d (%.0f %.0f %.0f)", e->GetName().c_str(), e->GetLife(), e->getIA()->GetState(), p.x,
                        p.y, p.z);
        }
        std::printf("\n");
    }
    CGameCalls::UpdateFrame(dt);
    Watch();
    CheckLogics();
    ++record.frames;
    record.updateMs.push_back(MsSince(start));
}

void Player::RenderFrame(float dt)
{
    if (advanceClock)
        advanceClock(kFrameSeconds);
    ++m_Frame;
    CGUIManager& gui = getGUI();
    const bool backToMenu = m_Step < m_Steps.size() && m_Steps[m_Step].what == kBackToMenu;
    if (m_Playing && gui.pauseActive && (backToMenu || m_PauseRestart)) {
        const bool press = m_Frame % 3 == 0;
        const bool onItem = m_PauseRestart ? gui.itemCheckpoint : gui.itemBackToMain;
        keys.SetKey(DIK_ESCAPE, false);
        keys.SetKey(DIK_RETURN, press && onItem);
        keys.SetKey(DIK_DOWN, press && !onItem);
    }
    if (getGUI().mainMenuActive || m_Frame % options.drawEvery == 0) {
        const Clock::time_point start = Clock::now();
        CGameCalls::RenderFrame(dt);
        record.renderMs.push_back(MsSince(start));
        if (gui.mainMenuActive && options.onMenuFrame)
            options.onMenuFrame();
    }
}

void Player::Watch()
{
    if (!m_Recording)
        return;
    auto follow = [](int now, int& last, std::vector<int>& list) {
        if (now != last)
            list.push_back(now);
        last = now;
    };
    follow(getTriggerManager().checkpoint, m_Checkpoint, record.checkpoints);
    follow(getTriggerManager().currentZone, m_Zone, record.zones);
    CEnemyManager& enemies = *getEnemyManager();
    const std::string wave = enemies.GetCurrentWave();
    if (wave != m_Wave) {
        record.wavesEntered.push_back(wave);
        m_Wave = wave;
        m_WaveCleared = false;
    }
    if (!m_WaveCleared && !enemies.GetCurrentWaveEnemies().empty()) {
        bool standing = false;
        for (const auto& entry : enemies.GetCurrentWaveEnemies())
            standing = standing || Standing(entry.second);
        if (!standing) {
            record.wavesCleared.push_back(wave);
            m_WaveCleared = true;
        }
    }
    CGUIManager& gui = getGUI();
    for (int n = 1; n <= 11; ++n) {
        if (gui.missionBannerActive[n] && !m_BannerShown[n])
            record.missions.push_back(n);
        m_BannerShown[n] = gui.missionBannerActive[n];
    }
    record.achievement8 = record.achievement8 || getAchievementStats().awarded[7];
}

// Every logic the engine or a script switched on must have its function:
// the trigger manager would pass over it without a word.
void Player::CheckLogics()
{
    lua_State* L = getScriptHost().GetState();
    if (!L)
        return;
    for (const std::string& name : getTriggerManager().ActiveLogicNames()) {
        lua_getglobal(L, name.c_str());
        const bool function = lua_isfunction(L, -1);
        lua_pop(L, 1);
        if (function)
            continue;
        bool known = false;
        for (const std::string& seen : record.logicsWithoutFunction)
            known = known || seen == name;
        if (!known)
            record.logicsWithoutFunction.push_back(name);
    }
}

} // namespace playthrough
