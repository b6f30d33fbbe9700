#pragma once
// The props' meshes ("data/meshes/<kind>.mesh") and the textures their kinds
// name. Each mesh is centred on its body's centre and as big as the body, so
// a prop is drawn where it is hit and where it rests; a kind with several
// texture sets gets as many subsets. Barrels, cans and bottles are round,
// chairs and radios square.
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "datagen/MeshWriter.h"
#include "world/CollisionManager.h"

namespace datagen {

MeshGeometry BuildPropMesh(const PropKind& kind);
// Every texture file (under "data/textures/") the kinds name and no other
// step makes.
std::vector<std::string> PropTextureNames();

// The generator step.
void GenerateProps(Output& out);

} // namespace datagen
