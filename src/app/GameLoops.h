// The two loops that run after start-up, on the one thread: the menu loop
// while the main menu is up, uncapped, and the game loop, held to 30 frames
// per second (sleeping, then spinning on the last moment of each frame).
// Each pass handles at most one window message.
// The GUI manager's flags steer them; they return when the player chose to
// leave (after that frame's work and the leaving resets) or at once when the
// window was closed.
#pragma once

void RunGameLoops();
