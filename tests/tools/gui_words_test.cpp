// The words the screen pictures carry: what the HUD calls the hero's weapon
// in each language, and what the mission banners send the player to do.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "datagen/GuiImages.h"

namespace {

const datagen::GuiImage& Element(const std::string& name)
{
    static const std::map<std::string, const datagen::GuiImage*> byName = [] {
        std::map<std::string, const datagen::GuiImage*> m;
        for (const datagen::GuiImage& g : datagen::GuiImages())
            m[g.name] = &g;
        return m;
    }();
    return *byName.at(name);
}

// A Spanish player reads Spanish in the weapon's box, an English one English.
TEST(GuiWords, TheWeaponBoxNamesTheWeaponInThePlayersLanguage)
{
    const struct {
        const char *element, *spanish, *english;
    } weapons[] = {{"GUN", "PISTOLA", "PISTOL"}, {"SHOTGUN", "ESCOPETA", "SHOTGUN"}, {"THOMPSON", "THOMPSON", "THOMPSON"}};
    for (const auto& w : weapons) {
        EXPECT_EQ(Element(w.element).words, w.spanish);
        EXPECT_EQ(Element(w.element).wordsEn, w.english);
    }
}

// Each banner comes up as its stretch begins (the sequencer and the level
// scripts choose which): the one over the circling plane says to bring it
// down, the one after it no longer does, and those over the square's waves
// name the docker their end waits for.
TEST(GuiWords, MissionBannersNameWhatEndsTheirStretch)
{
    auto says = [](int mission, const char* spanish, const char* english) {
        const datagen::GuiImage& g = Element("MISION" + std::to_string(mission));
        return g.detail.find(spanish) != std::string::npos && g.detailEn.find(english) != std::string::npos;
    };
    EXPECT_TRUE(says(2, "avioneta", "plane"));
    EXPECT_FALSE(says(3, "avioneta", "plane")) << "the plane is down by then";
    EXPECT_TRUE(says(7, "estibador", "docker"));
    EXPECT_TRUE(says(8, "estibador", "docker"));
}

} // namespace
