// The play statistics that the ten achievements are judged on. Play code
// everywhere bumps the counters; once per frame of play the checks unlock an
// achievement the first time its rule holds. Nothing is saved.
#pragma once

#include <cstdint>

class CAchievementStats {
public:
    // Zeroes every counter, the play time and the awarded flags.
    void ResetForNewGame();
    // Zeroes every counter and the play time; the awarded flags stay.
    void ResetForLevel();

    // The rules, one per achievement (8 is awarded by the fight itself).
    bool CheckAchievement1() const { return checkpointRestores == 1; }
    bool CheckAchievement2() const { return propsShot > 4; }
    bool CheckAchievement3() const { return blastHits > 2; }
    bool CheckAchievement4() const { return meleeWins > 2; }
    bool CheckAchievement5() const { return coverJumps > 3; }
    bool CheckAchievement6() const { return legShots > 5; }
    bool CheckAchievement7() const { return headShots > 4; }
    bool CheckAchievement9() const { return rolls > 4; }
    // The hero owns both the shotgun and the Thompson gun.
    bool CheckAchievement10() const;

    // Counters, one per event; they wrap at 65536 like the originals.
    std::uint16_t propsShot = 0;
    std::uint16_t headShots = 0;
    std::uint16_t blastHits = 0;
    std::uint16_t checkpointRestores = 0;
    std::uint16_t meleeWins = 0;
    std::uint16_t coverJumps = 0;
    std::uint16_t rolls = 0;
    std::uint16_t legShots = 0;
    // Counted for the record only: no rule reads them.
    std::uint16_t damageTaken = 0;
    std::uint16_t shotsFired = 0;
    std::uint16_t fightsStarted = 0;
    std::uint16_t barrelsBlown = 0;
    std::uint16_t bodyPartsHit = 0;

    // Seconds played while no menu was up.
    float playTime = 0.0f;
    // Achievements 1 to 10 at indexes 0 to 9: awarded in this run.
    bool awarded[10] = {};
};

CAchievementStats& getAchievementStats();

// The per-frame check of every achievement rule.
void CheckAchievements();
