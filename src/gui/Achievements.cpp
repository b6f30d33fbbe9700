#include "gui/Achievements.h"

#include "gui/GUIManager.h"
#include "player/Player.h"

void CAchievementStats::ResetForNewGame()
{
    ResetForLevel();
    for (bool& a : awarded)
        a = false;
}

void CAchievementStats::ResetForLevel()
{
    const CAchievementStats fresh;
    bool kept[10];
    for (int i = 0; i < 10; ++i)
        kept[i] = awarded[i];
    *this = fresh;
    for (int i = 0; i < 10; ++i)
        awarded[i] = kept[i];
}

bool CAchievementStats::CheckAchievement10() const
{
    const CPlayer* hero = getPlayer();
    return hero->HasShotgun() && hero->HasThompson();
}

CAchievementStats& getAchievementStats()
{
    static CAchievementStats stats;
    return stats;
}

void CheckAchievements()
{
    CAchievementStats& stats = getAchievementStats();
    CGUIManager& gui = getGUI();
    // Read once: rules that come true in the same frame all get their banner
    // together; later ones wait until the last banner has gone.
    const bool bannerShowing = gui.achievementBannerShowing;
    if (bannerShowing)
        return;
    struct Rule {
        int id;
        bool (CAchievementStats::*holds)() const;
    };
    static const Rule kOrder[] = {
        {5, &CAchievementStats::CheckAchievement5}, {4, &CAchievementStats::CheckAchievement4},
        {7, &CAchievementStats::CheckAchievement7}, {2, &CAchievementStats::CheckAchievement2},
        {3, &CAchievementStats::CheckAchievement3}, {9, &CAchievementStats::CheckAchievement9},
        {6, &CAchievementStats::CheckAchievement6}, {10, &CAchievementStats::CheckAchievement10},
        {1, &CAchievementStats::CheckAchievement1},
    };
    for (const Rule& rule : kOrder)
        if (!stats.awarded[rule.id - 1] && (stats.*rule.holds)())
            gui.UnlockAchievement(rule.id);
}
