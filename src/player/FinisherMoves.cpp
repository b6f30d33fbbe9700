// The final fight against the island's boss: ten fixed moves in the final
// arena, each with its own camera shot and most with a line, a prompt in
// slow motion that cannot be lost, then the hero's shout and the memorial.
#include "app/FrameUpdate.h"
#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/FightingController.h"
#include "player/Player.h"
#include "scene/CharacterEntity.h"
#include "scene/RigidAnimManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"

namespace {

enum class Placement { Fixed, Shift, None };

struct FinisherMove {
    const char* heroAction;
    const char* enemyAction;
    Placement placement;
    D3DXVECTOR3 hero;   // fixed moves only
    D3DXVECTOR3 enemy;  // where the enemy stands, or by how much it shifts
    float yaw;
    const char* camera;
    const char* voice;     // null: no line (the first move starts the action theme)
    const char* subtitle;
    int nextState;
};

constexpr float kArena = 1236.75f;
constexpr float kFacing = -0.478f;
constexpr float kFacingBack = 2.592f;

const FinisherMove kMoves[10] = {
    {"estomago", "recibe_estomago", Placement::Fixed, {-2639.34f, kArena, 978.773f},
     {-2663.34f, kArena, 1023.773f}, kFacing, "camara_combo_final1", nullptr, nullptr, 74},
    {"ganchoizq", "recibe_ganchoizq", Placement::Fixed, {-2658, kArena, 1110}, {-2678, kArena, 1150}, kFacing,
     "camara_combo_final2", "data/sound/cfMEraInocente.ogg", "cfMEraInocente", 75},
    {"ganchobajofacial", "pega_ganchobajofacial", Placement::Shift, {0, 0, 0}, {-10, 0, 30}, kFacingBack,
     "camara_combo_final3", nullptr, nullptr, 76},
    {"izqderechrapido", "recibe_izqderechrapido", Placement::Fixed, {-2695, kArena, 1174}, {-2715, kArena, 1214},
     kFacing, "camara_combo_final4_5", "data/sound/cfMcomoHermano.ogg", "cfMcomoHermano", 77},
    {"empujon", "pega_empujon", Placement::None, {0, 0, 0}, {0, 0, 0}, kFacingBack, "camara_combo_final6",
     "data/sound/cfDAccidnt.ogg", "cfDAccidnt", 78},
    {"patadahuevers", "pega_patadahuevers", Placement::Shift, {0, 0, 0}, {-4, 0, 10}, kFacingBack,
     "camara_combo_final7", "data/sound/cfDVioalgo.ogg", "cfDVioalgo", 79},
    {"rodillazo", "pega_rodillazo", Placement::None, {0, 0, 0}, {0, 0, 0}, kFacingBack, "camara_combo_final8",
     "data/sound/cfDNoDebiaVer.ogg", "cfDNoDebiaVer", 80},
    {"ganchoarribabajo", "recibe_ganchoarribaabajo", Placement::Fixed, {-2781, kArena, 1302},
     {-2806, kArena, 1350}, kFacing, "camara_combo_final9", "data/sound/cfMsangrreXsangre.ogg",
     "cfMsangrreXsangre", 81},
    {"ganchobajo", "recibe_ganchobajo", Placement::Fixed, {-2810, kArena, 1314}, {-2825, kArena, 1344}, kFacing,
     "camara_combo_final10", nullptr, nullptr, 82},
    {"spartakick", "recibe_spartakick", Placement::Fixed, {-2846.02f, kArena, 1330.71f},
     {-2861.02f, kArena, 1360.71f}, kFacing, "camara_combo_final11_1", "data/sound/cfMInfierno.ogg",
     "cfMInfierno", CFightingController::kChainEnd},
};

const float kMovePromptTimes[10] = {1.6f, 1.0f, 0.4f, 0.8f, 0.2f, 0.5f, 0.6f, 0.35f, 0.7f, 0.4f};

constexpr float kPromptSlack = 0.03f;
constexpr float kShoutAfter = 0.5f;
constexpr float kFinalCountdown = 2.0f;
constexpr float kFinalPace = 1.1f;

int ActionsOf(CCharacterEntity* entity) { return entity ? entity->GetActionCount() : 0; }

} // namespace

void CFightingController::StartFinisher()
{
    for (int i = 0; i < 10; ++i)
        m_MovePromptTimes[i] = kMovePromptTimes[i];
    m_MovePrompted = false;
    m_FinisherMode = true;
    MoveEstomago();
}

void CFightingController::MoveEstomago() { PlayMove(0); }
void CFightingController::MoveGanchoIzq() { PlayMove(1); }
void CFightingController::MoveGanchoBajoFacial() { PlayMove(2); }
void CFightingController::MoveIzqDerechRapido() { PlayMove(3); }
void CFightingController::MoveEmpujon() { PlayMove(4); }
void CFightingController::MovePatadaHuevers() { PlayMove(5); }
void CFightingController::MoveRodillazo() { PlayMove(6); }
void CFightingController::MoveGanchoArribaBajo() { PlayMove(7); }
void CFightingController::MoveGanchoBajo() { PlayMove(8); }
void CFightingController::MoveSpartaKick() { PlayMove(9); }

void CFightingController::PlayMove(int index)
{
    const FinisherMove& move = kMoves[index];
    CPlayer* hero = getPlayer();
    CLocation& heroPlace = hero->GetPosition();
    CCharacterEntity* heroBody = hero->GetEntity();
    CCharacterEntity* enemyBody = m_Opponent ? m_Opponent->GetEntity() : nullptr;
    CCollisionManager& collisions = getCollisionManager();

    // In the last move the enemy's model follows the kick, not its body.
    if (index == 9 && m_Opponent)
        m_Opponent->getIA()->SetFinisherFlag(true);

    // The body moved is the fight's own enemy's, whoever the chain was
    // started against, so that model and body stay together.
    switch (move.placement) {
    case Placement::Fixed:
        collisions.setNewPlayerPosition(move.hero);
        heroPlace.SetPosition(move.hero);
        heroPlace.SetYaw(move.yaw);
        if (m_Opponent) {
            collisions.setNewEnemyPosition(m_Opponent->GetName(), move.enemy);
            m_Opponent->GetPosition().SetPosition(move.enemy);
            m_Opponent->GetPosition().SetYaw(move.yaw);
        }
        break;
    case Placement::Shift:
        if (m_Opponent) {
            const D3DXVECTOR3 to = m_Opponent->GetPosition().GetPosition() + move.enemy;
            collisions.setNewEnemyPosition(m_Opponent->GetName(), to);
            m_Opponent->GetPosition().SetPosition(to);
            m_Opponent->GetPosition().SetYaw(move.yaw);
        }
        heroPlace.SetYaw(move.yaw);
        break;
    case Placement::None:
        if (m_Opponent)
            m_Opponent->GetPosition().SetYaw(move.yaw);
        heroPlace.SetYaw(move.yaw);
        break;
    }

    if (heroBody)
        heroBody->RemoveAction();
    if (enemyBody)
        enemyBody->RemoveAction();
    if (heroBody)
        heroBody->ExecuteAction(move.heroAction, 0.0f, 0.0f, 1.0f, false);
    if (enemyBody)
        enemyBody->ExecuteAction(move.enemyAction, 0.0f, 0.0f, 1.0f, false);

    m_MovePromptTime = m_MovePromptTimes[index];
    m_Timer = 0.0f;
    m_ChainState = move.nextState;
    getRigid()->playCam(move.camera);
    if (index == 0) {
        getSoundManager().PlayActionTheme();
    } else if (move.voice) {
        getSoundManager().playThisSampleOnce(move.voice, 1.0f);
        getSubtitulos().showSubtitulo(move.subtitle);
    }
}

void CFightingController::AdvanceFinisherChain(float dt)
{
    m_ChainDt = dt;
    if (m_SlowMotion && static_cast<float>(timeGetTime()) - m_SlowMotionStart >= m_SlowMotionLength) {
        SetTimeScale(1.0f);
        m_SlowMotion = false;
    }

    // Either fighter's move ending starts the next one.
    CCharacterEntity* heroBody = getPlayer()->GetEntity();
    CCharacterEntity* enemyBody = m_Opponent ? m_Opponent->GetEntity() : nullptr;
    if (ActionsOf(heroBody) == 0 || ActionsOf(enemyBody) == 0) {
        if (m_ChainState == 0)
            m_ChainState = kChainEnd;
        m_MovePrompted = false;
        switch (m_ChainState) {
        case 74: MoveGanchoIzq(); break;
        case 75: MoveGanchoBajoFacial(); break;
        case 76: MoveIzqDerechRapido(); break;
        case 77: MoveEmpujon(); break;
        case 78: MovePatadaHuevers(); break;
        case 79: MoveRodillazo(); break;
        case 80: MoveGanchoArribaBajo(); break;
        case 81: MoveGanchoBajo(); break;
        case 82: MoveSpartaKick(); break;
        case kChainEnd: EndFinisherChain(); break;
        default: break;
        }
        return;
    }
    if (m_ChainState == 0)
        return;

    // A step that jumps the whole window (a frame slower than about 17 a
    // second, as a software-rendered frame often is) opens the prompt late
    // rather than never.
    if (!m_FinalPhase && !m_MovePrompted && m_Timer >= m_MovePromptTime - kPromptSlack) {
        m_MovePrompted = true;
        OpenButtonPrompt();
    }
    m_Timer += dt;

    if (m_FinalPhase) {
        if (m_FinalCountdown < 0.0f || m_FinalRamp > 1.0f) {
            m_FinalPhase = false;
            SetTimeScale(1.0f);
            m_ChainState = 0;
        }
        m_FinalCountdown -= kFinalPace * dt;
        m_FinalRamp += kFinalPace * dt;
        return;
    }
    // The last move's prompt waits to be answered or to run out: a slow
    // frame that opens it and passes the shout's time in one step would
    // otherwise hide it before it was ever shown.
    if (m_ChainState == kChainEnd && m_Timer >= kShoutAfter && !m_ExpectX && !m_ExpectY) {
        m_FinalRamp = dt;
        m_FinalCountdown = kFinalCountdown;
        m_FinalPhase = true;
        Shout();
        CGUIManager& gui = getGUI();
        gui.comboHintX = gui.comboHintY = false;
        return;
    }
    CheckFinisherInput();
}

void CFightingController::CheckFinisherInput()
{
    if (m_ExpectX)
        AnswerFinisherPrompt(m_ExpectX, m_XPressed, true);
    if (m_ExpectY)
        AnswerFinisherPrompt(m_ExpectY, m_YPressed, false);
}

void CFightingController::AnswerFinisherPrompt(bool& expected, bool& pressed, bool x)
{
    // The chain cannot be lost: a prompt left to run out counts as answered.
    if (m_PromptLimit <= 0.0f) {
        SetTimeScale(1.0f);
        pressed = true;
    }
    bool& hint = x ? getGUI().comboHintX : getGUI().comboHintY;
    hint = true;
    if (pressed) {
        hint = false;
        getSoundManager().PlayPunch();
        SetTimeScale(1.0f);
        expected = false;
        pressed = false;
        if (m_ChainState == kChainEnd)
            Shout();
    }
    m_PromptLimit -= LastFrameDt;
}

void CFightingController::Shout()
{
    getSoundManager().playThisSampleOnce("data/sound/zorvaaath.ogg", 1.0f);
    getRigid()->playCam("camara_combo_final11_2");
    getSubtitulos().showSubtitulo("zorvaaath");
    getGUI().UnlockAchievement(8);
}

void CFightingController::EndFinisherChain()
{
    getSoundManager().playThisSampleOnce("data/sound/splash.wav", 0.5f);
    m_FinalPhase = false;
    if (m_Opponent)
        m_Opponent->getIA()->SetFinisherFlag(false);
    // The chain ends as a won fight does.
    m_FinisherMode = false;
    Win();
    getGSF().setReadyMemoriam();
}
