#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "TempFolder.h"
#include "datagen/ScreenImages.h"

namespace fs = std::filesystem;
using datagen::ScreenImage;
using datagen::ScreenKind;

namespace {

// The names the start-up asks the texture cache for, written out by hand.
std::vector<std::string> ExpectedNames()
{
    std::vector<std::string> names = {"GUI/LOADING/vantorel.jpg", "GUI/LOADING/loading_mando_1.jpg"};
    for (const char* series : {"mando", "teclado"})
        for (int n = 1; n <= 5; ++n) {
            const std::string base = std::string("GUI/LOADING/loading_") + series + "_" + std::to_string(n);
            if (std::string(series) == "mando" && n == 1)
                continue;
            names.push_back(base + ".jpg");
            names.push_back(base + "_ing.jpg");
        }
    for (const char* name : {"GUI/EpicFail_mando.jpg", "GUI/EpicFail_teclado.jpg", "GUI/EpicFail_mando_ing.jpg",
                             "GUI/EpicFail_teclado_ing.jpg"})
        names.push_back(name);
    return names;
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct MeanColour {
    double r = 0, g = 0, b = 0;
};

MeanColour Mean(const datagen::Canvas& c)
{
    MeanColour m;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
            const datagen::Rgba p = c.Get(x, y);
            m.r += p.r;
            m.g += p.g;
            m.b += p.b;
        }
    const double n = double(c.Width()) * c.Height();
    return MeanColour{m.r / n, m.g / n, m.b / n};
}

} // namespace

TEST(ScreenImages, ListsEveryImageTheStartUpLoads)
{
    std::vector<std::string> names;
    for (const ScreenImage& img : datagen::ScreenImages())
        names.push_back(img.name);
    std::vector<std::string> expected = ExpectedNames();
    ASSERT_EQ(names.front(), "GUI/LOADING/vantorel.jpg");
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(ScreenImages, LoadingImagesCarryTheirPlaceInTheSequence)
{
    std::map<std::string, ScreenImage> byName;
    for (const ScreenImage& img : datagen::ScreenImages())
        byName[img.name] = img;
    const ScreenImage& first = byName.at("GUI/LOADING/loading_mando_1.jpg");
    EXPECT_EQ(first.kind, ScreenKind::Loading);
    EXPECT_TRUE(first.pad);
    EXPECT_EQ(first.position, 1);
    const ScreenImage& k3 = byName.at("GUI/LOADING/loading_teclado_3_ing.jpg");
    EXPECT_FALSE(k3.pad);
    EXPECT_TRUE(k3.english);
    EXPECT_EQ(k3.number, 3);
    EXPECT_EQ(k3.position, 8);
    EXPECT_EQ(byName.at("GUI/LOADING/loading_teclado_5.jpg").position, 10);
    const ScreenImage& death = byName.at("GUI/EpicFail_teclado_ing.jpg");
    EXPECT_EQ(death.kind, ScreenKind::Death);
    EXPECT_FALSE(death.pad);
    EXPECT_TRUE(death.english);
}

TEST(ScreenImages, DeathScreensAreRedAndLoadingScreensAreNot)
{
    for (const ScreenImage& img : datagen::ScreenImages()) {
        SCOPED_TRACE(img.name);
        const MeanColour m = Mean(datagen::PaintScreen(img, 128, 96));
        if (img.kind == ScreenKind::Death) {
            EXPECT_GT(m.r, 2.0 * m.g);
            EXPECT_GT(m.r, 2.0 * m.b);
        } else {
            EXPECT_LT(m.r, 2.0 * m.b + 20.0);
        }
    }
}

TEST(ScreenImages, EveryPictureIsDistinctEvenWhenSmall)
{
    // The language, the device and the number each change the picture.
    std::set<std::vector<std::uint8_t>> seen;
    for (const ScreenImage& img : datagen::ScreenImages())
        EXPECT_TRUE(seen.insert(datagen::PaintScreen(img, 160, 120).Pixels()).second) << img.name;
}

TEST(ScreenImages, OtherSizesKeepTheLayoutCentred)
{
    // A wider canvas than 4:3 leaves equal bands at the sides.
    const ScreenImage splash = datagen::ScreenImages().front();
    const datagen::Canvas wide = datagen::PaintScreen(splash, 200, 96);
    EXPECT_EQ(wide.Width(), 200);
    EXPECT_EQ(wide.Height(), 96);
    const MeanColour m = Mean(wide);
    EXPECT_GT(m.r + m.g + m.b, 30.0);
}

TEST(Generator, FirstRunWritesEveryScreenImageAndSecondRunNothing)
{
    TempFolder tmp;
    std::ostringstream log;
    datagen::Output first(tmp.Path());
    ASSERT_TRUE(datagen::RunSteps(datagen::AllSteps(), first, log)) << log.str();
    const std::vector<std::string> expected = ExpectedNames();
    EXPECT_EQ(first.Written(), int(first.Files().size()));
    EXPECT_EQ(first.Unchanged(), 0);

    std::set<std::string> contents;
    for (const std::string& name : expected) {
        SCOPED_TRACE(name);
        const fs::path file = tmp.Path() / "data/textures" / name;
        ASSERT_TRUE(fs::exists(file));
        int w = 0, h = 0, comp = 0;
        ASSERT_TRUE(stbi_info(file.c_str(), &w, &h, &comp));
        EXPECT_EQ(w, datagen::kScreenWidth);
        EXPECT_EQ(h, datagen::kScreenHeight);
        EXPECT_EQ(w * 3, h * 4);
        EXPECT_TRUE(contents.insert(ReadFile(file)).second) << "same bytes as another image";
    }

    datagen::Output second(tmp.Path());
    ASSERT_TRUE(datagen::RunSteps(datagen::AllSteps(), second, log)) << log.str();
    EXPECT_EQ(second.Written(), 0);
    EXPECT_EQ(second.Unchanged(), first.Written());
    EXPECT_EQ(second.Files(), first.Files());
}
