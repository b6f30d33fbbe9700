#pragma once
// The enemies of every room and wave ("data/XML/enemyList.xml"), placed in
// the level layouts by <enemy> elements at the layout's top level:
//
//   <enemy room="room01" wave="wave_00" name="ene_002" model="enemy"
//          type="soldado" weapon="gun" state="IDLE_STATE" scripts=""
//          yaw="180" points="x z x z ..."/>
//
// "points" are ground points (x z pairs): the first is where the enemy
// stands, every one is a patrol point; each gets the height of the floor
// under it. "scripts" are up to three names joined by "-"; "numOfScripts" is
// their count. The tuning of each "type" lives in typeOfEnemyList.xml.
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "datagen/Layout.h"

namespace datagen {

inline constexpr char kEnemyListFile[] = "data/XML/enemyList.xml";

struct LayoutEnemy {
    std::string room, wave, name, model, type, weapon, state, scripts;
    float yawDegrees = 0.0f;
    std::vector<D3DXVECTOR3> points;  // heights filled from the ground
};

// The <enemy> elements of one layout text, in file order; false, with the
// reason, when one is malformed: a missing name, room or wave, a model or
// weapon the game does not have, no point or an odd count of numbers, a
// point off the floor or inside a solid, more than five enemies in a wave, or
// a name twice in one wave.
bool ReadLayoutEnemies(const std::string& xml, const LevelLayout& layout, std::vector<LayoutEnemy>& out,
                       std::string& error);

std::string EnemyListXml(const std::vector<LayoutEnemy>& enemies);

void GenerateEnemyLists(Output& out);

} // namespace datagen
