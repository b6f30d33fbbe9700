// The island as the scripted player plays it: the beach, the square's waves
// and their dockers, the scaffold, the dockers' flight and the death after
// it (the island's end is in play_isla_end.cpp).
#include "app/GameStateFlags.h"
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
bool InWave(const char* wave) { return getEnemyManager()->GetCurrentWave() == wave; }

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

} // namespace

void Player::PlanIsla()
{
    Player* me = this;
    const D3DXVECTOR3 checkpoint3(1120.89f, 26.1259f, -912.779f), checkpoint4(-1007.4f, 375.0f, -509.552f);
    // Fights the wave until the game moves on to the next.
    auto fightUntil = [me](const char* next) {
        return [me, next] {
            if (InWave(next)) {
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
