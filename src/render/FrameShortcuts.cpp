#include "render/FrameShortcuts.h"

namespace {
bool g_Shortcuts = true;
bool g_Off[static_cast<int>(Shortcut::Count)] = {};
} // namespace

void SetFrameShortcuts(bool on)
{
    g_Shortcuts = on;
}

bool FrameShortcuts()
{
    return g_Shortcuts;
}

void SetShortcutOn(Shortcut which, bool on)
{
    const int index = static_cast<int>(which);
    if (index >= 0 && index < static_cast<int>(Shortcut::Count))
        g_Off[index] = !on;
}

bool ShortcutOn(Shortcut which)
{
    const int index = static_cast<int>(which);
    return g_Shortcuts && index >= 0 && index < static_cast<int>(Shortcut::Count) && !g_Off[index];
}
