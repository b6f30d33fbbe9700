// The hangars as the scripted player plays them: the intro, the yard's waves
// behind the volumes, the plane shot down, the pier, the hangar's waves and
// its wall blown open.
#include <memory>

#include "app/GameStateFlags.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "play_through.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace playthrough {

namespace {

using G = CGameStateFlagsManager;

int Sequence() { return getGSF().sequence; }
bool InWave(const char* wave) { return getEnemyManager()->GetCurrentWave() == wave; }

// A point of a collision box of the hangars: its middle, at that height
// above its foot.
D3DXVECTOR3 BoxPoint(const std::string& name, float height)
{
    const auto& boxes = getCollisionManager().GetCollisions(true);
    const auto box = boxes.find(name);
    if (box == boxes.end())
        return D3DXVECTOR3(0.0f, height, 0.0f);
    return D3DXVECTOR3(box->second.position.x, box->second.position.y + height, box->second.position.z);
}

} // namespace

// Walks through the points in turn, then on to the goal until `arrived`.
std::function<bool()> Walker(Player* player, std::vector<D3DXVECTOR3> path, std::function<bool()> arrived)
{
    auto next = std::make_shared<std::size_t>(0);
    return [=] {
        if (arrived()) {
            player->Release();
            *next = 0;
            return true;
        }
        if (*next < path.size() && player->WalkTo(path[*next], 60.0f))
            ++*next;
        if (*next >= path.size())
            player->WalkTo(path.back(), 1.0f);
        return false;
    };
}

// The hero put at a stretch's start the first frame of the step.
std::function<bool()> PlacedFirst(Player* player, D3DXVECTOR3 at, float yaw, std::function<bool()> then)
{
    return [=] {
        if (player->StepFrames() == 0) {
            player->Release();
            player->Place(at, yaw);
            return false;
        }
        return then();
    };
}

void Player::PlanHangares()
{
    Player* me = this;
    const D3DXVECTOR3 checkpoint1(-1159.4f, 9.231f, -665.515f), checkpoint2(1316.95f, 9.24f, 499.93f);
    auto fight = [me] { return me->FightWave(); };
    // A wave fought down, or fought down and followed by the next while the
    // player still gathered what it left: the plane's wave, where nobody is
    // fought, can start then.
    auto fightIn = [me](const char* wave) {
        return [me, wave] {
            const std::vector<std::string>& cleared = me->record.wavesCleared;
            if (!InWave(wave) && !cleared.empty() && cleared.back() == wave) {
                me->Release();
                return true;
            }
            return me->FightWave();
        };
    };
    auto skipWhile = [me](std::vector<int> codes, std::vector<int> after) {
        return [me, codes, after] {
            for (int code : after)
                if (Sequence() == code) {
                    me->Release();
                    return true;
                }
            for (int code : codes)
                if (Sequence() == code)
                    me->Tap(DIK_SPACE);
            return false;
        };
    };
    auto waitFor = [me](std::function<bool()> condition) {
        return [me, condition] {
            me->Release();
            return condition();
        };
    };

    m_Steps.push_back({"the first intro panels watched to their end", 120.0, waitFor([] {
                           return Sequence() == G::ReadyVinyetasIntro2 || Sequence() == G::PlayingVinyetasIntro2;
                       })});
    m_Steps.push_back({"the second intro panels skipped", 30.0,
                       skipWhile({G::PlayingVinyetasIntro2}, {G::PlayingCamIntroHangares, G::HangaresIntroDone})});
    m_Steps.push_back(
        {"the hangars' intro flight skipped", 60.0, skipWhile({G::PlayingCamIntroHangares}, {G::HangaresIntroDone})});
    m_Steps.push_back({"the hangars' death and revive", 30.0, [me] { return me->DieAndRevive(); }});
    m_StretchOf[1] = static_cast<int>(m_Steps.size());
    m_Steps.push_back({"into trg_01", 40.0,
                       PlacedFirst(me, checkpoint1, 1.5707964f,
                                   Walker(me, {{-850.0f, 9.2f, -700.0f}}, [] { return InWave("wave_01"); }))});
    m_Steps.push_back({"wave_01 down", 150.0, fight});
    m_Steps.push_back({"into trg_031", 40.0,
                       Walker(me, {{-600.0f, 9.2f, -950.0f}, {-250.0f, 9.2f, -950.0f}},
                              [] { return InWave("wave_02"); })});
    m_Steps.push_back({"wave_02 down", 150.0, fight});
    m_Steps.push_back({"into trg_03", 40.0,
                       Walker(me, {{250.0f, 9.2f, -350.0f}, {800.0f, 9.2f, 100.0f}}, [] { return InWave("wave_03"); })});
    // The plane's wave follows at once: a wave_03 left while he still picks
    // up what its fallen left is down all the same.
    m_Steps.push_back({"wave_03 down", 150.0, fightIn("wave_03")});
    m_Steps.push_back({"the plane's arrival", 60.0, waitFor([] {
                           return Sequence() == G::PlayingCamHangaresLlegadaAvion;
                       })});
    m_Steps.push_back({"the plane's flights waited out", 120.0, waitFor([] {
                           return Sequence() == G::HangaresAvionetaDone;
                       })});
    m_Steps.push_back({"the plane shot down", 150.0, [me] {
                           if (Sequence() == G::PlayingSecondMovie) {
                               me->Release();
                               return true;
                           }
                           me->ShootThing(BoxPoint("col_avion_bucle", 0.0f), "col_avion_bucle");
                           return false;
                       }});
    m_Steps.push_back({"the second comic skipped", 60.0,
                       skipWhile({G::PlayingSecondMovie}, {G::ReadyCamEmpalado, G::PlayingCamEmpalado,
                                                           G::HangaresEmpaladoDone})});
    m_StretchOf[2] = static_cast<int>(m_Steps.size());
    m_Steps.push_back(
        {"the pier's flight skipped", 60.0, skipWhile({G::PlayingCamEmpalado}, {G::HangaresEmpaladoDone})});
    m_Steps.push_back({"wave_05 down", 150.0, PlacedFirst(me, checkpoint2, -1.14f, fight)});
    m_Steps.push_back({"into trg_06", 40.0, Walker(me, {{1800.0f, 9.2f, 1000.0f}}, [] { return InWave("wave_06"); })});
    m_Steps.push_back({"wave_06 down", 150.0, fight});
    m_Steps.push_back({"into trg_07", 40.0, Walker(me, {{1600.0f, 9.2f, 1700.0f}}, [] { return InWave("wave_07"); })});
    m_Steps.push_back({"wave_07 down", 150.0, fight});
    // Round the east end of the fence by the plane's crates and the east
    // side of the stack of crates before the hangar, wherever wave_07 left
    // him south of them.
    m_Steps.push_back({"into trg_08", 40.0,
                       Walker(me,
                              {{1720.0f, 9.2f, 650.0f},
                               {1550.0f, 9.2f, 1560.0f},
                               {1600.0f, 9.2f, 2000.0f},
                               {1300.0f, 9.2f, 2300.0f}},
                              [] { return InWave("wave_08"); })});
    m_Steps.push_back({"wave_08 down", 150.0, fight});
    m_Steps.push_back({"the hangar door open", 30.0, waitFor([] {
                           return InWave("wave_09") && getGSF().hangarRigidState == G::RigidasHangarOpenDone;
                       })});
    m_Steps.push_back({"the hangar wall blown", 90.0, [me] {
                           if (Sequence() == G::PlayingCamHangar) {
                               me->Release();
                               return true;
                           }
                           me->ShootThing(BoxPoint("col_explosion_hangar1", 0.0f), "col_explosion_hangar1");
                           return false;
                       }});
    m_Steps.push_back({"the hangar's flight skipped", 60.0,
                       skipWhile({G::PlayingCamHangar}, {G::ReadyVinyetasFinalHangares,
                                                         G::PlayingVinyetasFinalHangares})});
    m_Steps.push_back({"the last comic of the hangars skipped", 60.0, [me] {
                           const int isla = getGSF().islaSequence;
                           if (isla == G::ReadyLevelSwitchIsla || isla == G::PlayingCamIslaIntro) {
                               me->Release();
                               return true;
                           }
                           if (Sequence() == G::PlayingVinyetasFinalHangares)
                               me->Tap(DIK_SPACE);
                           return false;
                       }});
}

} // namespace playthrough
