// The shipped game started offscreen without its splash wait and loading
// images, and put at a level's first checkpoint: what the level benchmark
// measures and what the frame tests draw. Run in the game's working folder.
#pragma once

#include <string>

#include "app/DebugText.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/LevelPictures.h"
#include "app/Loading.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "gui/GUIManager.h"
#include "input/InputManager.h"
#include "player/Player.h"
#include "platform/crt.h"
#include "platform/win32.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace shippedgame {

constexpr const char* kWindowClass = "VantorelShippedGame";

// The window, the device and everything the loading sequence loads. False
// when there is no device.
inline bool Start(int clientWidth, int clientHeight)
{
    crt::KeepBigBlocksApart();
    crt::KeepHeapTopForReuse();
    getScenario();
    getPlayer();
    getTriggerManager();
    windowed = true;
    width = clientWidth;
    height = clientHeight;

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    RegisterClassExA(&wc);
    MainWindow = CreateWindowExA(0, wc.lpszClassName, "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, clientWidth,
                                 clientHeight, nullptr, nullptr, instance, nullptr);
    if (!MainWindow || FAILED(InitD3D(MainWindow)))
        return false;
    getInputManager()->Init(instance, MainWindow);
    LoadGame([](const std::string&) {});
    getDebugText().Init(D3DDevice, debug_font_size, debug_font);
    // The loading sequence opened the game's own log.
    getProfiler().Close();
    getProfiler().Enable(false);
    GetGameCalls().ResetManagers();
    return true;
}

inline void Stop()
{
    if (MainWindow)
        DestroyWindow(MainWindow);
    MainWindow = nullptr;
    UnregisterClassA(kWindowClass, GetModuleHandleA(nullptr));
}

// Play, not the main menu the start-up opens on, with no banner sliding or
// fade running: each frame drawn the same as the one before.
inline void HoldGuiStill()
{
    CGUIManager& gui = getGUI();
    gui.mainMenuActive = false;
    for (bool& active : gui.missionBannerActive)
        active = false;
    for (bool& active : gui.achievementBannerActive)
        active = false;
    gui.fading = gui.fadeIn = gui.fadeOut = false;
    gui.ShowFightLoss(CGUIManager::FightLoss::None);
    gui.fadeAlpha = 1.0f; // the overlay clear, as after start-up
}

// Puts the game at the level's first checkpoint, playing, no cut-scene, the
// hero at full life.
inline void EnterLevel(const std::string& level)
{
    const bool isla = level == "isla";
    getTriggerManager().checkpoint = isla ? 3 : 1;
    GetGameCalls().RestartLevel(false);
    if (getScenario()->scenarioName != level) {
        getCollisionManager().LoadNewScenario(level);
        getScenario()->SelectScenario(level);
        getSceneManager().Setup();
        HoldCurrentLevelPictures();
        getTriggerManager().currentZone = isla ? 2 : 1;
    }
    // The restart does not place the hero yet, whether or not the level was
    // already selected: the checkpoint as the restart will set it.
    const D3DXVECTOR3 position = isla ? D3DXVECTOR3(1120.89f, 26.1259f, -912.779f)
                                      : D3DXVECTOR3(-1159.4f, 9.231f, -665.515f);
    const float yaw = isla ? -1.76f : 0.6f;
    getCamera().LoadValues(position.x, position.y, position.z, D3DDevice);
    getPlayer()->GetPosition().SetPosition(position);
    getCollisionManager().setNewPlayerPosition(position);
    getPlayer()->GetPosition().SetYaw(yaw);
    getCamera().SetYaw(yaw);
    // The camera eases toward that yaw from where it last stood (a restart
    // keeps it): after the other level it would still be turning a few
    // frames on. It starts from where a fresh start leaves it, whatever came
    // before, so that every test sees the views it was written against.
    getCamera().CLocation::SetYaw(0.0f);
    CGameStateFlagsManager& gsf = getGSF();
    gsf.setHangaresIntroDone();
    gsf.pierIntact = !isla;
    if (isla)
        gsf.setIslaIntroDone();
    getRigid()->Clear();
    getRigid()->scriptedSequenceRunning = false;
    getPlayer()->SetLife(350);
    HoldGuiStill();
}

} // namespace shippedgame
