// Creation and release of the keyboard's and the mouse's DirectInput device,
// shared by both wrappers.
#pragma once

#include "platform/dinput.h"

namespace input {

// Creates a DirectInput object and one device on it, non-exclusive and
// foreground for the window. Each step is checked; on a failure the step and
// its result go to the debug output, whatever was made is released, both
// pointers stay null, and the failing result is returned.
HRESULT CreateDevice(HINSTANCE instance, HWND window, REFGUID which, const DIDATAFORMAT& format,
                     const char* name, IDirectInput8A*& directInput, IDirectInputDevice8A*& device);

// Unacquires and releases the device, then the object; both become null.
void ReleaseDevice(IDirectInput8A*& directInput, IDirectInputDevice8A*& device);

} // namespace input
