// The names of an enemy's animations, from what it does and the weapon it
// holds. Every state asks here, so a model's names live in one place.
#pragma once

#include <string>

enum class EnemyAnim {
    Stand,          // cycle
    Run,            // cycle
    WalkTrack,      // cycle
    Aim,            // cycle
    Shot,           // action
    StepLeft,       // action
    StepRight,      // action
    ReloadStanding, // action
    Roll,           // action
    JumpBox,        // action: over a parapet of kind "B"
    JumpOther,      // action: over any other parapet
    CoverIdle,      // cycle
    CoverEnter,     // action
    CoverExit,      // action
    CoverReload,    // action
    LeanOut,        // action
    LeanBack,       // action
};

// Where the enemy crouches or stands; only the cover names read it.
struct EnemyCoverPose {
    bool high = false;
    // Behind a high parapet at its "pt_ini" end (else its "pt_fin" end).
    bool atStartEnd = false;
};

// "escopeta" for "SHOTGUN", "thompson" for "THOMPSON", "ostrel" otherwise.
std::string EnemyWeaponWord(const std::string& weaponName);
// The animation for the use with the weapon of that name ("GUN", "SHOTGUN",
// "THOMPSON"); an unknown weapon takes the pistol's names, except that it
// aims and fires as the Thompson does.
std::string EnemyAnimName(EnemyAnim use, const std::string& weaponName, EnemyCoverPose pose = {});
