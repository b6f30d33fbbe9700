#pragma once
// What the physics reads about the levels ("data/XML/collision_instances.xml"):
// per level the hero's start and one static box per solid object of the
// layout, and the props and weapons lying about ("data/XML/objects_instances.xml").
//
// The boxes follow the drawn solids: a box or cylinder is a box standing on
// its base; a floor is a thin box topped at its surface (a floor lying on
// another surface, a decal, gets none); a wedge is a box tilted under its
// slope, deep enough to hold the whole wedge; the sky and the comic panels
// get none. A box is named "col_" + the object's name in lower case; the
// game's code looks some boxes up by other names, and the layout's
// <collision> elements give those names, the boxes no object draws, and the
// flights of steps, which become one ramp each: a character climbs only what
// is less than a unit high.
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "datagen/Layout.h"

namespace datagen {

inline constexpr char kCollisionFile[] = "data/XML/collision_instances.xml";
inline constexpr char kObjectsFile[] = "data/XML/objects_instances.xml";

struct CollisionBox {
    std::string name;
    D3DXVECTOR3 size{0, 0, 0};  // full width (x), height (y) and length (z)
    D3DXMATRIX transform;       // the box's centre and turn
    D3DXVECTOR3 corners[4];     // its footprint on the ground, in turn order
    std::string shots = "marked"; // how bullets meet it: "marked", "unmarked" or "through"
};

// A level's hero start and boxes, in layout order. False, with the reason,
// when the layout's collision elements name an object that is not there,
// leave the start out or off the ground, or two boxes share a name.
bool LevelCollisions(const LevelLayout& layout, D3DXVECTOR3& start, std::vector<CollisionBox>& boxes,
                     std::string& error);

std::string CollisionInstancesXml(const std::vector<LevelLayout>& layouts, Output& out);
std::string ObjectInstancesXml(const std::vector<LevelLayout>& layouts);

// The generator step: reads the levels' layouts and writes both files.
void GenerateCollisionInstances(Output& out);

} // namespace datagen
