// A shortcut for whoever works on the island's stretches: the hangars' intro
// skipped, then the console's "Checkpoint" command and a revive put the game
// at an island checkpoint, the way a death there would. The usual runs never
// take it.
#include "app/GameStateFlags.h"
#include "play_through.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"

namespace playthrough {

void Player::PlanStartAt(int checkpoint)
{
    Player* me = this;
    m_Steps.push_back({"the intro skipped, then to checkpoint " + std::to_string(checkpoint) + " by the console", 240.0,
                       [me, checkpoint] {
                           // The revive that follows the command takes the run
                           // to the checkpoint's stretch: this step never ends.
                           if (getGSF().sequence == CGameStateFlagsManager::HangaresIntroDone &&
                               !getRigid()->camSequenceRunning) {
                               me->Release();
                               if (me->StepFrames() % 300 == 10 && getPlayer()->GetLife() > 0)
                                   Console("Checkpoint " + std::to_string(checkpoint));
                               return false;
                           }
                           me->Tap(DIK_SPACE);
                           return false;
                       }});
}

} // namespace playthrough
