#pragma once
// The hero's three guns (meshes in the hand bone's frame, barrel along +x,
// two parts each, and their textures), the bullet tracer and the empty click.
#include "datagen/Generator.h"

namespace datagen {

void GenerateWeapons(Output& out);

} // namespace datagen
