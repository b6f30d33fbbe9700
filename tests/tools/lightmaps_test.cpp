#include <algorithm>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "datagen/Lightmaps.h"
#include "datagen/MeshShapes.h"
#include "xml/temp_folder.h"

using datagen::LayoutObject;
using datagen::LevelLayout;

namespace {

// A ground turned and moved off the origin, so that a mix-up of axes, of the
// turn's sense or of the image's rows shows; then the sea, the sky and each
// case's own objects, in that order.
LevelLayout Level(const std::string& objects)
{
    const std::string xml = R"(<layout level="t">
      <material name="tierra" diffusemap="d.jpg" lightmap="blanco.jpg"/>
      <material name="agua" diffusemap="agua.jpg" lightmap="blanco.jpg"/>
      <material name="cielo" diffusemap="cielo.jpg"/>
      <object name="ground" shape="floor" size="2400 0 1600" position="300 0 -200" yaw="35" material="tierra"/>
      <object name="sea" shape="floor" size="9000 0 9000" position="0 -15 0" material="agua"/>
      <object name="sky" shape="sky" size="18000 8000 18000" position="0 0 0" material="cielo"/>)" +
                            objects + "</layout>";
    LevelLayout layout;
    std::string error;
    EXPECT_TRUE(datagen::ParseLayout(xml, layout, error)) << error;
    return layout;
}

// Light the lightmap gives a world point of the floor, 0..1.
float LightAt(const datagen::Canvas& map, const LayoutObject& floor, float x, float z)
{
    const D3DXVECTOR2 uv = datagen::FloorLightmapUv(floor, D3DXVECTOR3(x, floor.position.y, z));
    const int tx = static_cast<int>(uv.x * map.Width()), ty = static_cast<int>(uv.y * map.Height());
    EXPECT_TRUE(tx >= 0 && ty >= 0 && tx < map.Width() && ty < map.Height()) << x << ", " << z;
    return map.Get(tx, ty).r / 255.0f;
}

// Travelling east and down at 45 degrees, a little north: a 200-high solid
// throws its shadow 200 units east and 60 north.
D3DXVECTOR3 Sun()
{
    D3DXVECTOR3 sun(1, -1, 0.3f);
    D3DXVec3Normalize(&sun, &sun);
    return sun;
}

} // namespace

// The lightmap is only right if its texels land where the floor mesh's
// second uv set puts them, on a turned floor of unequal sides.
TEST(Lightmaps, FloorUvMatchesTheFloorMesh)
{
    const LevelLayout layout = Level("");
    const LayoutObject& ground = layout.objects[0];
    const D3DXMATRIX world = ground.Transform();
    const datagen::MeshGeometry mesh = datagen::MakeFloor(ground.size, 100);
    ASSERT_EQ(mesh.vertices.size(), 4u);
    for (const datagen::MeshVertex& v : mesh.vertices) {
        D3DXVECTOR3 corner;
        D3DXVec3TransformCoord(&corner, &v.position, &world);
        const D3DXVECTOR2 uv = datagen::FloorLightmapUv(ground, corner);
        EXPECT_NEAR(uv.x, v.uv2.x, 1e-4f);
        EXPECT_NEAR(uv.y, v.uv2.y, 1e-4f);
    }
}

// A box on the ground shades it on the side away from the sun, fully once
// past the soft edge; the sunny side only darkens a little at its foot. A
// box lifted off the ground throws its shadow further and darkens nothing
// under itself.
TEST(Lightmaps, SolidsShadeTheSideAwayFromTheSun)
{
    const LevelLayout layout = Level(R"(
      <object name="crate" shape="box" size="100 200 100" position="0 0 0" material="tierra"/>
      <object name="sign" shape="box" size="100 100 100" position="600 300 -600" material="tierra"/>)");
    const LayoutObject& ground = layout.objects[0];
    const datagen::Canvas map = datagen::BakeFloorLightmap(layout, ground, Sun());

    const float shadow = LightAt(map, ground, 120, 36);
    EXPECT_NEAR(shadow, 0.45f, 0.05f);
    EXPECT_GT(LightAt(map, ground, -150, -45), 0.98f);
    // North and south of the crate's shadow, well clear of it.
    EXPECT_GT(LightAt(map, ground, 120, 200), 0.98f);
    EXPECT_GT(LightAt(map, ground, 120, -150), 0.98f);

    // Right at the foot the shadow's soft edge and the contact band both
    // darken; a little further out only the band does.
    const float foot = LightAt(map, ground, -58, 0);
    EXPECT_LT(foot, 0.9f);
    EXPECT_GT(foot, shadow + 0.1f);
    const float band = LightAt(map, ground, -86, 0);
    EXPECT_LT(band, 0.985f);
    EXPECT_GT(band, 0.9f);

    // The sign, 300 to 400 up, shades 300..400 units east and 90..120 north
    // of itself, not the ground under it.
    EXPECT_NEAR(LightAt(map, ground, 950, -495), 0.45f, 0.05f);
    EXPECT_GT(LightAt(map, ground, 600, -600), 0.98f);
}

// Only what stands above the floor's plane shades it: not a solid below it,
// not one whose shadow falls elsewhere, not the sky round the level, not
// another floor.
TEST(Lightmaps, WhatIsBelowOrFarOrNotASolidLeavesTheFloorWhite)
{
    const LevelLayout layout = Level(R"(
      <object name="deck" shape="floor" size="1000 0 1000" position="0 100 0" material="tierra"/>
      <object name="pile" shape="box" size="200 99 200" position="0 0 0" material="tierra"/>
      <object name="post" shape="cylinder" size="50 90 50" position="200 -20 100" material="tierra"/>
      <object name="tower" shape="box" size="100 400 100" position="3000 0 3000" material="tierra"/>
      <object name="ramp" shape="wedge" size="300 500 300" position="-2500 0 0" yaw="90" material="tierra"/>
      <object name="roof" shape="floor" size="400 0 400" position="0 300 0" material="tierra"/>)");
    const datagen::Canvas map = datagen::BakeFloorLightmap(layout, layout.objects[3], Sun());
    int darkest = 255;
    for (int y = 0; y < map.Height(); ++y)
        for (int x = 0; x < map.Width(); ++x)
            darkest = std::min<int>(darkest, map.Get(x, y).r);
    EXPECT_EQ(darkest, 255);
}

// Only walkable floors get a map of their own, under the name the scenario
// file gives them: the sea keeps its material's lightmap.
TEST(Lightmaps, WritesAJpegPerWalkableFloorAndLeavesTheWaterAlone)
{
    const LevelLayout layout = Level(R"(
      <object name="crate" shape="box" size="100 200 100" position="0 0 0" material="tierra"/>)");
    TempFolder tmp;
    datagen::Output out(tmp.Path());
    datagen::WriteLightmaps({layout}, out);
    EXPECT_TRUE(out.Failures().empty());
    EXPECT_EQ(out.Files(), std::vector<std::string>{"data/textures/lightmaps/t_ground.jpg"});
    EXPECT_GT(std::filesystem::file_size(tmp.Path() / out.Files()[0]), 0u);
}
