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

    // Seconds played while no menu was up.
    float playTime = 0.0f;
    // Life the hero lost, and how often a checkpoint was played again.
    std::uint16_t damageTaken = 0;
    std::uint16_t checkpointRestores = 0;
    // The hero's shots and rolls.
    std::uint16_t shotsFired = 0;
    std::uint16_t rolls = 0;
    // Achievements 1 to 10 at indexes 0 to 9: awarded in this run.
    bool awarded[10] = {};
};

CAchievementStats& getAchievementStats();

// The per-frame check of every achievement rule.
void CheckAchievements();
