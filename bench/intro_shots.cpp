// A new game's intro on the shipped data, offscreen at 800x600, with frames
// saved as PNGs to look at: the first comic, the second, the harbour flight
// and play; then a second run that skips the comic and the flight with space.
// Prints the story code and the flight camera at each saved frame.
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: intro_shots <folder for the PNGs>
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

#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kWindowClass = "VantorelIntroShots";

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

struct Shot {
    int frame;
    const char* name;
};

void Run(const std::string& folder, const char* prefix, const Shot* shots, int count, int lastFrame, int skip1,
         int skip2, platform::FakeDirectInput& keys)
{
    GetGameCalls().ResetManagers();
    getGUI().mainMenuActive = false;
    int next = 0;
    for (int frame = 1; frame <= lastFrame; ++frame) {
        keys.SetKey(DIK_SPACE, frame == skip1 || frame == skip2);
        GetGameCalls().UpdateFrame(kStep);
        RenderFrame(kStep);
        if (next < count && shots[next].frame == frame) {
            const CLightCamera& flight = getCamera().GetFlightCamera();
            std::printf("%s %-14s frame %4d: sequence %3d, eye (%.0f, %.0f, %.0f), free camera %d\n", prefix,
                        shots[next].name, frame, getGSF().sequence, flight.eye.x, flight.eye.y, flight.eye.z,
                        getCamera().IsFreeCamera());
            SaveFrame(folder + "/" + prefix + "_" + shots[next].name + ".png");
            ++next;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: intro_shots <folder>\n");
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

    // 24 s of the first comic, 20 of the second, 16 of the flight.
    const Shot watched[] = {{72, "comic1_caption"}, {360, "comic1_middle"}, {760, "comic2"},
                            {1500, "flight_start"}, {1800, "flight_end"}, {1950, "play"}};
    Run(folder, "watched", watched, 6, 1950, -1, -1, keys);
    const Shot skipped[] = {{10, "comic1"}, {11, "skipped_to_flight"}, {60, "flight"}, {62, "skipped_to_play"}};
    Run(folder, "skipped", skipped, 4, 62, 11, 61, keys);

    platform::SetDirectInputSource(nullptr);
    CloseBenchWindow(MainWindow, kWindowClass);
    return 0;
}
