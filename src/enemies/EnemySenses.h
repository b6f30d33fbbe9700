// What an enemy's brain learns of the hero and the level: where the hero is
// and what he does, whether a ray is blocked, and the cover of the room. The
// game answers from the hero, the physics and the scenario; tests put a
// stand-in in its place.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9math.h"
#include "scene/Location.h"

struct TParapet;
class CEnemy;

class IEnemySenses {
public:
    virtual ~IEnemySenses() = default;

    virtual CLocation HeroPlacement() = 0;
    virtual bool HeroDead() = 0;
    virtual bool HeroFighting() = 0;
    virtual bool HeroInCover() = 0;
    virtual bool HeroReadyToShoot() = 0;
    virtual bool HeroJumpingCover() = 0;
    // The hero's controller took a hit this frame.
    virtual bool HeroWasHit() = 0;
    // "GUN", "SHOTGUN" or "THOMPSON".
    virtual std::string HeroWeaponName() = 0;
    // Stops the hero's running one-shot animation.
    virtual void StopHeroAction() = 0;
    // Whether a static box stands between the two points.
    virtual bool RayBlocked(const D3DXVECTOR3& from, const D3DXVECTOR3& to) = 0;
    // The cover segments of the current room, in the level's order.
    virtual std::vector<TParapet*> Parapets() = 0;

    // The melee hand-over, on the hero's side (the game's own hero unless a
    // test says otherwise). The hero's next fight variant, '1' to '4', moving
    // on to the following one.
    virtual char NextHeroFightLetter();
    // The hero starts the melee fight of that kind against the enemy.
    virtual void HeroStartsFight(CEnemy* opponent, int kind);
    // The hero turns at once to face the point.
    virtual void HeroFaces(const D3DXVECTOR3& point);
};

IEnemySenses& getEnemySenses();
// Null gives the game's own senses back.
void SetEnemySenses(IEnemySenses* senses);
