// An enemy: a character with its weapon and its cover-shooter AI.
#pragma once

#include <cstdint>
#include <string>

#include "player/Human.h"

class CEnemy;

// The cover-shooter state machine of one enemy.
class CIAEnemyCover {
public:
    // AI state codes that other parts of the game compare.
    enum : std::uint16_t {
        SEARCHING = 2,
        MOVE_TO_COVER = 3,
        FIGHTING = 5,
        DEAD = 8,
        IDLE = 10,
        KAMIKAZE = 16,
        ACTING = 21,
        WAITING = 22,
        AIMING_THOMPSON = 24,
        DOCKERS = 25,
    };

    explicit CIAEnemyCover(CEnemy* owner) : m_Owner(owner) {}

    std::uint16_t GetState() const { return m_State; }
    // The enemy was removed from play.
    bool IsDestroyed() const { return m_Destroyed; }
    // A scripted animation plays (the weapon is not put in the hand meanwhile).
    bool IsInScriptAnimation() const { return m_ScriptAnimation; }
    // The docker's script timer has run out.
    bool IsDockerDone() const { return m_DockerDone; }
    // State 24, playing "aiming_thompson".
    void EnterAimingThompson();

    // Script methods.
    void setTalkScript(std::string talk, float seconds);
    void setAnimScript(std::string animation, float seconds);
    void setDockersState();
    void setTrackerScript(bool tracking, std::string target);
    void setWaitingState(float seconds, std::string triggerLogic);
    void setSearchingState();
    void setMoveToCoverState(std::string coverPoint);
    // Faces the hero at once.
    void UpdateView();
    void setKamikazeState();
    void setYawFromScript(float yaw);
    // False while IDLE, WAITING or ACTING.
    bool botIsInAction();
    // The enemy keeps its place from now on.
    void becomeATorretGuy();
    // Life 0, DEAD, hidden, cover freed, body removed, removed flag set.
    void destroyThisGuy();

private:
    CEnemy* m_Owner;
    std::uint16_t m_State = IDLE;
    bool m_Destroyed = false;
    bool m_ScriptAnimation = false;
    bool m_DockerDone = false;
    bool m_CanMove = true;
};

class CEnemy : public IHuman {
public:
    explicit CEnemy(std::string name);

    void Update(float step) override;
    void reduceLife(std::uint16_t amount) override;

    std::string GetName() const { return m_Name; }
    CIAEnemyCover* getIA() { return &m_IA; }

private:
    std::string m_Name;
    CIAEnemyCover m_IA;
};
