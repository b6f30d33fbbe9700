#pragma once
// A level's layout: every named object of the level with its solid, size,
// place and material, the cover segments along the objects, and the level's
// spot lights. It is written once per level (layout/<level>.xml) and every
// generated file that carries positions is made from it, so that what is
// drawn and what is placed always agree.
//
//   <layout level="hangares">
//     <material name="hormigon" diffusemap="hormigon.jpg" lightmap="blanco.jpg"
//               normalmap="hormigon_normal.tga" tile="400"/>
//     <light position="0 420 0" target="0 120 150"/>
//     <object name="suelo" shape="floor" size="7000 0 7000" position="0 0 0"
//             yaw="0" material="hormigon"/>
//     <object name="caja" shape="box" size="100 100 100" position="0 0 500" material="hormigon">
//       <parapet name="p_b_n_A_B_001" position="0 0 585" yaw="0" length="100"/>
//     </object>
//   </layout>
//
// Sizes and positions are world units; "yaw" is in degrees (turning +Z
// towards +X, as the game's yaw does); "tile" is the world size one copy of
// the material's texture covers. Optional: "vertex" (the mesh's vertex type
// code, 4 by default) and "segments" (cylinders, 16 by default).
//
// Lights and parapets are given in world coordinates. Lights belong to the
// level, in the order the game lists them; parapets to the object whose face
// they run along, in the order the game numbers them.
//
// A box may also say cover="low" or cover="high": each of its faces that
// carries no parapet of its own, is at least kFaceCoverShortest long and has
// open ground along it gets one (the level's faceCover), low or high, not to
// be vaulted, with the zone letter 'H' that no enemy wave uses: the hero
// takes cover at the crate or wall from whatever side he comes at it. They
// are numbered from 7000 and come after every placed parapet in the game's
// list, so that the numbers the scripts give placed ones stay theirs.
#include <string>
#include <vector>

#include "datagen/Generator.h"
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

// A cover segment: a straight line on the ground along one face of its
// object, where a character stands or crouches with the object between him
// and the side he hides from. It faces out from the object, towards where
// the character stands: that is the front he looks into when he comes to
// take it, and the side an enemy takes it from. In cover he holds the
// opposite heading, across it towards the fight, where he peeks, shoots and
// vaults, the camera looking that way over him (his poses put his back to
// the object). The segment runs from Start() ("pt_ini", on the right of
// someone facing the way it faces, so on the left of the one looking
// across it) to End() ("pt_fin"): the heading of End() - Start() plus a
// quarter turn is that heading across it, the facing's opposite.
// Faces shorter than this get no cover of their own: the hero would hardly
// fit along them.
inline constexpr float kFaceCoverShortest = 80.0f;

struct LayoutParapet {
    // The game's name code: "p", then the height ('a' high, 'b' low), jump
    // ('s' may be jumped over, 'n' not), zone and kind ('B', or 'P' for one
    // the enemies never take) letters, each after an underscore, then an
    // optional "_" and number: "p_b_s_A_B_012".
    std::string name;
    D3DXVECTOR3 position{0, 0, 0};  // the centre, on the ground
    float yawDegrees = 0.0f;        // the way it faces
    float length = 0.0f;

    // RotationY(yaw) x Translation(position): the third row is the facing.
    D3DXMATRIX Transform() const;
    // (sin yaw, 0, cos yaw).
    D3DXVECTOR3 Facing() const;
    // The two ends, half the length either side of the centre.
    D3DXVECTOR3 Start() const;
    D3DXVECTOR3 End() const;
};

// A spot light: where it hangs and the point it looks at.
struct LayoutLight {
    D3DXVECTOR3 position{0, 0, 0};
    D3DXVECTOR3 target{0, 0, 0};
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
    std::vector<LayoutParapet> parapets;
    // "low" or "high": the hero's cover along its other faces; empty: none.
    std::string cover;

    // The object's world matrix: RotationY(yaw) x Translation(position).
    D3DXMATRIX Transform() const;
    // A sphere round the position that holds the whole solid.
    float Radius() const;
    // Whether the ground point (x, z) lies on the object's footprint (a
    // cylinder's is its ellipse, every other solid's its rectangle).
    bool Covers(float x, float z) const;
};

// What the physics makes of the objects, where the rule of one box per solid
// object is not enough (see Collisions.h). One of:
//   <collision player="x y z"/>                     the hero's start (sphere centre)
//   <collision object="name" name="col_..."/>       that object's box, renamed
//   <collision object="prefix*" name="col_...*"/>   each one's box renamed, keeping
//                                                   what follows the prefix (lower case)
//   <collision object="prefix*" solid="no"/>        no box for these objects
//   <collision steps="prefix*" name="col_..."/>     one ramp for a flight of steps
//   <collision name="col_..." size=".." position=".." yaw=".."/>   an unseen box
// An unseen box stops bullets without a mark, as nothing is drawn where they
// strike it; shots="through" lets them fly on, shots="marked" marks it where
// something else draws its face (a door's leaves).
struct LayoutCollision {
    bool hasPlayer = false;
    D3DXVECTOR3 player{0, 0, 0};
    std::string object;  // a name, or a prefix ending in '*'
    std::string steps;   // the same, for the steps of one flight
    std::string name;
    bool solid = true;
    bool unseen = false;
    std::string shots = "unmarked"; // an unseen box's: "unmarked", "through" or "marked"
    D3DXVECTOR3 size{0, 0, 0};
    D3DXVECTOR3 position{0, 0, 0};
    float yawDegrees = 0.0f;
};

// A trigger volume of the level scripts: an upright box standing on the
// ground, which the game tests the hero against.
//   <trigger name="trg_01" position="x y z" size="w h l"/>
// "position" is the middle of its floor, on the ground; "size" its full
// extents along x, y and z. The fifth character of the name is the zone the
// game tests it in: the level's room number ('0' or no digit counting as 1).
struct LayoutTrigger {
    std::string name;
    D3DXVECTOR3 position{0, 0, 0};
    D3DXVECTOR3 size{0, 0, 0};

    // How far the box reaches below the ground. A character's feet rest a
    // little inside the floor (the physics lets a body sink up to 0.2 before
    // it pushes back): a box whose floor were the ground itself would never
    // hold the hero standing on it.
    static constexpr float kBelowGround = 20.0f;

    // The box as the game reads it: from kBelowGround under the ground up to
    // its height above it.
    float Height() const { return size.y + kBelowGround; }
    D3DXVECTOR3 Centre() const { return position + D3DXVECTOR3(0, (size.y - kBelowGround) / 2, 0); }
};

// A movable prop or a weapon lying in the level:
//   <prop name="obj_lata_01" position="x y z" yaw="deg"/>
//   <prop name="obj_gun_01" position="x y z" yaw="deg" ammo="12"/>
// The position is the point of the ground it stands on; its kind comes from
// the family word of its name, as the game reads it. Weapons carry the rounds
// they give.
struct LayoutProp {
    std::string name;
    D3DXVECTOR3 position{0, 0, 0};
    float yawDegrees = 0.0f;
    int ammo = 0;

    // The body's start: turned by the yaw, its centre half its height above
    // the ground point.
    D3DXMATRIX Transform() const;
};

struct LevelLayout {
    std::string level;
    std::vector<LayoutMaterial> materials;
    std::vector<LayoutObject> objects;
    std::vector<LayoutLight> lights;
    std::vector<LayoutCollision> collisions;
    std::vector<LayoutTrigger> triggers;
    std::vector<LayoutProp> props;
    // The hero's cover along the faces of the objects that ask for it, in
    // object order, each face in the order +x, -x, +z, -z of the object.
    std::vector<LayoutParapet> faceCover;

    const LayoutMaterial* FindMaterial(const std::string& name) const;

    // The highest walkable surface over the ground point (x, z): the top of
    // every floor and solid whose footprint holds the point (a wedge's slope
    // where it is), the sky aside. A solid too narrow for a foot counts only
    // where it rises from the ground under it (a fence, a pole), never where
    // it hangs more than kStandingGap over it (a cable strung overhead, a
    // banner). False when nothing lies under the point.
    bool GroundAt(float x, float z, float& height) const;
    static constexpr float kNarrowestFoothold = 20.0f;
    static constexpr float kStandingGap = 30.0f;
};

// Reads a layout. False, with the reason in error, when the file cannot be
// parsed or describes something that cannot be built: an unknown element
// value, an unknown shape or vertex type, a size that is not positive, a
// material that is not defined, or two objects or materials of one name.
// Lights and parapets need their positions as three numbers; a light that
// looks straight up or down (or at itself) is refused, since it has no
// sideways direction to build its view from. A parapet needs a well-formed
// name, unique in the level, and a positive length, and must stand on the
// ground at its centre and both ends, outside its object but near it, and
// face away from it. Cover along the faces is asked only of boxes, as "low"
// or "high". A trigger needs a name unique in the level, a position
// on the ground and a positive size. A prop needs a name of a prop family,
// unique in the level, and must stand on the ground.
bool ParseLayout(const std::string& xml, LevelLayout& out, std::string& error);
bool ReadLayout(const std::string& file, LevelLayout& out, std::string& error);

// The layout files of the game's levels, in level order.
std::vector<std::string> LevelLayoutFiles();

// Every level's layout that reads; each one that does not is reported to the
// output as a failure. True when all of them were read.
bool ReadLevelLayouts(std::vector<LevelLayout>& layouts, Output& out);

} // namespace datagen
