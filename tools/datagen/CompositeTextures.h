#pragma once
// The screen overlays the final composite lays over the frame: rain streaks,
// film grain with scratches, three stages of blood drops, the blood frame of
// a badly hurt hero and the four hit splashes (top, bottom, left, right).
// Every overlay is transparent in the middle of the screen, so that it only
// ever covers the borders.
#include <string>
#include <vector>

#include "datagen/Canvas.h"
#include "datagen/Generator.h"

namespace datagen {

// An uncompressed 32-bit DDS (one level, BGRA with an alpha mask): the damage
// images are named ".dds" and the game's loader reads this form.
Bytes EncodeDds(const Canvas& canvas);

// The file names (below the texture folder) this step writes.
std::vector<std::string> CompositeTextureNames();

// The generator step.
void GenerateCompositeTextures(Output& out);

} // namespace datagen
