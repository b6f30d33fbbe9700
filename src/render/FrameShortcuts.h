#pragma once

// The frame is drawn cheaply by default: opaque objects near to far, passes
// that cannot change the picture skipped, switched-off effects compiled out of
// the shaders. Switched off, everything is drawn the plain way, in list order
// and pass by pass; the picture must be the same either way, and the tests
// compare the two. The effect reads the switch when it is (re)loaded.
void SetFrameShortcuts(bool on);
bool FrameShortcuts();
