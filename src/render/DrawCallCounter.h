#pragma once

// The frame's count of draw calls is a debug figure kept by the collision
// manager. Drawing code only knows this hook: the collision manager points it
// at its counter (and resets that counter itself); until then nothing counts.
void SetDrawCallCounter(int* counter);
// Adds one to the counter in use, if any.
void CountDrawCall();
