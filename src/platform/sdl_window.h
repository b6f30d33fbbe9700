// Internal to the platform layer: what the graphics and input stand-ins need of
// the SDL window behind an HWND. Nothing outside src/platform includes this.
#pragma once

#include "platform/win32.h"

struct SDL_Window;

namespace platform {

// The SDL window behind the handle, or null for a null or destroyed handle.
SDL_Window* SdlWindowOf(HWND window);

} // namespace platform
