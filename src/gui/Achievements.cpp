#include "gui/Achievements.h"

void CAchievementStats::ResetForNewGame()
{
    // Placeholder until the achievements are built: only the play time and
    // the awarded flags exist.
    playTime = 0.0f;
    damageTaken = 0;
    checkpointRestores = 0;
    shotsFired = 0;
    rolls = 0;
    for (bool& a : awarded)
        a = false;
}

void CAchievementStats::ResetForLevel()
{
    // Placeholder until the achievements are built: the play time and the
    // counters the hero keeps.
    playTime = 0.0f;
    damageTaken = 0;
    checkpointRestores = 0;
    shotsFired = 0;
    rolls = 0;
}

CAchievementStats& getAchievementStats()
{
    static CAchievementStats stats;
    return stats;
}

void CheckAchievements()
{
    // Placeholder until the achievements are built.
}
