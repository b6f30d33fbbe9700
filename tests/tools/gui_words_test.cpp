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

// A Spanish player reads Spanish in the weapon's box, an English one
// English; the picture of each language carries its own word.
TEST(GuiWords, TheWeaponBoxNamesTheWeaponInThePlayersLanguage)
{
    const struct {
        const char *element, *spanish, *english;
    } weapons[] = {{"GUN", "PISTOLA", "PISTOL"}, {"SHOTGUN", "ESCOPETA", "SHOTGUN"}, {"THOMPSON", "THOMPSON", "THOMPSON"}};
    for (const auto& w : weapons) {
        const datagen::GuiImage& g = Element(w.element);
        EXPECT_EQ(g.words, w.spanish);
        EXPECT_EQ(g.wordsEn, w.english);
        const datagen::Canvas spanish = datagen::PaintGuiImage(g, false);
        const datagen::Canvas english = datagen::PaintGuiImage(g, true);
        int differ = 0;
        for (int y = 0; y < spanish.Height(); ++y)
            for (int x = 0; x < spanish.Width(); ++x) {
                const datagen::Rgba a = spanish.Get(x, y), b = english.Get(x, y);
                differ += a.r != b.r || a.g != b.g || a.b != b.b || a.a != b.a;
            }
        if (std::string(w.spanish) != w.english)
            EXPECT_GT(differ, 100) << w.element << ": each picture shows its own word";
        else
            EXPECT_EQ(differ, 0) << w.element;
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
