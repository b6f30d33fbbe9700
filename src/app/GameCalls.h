// Every call the loops and the frame update make into the rest of the game,
// behind one interface. The game runs with the default, which goes to the
// managers; tests install their own to see what the loops call, in which
// order and with which step.
#pragma once

class CGameCalls {
public:
    virtual ~CGameCalls() = default;

    // --- the frame update's steps ------------------------------------------------
    virtual void RestartLevel(bool newGame);
    // Play time and the achievement checks.
    virtual void AddPlayTime(float dt);
    virtual void UpdateSceneManager(float dt);
    virtual void UpdateInput();
    virtual void UpdateCamera(float dt);
    virtual void UpdateEnemies(float dt);
    virtual void UpdateProjectiles(float dt);
    virtual void UpdateParticles(float dt);
    virtual void UpdateMissionText(float dt);
    virtual void UpdateCollisions(float dt);
    virtual void UpdatePlayer(float dt);
    virtual void UpdateSound(float dt);
    virtual void UpdatePickups(float dt);
    virtual void UpdateSubtitles(float dt);
    virtual void UpdateTriggers(float dt);
    virtual void SwitchLevelToIsla();
    // The rigid animations with the cut-scene sequencer.
    virtual void UpdateRigidAnims(float dt);
    virtual void UpdateGUI(float dt);
    virtual void UpdateFrustum();

    // --- the loops -------------------------------------------------------------------
    virtual void UpdateMainMenu(float dt);
    virtual void UpdateFrame(float dt);
    virtual void RenderFrame(float dt);
    // What leaving the main menu resets, for a new game and for the exit alike.
    virtual void ResetManagers();
};

// The calls in use.
CGameCalls& GetGameCalls();
// Installs other calls (null puts the game's own back). The caller keeps ownership.
void SetGameCalls(CGameCalls* calls);
