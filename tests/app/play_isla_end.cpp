// The island's end as the scripted player plays it: the last wave, the walk
// into the square, the last comic and the final fight, the memorial, and the
// credits that end on the main menu. Also a start at the island's last
// checkpoint, for a run that plays only that stretch.
#include <memory>

#include "app/GameStateFlags.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "play_through.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "scene/RigidAnimManager.h"
#include "world/TriggerManager.h"

namespace playthrough {

namespace {

using G = CGameStateFlagsManager;

int IslaEndSequence() { return getGSF().islaSequence; }
bool InEndWave(const char* wave) { return getEnemyManager()->GetCurrentWave() == wave; }

} // namespace

// A stretch of the island played alone: the hangars' intro skipped, then the
// console's checkpoint command and a revive put the game at an island
// checkpoint, the way a death there would.
void Player::PlanStartAt(int checkpoint)
{
    Player* me = this;
    // Space through the first comic: it skips the second one with it.
    m_Steps.push_back({"the intro panels skipped", 60.0, [me] {
                           const int code = getGSF().sequence;
                           if (code == G::PlayingCamIntroHangares || code == G::HangaresIntroDone) {
                               me->Release();
                               return true;
                           }
                           if (code == G::PlayingVinyetasIntro1 || code == G::PlayingVinyetasIntro2)
                               me->Tap(DIK_SPACE);
                           return false;
                       }});
    m_Steps.push_back({"the hangars' intro flight skipped", 60.0, [me] {
                           if (getGSF().sequence == G::HangaresIntroDone) {
                               me->Release();
                               return true;
                           }
                           me->Tap(DIK_SPACE);
                           return false;
                       }});
    // The console's checkpoint command: the hero falls and space revives him
    // at that checkpoint.
    m_Steps.push_back({"to checkpoint " + std::to_string(checkpoint) + " by the console", 30.0,
                       [me, checkpoint] { return me->DieAndRevive("Checkpoint " + std::to_string(checkpoint)); }});
    // A restart there from a record that never saw the island plays the
    // island's arrival flight first; the first island stretch skips it itself.
    if (checkpoint == 3)
        return;
    m_Steps.push_back({"the island's arrival flight skipped", 60.0, [me] {
                           if (!getRigid()->camSequenceRunning && me->StepFrames() > 2) {
                               me->Release();
                               return true;
                           }
                           me->Tap(DIK_SPACE);
                           return false;
                       }});
}

void Player::PlanIslandsEnd()
{
    Player* me = this;
    const D3DXVECTOR3 checkpoint5(-2297.4f, 375.0f, -163.31f);
    m_StretchOf[5] = static_cast<int>(m_Steps.size());
    m_Steps.push_back({"wave_35 down", 150.0, PlacedFirst(me, checkpoint5, -0.51f, [me] {
                           if (InEndWave("wave_36")) {
                               me->Release();
                               return true;
                           }
                           me->FightWave();
                           return false;
                       })});
    // Down the ramp north of the plateau's concrete barrier, then to the
    // square's middle.
    m_Steps.push_back({"into the square (trg_236)", 90.0,
                       Walker(me, {{250.0f, 0.0f, -1000.0f}},
                              [] { return IslaEndSequence() == G::ReadyCamIslaVinyetasIntroLucha ||
                                          IslaEndSequence() == G::PlayingVinyetasPredockers; })});
    // Each prompt answered at once; how long it showed goes on the record.
    auto promptFrames = std::make_shared<int>(0);
    m_Steps.push_back({"the last comic skipped and the final fight won", 180.0, [me, promptFrames] {
                           const CGUIManager& gui = getGUI();
                           const bool prompt = gui.comboHintActive && (gui.comboHintX || gui.comboHintY);
                           const bool over = IslaEndSequence() == G::ReadyMemoriam || IslaEndSequence() == G::PlayingMemoriam;
                           if (prompt && !over) {
                               ++*promptFrames;
                           } else if (*promptFrames > 0) {
                               me->record.finalFightPrompts.push_back(*promptFrames);
                               *promptFrames = 0;
                           }
                           if (over) {
                               me->Release();
                               return true;
                           }
                           if (getPlayer()->GetControllerSelector()->IsFighting()) {
                               me->AnswerPrompts();
                               return false;
                           }
                           if (getRigid()->camSequenceRunning)
                               me->Tap(DIK_SPACE);
                           return false;
                       }});
    m_Steps.push_back({options.waitOutTheEnd ? "the memorial waited out" : "the memorial skipped", 90.0, [me] {
                           if (IslaEndSequence() == G::ReadyCreditos || IslaEndSequence() == G::PlayingCreditos) {
                               me->Release();
                               return true;
                           }
                           if (getRigid()->camSequenceRunning && !me->options.waitOutTheEnd)
                               me->Tap(DIK_SPACE);
                           return false;
                       }});
}

void Player::PlanCredits()
{
    Player* me = this;
    m_Steps.push_back({options.waitOutTheEnd ? "the credits waited out to the main menu"
                                             : "the credits skipped back to the main menu",
                       200.0, [me] {
                           if (getGUI().mainMenuActive) {
                               me->Release();
                               me->record.creditsEnded = true;
                               return true;
                           }
                           if (IslaEndSequence() == G::PlayingCreditos && getRigid()->camSequenceRunning &&
                               !me->options.waitOutTheEnd)
                               me->Tap(DIK_SPACE);
                           return false;
                       }});
}

void Player::ResetManagers()
{
    CGameCalls::ResetManagers();
    // After a loop's credits too: leaving the menu puts the first level's
    // zone back, for the next game or on the way out.
    const int zone = getTriggerManager().currentZone;
    if (m_Zone != -1 && zone != m_Zone) {
        record.zones.push_back(zone);
        m_Zone = zone;
    }
}

} // namespace playthrough
