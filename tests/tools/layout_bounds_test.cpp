#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "datagen/Layout.h"
#include "datagen/MeshLevels.h"

namespace {

// The scene culls each object with a sphere of the layout's radius round the
// object's position, where its mesh's origin lands. A vertex outside that
// sphere belongs to an object that can vanish while part of it is on screen
// (the sky, around the camera, most of all).
TEST(LayoutBounds, EveryShippedMeshLiesWithinItsObjectsRadius)
{
    for (const std::string& file : datagen::LevelLayoutFiles()) {
        datagen::LevelLayout layout;
        std::string error;
        ASSERT_TRUE(datagen::ReadLayout(file, layout, error)) << file << ": " << error;
        ASSERT_FALSE(layout.objects.empty()) << file;
        for (const datagen::LayoutObject& object : layout.objects) {
            const datagen::LayoutMaterial* material = layout.FindMaterial(object.material);
            ASSERT_NE(material, nullptr) << object.name;
            const datagen::MeshGeometry mesh = datagen::BuildLayoutMesh(object, *material);
            ASSERT_FALSE(mesh.vertices.empty()) << object.name;
            const float radius = object.Radius();
            float farthest = 0.0f;
            for (const datagen::MeshVertex& vertex : mesh.vertices)
                farthest = std::fmax(farthest, std::sqrt(vertex.position.x * vertex.position.x +
                                                         vertex.position.y * vertex.position.y +
                                                         vertex.position.z * vertex.position.z));
            EXPECT_LE(farthest, radius * 1.0001f + 1e-3f) << layout.level << ": " << object.name;
        }
    }
}

} // namespace
