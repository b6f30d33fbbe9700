#pragma once
// The particle sprites: puffs, flames, sparks, splashes, decals and the
// markers floating over weapons and enemies. Animated ones lie frame by frame
// side by side, as the particle shader reads them.
#include <string>
#include <vector>

#include "datagen/Generator.h"

namespace datagen {

// Every sprite file, relative to the texture folder.
std::vector<std::string> ParticleTextureNames();
void GenerateParticleTextures(Output& out);

} // namespace datagen
