#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "datagen/MeshTextures.h"
#include "datagen/ScreenImages.h"
#include "xml/temp_folder.h"

TEST(ScreenImages, ListsEveryImageTheStartUpLoadsEachWithItsOwnPicture)
{
    std::set<std::string> names;
    std::set<std::vector<std::uint8_t>> seen;
    for (const datagen::ScreenImage& img : datagen::ScreenImages()) {
        names.insert(img.name);
        // The language, the device and the number each change the picture.
        EXPECT_TRUE(seen.insert(datagen::PaintScreen(img, 160, 120).Pixels()).second) << img.name;
    }
    EXPECT_EQ(datagen::ScreenImages().front().name, "GUI/LOADING/vantorel.jpg");
    // The names the start-up asks the texture cache for, written out by hand.
    std::set<std::string> expected = {"GUI/LOADING/vantorel.jpg",     "GUI/EpicFail_mando.jpg",
                                      "GUI/EpicFail_teclado.jpg",     "GUI/EpicFail_mando_ing.jpg",
                                      "GUI/EpicFail_teclado_ing.jpg", "GUI/LOADING/loading_mando_1.jpg"};
    for (const std::string series : {"mando", "teclado"})
        for (int n = series == "mando" ? 2 : 1; n <= 5; ++n) {
            const std::string base = "GUI/LOADING/loading_" + series + "_" + std::to_string(n);
            expected.insert({base + ".jpg", base + "_ing.jpg"});
        }
    EXPECT_EQ(names, expected);
}

// Every step together: screen images at full size, surface textures small, nothing rewritten.
TEST(Generator, FirstRunWritesEveryFileAndSecondRunNothing)
{
    TempFolder tmp;
    std::ostringstream log;
    datagen::Output first(tmp.Path()), second(tmp.Path());
    ASSERT_TRUE(datagen::RunSteps(datagen::AllSteps(), first, log)) << log.str();
    EXPECT_EQ(first.Written(), int(first.Files().size()));
    int w = 0, h = 0, comp = 0;
    for (const datagen::ScreenImage& img : datagen::ScreenImages()) {
        ASSERT_TRUE(stbi_info((tmp / (datagen::kTextureFolder + img.name)).c_str(), &w, &h, &comp)) << img.name;
        EXPECT_TRUE(w == datagen::kScreenWidth && h == datagen::kScreenHeight) << img.name << " " << w << "x" << h;
    }
    for (const std::string& name : datagen::MeshTextureNames()) {
        ASSERT_TRUE(stbi_info((tmp / (datagen::kTextureFolder + name)).c_str(), &w, &h, &comp)) << name;
        EXPECT_LE(std::max(w, h), 256) << name;
    }

    ASSERT_TRUE(datagen::RunSteps(datagen::AllSteps(), second, log)) << log.str();
    EXPECT_EQ(second.Written(), 0);
    EXPECT_EQ(second.Unchanged(), first.Written());
    EXPECT_EQ(second.Files(), first.Files());

    // The same bytes as the game's working folder, which one build may take
    // from another build of the same sources (the sanitized from the plain):
    // nothing the generator writes may hang on how it was compiled.
    const auto bytes = [](const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::filesystem::path workdir = VANTOREL_WORKDIR;
    for (const std::string& name : first.Files()) {
        ASSERT_TRUE(std::filesystem::is_regular_file(workdir / name)) << name;
        EXPECT_TRUE(bytes(tmp / name) == bytes(workdir / name)) << name;
    }
}

// Textures repeat, so their noise meets itself at the edges. Rising along +u a normal leans to -u
// (red below the middle), rising down the image green does; flat is the plain up colour.
TEST(MeshTextures, NoiseWrapsWithoutASeamAndNormalMapsLeanAwayFromTheRise)
{
    for (float v : {0.0f, 0.3f, 0.77f}) {
        EXPECT_FLOAT_EQ(datagen::TileNoise(0.25f, v, 8, 4, 3), datagen::TileNoise(1.25f, v, 8, 4, 3));
        EXPECT_NEAR(datagen::TileFbm(0.9999f, v, 8, 8, 4, 3), datagen::TileFbm(0.0f, v, 8, 8, 4, 3), 0.01f);
        EXPECT_NEAR(datagen::TileFbm(v, 0.9999f, 8, 8, 4, 3), datagen::TileFbm(v, 0.0f, 8, 8, 4, 3), 0.01f);
    }
    std::vector<float> noise, flat(64, 0.5f), alongU(64), alongV(64);
    for (int i = 0; i < 1000; ++i)
        noise.push_back(datagen::TileNoise(i * 0.0137f, i * 0.0291f, 16, 16, 9));
    const auto [low, high] = std::minmax_element(noise.begin(), noise.end());
    EXPECT_TRUE(*low >= 0.0f && *high < 1.0f && *high - *low > 0.5f) << *low << " " << *high;

    for (int i = 0; i < 64; ++i) {
        alongU[i] = 0.1f * (i % 8);
        alongV[i] = 0.1f * (i / 8);
    }
    EXPECT_EQ(datagen::NormalMapFromHeights(flat, 8, 2.0f).Get(3, 3), (datagen::Rgba{128, 128, 255, 255}));
    const datagen::Rgba u = datagen::NormalMapFromHeights(alongU, 8, 5.0f).Get(3, 3);
    EXPECT_TRUE(u.r < 120 && u.g == 128) << int(u.r) << " " << int(u.g);
    const datagen::Rgba v = datagen::NormalMapFromHeights(alongV, 8, 5.0f).Get(3, 3);
    EXPECT_TRUE(v.r == 128 && v.g < 120) << int(v.r) << " " << int(v.g);
}

// A finished game's screens carry no small print naming their files, and the
// death screen says how to go on: revive at the last checkpoint, or leave.
TEST(ScreenImages, NoFileNamesOnScreenAndTheDeathScreenNamesBothWaysOn)
{
    // Where the text would be: each row of the strip must stay the smooth
    // background (a gradient and a vignette), without the strokes of letters.
    auto plain = [](const datagen::Canvas& c, int x0, int x1, int y0, int y1) {
        int worst = 0;
        for (int y = y0; y < y1; ++y) {
            int low = 255, high = 0;
            for (int x = x0; x < x1; ++x) {
                const datagen::Rgba p = c.Get(x, y);
                const int lum = (p.r * 3 + p.g * 6 + p.b) / 10;
                low = std::min(low, lum);
                high = std::max(high, lum);
            }
            worst = std::max(worst, high - low);
        }
        return worst;
    };
    for (const datagen::ScreenImage& img : datagen::ScreenImages()) {
        const datagen::Canvas c = datagen::PaintScreen(img, datagen::kScreenWidth, datagen::kScreenHeight);
        if (img.kind == datagen::ScreenKind::Splash)
            EXPECT_LT(plain(c, 280, 744, 690, 730), 24) << img.name << ": a caption under the sea";
        else
            EXPECT_LT(plain(c, 660, 1012, 722, 756), 24) << img.name << ": small print in the corner";
    }

    using datagen::ScreenImage;
    auto prompts = [](bool pad, bool english) {
        ScreenImage img;
        img.kind = datagen::ScreenKind::Death;
        img.pad = pad;
        img.english = english;
        std::string all;
        for (const datagen::DeathPrompt& p : datagen::DeathScreenPrompts(img))
            all += p.key + ": " + p.action + "\n";
        return all;
    };
    EXPECT_EQ(prompts(false, false),
              "ESPACIO: Vuelve al último punto de control\nESC: Vuelve al menú principal\n");
    EXPECT_EQ(prompts(false, true), "SPACE: Revive at the last checkpoint\nESC: Back to the main menu\n");
    EXPECT_EQ(prompts(true, true), "A: Revive at the last checkpoint\nBACK: Back to the main menu\n");
    EXPECT_EQ(prompts(true, false), "A: Vuelve al último punto de control\nBACK: Vuelve al menú principal\n");
}
