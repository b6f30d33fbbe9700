// The hero's controller while he fights an enemy hand to hand: a timed button
// game over a pair of one-shot animations. At set moments the game slows down
// and asks for X or Y; a right press lands a blow, a wrong one or none loses
// the fight.
#pragma once

#include <cstdint>

#include "gui/GUIManager.h"
#include "platform/d3dx9math.h"
#include "player/IController.h"
#include "player/PendingHit.h"

class CEnemy;

class CFightingController : public IController {
public:
    // Hit moments of the three-hit and two-hit combos before any fight set them.
    CFightingController();

    void OnActionPressed(int code) override;
    void OnActionReleased(int code) override {}
    void Update(float seconds) override;
    int GetStateCode() override { return m_StateCode; }
    bool WasHit() override { return false; }

    // Starts a fight of that kind (49 to 52, or 102 for the final chain).
    void StartFight(CEnemy* opponent, int kind);
    // The fight is over without a winner: the hero is being switched to
    // something else (a restart, a cut-scene), or his opponent was sent
    // elsewhere. The slow motion, the prompt, the fight's camera and the
    // freeze it put on the enemies end, and an opponent still held in the
    // fight goes looking for the hero. Nothing happens once the fight has
    // ended by itself.
    void Abandon();
    bool IsOpen() const { return m_Open; }
    // Slows the game down and asks for X or Y, at random.
    void OpenButtonPrompt();
    // A fight takes no bullet damage: the hit is kept and never read.
    void SetPendingHit(bool hit, std::uint16_t damage, D3DXVECTOR3 point) { m_Hit.Set(hit, damage, point.x, point.y, point.z); }
    bool IsHitPending() const { return m_Hit.pending; }
    CEnemy* GetOpponent() const { return m_Opponent; }
    // An enemy about to be freed is no longer the opponent.
    void ForgetOpponent(const CEnemy* enemy)
    {
        if (m_Opponent == enemy)
            m_Opponent = nullptr;
    }
    int GetKind() const { return m_Kind; }

    bool IsExpectingX() const { return m_ExpectX; }
    bool IsExpectingY() const { return m_ExpectY; }
    bool IsComplete() const { return m_Complete; }
    int HitsLanded() const { return m_Hits[0] + m_Hits[1] + m_Hits[2]; }
    float GetTimer() const { return m_Timer; }
    float GetPromptLimit() const { return m_PromptLimit; }

    // The fight is the final finisher chain (the cut-scenes and cameras
    // leave the shots to it meanwhile).
    bool IsFinisherMode() const { return m_FinisherMode; }
    int GetChainState() const { return m_ChainState; }

    // The final chain: each update advances it; the moves play in order.
    void AdvanceFinisherChain(float dt);
    void CheckFinisherInput();
    void MoveEstomago();
    void MoveGanchoIzq();
    void MoveGanchoBajoFacial();
    void MoveIzqDerechRapido();
    void MoveEmpujon();
    void MovePatadaHuevers();
    void MoveRodillazo();
    void MoveGanchoArribaBajo();
    void MoveGanchoBajo();
    void MoveSpartaKick();
    void EndFinisherChain();

    // Seconds of real time a prompt waits for its button, and the game's
    // speed while it does.
    static constexpr float kPromptLimit = 1.2f;
    static constexpr float kSlowMotion = 0.08f;
    static constexpr float kSlowMotionMs = 1500.0f;

    // Chain states: the move dispatched next (74 to 82 are moves 2 to 10), 83
    // the end, 0 once the final delay ran out and the end waits.
    static constexpr int kChainEnd = 83;

private:
    void StartFinisher();
    void PlayMove(int index);
    void Shout();
    // Answers the open chain prompt of one button: a missed one counts too.
    void AnswerFinisherPrompt(bool& expected, bool& pressed, bool x);
    // Lost: the hero is hurt and both are put back; the screen says why.
    void Fail(CGUIManager::FightLoss why);
    void Win();
    void LandHit();
    // True when the open prompt's button came (the blow lands); false when it
    // is still awaited; the fight is failed when its time ran out.
    bool AnswerPrompt(bool& expected, bool& pressed, bool x, bool* failed);

    // Whether the hero ends his opponent's fight or somebody else does
    // (a script that sends the enemy away), it is over for both.
    bool OpponentLeft() const;

    int m_StateCode = 43;
    // Between the start and its win, loss or abandonment.
    bool m_Open = false;
    CEnemy* m_Opponent = nullptr;
    int m_Kind = 0;
    bool m_ThreeHit = false;
    float m_Timer = 0.0f;
    // The three-hit windows, then the two-hit ones.
    float m_Windows[5] = {1.2f, 1.7f, 2.8f, 1.4f, 2.0f};
    bool m_Prompted[3] = {};
    bool m_Hits[3] = {};
    bool m_ExpectX = false, m_XPressed = false, m_ExpectY = false, m_YPressed = false;
    bool m_WrongPress = false;
    float m_PromptLimit = 200.0f;
    bool m_SlowMotion = false;
    float m_SlowMotionStart = 0.0f;
    float m_SlowMotionLength = kSlowMotionMs;
    bool m_Complete = false;
    PendingHit m_Hit;

    bool m_FinisherMode = false;
    int m_ChainState = 0;
    float m_MovePromptTimes[10] = {};
    float m_MovePromptTime = 0.0f;
    bool m_MovePrompted = false;
    bool m_FinalPhase = false;
    float m_FinalCountdown = 0.0f;
    float m_FinalRamp = 0.0f;
    float m_ChainDt = 0.0f;
};
