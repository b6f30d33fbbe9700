// One frame of the game: every manager's update in a fixed order, each step
// gated by its main-configuration switch and timed into the timing log.
#pragma once

// The plain (unscaled) step of the frame being updated; the fight code counts
// its prompts down by it.
extern float LastFrameDt;

// Called by the game loop once per frame while the game is not paused.
void UpdateFrame(float dt);

// Hides the cursor while the window has the focus and shows it otherwise;
// ShowCursor is called only when this changes, so its display counter stays
// at -1 or 0 whatever the number of frames.
void ShowGameCursor(bool show);
