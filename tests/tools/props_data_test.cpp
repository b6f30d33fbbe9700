// The props' data as the game gets it: the layout's props written into the
// objects file land, read by the game's own reader, where the layout put
// them and of the kind their name says; their meshes are as big as their
// bodies, with a subset per texture set.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "datagen/Collisions.h"
#include "datagen/Layout.h"
#include "datagen/Props.h"
#include "world/CollisionManager.h"
#include "xml/temp_folder.h"

namespace {

TEST(PropData, ObjectsFileCarriesEachPropCentredAboveItsGroundPoint)
{
    datagen::LevelLayout layout;
    std::string error;
    ASSERT_TRUE(datagen::ParseLayout(R"(<layout level="hangares"><material name="m" diffusemap="d.jpg"/>
        <object name="floor" shape="floor" size="2000 0 2000" position="0 0 0" material="m"/>
        <object name="crate" shape="box" size="100 80 100" position="300 0 300" material="m"/>
        <prop name="obj_barril_01" position="-200 0 100"/>
        <prop name="obj_radio_02" position="300 80 300" yaw="90"/>
        <prop name="obj_lata2_01" position="0 0 -400"/></layout>)",
                                     layout, error))
        << error;
    TempFolder folder;
    CCollisionManager manager;
    ASSERT_TRUE(manager.ReadFile(folder.Write("objects.xml", datagen::ObjectInstancesXml({layout}))));
    const auto& props = manager.GetProps(true);
    ASSERT_EQ(props.size(), 3u);
    EXPECT_TRUE(manager.GetProps(false).empty());

    const struct {
        const char* name;
        D3DXVECTOR3 centre;
        float sideX;  // the first row's x: the turn
    } expected[] = {{"obj_barril_01", {-200, 27, 100}, 1},
                    {"obj_radio_02", {300, 86, 300}, 0},
                    {"obj_lata2_01", {0, 8, -400}, 1}};
    for (const auto& e : expected) {
        ASSERT_TRUE(props.count(e.name)) << e.name;
        const D3DXMATRIX& m = props.at(e.name).transform;
        EXPECT_NEAR(m._41, e.centre.x, 1e-3f) << e.name;
        EXPECT_NEAR(m._42, e.centre.y, 1e-3f) << e.name;
        EXPECT_NEAR(m._43, e.centre.z, 1e-3f) << e.name;
        EXPECT_NEAR(m._11, e.sideX, 1e-5f) << e.name;
    }
}

TEST(PropData, MeshesAreAsBigAsTheirBodiesWithASubsetPerTextureSet)
{
    ASSERT_EQ(PropKinds().size(), 7u);
    for (const PropKind& kind : PropKinds()) {
        const datagen::MeshGeometry mesh = datagen::BuildPropMesh(kind);
        D3DXVECTOR3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
        for (const datagen::MeshVertex& v : mesh.vertices) {
            D3DXVec3Minimize(&low, &low, &v.position);
            D3DXVec3Maximize(&high, &high, &v.position);
        }
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR((&high.x)[axis], kind.halfExtents[axis], 0.01f) << kind.kind << " axis " << axis;
            EXPECT_NEAR((&low.x)[axis], -kind.halfExtents[axis], 0.01f) << kind.kind << " axis " << axis;
        }
        ASSERT_EQ(mesh.subsets.size(), kind.textures.size()) << kind.kind;
        int triangles = 0;
        for (const datagen::MeshSubset& s : mesh.subsets) {
            EXPECT_EQ(s.firstTriangle, triangles) << kind.kind;
            EXPECT_GT(s.triangleCount, 0) << kind.kind;
            triangles += s.triangleCount;
        }
        EXPECT_EQ(triangles * 3, static_cast<int>(mesh.indices.size())) << kind.kind;
    }
    // Every texture a kind names is made by some step.
    const std::vector<std::string> props = datagen::PropTextureNames();
    for (const char* file : {"lata_textura.tga", "blanco_gradiente.tga", "obj_radio_01LightingMap.tga", "barril_normal.tga",
                             "coche_metal.tga"})
        EXPECT_NE(std::find(props.begin(), props.end(), file), props.end()) << file;
    EXPECT_EQ(std::find(props.begin(), props.end(), "blanco.jpg"), props.end()) << "made by the mesh textures";
}

} // namespace
