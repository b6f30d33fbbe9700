#include "render/FrameShortcuts.h"

namespace {
bool g_Shortcuts = true;
}

void SetFrameShortcuts(bool on)
{
    g_Shortcuts = on;
}

bool FrameShortcuts()
{
    return g_Shortcuts;
}
