// The names of an enemy's animations, from what it does and the weapon it
// holds ("GUN", "SHOTGUN", "THOMPSON"). Every state asks here, so a model's
// names live in one place and the character data only has to offer these.
#pragma once

#include <string>

enum class EnemyAnim {
    // The table by weapon.
    Stand,          // cycle
    Run,            // cycle
    WalkTrack,      // cycle, the same for every weapon
    Aim,            // cycle
    Shot,           // action
    StepLeft,       // action
    StepRight,      // action
    ReloadStanding, // action
    Roll,           // action
    JumpBox,        // action: over a parapet of kind "B"
    JumpOther,      // action: over any other parapet
    // Behind cover, low ("pBajo_") or high ("palto_") by the pose; a high
    // parapet's "pt_ini" end leans out to the R side, its "pt_fin" end to L.
    CoverIdle,      // cycle
    CoverEnter,     // action
    CoverExit,      // action
    CoverReload,    // action
    LeanOut,        // action
    LeanBack,       // action
    // One name whatever the weapon.
    AimingThompson,   // cycle of the scripted turret
    FlyingPallet,     // action of the pallet blast
    FlyingPalletIdle, // cycle after it
    Pointing,         // action, a docker's taunt
};

// Where the enemy crouches or stands; only the cover names read it.
struct EnemyCoverPose {
    bool high = false;
    // Behind a high parapet at its "pt_ini" end (else its "pt_fin" end).
    bool atStartEnd = false;
};

// "escopeta" for "SHOTGUN", "thompson" for "THOMPSON", "ostrel" otherwise.
std::string EnemyWeaponWord(const std::string& weaponName);
// The animation for the use with the weapon of that name; an unknown weapon
// takes the pistol's names, except that it aims and fires as the Thompson.
std::string EnemyAnimName(EnemyAnim use, const std::string& weaponName, EnemyCoverPose pose = {});
