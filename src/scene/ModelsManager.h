// The Cal3D model library: the core models of "Data/XML/CoreModels.xml" and
// the animated characters made from them.
#pragma once

#include <string>

class CModelsManager {
public:
    void LoadCoreModels(std::string file);
};

CModelsManager& getModelsManager();
