#include <memory>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "datagen/ImageFile.h"
#include "xml/temp_folder.h"

using datagen::Canvas;
using datagen::Rgba;

// Four coloured quadrants: a flipped, mirrored or channel-swapped file shows
// at once. A translucent corner keeps its alpha where the format has one.
TEST(ImageFile, WrittenFilesLoadBackWithTheirSizeColoursAndAlpha)
{
    const Rgba red{220, 30, 30, 255}, green{30, 200, 40, 255}, blue{20, 40, 210, 255}, white{250, 250, 250, 255};
    const Rgba glass{200, 100, 50, 77};
    Canvas picture(48, 36, white);
    picture.FillRect(0, 0, 24, 18, red);
    picture.FillRect(24, 0, 24, 18, green);
    picture.FillRect(0, 18, 24, 18, blue);
    picture.Put(47, 35, glass);
    TempFolder tmp;
    datagen::Output out(tmp.Path());
    const struct {
        const char* file;
        int tolerance;
        bool alpha;
    } files[] = {{"img/q.jpg", 24, false}, {"img/q.png", 0, true}, {"img/q.bmp", 0, false},
                 {"img/q.tga", 0, true},   {"img/UPPER.JPG", 24, false}};
    for (const auto& [file, tolerance, alpha] : files) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(datagen::WriteImage(out, file, picture));
        int w = 0, h = 0, comp = 0;
        const std::unique_ptr<unsigned char, void (*)(void*)> pixels(
            stbi_load((tmp / file).c_str(), &w, &h, &comp, 4), stbi_image_free);
        ASSERT_TRUE(pixels) << stbi_failure_reason();
        ASSERT_EQ(w, 48);
        ASSERT_EQ(h, 36);
        auto at = [&](int x, int y) {
            const unsigned char* p = pixels.get() + (static_cast<std::size_t>(y) * w + x) * 4;
            return Rgba{p[0], p[1], p[2], p[3]};
        };
        // Sample the middle of each quadrant, away from JPEG's blurred borders.
        const struct { int x, y; Rgba colour; } samples[] = {
            {12, 9, red}, {36, 9, green}, {12, 27, blue}, {36, 27, white}};
        for (const auto& s : samples) {
            EXPECT_NEAR(at(s.x, s.y).r, s.colour.r, tolerance) << s.x << "," << s.y;
            EXPECT_NEAR(at(s.x, s.y).g, s.colour.g, tolerance) << s.x << "," << s.y;
            EXPECT_NEAR(at(s.x, s.y).b, s.colour.b, tolerance) << s.x << "," << s.y;
        }
        if (alpha)
            EXPECT_EQ(at(47, 35), glass);
        else
            EXPECT_EQ(at(47, 35).a, 255);
    }
    // Unknown kinds are failures that write nothing.
    EXPECT_FALSE(datagen::WriteImage(out, "other/picture.gif", picture));
    EXPECT_FALSE(datagen::WriteImage(out, "other.d/noext", picture));
    EXPECT_EQ(out.Failures().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "other"));
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "other.d"));
}
