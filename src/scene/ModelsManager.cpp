#include "scene/ModelsManager.h"

void CModelsManager::LoadCoreModels(std::string file)
{
    // Placeholder until the model library is built.
}

CModelsManager& getModelsManager()
{
    static CModelsManager manager;
    return manager;
}
