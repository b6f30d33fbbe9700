#pragma once
// The rigid animations the story plays: camera flights, comic-board flights
// and moving level objects, written as the list the game reads
// ("data/XML/lista_animaciones_rigidas.xml") and one track file per part
// ("data/XML/RigidAnim/<track>", no extension).
//
// They are described in each level's layout, inside its own section, in the
// same world frame as the objects, so every eye is checked against the
// level's ground and solids before anything is written:
//
//   <rigid_animations>
//     <flight name="camara_hangar">            eye and look-at key points;
//       <key time="0" eye="x y z" look="x y z"/>   the eye's up is +Y
//     </flight>
//     <flight name="camara_combo_patada" hero="true"> ... </flight>
//                                              around the hero, unchecked
//     <comic name="vinyetas_intro1" boards="vinyeta1_" seconds="24" hold="3"/>
//                                              a glide past the boards whose
//                                              names start so (file order),
//                                              resting "hold" seconds before
//                                              each one with a caption
//     <move name="puerta_hangar" object="Hangar_PUERTA_IZQ">
//       <key time="0" offset="dx dy dz" yaw="degrees"/>   from the layout pose
//     </move>
//     <throw name="explosion_hangar" prefix="HANGAR_" seconds="3" distance="400" height="500"/>
//     <circle name="nueva_avioneta_bucle" suffix="_BUCLE" centre="x y z" seconds="20"/>
//   </rigid_animations>
//
// Several elements of one name make one group. Entity tracks start from the
// object's layout pose and carry its layout yaw: the game's pose replaces
// the object's whole matrix and adds the object's position to the track's
// displacement from its first sample.
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "datagen/Layout.h"

namespace datagen {

inline constexpr char kRigidListFile[] = "data/XML/lista_animaciones_rigidas.xml";
inline constexpr char kRigidTrackFolder[] = "data/XML/RigidAnim/";

struct RigidTrack {
    std::string name;  // the file name under the track folder
    float duration = 0.0f;
    std::vector<D3DXVECTOR3> positions;
    std::vector<D3DXQUATERNION> orientations;
};

struct RigidPart {
    std::string track;
    std::string malla;  // "cam_pos", "cam_look" or the scene object's name
    D3DXVECTOR3 start{0, 0, 0};
};

struct RigidGroup {
    std::string name;
    std::vector<RigidPart> parts;
};

struct RigidAnimations {
    std::vector<RigidGroup> groups;
    std::vector<RigidTrack> tracks;
};

// Reads the rigid-animation section of one layout file into the groups and
// tracks. False, with the reason, for an element that cannot be built: an
// unknown element or object, keys out of time order, a flight eye under the
// level's ground or inside one of its solids, a track name with blanks or
// longer than 127 characters.
bool ParseRigidAnimations(const std::string& xml, const LevelLayout& layout, RigidAnimations& out,
                          std::string& error);

// A track file as the game reads it; parts whose track name holds
// "Combo_final" get their positions divided by the 4.2 the game multiplies
// them by.
std::string RigidTrackText(const RigidTrack& track);
std::string RigidListXml(const RigidAnimations& animations);

// The generator step: every level's section, one list, one file per track.
// At most 600 parts and no group name twice.
void GenerateRigidAnimations(Output& out);

} // namespace datagen
