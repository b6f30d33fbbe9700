#include "app/WinMain.h"

#include "app/DebugText.h"
#include "app/GameLoops.h"
#include "app/Loading.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "input/InputManager.h"
#include "platform/bounded.h"
#include "platform/crt.h"
#include "player/Player.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace {

const char* const kClassName = "The Vantorel";

// What the game sets up before anything else, in this order. The render
// targets, the bloom object and the light camera are plain records that are
// ready before main; the scenario and the hero come next, then the trigger
// manager, whose building starts the Lua state and runs the level scripts;
// the debug font name and the switch table start empty.
void BuildFirstObjects()
{
    getScenario();
    getPlayer();
    getTriggerManager();
}

void ReadConfiguration()
{
    CConfiguration configuration;
    configuration.LoadXMLSaying("data/XML/init_configuration.xml");
    windowed = configuration.windowed;
    height = configuration.height;
    width = configuration.width;
    move_cursor = configuration.move_cursor;
    debug_font_size = configuration.debug_font_size;
    debug_font = configuration.debug_font;
}

} // namespace

int VantorelMain()
{
    crt::KeepBigBlocksApart();
    crt::KeepHeapTopForReuse();
    // Each run names each fault of its data, whatever was said before it in
    // this process.
    bounded::ForgetSaidLines();
    // A start draws the runtime's random numbers from their first, as a new
    // process does: a start after another in the same process plays the same.
    crt::srand(1);
    BuildFirstObjects();
    ReadConfiguration();

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);

    ResetWindowClosed();
    MainWindow = CreateWindowExA(0, kClassName, "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, width, height,
                                 nullptr, nullptr, instance, nullptr);
    if (FAILED(InitD3D(MainWindow))) {
        // Nothing can be shown without a device: give back what was made and
        // tell whoever started the game that it did not run.
        if (MainWindow)
            DestroyWindow(MainWindow);
        ReleaseDevice();
        UnregisterClassA(kClassName, instance);
        return 1;
    }

    ShowWindow(MainWindow, SW_SHOWDEFAULT);
    UpdateWindow(MainWindow);

    DrawLoadingImage("GUI/LOADING/vantorel.jpg");
    Sleep(2000);
    DrawLoadingImage("GUI/LOADING/loading_mando_1.jpg");

    getInputManager()->Init(instance, MainWindow);
    LoadGame();
    getDebugText().Init(D3DDevice, debug_font_size, debug_font);

    RunGameLoops();

    getProfiler().Close();
    // Closing the window releases the device; the close button has done both.
    if (!IsWindowClosed())
        DestroyWindow(MainWindow);
    UnregisterClassA(kClassName, instance);
    return 0;
}
