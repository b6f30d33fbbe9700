#pragma once
// The animated characters: the hero and the three enemy skins as Cal3D
// skeletons, meshes and one animation file per name the game plays, all from
// one table, plus "data/XML/CoreModels.xml" naming them.
#include <string>
#include <vector>

#include "datagen/Generator.h"

namespace datagen {

struct CharacterModel {
    std::string type;       // the core model's type name
    std::string bonePrefix; // "Bip01" or "EBip01"
    std::string weaponBone; // the anchor bone the weapon hangs from
    float scale;            // the game's load-time scale for the type
};

const std::vector<CharacterModel>& CharacterModels();

// Every animation name the game plays on a model.
std::vector<std::string> CharacterAnimationNames(const CharacterModel& model);

// How far the clip's root travels on the ground (x, z) over its length, in
// the game's units once loaded; zero for clips played in place.
struct RootTravel {
    float x = 0.0f, z = 0.0f;
};
RootTravel CharacterAnimationTravel(const std::string& name);
float CharacterAnimationLength(const std::string& name);

void GenerateCharacters(Output& out);

} // namespace datagen
