// Internal to the platform layer: what the graphics and input stand-ins need of
// the SDL window behind an HWND. Nothing outside src/platform includes this.
#pragma once

#include "platform/win32.h"

#include <cstdint>

struct SDL_Window;

namespace platform {

// The SDL window behind the handle, or null for a null or destroyed handle.
SDL_Window* SdlWindowOf(HWND window);

// --- shared between the window and message parts of the Win32 layer -----------

// Starts SDL's video and events once; false (with the reason on stderr) if it
// cannot. Later calls only report the first outcome.
bool EnsureSdlVideo();
// Asks the software renderer (llvmpipe) for one drawing thread more than the
// cores this process may run on, unless LP_NUM_THREADS is already set; called
// by EnsureSdlVideo before the driver loads, and harmless on any other driver.
void PlanSoftwareDrawingThreads();
// Whether SDL's video was started by EnsureSdlVideo.
bool SdlVideoStarted();
// The live window whose SDL window has this id, or null.
HWND WindowFromSdlId(std::uint32_t sdlWindowId);
// The procedure of a live window, or null.
WNDPROC ProcedureOf(HWND window);
// Focus as the translated focus messages report it (lets a pushed focus event
// stand in for a real one where the video driver has no focus of its own).
void NoteFocusGained(HWND window);
void NoteFocusLost(HWND window);
// Forgets every queued message addressed to the window (it is being destroyed).
void DiscardMessagesFor(HWND window);

} // namespace platform
