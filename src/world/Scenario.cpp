#include "world/Scenario.h"

void CScenario::Load(const char* file)
{
    // Placeholder until the scenario is built.
    scenarioName = "hangares";
}

void CScenario::SelectScenario(std::string name)
{
    scenarioName = name;
}

CRoom* CScenario::GetCurrentRoom()
{
    // Placeholder until the scenario is built.
    return nullptr;
}

std::vector<TParapet*> CScenario::GetParapets()
{
    // Placeholder until the scenario is built.
    return {};
}

void CScenario::ResetParapets()
{
    // Placeholder until the scenario is built.
}

std::vector<IEntidad3D*> CScenario::GetRoomObjects()
{
    // Placeholder until the scenario is built.
    return {};
}

CLightCamera* CScenario::GetNearestLight(D3DXVECTOR3 position)
{
    // Placeholder until the scenario is built.
    return nullptr;
}

void CScenario::GetTwoNearestLights(D3DXVECTOR3 position, CLightCamera* first, CLightCamera* second,
                                    CLightCamera* third, CLightCamera* fourth)
{
    // Placeholder until the scenario is built.
}

CScenario* getScenario()
{
    static CScenario scenario;
    return &scenario;
}
