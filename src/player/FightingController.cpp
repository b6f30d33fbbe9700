#include "player/FightingController.h"

#include "app/FrameUpdate.h"
#include "app/MainConfig.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "platform/crt.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"

namespace {

struct FightKind {
    int kind;
    bool threeHit;
    const char* heroAction;
    float heroDelayIn;
    const char* enemyAction;
    const char* enemyCycle;
    float windows[3];
};

const FightKind kKinds[] = {
    {49, true, "combo_3hits_1", 0.0f, "combo3", "combo3_KO_idle", {1.2f, 1.7f, 2.8f}},
    {50, false, "combo_2hits_1", 0.0f, "combo2", "combo2_KO_idle", {1.4f, 2.0f, 0.0f}},
    {51, true, "combo3_bofetadaygolf", 0.2f, "combo3_bofetadaygolf", "combo3_bofetadaygolf_death00", {1.0f, 1.5f, 2.4f}},
    {52, false, "combo2_patadaycodazo", 0.0f, "combo2_patadaycodazo", "combo2_patadaycodazo_death00", {1.2f, 2.5f, 0.0f}},
};

constexpr float kWindowSlack = 0.1f;

bool IsX(int code) { return code == ACTION_FIRE || code == ACTION_COMBO_X; }
bool IsY(int code) { return code == ACTION_AIM || code == ACTION_COMBO_Y; }

const char* IdleOf(const IWeapon* weapon)
{
    const std::string name = weapon ? weapon->GetName() : "";
    if (name == "GUN")
        return "idle_ostrel";
    if (name == "SHOTGUN")
        return "idle_escopeta";
    return "idle_thompson";
}

} // namespace

CFightingController::CFightingController() = default;

void CFightingController::StartFight(CEnemy* opponent, int kind)
{
    m_Open = true;
    m_PromptLimit = 200.0f;
    ++getAchievementStats().fightsStarted;
    m_WrongPress = false;
    m_FinalPhase = false;

    getEnemyManager()->freezeIA();

    CGUIManager& gui = getGUI();
    gui.comboHintActive = true;
    gui.comboHintX = false;
    gui.comboHintY = false;

    m_Timer = 0.0f;
    for (int i = 0; i < 3; ++i)
        m_Hits[i] = m_Prompted[i] = false;
    m_XPressed = m_YPressed = m_ExpectX = m_ExpectY = false;
    m_Complete = false;
    m_FinisherMode = false;
    m_SlowMotion = false;
    m_StateCode = 43;
    m_Opponent = opponent;
    m_Kind = kind;
    m_ThreeHit = kind == 49 || kind == 51;

    CPlayer* hero = getPlayer();
    CCharacterEntity* heroBody = hero->GetEntity();
    CCharacterEntity* enemyBody = opponent ? opponent->GetEntity() : nullptr;
    if (heroBody)
        heroBody->ClearAllCycles(0.1f);
    if (enemyBody)
        enemyBody->ClearAllCycles(0.0f);
    if (heroBody)
        heroBody->BlendCycle(IdleOf(hero->GetCurrentWeapon()), 1.0f, 0.1f);

    // The signed turn toward the enemy is added to his heading, so that he
    // faces his opponent whatever way he was looking.
    if (opponent)
        hero->GetPosition().AddYaw(hero->GetPosition().AngleTo(opponent->GetPosition().GetPosition()));

    if (kind != 102)
        getRigid()->playCam("camara_combo_patada");

    for (const FightKind& k : kKinds) {
        if (k.kind != kind)
            continue;
        if (heroBody)
            heroBody->ExecuteAction(k.heroAction, k.heroDelayIn, 0.5f, 1.0f, false);
        if (enemyBody) {
            enemyBody->ExecuteAction(k.enemyAction, 0.0f, 0.0f, 1.0f, false);
            enemyBody->BlendCycle(k.enemyCycle, 1.0f, 0.0f);
        }
        float* windows = m_Windows + (k.threeHit ? 0 : 3);
        for (int i = 0; i < (k.threeHit ? 3 : 2); ++i)
            windows[i] = k.windows[i];
    }
    if (kind == 102)
        StartFinisher();
}

void CFightingController::OpenButtonPrompt()
{
    getSoundManager().playThisSampleOnce("data/sound/wosh.wav", m_FinisherMode ? 0.45f : 0.35f);
    m_SlowMotionStart = static_cast<float>(timeGetTime());
    m_SlowMotionLength = kSlowMotionMs;
    SetTimeScale(kSlowMotion);
    m_SlowMotion = true;
    m_PromptLimit = kPromptLimit;
    if (crt::rand() % 10 < 5) {
        m_ExpectX = true;
        m_XPressed = false;
    } else {
        m_ExpectY = true;
        m_YPressed = false;
    }
}

void CFightingController::OnActionPressed(int code)
{
    if ((m_ExpectX && !IsX(code)) || (m_ExpectY && !IsY(code))) {
        m_WrongPress = true;
        return;
    }
    if (IsX(code))
        m_XPressed = true;
    else if (IsY(code))
        m_YPressed = true;
}

void CFightingController::Update(float seconds)
{
    if (m_FinisherMode) {
        AdvanceFinisherChain(seconds);
        return;
    }
    if (m_SlowMotion && static_cast<float>(timeGetTime()) - m_SlowMotionStart >= m_SlowMotionLength) {
        SetTimeScale(1.0f);
        m_SlowMotion = false;
    }
    if (m_WrongPress) {
        m_WrongPress = false;
        Fail(CGUIManager::FightLoss::WrongButton);
        return;
    }
    // A script that hands the enemy another state mid-fight (a wave's order
    // to run for a cover point) leaves him out of the frozen wave's updates:
    // his blow would never end and the hero would stand in the fight for
    // good, its prompt up. Every blow landed, he falls; else both go on.
    if (OpponentLeft()) {
        if (m_Complete) {
            Win();
        } else {
            Abandon();
            getPlayer()->GetControllerSelector()->SwitchToFree(false, false);
        }
        return;
    }
    CCharacterEntity* enemyBody = m_Opponent ? m_Opponent->GetEntity() : nullptr;
    // Only the current wave's enemies are updated: an opponent whose wave was
    // left during the fight (a stray bullet ending it, a volume) would never
    // finish its action, and the won fight would hold the hero for good.
    const bool opponentPlays =
        m_Opponent && getEnemyManager()->getThisBotOfCurrentWave(m_Opponent->GetName()) == m_Opponent;
    if (m_Complete && (!enemyBody || !opponentPlays || enemyBody->GetActionCount() == 0)) {
        Win();
        return;
    }
    m_Timer += seconds;

    // At most one window opens an update. A window the timer went past in
    // one step (a hitch, the game sped up) opens late rather than never,
    // while no prompt is open: otherwise the fight would hang for good.
    const float* windows = m_Windows + (m_ThreeHit ? 0 : 3);
    const int count = m_ThreeHit ? 3 : 2;
    for (int i = 0; i < count; ++i) {
        if (m_Prompted[i] || m_Hits[i])
            continue;
        const bool inside = m_Timer >= windows[i] - kWindowSlack && m_Timer <= windows[i] + kWindowSlack;
        const bool passed = m_Timer > windows[i] + kWindowSlack && !m_ExpectX && !m_ExpectY;
        if (inside || passed) {
            m_Prompted[i] = true;
            OpenButtonPrompt();
            break;
        }
    }

    bool failed = false;
    if (m_ExpectX && AnswerPrompt(m_ExpectX, m_XPressed, true, &failed))
        return;
    if (failed)
        return;
    if (m_ExpectY)
        AnswerPrompt(m_ExpectY, m_YPressed, false, &failed);
}

bool CFightingController::AnswerPrompt(bool& expected, bool& pressed, bool x, bool* failed)
{
    CGUIManager& gui = getGUI();
    if (m_PromptLimit <= 0.0f) {
        *failed = true;
        Fail(CGUIManager::FightLoss::TooLate);
        return false;
    }
    (x ? gui.comboHintX : gui.comboHintY) = true;
    if (!pressed) {
        m_PromptLimit -= LastFrameDt;
        return false;
    }
    (x ? gui.comboHintX : gui.comboHintY) = false;
    SetTimeScale(1.0f);
    getSoundManager().PlayPunch();
    expected = false;
    pressed = false;
    LandHit();
    return true;
}

void CFightingController::LandHit()
{
    if (!m_Hits[0]) {
        m_Hits[0] = true;
    } else if (!m_Hits[1]) {
        m_Hits[1] = true;
        if (!m_ThreeHit)
            m_Complete = true;
    } else {
        m_Hits[2] = true;
        m_Complete = true;
    }
}

bool CFightingController::OpponentLeft() const
{
    if (!m_Opponent)
        return false;
    const CIAEnemyCover* ai = m_Opponent->getIA();
    return ai->GetState() != CIAEnemyCover::FIGHTING || !ai->IsFightingPartner();
}

void CFightingController::Abandon()
{
    if (!m_Open)
        return;
    m_Open = false;
    m_FinisherMode = false;
    m_ExpectX = m_ExpectY = false;
    m_SlowMotion = false;
    SetTimeScale(1.0f);
    CGUIManager& gui = getGUI();
    gui.comboHintActive = gui.comboHintX = gui.comboHintY = false;
    CRigidAnimManager* rigid = getRigid();
    if (rigid->comboCameraSequence)
        rigid->SetComboCamera();
    if (CCharacterEntity* body = getPlayer()->GetEntity())
        body->RemoveAction();
    if (m_Opponent) {
        CIAEnemyCover* ai = m_Opponent->getIA();
        if (m_Opponent->GetEntity() && ai->IsFightingPartner())
            m_Opponent->GetEntity()->RemoveAction();
        const bool held = ai->GetState() == CIAEnemyCover::FIGHTING;
        ai->SetFightingPartner(false);
        if (held)
            ai->setSearchingState();
    }
    getEnemyManager()->resumeIA();
}

void CFightingController::Fail(CGUIManager::FightLoss why)
{
    m_Open = false;
    CPlayer* hero = getPlayer();
    hero->TakeHit(20, true, 0.0f, 0.0f, 0.0f);
    CGUIManager& gui = getGUI();
    gui.comboHintActive = gui.comboHintX = gui.comboHintY = false;
    gui.ShowFightLoss(why);
    m_ExpectX = m_ExpectY = false;
    if (hero->GetEntity())
        hero->GetEntity()->RemoveAction();
    if (m_Opponent && m_Opponent->GetEntity())
        m_Opponent->GetEntity()->RemoveAction();
    SetTimeScale(1.0f);
    m_SlowMotion = false;
    hero->GetControllerSelector()->SwitchToFree(false, false);
    getRigid()->SetComboCamera();
    if (m_Opponent) {
        CCollisionManager& collisions = getCollisionManager();
        collisions.setNewPlayerPosition(m_Opponent->getIA()->GetLastSeenPlayerPosition());
        collisions.setNewEnemyPosition(m_Opponent->GetName(), m_Opponent->getIA()->GetLastSeenOwnPosition());
    }
    getEnemyManager()->resumeIA();
    getEnemyManager()->AlarmEnemiesNearPlayer();
    if (m_Opponent) {
        CIAEnemyCover* ai = m_Opponent->getIA();
        ai->setSearchingState();
        // The staged first wave keeps its state through the search: let the
        // enemy go anyway, or it would stand in its fight for good (and a
        // freed one in that state would start the same fight again).
        if (ai->IsFightingPartner() || ai->GetState() == CIAEnemyCover::FIGHTING) {
            ai->SetFightingPartner(false);
            ai->EnterIdle();
        }
    }
}

void CFightingController::Win()
{
    m_Open = false;
    ++getAchievementStats().meleeWins;
    CPlayer* hero = getPlayer();
    if (hero->GetEntity())
        hero->GetEntity()->RemoveAction();
    SetTimeScale(1.0f);
    m_SlowMotion = false;
    hero->GetControllerSelector()->SwitchToFree(false, false);
    getEnemyManager()->resumeIA();
    getEnemyManager()->AlarmEnemiesNearPlayer();
    CGUIManager& gui = getGUI();
    gui.comboHintActive = gui.comboHintX = gui.comboHintY = false;
    if (m_Opponent) {
        m_Opponent->getIA()->Die(true);
        getCollisionManager().RemoveEnemyBody(m_Opponent->GetName());
    }
}
