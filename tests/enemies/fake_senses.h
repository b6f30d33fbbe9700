// What the enemies sense, made up on the spot: the hero, the rays and the
// cover of the room.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "enemies/EnemySenses.h"
#include "enemies/enemy_fixture.h"
#include "player/Weapon.h"
#include "world/Parapet.h"

namespace enemytest {

class FakeSenses : public IEnemySenses {
public:
    CLocation HeroPlacement() override { return hero; }
    bool HeroDead() override { return dead; }
    bool HeroFighting() override { return fighting; }
    bool HeroInCover() override { return inCover; }
    bool HeroReadyToShoot() override { return readyToShoot; }
    bool HeroJumpingCover() override { return jumping; }
    bool HeroWasHit() override { return wasHit; }
    std::string HeroWeaponName() override { return weapon; }
    void StopHeroAction() override { ++heroActionsStopped; }
    bool RayBlocked(const D3DXVECTOR3& from, const D3DXVECTOR3& to) override
    {
        rays.push_back({from, to});
        return blocked;
    }
    std::vector<TParapet*> Parapets() override
    {
        std::vector<TParapet*> list;
        for (auto& p : parapets)
            list.push_back(p.get());
        return list;
    }

    // A segment centred at (x, z) facing yawDegrees, as the level files make
    // them: its run from pt_ini to pt_fin turned a quarter heads across it,
    // the facing's opposite, the way whoever holds it looks toward the fight.
    TParapet* AddCover(const std::string& name, float x, float z, float yawDegrees, float length = 100.0f)
    {
        const float a = yawDegrees * kPi / 180.0f;
        D3DXMATRIX turn, move, world;
        D3DXMatrixRotationY(&turn, a);
        D3DXMatrixTranslation(&move, x, 0, z);
        D3DXMatrixMultiply(&world, &turn, &move);
        const D3DXVECTOR3 right(-std::cos(a), 0, std::sin(a));
        const D3DXVECTOR3 centre(x, 0, z);
        parapets.push_back(std::make_unique<TParapet>(
            MakeParapet(name, world, centre + right * (length / 2), centre - right * (length / 2))));
        return parapets.back().get();
    }

    CLocation hero;
    bool dead = false, fighting = false, inCover = false, readyToShoot = false, jumping = false, wasHit = false;
    bool blocked = false;
    std::string weapon = "GUN";
    int heroActionsStopped = 0;
    std::vector<std::pair<D3DXVECTOR3, D3DXVECTOR3>> rays;
    std::vector<std::unique_ptr<TParapet>> parapets;
};

// A weapon of a chosen reach.
class RangedGun : public IWeapon {
public:
    explicit RangedGun(float range)
    {
        m_Name = "GUN";
        m_RatioOfShot = range;
    }
};

} // namespace enemytest
