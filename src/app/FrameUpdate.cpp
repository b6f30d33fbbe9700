#include "app/FrameUpdate.h"

#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "gui/GUIManager.h"
#include "platform/win32.h"
#include "script/Console.h"
#include "world/CollisionManager.h"

float LastFrameDt = 0.0f;

namespace {

bool g_CursorHidden = false;

// Polls the devices only while the window has the focus and the console is
// closed; the focused window also keeps the cursor hidden at the middle of
// the configured size, so the mouse never wanders off to another window.
void UpdateInputAndCursor(CGameCalls& calls)
{
    if (GetFocus() == MainWindow) {
        if (getMainConfig("inputUpdate") && !getConsole()->IsVisible())
            calls.UpdateInput();
        move_cursor = false;
        ShowGameCursor(false);
        SetCursorPos(static_cast<int>(0.5f * width), static_cast<int>(0.5f * height));
    } else {
        move_cursor = true;
        ShowGameCursor(true);
    }
}

} // namespace

void ShowGameCursor(bool show)
{
    if (show == !g_CursorHidden)
        return;
    ShowCursor(show ? TRUE : FALSE);
    g_CursorHidden = !show;
}

void UpdateFrame(float dt)
{
    CGameCalls& calls = GetGameCalls();
    CProfiler& profiler = getProfiler();
    CGUIManager& gui = getGUI();

    // A restart asked for in the last frame comes first, so that the rest of
    // this frame already sees the restarted level.
    if (gui.restartRequested) {
        calls.RestartLevel(false);
        gui.restartRequested = false;
    }
    getCollisionManager().drawCallCount = 0;

    LARGE_INTEGER frameStart{};
    profiler.MarkFrameStart(&frameStart);

    if (!gui.pauseActive && !gui.optionsActive && !gui.mainMenuActive)
        calls.AddPlayTime(dt);

    LastFrameDt = dt;
    profiler.Write("UPDATE\t");

    // Read at each step: the hero's fight code changes the scale during his
    // update, and the steps after it must slow down in the same frame.
    auto scaled = [dt] { return dt * GameTimeScale; };
    auto timed = [&profiler](const char* label, auto&& step) {
        profiler.StartTimer();
        step();
        profiler.StopTimer(label);
    };
    auto gated = [&timed](const char* name, const char* label, auto&& step) {
        if (getMainConfig(name))
            timed(label, step);
    };

    gated("sceneMngrUpdate", "UpdateSceneManager: ", [&] { calls.UpdateSceneManager(dt); });
    timed("UpdateInput: ", [&] { UpdateInputAndCursor(calls); });
    gated("cameraUpdate", "UpdateCamera: ", [&] { calls.UpdateCamera(dt); });
    gated("enemiesUpdate", "UpdateEnemies: ", [&] { calls.UpdateEnemies(scaled()); });
    gated("projectilesUpdate", "UpdateProjectile: ", [&] { calls.UpdateProjectiles(scaled()); });
    // Particle time runs at a fixed 0.05 s per frame, whatever the frame took.
    gated("particlesUpdate", "UpdateParticle: ", [&] { calls.UpdateParticles(0.05f * GameTimeScale); });
    gated("luaMsgUpdate", "UpdateLUAMsg: ", [&] { calls.UpdateMissionText(dt); });
    gated("collisionsUpdate", "UpdateColisions: ", [&] { calls.UpdateCollisions(dt); });
    gated("playerUpdate", "UpdatePlayer: ", [&] { calls.UpdatePlayer(scaled()); });
    gated("soundUpdate", "UpdateSound: ", [&] { calls.UpdateSound(dt); });
    timed("UpdateItems:", [&] { calls.UpdatePickups(dt); });
    calls.UpdateSubtitles(dt);
    gated("triggersUpdate", "UpdateTriggers: ", [&] { calls.UpdateTriggers(dt); });
    if (getGSF().isReadyLevelSwitchIsla())
        calls.SwitchLevelToIsla();
    gated("rigidAnimsUpdate", "UpdateRigid: ", [&] { calls.UpdateRigidAnims(scaled()); });
    timed("UpdateGUI: ", [&] { calls.UpdateGUI(dt); });
    timed("BuildFrustum: ", [&] { calls.UpdateFrustum(); });

    profiler.StopTimerFrom("TOTAL_UPDATE: ", &frameStart);
}
