// Sounds, voice lines, ambience and music by name.
#pragma once

#include "platform/win32.h"

class CSoundManager {
public:
    // Starts the audio output for the window and loads the sample table.
    void Init(HWND window);
    // Per frame, in the menu loop and in the game: fades, radio mix, themes.
    void Update(float seconds);
    // While muted every play operation does nothing.
    void Mute() { muted = true; }
    void Unmute() { muted = false; }
    // Pauses the ambience and music of the current room.
    void pauseAllTypical();

    bool muted = false;
};

CSoundManager& getSoundManager();
