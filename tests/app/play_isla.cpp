// The island as the scripted player plays it: the beach, the square's waves
// and their dockers, the scaffold, the dockers' flight and the death after
// it (the island's end is in play_isla_end.cpp).
#include <cmath>

#include "app/GameStateFlags.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "play_through.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "world/CollisionManager.h"

namespace playthrough {

namespace {

using G = CGameStateFlagsManager;

int Isla() { return getGSF().islaSequence; }
bool InIslaWave(const char* wave) { return getEnemyManager()->GetCurrentWave() == wave; }

// The scaffold's barrel, as the island's props table places it.
D3DXVECTOR3 ScaffoldBarrel()
{
    auto& props = getCollisionManager().GetCurrentProps();
    const auto barrel = props.find("obj_barril_andamio01");
    if (barrel == props.end())
        return D3DXVECTOR3(-2330.0f, 395.0f, 450.0f);
    const D3DXMATRIX& at = barrel->second.transform;
    return D3DXVECTOR3(at._41, at._42 + 20.0f, at._43);
}

// A docker of the wave who has not been hit yet and has the hero in reach
// on the plateau: every shot of his hits.
bool DockerInReach()
{
    for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies()) {
        CEnemy* enemy = entry.second;
        const std::string name = enemy->GetName();
        if (name.size() <= 4 || name[4] != 'D' || enemy->getIA()->IsDockerHit() || enemy->getIA()->IsDestroyed())
            continue;
        const D3DXVECTOR3 at = enemy->GetPosition().GetPosition();
        const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
        if (std::fabs(at.x - hero.x) + std::fabs(at.z - hero.z) < 1390.0f && SameLevel(at))
            return true;
    }
    return false;
}

} // namespace

void Player::PlanIsla()
{
    Player* me = this;
    const D3DXVECTOR3 checkpoint3(1120.89f, 26.1259f, -912.779f), checkpoint4(-1007.4f, 375.0f, -509.552f);
    // Back from the plateau's edge, above the ramp: nobody in the square
    // sees that far over the edge.
    refuges.push_back(D3DXVECTOR3(-1150.0f, 375.0f, 250.0f));
    // Fights the wave until the game moves on to the next.
    auto fightUntil = [me](const char* next) {
        return [me, next] {
            if (InIslaWave(next)) {
                me->Release();
                return true;
            }
            me->FightWave();
            return false;
        };
    };
    // Space while the camera sequence plays, until the code moves on.
    auto skipUntil = [me](std::vector<int> after) {
        return [me, after] {
            for (int code : after)
                if (Isla() == code) {
                    me->Release();
                    return true;
                }
            if (getRigid()->camSequenceRunning)
                me->Tap(DIK_SPACE);
            return false;
        };
    };
    // Fights on while an unskippable flight plays out.
    auto fightWhileWaiting = [me](std::vector<int> after) {
        return [me, after] {
            for (int code : after)
                if (Isla() == code) {
                    me->Release();
                    return true;
                }
            me->FightWave();
            return false;
        };
    };

    m_StretchOf[3] = static_cast<int>(m_Steps.size());
    m_Steps.push_back({"the island's arrival flight skipped", 90.0, skipUntil({G::IslaIntroDone})});
    m_Steps.push_back({"wave_31 down", 150.0, PlacedFirst(me, checkpoint3, -1.76f, fightUntil("wave_32"))});
    m_Steps.push_back({"the square's flight waited out", 90.0, fightWhileWaiting({G::IslaLlegadaPlazaDone})});
    m_StretchOf[4] = static_cast<int>(m_Steps.size());
    m_Steps.push_back({"wave_32 and its docker down", 180.0, PlacedFirst(me, checkpoint4, -0.98f, fightUntil("wave_33"))});
    m_Steps.push_back(
        {"the square's second flight waited out", 90.0, fightWhileWaiting({G::IslaSegundaOleadaPlazaDone})});
    m_Steps.push_back({"wave_33 and its docker down", 180.0, fightUntil("wave_34")});
    m_Steps.push_back({"the scaffold's flight waited out", 90.0, [me] {
                           me->Release();
                           return Isla() == G::PlayingCamIslaOleadaAndamio && !getRigid()->camSequenceRunning;
                       }});
    m_Steps.push_back({"the scaffold barrel shot", 60.0, [me] {
                           if (!me->options.blowScaffold || getCollisionManager().scaffoldExploded) {
                               me->Release();
                               return true;
                           }
                           // The docker up here first: he would not miss
                           // while the hero sees to the barrel.
                           if (DockerInReach())
                               me->FightWave();
                           else
                               me->ShootThing(ScaffoldBarrel(), "");
                           return false;
                       }});
    m_Steps.push_back({"wave_34 and its docker down, the dockers flee", 180.0, [me] {
                           if (Isla() == G::PlayingVinyetasDockersHuye) {
                               me->Release();
                               return true;
                           }
                           me->FightWave();
                           return false;
                       }});
    m_Steps.push_back({"the dockers' flight skipped", 60.0, [me] {
                           if (!getRigid()->camSequenceRunning && me->StepFrames() > 2) {
                               me->Release();
                               return true;
                           }
                           me->Tap(DIK_SPACE);
                           return false;
                       }});
    m_Steps.push_back({"the island's death and revive", 30.0, [me] { return me->DieAndRevive(); }});
}

} // namespace playthrough
