#pragma once
// Floors carry the shadows of what stands on them, baked into a lightmap of
// their own: the level's lights move with the hero and only the characters
// cast shadows as they are drawn, so the static shadows come from here.
//
// Which floors: every floor the player walks on, the small decals lying on
// the ground included (dirt, leaves, blood), so that a shadow runs on across
// them instead of stopping at a bright square. Not the water (the sea moves
// and catches no shadow), not a comic-panel board nor a glowing surface:
// those keep their material's lightmap.
//
// Which shadows: the sun of the level (one fixed direction each, see
// LevelSunDirection) shades the floor behind every box, cylinder and wedge
// of the same level whose top stands above the floor's plane, hanging ones
// included; floors and the sky cast nothing. Objects standing on the floor
// also darken a thin band round their foot, where the sky light cannot reach.
#include <string>
#include <vector>

#include "datagen/Canvas.h"
#include "datagen/Generator.h"
#include "datagen/Layout.h"

namespace datagen {

// Whether the object is a floor that gets a baked lightmap of its own.
bool HasBakedLightmap(const LayoutObject& object);
// Its texture name under "data/textures/": "lightmaps/<level>_<object>.jpg".
std::string BakedLightmapName(const std::string& level, const LayoutObject& object);

// The way the level's sunlight travels (a unit vector pointing down). North
// is +z and east +x. Levels without a sun of their own get a mid-afternoon one.
D3DXVECTOR3 LevelSunDirection(const std::string& level);

// Texels of a floor's lightmap: about 8 world units each, 64 to 1024 a side.
void LightmapSize(const LayoutObject& floor, int& width, int& height);

// The floor mesh's second uv set at a world point of the floor's plane, and
// back: u runs along the floor's own +x, v along its own +z (image rows go
// towards +z), 0..1 from edge to edge.
D3DXVECTOR2 FloorLightmapUv(const LayoutObject& floor, const D3DXVECTOR3& world);
D3DXVECTOR3 FloorPointAtUv(const LayoutObject& floor, const D3DXVECTOR2& uv);

// The floor's lightmap: white in the sun, darker in shadow. `sun` is the way
// the light travels and must point down.
Canvas BakeFloorLightmap(const LevelLayout& layout, const LayoutObject& floor, const D3DXVECTOR3& sun);

// Writes the lightmap of every baked floor of the layouts.
void WriteLightmaps(const std::vector<LevelLayout>& layouts, Output& out);

// The step: every baked floor's lightmap, for every level's layout.
void GenerateLightmaps(Output& out);

} // namespace datagen
