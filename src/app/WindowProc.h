// The procedure of the game's one window: the developer keys (the debug
// console, effect and bloom reloads, game-time scale), mouse capture, and the
// end of the window.
#pragma once

#include "platform/win32.h"

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True once the window was destroyed (its close button, or Alt+F4): the
// device is gone with it, and the loops end without drawing again.
bool IsWindowClosed();
// For a new window (and for tests).
void ResetWindowClosed();
