#pragma once
// A level's layout: every named object of the level with its solid, size,
// place and material. It is written once per level (layout/<level>.xml) and
// every generated file that carries positions is made from it, so that what
// is drawn and what is placed always agree.
//
//   <layout level="hangares">
//     <material name="hormigon" diffusemap="hormigon.jpg" lightmap="blanco.jpg"
//               normalmap="hormigon_normal.tga" tile="400"/>
//     <object name="suelo" shape="floor" size="7000 0 7000" position="0 0 0"
//             yaw="0" material="hormigon"/>
//   </layout>
//
// Sizes and positions are world units; "yaw" is in degrees (turning +Z
// towards +X, as the game's yaw does); "tile" is the world size one copy of
// the material's texture covers. Optional: "vertex" (the mesh's vertex type
// code, 4 by default) and "segments" (cylinders, 16 by default).
#include <string>
#include <vector>

#include "platform/d3dx9math.h"
#include "scene/MeshCache.h"

namespace datagen {

enum class LayoutShape { Box, Floor, Cylinder, Wedge, Sky };

struct LayoutMaterial {
    std::string name;
    std::string diffuse;   // texture file names under "data/textures/"
    std::string lightmap;
    std::string normal;
    float tile = 100.0f;
};

struct LayoutObject {
    std::string name;
    LayoutShape shape = LayoutShape::Box;
    D3DXVECTOR3 size{0, 0, 0};
    D3DXVECTOR3 position{0, 0, 0};
    float yawDegrees = 0.0f;
    std::string material;
    MeshVertexType vertexType = MESH_NORMAL_TANGENT_TEXTURED_VERTEX;
    int segments = 16;

    // The object's world matrix: RotationY(yaw) x Translation(position).
    D3DXMATRIX Transform() const;
    // A sphere round the position that holds the whole solid.
    float Radius() const;
};

struct LevelLayout {
    std::string level;
    std::vector<LayoutMaterial> materials;
    std::vector<LayoutObject> objects;

    const LayoutMaterial* FindMaterial(const std::string& name) const;

    // The highest walkable surface over the ground point (x, z): the top of
    // every floor and solid whose footprint holds the point (a wedge's slope
    // where it is), the sky aside. False when nothing lies under the point.
    bool GroundAt(float x, float z, float& height) const;
};

// Reads a layout. False, with the reason in error, when the file cannot be
// parsed or describes something that cannot be built: an unknown element
// value, an unknown shape or vertex type, a size that is not positive, a
// material that is not defined, or two objects or materials of one name.
bool ParseLayout(const std::string& xml, LevelLayout& out, std::string& error);
bool ReadLayout(const std::string& file, LevelLayout& out, std::string& error);

// The layout files of the game's levels, in level order.
std::vector<std::string> LevelLayoutFiles();

} // namespace datagen
