// Rigid keyframed animations of scene objects and camera flights, with the
// cut-scene sequencer that plays the story's comic panels and flights from
// the scripted-sequence record.
#pragma once

#include <cstddef>
#include <string>

#include "platform/d3dx9math.h"
#include "xml/XMLParser.h"

class CRigidAnimManager : public CXMLParser {
public:
    // Reads "data/XML/lista_animaciones_rigidas.xml" and the tracks it names.
    void Load();
    // The animations' motion and the cut-scene sequencer, with the scaled step.
    void Update(float dt);
    // Drops every running animation and ends a running camera flight.
    void Clear();
    // The state of a new game or a restart.
    void Reset();
    // Starts the named keyframe animation on its scene objects.
    void play(std::string name, bool loop);
    // Starts the named camera sequence.
    void playCam(std::string name);
    // The next camera sequence is a fight's combo camera.
    void SetComboCamera();
    // Script methods: a waiting time that the update counts down, whether it
    // has run out, and the camera sequences' speed factor.
    void setWaitToPlayAvioneta(float seconds);
    bool canPlayWaitEnded();
    void setCameraSpeedModifier(float value);

    // The start pose of each breakable or moving level object, as the level
    // file places it, so that a restart can put the pieces back. The slots
    // in order.
    static constexpr std::size_t kStartMatrixCount = 13;
    static const char* const StartMatrixNames[kStartMatrixCount];
    // Stores the matrix in the slot of that name; any other name is ignored.
    void SetStartMatrix(const std::string& name, const D3DXMATRIX& matrix);
    // The stored matrix, or null for another name or a slot the level file
    // never filled (its object is not in the level, so there is nothing to
    // put back).
    const D3DXMATRIX* GetStartMatrix(const std::string& name) const;

    // Set while a comic-panel or camera sequence runs.
    bool scriptedSequenceRunning = false;
    // A camera sequence drives the camera.
    bool camSequenceRunning = false;
    // Counted by the sound manager while the credits play.
    float creditsRadioTimer = 0.0f;

    // Placeholder fields until the manager is built (the level lists read them).
    // The two breakable crates of the first level have been broken.
    bool crateBroken2 = false;
    bool crateBroken3 = false;
    // The island scaffold: 0 standing, 1 coming apart, 2 broken.
    int dockersEscapeStage = 0;

private:
    D3DXMATRIX m_StartMatrices[kStartMatrixCount];
    bool m_StartMatrixSet[kStartMatrixCount] = {};
};

CRigidAnimManager* getRigid();
