// A new game on the shipped data with the enemies in it: the ghost wave
// standing at its points, the hero walking into one of them, and the
// console's "Zone room01 wave_01" bringing in the next wave with its warning
// markers. Saves PNGs and prints where everyone stands.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: enemy_shots <folder for the PNGs>
#include "app/FrameRender.h"
#include "app/GameCalls.h"
#include "app/GameStateFlags.h"
#include "app/Loading.h"
#include "app/MainConfig.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "gui/GUIManager.h"
#include "input/InputManager.h"
#include "platform/d3dx9tex.h"
#include "platform/dinput.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"
#include "math/VectorMath.h"

#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kWindowClass = "VantorelEnemyShots";

constexpr int kWidth = 800, kHeight = 600;
constexpr float kStep = 1.0f / 30.0f;

void SaveFrame(const std::string& file)
{
    IDirect3DTexture9* copy = nullptr;
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* surface = nullptr;
    const UINT w = static_cast<UINT>(ClientWidth), h = static_cast<UINT>(ClientHeight);
    if (SUCCEEDED(D3DDevice->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &copy,
                                           nullptr)) &&
        SUCCEEDED(copy->GetSurfaceLevel(0, &surface)) &&
        SUCCEEDED(D3DDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) &&
        SUCCEEDED(D3DDevice->StretchRect(back, nullptr, surface, nullptr, D3DTEXF_POINT)))
        D3DXSaveTextureToFileA(file.c_str(), D3DXIFF_PNG, copy, nullptr);
    if (back)
        back->Release();
    if (surface)
        surface->Release();
    if (copy)
        copy->Release();
}


void Frames(int count)
{
    for (int i = 0; i < count; ++i) {
        GetGameCalls().UpdateFrame(kStep);
        RenderFrame(kStep);
    }
}

// One frame seen from a camera of our own, to look at a place whatever the
// follow camera makes of the hero.
void LookFrom(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, const std::string& file)
{
    CCamera& camera = getCamera();
    camera.SetPosition(eye);
    camera.SetLookAt(target);
    camera.ApplyView();
    RenderFrame(0.0f);
    SaveFrame(file);
}

void Report(const char* when)
{
    CEnemyManager& enemies = *getEnemyManager();
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    std::printf("%s: %s/%s, hero (%.0f, %.0f, %.0f) yaw %.2f, %zu bodies\n", when, enemies.GetCurrentRoom().c_str(),
                enemies.GetCurrentWave().c_str(), hero.x, hero.y, hero.z, getPlayer()->GetPosition().GetYaw(),
                getCollisionManager().GetEnemyBodies().size());
    for (const auto& entry : enemies.GetCurrentWaveEnemies()) {
        const D3DXVECTOR3 p = entry.second->GetPosition().GetPosition();
        std::printf("  %-8s state %2d at (%.0f, %.0f, %.0f) marker %d\n", entry.first.c_str(),
                    entry.second->getIA()->GetState(), p.x, p.y, p.z, entry.second->HasWarningMarker());
    }
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: enemy_shots <folder>\n");
        return 2;
    }
    const std::string folder = std::filesystem::absolute(argv[1]).string();
    std::filesystem::create_directories(folder);
    const char* env = std::getenv("VANTOREL_WORKDIR");
    std::filesystem::current_path(env ? env : "build/game");

    if (!OpenBenchGame(kWindowClass, WndProc, kWidth, kHeight))
        return 1;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    platform::FakeDirectInput keys;
    platform::SetDirectInputSource(&keys);
    getInputManager()->Init(instance, MainWindow);
    LoadGame([](const std::string&) {});
    SetFocus(MainWindow);

    // A new game with the comic and the flight skipped, then the ghost wave.
    GetGameCalls().ResetManagers();
    getGUI().mainMenuActive = false;
    for (int frame = 1; frame <= 62; ++frame) {
        keys.SetKey(DIK_SPACE, frame == 11 || frame == 61);
        GetGameCalls().UpdateFrame(kStep);
        RenderFrame(kStep);
    }
    keys.SetKey(DIK_SPACE, false);
    Frames(30);
    Report("new game");
    SaveFrame(folder + "/wave00_play.png");
    LookFrom(D3DXVECTOR3(-1159, 160, -700), D3DXVECTOR3(-1159, 60, -200), folder + "/wave00_standing.png");
    LookFrom(D3DXVECTOR3(-1080, 110, -480), D3DXVECTOR3(-1159, 70, -250), folder + "/wave00_close.png");

    // Walk the hero's body into "ene_002": it stops short of passing through.
    CEnemy* ghost = getEnemyManager()->getThisBotOfCurrentWave("ene_002");
    if (ghost) {
        const D3DXVECTOR3 target = ghost->GetPosition().GetPosition();
        getCollisionManager().setNewPlayerPosition(target + D3DXVECTOR3(0, 0, -150));
        for (int i = 0; i < 90; ++i) {
            getCollisionManager().SetPlayerWalkDirection(0, 0, 4.0f);
            GetGameCalls().UpdateFrame(kStep);
            RenderFrame(kStep);
        }
        const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
        std::printf("walked into ene_002: hero z %.0f, enemy z %.0f, gap %.0f\n", hero.z, target.z, target.z - hero.z);
        LookFrom(hero + D3DXVECTOR3(250, 120, -150), hero, folder + "/wave00_bump.png");
    }

    getScriptHost().DoFile("console.lua");
    getScriptHost().RunCommand("Zone room01 wave_01");
    getCollisionManager().setNewPlayerPosition(D3DXVECTOR3(-600, 0, -1000));
    getPlayer()->GetPosition().SetYaw(0.2f);
    Frames(45);
    Report("console Zone room01 wave_01");
    SaveFrame(folder + "/wave01_play.png");
    LookFrom(D3DXVECTOR3(-450, 160, -800), D3DXVECTOR3(-450, 80, -450), folder + "/wave01_markers.png");

    // The hero walks up to "ene_5": within 250 it turns to him, weapon raised.
    getEnemyManager()->resumeIA();
    getCollisionManager().setNewPlayerPosition(D3DXVECTOR3(-600, 0, -620));
    Frames(20);
    Report("hero 220 from ene_5");
    if (CEnemy* noticed = getEnemyManager()->getThisBotOfCurrentWave("ene_5"))
        std::printf("ene_5: %s, yaw %.2f, %.0f from the hero\n", noticed->getIA()->GetLabel().c_str(),
                    noticed->GetPosition().GetYaw(), noticed->getIA()->GetDistance());
    LookFrom(D3DXVECTOR3(-350, 140, -560), D3DXVECTOR3(-600, 80, -450), folder + "/wave01_noticed.png");

    platform::SetDirectInputSource(nullptr);
    CloseBenchWindow(MainWindow, kWindowClass);
    return 0;
}
