#pragma once
// The level's surface textures: diffuse images for the materials of the
// layouts, their normal maps, a white lightmap, a flat normal map and the
// sky's gradient. All are painted from seeded, tileable noise, so every run
// writes the same bytes and every texture repeats without a seam.
#include <cstdint>
#include <string>
#include <vector>

#include "datagen/Canvas.h"
#include "datagen/Generator.h"

namespace datagen {

// Value noise in [0, 1) over the unit square, repeating every 1 in u and v:
// `periodU` by `periodV` lattice cells.
float TileNoise(float u, float v, int periodU, int periodV, std::uint32_t seed);
// Octaves of TileNoise, each twice as fine and half as strong, in [0, 1).
float TileFbm(float u, float v, int periodU, int periodV, int octaves, std::uint32_t seed);

// A tangent-space normal map of a height field (size x size, row by row,
// wrapping at the edges): red along +u, green along +v (down the image),
// blue out of the surface. `strength` is how many texels high a height step
// of 1 stands.
Canvas NormalMapFromHeights(const std::vector<float>& heights, int size, float strength);

// The file names (under "data/textures/") this family writes.
std::vector<std::string> MeshTextureNames();

// The generator step.
void GenerateMeshTextures(Output& out);

} // namespace datagen
