// Shots and their visible tracers: every shot is resolved the moment it is
// fired; the tracer then flies and ages until it expires.
#pragma once

class CProjectileManager {
public:
    // Empties the tracer lists.
    void Reset();
    // Moves and ages the tracers, with the game-time-scaled step.
    void Update(float dt);
    // Draws every tracer; the argument is not used.
    void Render(float unused);
};

CProjectileManager& getProjectileManager();
