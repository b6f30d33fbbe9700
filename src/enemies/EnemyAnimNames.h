// The names of the enemies' animations, by what the animation does and the
// enemy's weapon ("GUN", "SHOTGUN", "THOMPSON"). Every state asks here, so the
// character data only has to offer what this list can give.
#pragma once

#include <string>

enum class EnemyAnim {
    // The table by weapon.
    Stand,           // cycle
    Run,             // cycle
    WalkTrack,       // cycle, the same for every weapon
    Aim,             // cycle
    Shot,            // action
    StepLeft,        // action
    StepRight,       // action
    ReloadStanding,  // action
    Roll,            // action
    JumpBoxParapet,  // action, over a parapet of kind "B"
    JumpParapet,     // action, over any other parapet
    // Behind cover, low ("pBajo_") or high ("palto_"); the L side belongs to
    // the "pt_fin" end of a high parapet, the R side to "pt_ini".
    LowCoverIdle,    // cycle
    HighCoverIdle,   // cycle
    LowCoverEnter,
    HighCoverEnter,
    LowCoverExit,
    HighCoverExit,
    LowCoverReload,
    HighCoverReload,
    LowLeanOut,
    HighLeanOutL,
    HighLeanOutR,
    LowLeanBack,
    HighLeanBackL,
    HighLeanBackR,
    // One name whatever the weapon.
    AimingThompson,  // cycle of the scripted turret
    FlyingPallet,    // action of the pallet blast
    FlyingPalletIdle,  // cycle after it
    Pointing,        // action, a docker's taunt
};

// The animation of that kind for an enemy holding the named weapon. A weapon
// of any other name takes the pistol's names, except for the aim cycle and
// the shot, which take the Thompson's.
std::string EnemyAnimName(EnemyAnim kind, const std::string& weaponName);
