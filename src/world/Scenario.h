// The static level: one room for "hangares" and one for "isla", each with its
// drawable objects, the parapets that characters take cover behind and the
// spot lights. Loaded once; afterwards it answers queries about the current
// room and keeps only the parapets' free flags as run-time state.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9math.h"

class CLightCamera;
class CRoom;
class IEntidad3D;
struct TParapet;

class CScenario {
public:
    // Reads the level description, then makes "hangares" current.
    void Load(const char* file);
    // "hangares" and "isla" choose their room; any name becomes the scenario name.
    void SelectScenario(std::string name);

    CRoom* GetCurrentRoom();
    // Every parapet of the current room, objects in file order; callers keep
    // indices into this list.
    std::vector<TParapet*> GetParapets();
    // Marks every parapet of the current room free.
    void ResetParapets();
    // The current room's objects, for the scene's draw lists.
    std::vector<IEntidad3D*> GetRoomObjects();
    // The nearest light of the current room (null when it has none).
    CLightCamera* GetNearestLight(D3DXVECTOR3 position);
    // Copies the two most influential room lights into the first two slots.
    void GetTwoNearestLights(D3DXVECTOR3 position, CLightCamera* first, CLightCamera* second,
                             CLightCamera* third, CLightCamera* fourth);

    // The level now played: "hangares" after loading, then whatever
    // SelectScenario was given last. The renderer picks its object lists by it.
    std::string scenarioName;
};

CScenario* getScenario();
