#include "gui/Achievements.h"

void CAchievementStats::ResetForNewGame()
{
    // Placeholder until the achievements are built: only the play time and
    // the awarded flags exist.
    playTime = 0.0f;
    for (bool& a : awarded)
        a = false;
}

void CAchievementStats::ResetForLevel()
{
    // Placeholder until the achievements are built: only the play time exists.
    playTime = 0.0f;
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
