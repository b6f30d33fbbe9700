#include "datagen/MeshLevels.h"

#include <algorithm>
#include <set>

#include "datagen/MeshShapes.h"
#include "datagen/MeshTextures.h"

namespace datagen {

MeshGeometry BuildLayoutMesh(const LayoutObject& object, const LayoutMaterial& material)
{
    switch (object.shape) {
    case LayoutShape::Floor: return MakeFloor(object.size, material.tile);
    case LayoutShape::Cylinder: return MakeCylinder(object.size, object.segments, material.tile);
    case LayoutShape::Wedge: return MakeWedge(object.size, material.tile);
    case LayoutShape::Sky: return MakeSky(object.size);
    case LayoutShape::Box: break;
    }
    return MakeBox(object.size, material.tile);
}

void WriteLevelMeshes(const std::vector<LevelLayout>& layouts, Output& out)
{
    const std::vector<std::string> made = MeshTextureNames();
    const std::set<std::string> textures(made.begin(), made.end());
    for (const LevelLayout& layout : layouts) {
        for (const LayoutMaterial& m : layout.materials)
            for (const std::string* texture : {&m.diffuse, &m.lightmap, &m.normal})
                if (!texture->empty() && !textures.count(*texture))
                    out.Fail(layout.level + ": material " + m.name + " uses " + *texture +
                             ", which no step makes");
        for (const LayoutObject& object : layout.objects) {
            const LayoutMaterial* material = layout.FindMaterial(object.material);
            if (!material) {
                out.Fail(layout.level + ": object " + object.name + " has no material");
                continue;
            }
            std::string error;
            const Bytes bytes = EncodeMesh(BuildLayoutMesh(object, *material), object.vertexType, &error);
            if (bytes.empty())
                out.Fail(layout.level + ": mesh " + object.name + ": " + error);
            else
                out.Write("data/meshes/" + object.name + ".mesh", bytes);
        }
    }
}

void GenerateLevelMeshes(Output& out)
{
    std::vector<LevelLayout> layouts;
    ReadLevelLayouts(layouts, out);
    WriteLevelMeshes(layouts, out);
}

} // namespace datagen
