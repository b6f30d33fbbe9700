#include <algorithm>
#include <set>
#include <sstream>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "datagen/ScreenImages.h"
#include "xml/temp_folder.h"

namespace {

// The names the start-up asks the texture cache for, written out by hand.
std::vector<std::string> ExpectedNames()
{
    std::vector<std::string> names = {"GUI/LOADING/vantorel.jpg",     "GUI/EpicFail_mando.jpg",
                                      "GUI/EpicFail_teclado.jpg",     "GUI/EpicFail_mando_ing.jpg",
                                      "GUI/EpicFail_teclado_ing.jpg", "GUI/LOADING/loading_mando_1.jpg"};
    for (const std::string series : {"mando", "teclado"})
        for (int n = series == "mando" ? 2 : 1; n <= 5; ++n) {
            const std::string base = "GUI/LOADING/loading_" + series + "_" + std::to_string(n);
            names.push_back(base + ".jpg");
            names.push_back(base + "_ing.jpg");
        }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(ScreenImages, ListsEveryImageTheStartUpLoadsEachItsOwnPictureAndDeathInRed)
{
    std::vector<std::string> names;
    std::set<std::vector<std::uint8_t>> seen;
    for (const datagen::ScreenImage& img : datagen::ScreenImages()) {
        SCOPED_TRACE(img.name);
        names.push_back(img.name);
        // The language, the device and the number each change the picture.
        const datagen::Canvas picture = datagen::PaintScreen(img, 160, 120);
        EXPECT_TRUE(seen.insert(picture.Pixels()).second);
        double r = 0, g = 0, b = 0;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                r += picture.Get(x, y).r;
                g += picture.Get(x, y).g;
                b += picture.Get(x, y).b;
            }
        if (img.kind == datagen::ScreenKind::Death) {
            EXPECT_GT(r, 2.0 * g);
            EXPECT_GT(r, 2.0 * b);
        } else {
            EXPECT_LT(r, 2.0 * b + 20.0 * 160 * 120);
        }
    }
    ASSERT_EQ(names.front(), "GUI/LOADING/vantorel.jpg");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, ExpectedNames());
}

// Every step together: nothing fails, every screen image lands below the
// texture folder at full size, and a second run leaves every file alone.
TEST(Generator, FirstRunWritesEveryFileAndSecondRunNothing)
{
    TempFolder tmp;
    std::ostringstream log;
    datagen::Output first(tmp.Path());
    ASSERT_TRUE(datagen::RunSteps(datagen::AllSteps(), first, log)) << log.str();
    EXPECT_EQ(first.Written(), int(first.Files().size()));
    for (const std::string& name : ExpectedNames()) {
        int w = 0, h = 0, comp = 0;
        ASSERT_TRUE(stbi_info((tmp / (datagen::kTextureFolder + name)).c_str(), &w, &h, &comp)) << name;
        EXPECT_EQ(w, datagen::kScreenWidth) << name;
        EXPECT_EQ(h, datagen::kScreenHeight) << name;
    }

    datagen::Output second(tmp.Path());
    ASSERT_TRUE(datagen::RunSteps(datagen::AllSteps(), second, log)) << log.str();
    EXPECT_EQ(second.Written(), 0);
    EXPECT_EQ(second.Unchanged(), first.Written());
    EXPECT_EQ(second.Files(), first.Files());
}
