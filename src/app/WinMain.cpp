#include "app/WinMain.h"

#include "app/Startup.h"

namespace {

const char* const kClassName = "The Vantorel";

// Shown one after another while the game loads, after the splash.
const char* const kLoadingImages[] = {
    "GUI/LOADING/loading_mando_1.jpg",   "GUI/LOADING/loading_mando_2.jpg",
    "GUI/LOADING/loading_mando_3.jpg",   "GUI/LOADING/loading_mando_4.jpg",
    "GUI/LOADING/loading_mando_5.jpg",   "GUI/LOADING/loading_teclado_1.jpg",
    "GUI/LOADING/loading_teclado_2.jpg", "GUI/LOADING/loading_teclado_3.jpg",
    "GUI/LOADING/loading_teclado_4.jpg", "GUI/LOADING/loading_teclado_5.jpg",
};

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        ReleaseDevice();
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            DestroyWindow(window);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Handles everything the window got meanwhile; false once the quit message
// came (the window is gone).
bool PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void ReadConfiguration()
{
    CConfiguration configuration;
    configuration.LoadXML("data/XML/init_configuration.xml");
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
    ReadConfiguration();

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);

    MainWindow = CreateWindowExA(0, kClassName, "The Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, width, height,
                                 nullptr, nullptr, instance, nullptr);
    if (!MainWindow || FAILED(InitD3D(MainWindow))) {
        // Without a device there is nothing to show: close the window (which
        // releases whatever was made) and report the failure to the caller.
        if (MainWindow)
            DestroyWindow(MainWindow);
        else
            ReleaseDevice();
        UnregisterClassA(kClassName, instance);
        return 1;
    }

    ShowWindow(MainWindow, SW_SHOWDEFAULT);
    UpdateWindow(MainWindow);

    DrawLoadingImage("GUI/LOADING/vantorel.jpg");
    Sleep(2000);

    bool running = true;
    const char* shown = "GUI/LOADING/vantorel.jpg";
    for (const char* image : kLoadingImages) {
        running = PumpMessages();
        if (!running)
            break;
        DrawLoadingImage(image);
        shown = image;
        // Long enough for a player to see each image go by.
        Sleep(300);
    }

    // Keep the last image up until the player closes the window (Escape or
    // the close button). It is drawn again now and then so that a window
    // uncovered by another one does not stay blank.
    while (running) {
        running = PumpMessages();
        if (!running)
            break;
        DrawLoadingImage(shown);
        Sleep(100);
    }

    UnregisterClassA(kClassName, instance);
    return 0;
}
