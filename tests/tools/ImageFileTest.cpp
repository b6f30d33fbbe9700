#include <memory>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "datagen/ImageFile.h"
#include "xml/temp_folder.h"

using datagen::Canvas;
using datagen::Rgba;

namespace {

const Rgba kRed{220, 30, 30, 255};
const Rgba kGreen{30, 200, 40, 255};
const Rgba kBlue{20, 40, 210, 255};
const Rgba kWhite{250, 250, 250, 255};

struct Loaded {
    int w = 0, h = 0, comp = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels{nullptr, stbi_image_free};
    Rgba At(int x, int y) const
    {
        const unsigned char* p = pixels.get() + (static_cast<std::size_t>(y) * w + x) * 4;
        return Rgba{p[0], p[1], p[2], p[3]};
    }
};

Loaded LoadBytes(const datagen::Bytes& bytes)
{
    Loaded img;
    img.pixels.reset(stbi_load_from_memory(bytes.data(), int(bytes.size()), &img.w, &img.h, &img.comp, 4));
    return img;
}

} // namespace

// Four coloured quadrants: a flipped, mirrored or channel-swapped file shows at once.
TEST(ImageFile, WrittenFilesLoadBackWithTheirSizeAndColours)
{
    Canvas picture(48, 36, kWhite);
    picture.FillRect(0, 0, 24, 18, kRed);
    picture.FillRect(24, 0, 24, 18, kGreen);
    picture.FillRect(0, 18, 24, 18, kBlue);
    TempFolder tmp;
    datagen::Output out(tmp.Path());
    const struct {
        const char* file;
        int tolerance;
    } files[] = {{"img/q.jpg", 24}, {"img/q.png", 0}, {"img/q.bmp", 0}, {"img/q.tga", 0}, {"img/UPPER.JPG", 24}};
    for (const auto& [file, tolerance] : files) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(datagen::WriteImage(out, file, picture));
        Loaded img;
        img.pixels.reset(stbi_load((tmp / file).c_str(), &img.w, &img.h, &img.comp, 4));
        ASSERT_TRUE(img.pixels) << stbi_failure_reason();
        EXPECT_EQ(img.w, 48);
        EXPECT_EQ(img.h, 36);
        // Sample the middle of each quadrant, away from JPEG's blurred borders.
        const struct { int x, y; Rgba colour; } samples[] = {
            {12, 9, kRed}, {36, 9, kGreen}, {12, 27, kBlue}, {36, 27, kWhite}};
        for (const auto& s : samples) {
            EXPECT_NEAR(img.At(s.x, s.y).r, s.colour.r, tolerance) << s.x << "," << s.y;
            EXPECT_NEAR(img.At(s.x, s.y).g, s.colour.g, tolerance) << s.x << "," << s.y;
            EXPECT_NEAR(img.At(s.x, s.y).b, s.colour.b, tolerance) << s.x << "," << s.y;
        }
    }
    // Unknown kinds are failures that write nothing.
    EXPECT_FALSE(datagen::WriteImage(out, "other/picture.gif", picture));
    EXPECT_FALSE(datagen::WriteImage(out, "other.d/noext", picture));
    EXPECT_EQ(out.Failures().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "other"));
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "other.d"));
}

TEST(ImageFile, PngAndTgaKeepAlphaWhileJpegAndBmpAreOpaque)
{
    Canvas c(8, 8, Rgba{10, 20, 30, 255});
    c.Put(1, 2, Rgba{200, 100, 50, 77});
    for (const auto& bytes : {datagen::EncodePng(c), datagen::EncodeTga(c)}) {
        const Loaded img = LoadBytes(bytes);
        ASSERT_TRUE(img.pixels);
        EXPECT_EQ(img.At(1, 2), (Rgba{200, 100, 50, 77}));
        EXPECT_EQ(img.At(0, 0), (Rgba{10, 20, 30, 255}));
    }
    for (const auto& bytes : {datagen::EncodeJpeg(c), datagen::EncodeBmp(c)}) {
        const Loaded img = LoadBytes(bytes);
        ASSERT_TRUE(img.pixels);
        EXPECT_EQ(img.At(1, 2).a, 255);
    }
    EXPECT_LT(datagen::EncodeJpeg(c, 20).size(), datagen::EncodeJpeg(c, 95).size());
}
