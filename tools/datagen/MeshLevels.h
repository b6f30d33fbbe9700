#pragma once
// The meshes of the levels' objects, one ".mesh" per layout object under
// "data/meshes/", named after the object (the scene loads a mesh by the
// object's name). Each mesh is in the object's own frame; the layout's
// position and yaw place it.
#include <vector>

#include "datagen/Layout.h"
#include "datagen/MeshWriter.h"

namespace datagen {

MeshGeometry BuildLayoutMesh(const LayoutObject& object, const LayoutMaterial& material);

// Writes the meshes of the given layouts. A layout whose material names a
// texture that the texture step does not make is a failure, as is a mesh
// that cannot be encoded.
void WriteLevelMeshes(const std::vector<LevelLayout>& layouts, Output& out);

// The generator step: reads the levels' layout files and writes their meshes.
void GenerateLevelMeshes(Output& out);

} // namespace datagen
