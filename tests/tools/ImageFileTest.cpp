#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "TempFolder.h"
#include "datagen/ImageFile.h"

using datagen::Canvas;
using datagen::Output;
using datagen::Rgba;

namespace {

const Rgba kRed{220, 30, 30, 255};
const Rgba kGreen{30, 200, 40, 255};
const Rgba kBlue{20, 40, 210, 255};
const Rgba kWhite{250, 250, 250, 255};

// Four coloured quadrants: a flipped or mirrored file shows at once.
Canvas Quadrants(int w, int h)
{
    Canvas c(w, h, kWhite);
    c.FillRect(0, 0, w / 2, h / 2, kRed);
    c.FillRect(w / 2, 0, w - w / 2, h / 2, kGreen);
    c.FillRect(0, h / 2, w / 2, h - h / 2, kBlue);
    return c;
}

struct Loaded {
    int w = 0, h = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels{nullptr, stbi_image_free};
    Rgba At(int x, int y) const
    {
        const unsigned char* p = pixels.get() + (static_cast<std::size_t>(y) * w + x) * 4;
        return Rgba{p[0], p[1], p[2], p[3]};
    }
};

Loaded LoadFile(const std::filesystem::path& file)
{
    Loaded img;
    int comp = 0;
    img.pixels.reset(stbi_load(file.c_str(), &img.w, &img.h, &comp, 4));
    return img;
}

Loaded LoadBytes(const datagen::Bytes& bytes)
{
    Loaded img;
    int comp = 0;
    img.pixels.reset(stbi_load_from_memory(bytes.data(), int(bytes.size()), &img.w, &img.h, &comp, 4));
    return img;
}

void ExpectNear(Rgba actual, Rgba expected, int tolerance, const char* where)
{
    EXPECT_NEAR(actual.r, expected.r, tolerance) << where;
    EXPECT_NEAR(actual.g, expected.g, tolerance) << where;
    EXPECT_NEAR(actual.b, expected.b, tolerance) << where;
}

void ExpectQuadrants(const Loaded& img, int tolerance)
{
    ASSERT_TRUE(img.pixels);
    // Sample the middle of each quadrant, away from JPEG's blurred borders.
    ExpectNear(img.At(img.w / 4, img.h / 4), kRed, tolerance, "top left");
    ExpectNear(img.At(3 * img.w / 4, img.h / 4), kGreen, tolerance, "top right");
    ExpectNear(img.At(img.w / 4, 3 * img.h / 4), kBlue, tolerance, "bottom left");
    ExpectNear(img.At(3 * img.w / 4, 3 * img.h / 4), kWhite, tolerance, "bottom right");
}

} // namespace

TEST(ImageFile, WrittenFilesLoadBackWithTheirSizeAndColours)
{
    TempFolder tmp;
    Output out(tmp.Path());
    const Canvas picture = Quadrants(48, 36);
    struct Case {
        const char* file;
        int tolerance;
    };
    for (const Case& k : {Case{"img/q.jpg", 24}, Case{"img/q.png", 0}, Case{"img/q.bmp", 0}, Case{"img/q.tga", 0},
                          Case{"img/UPPER.JPG", 24}}) {
        SCOPED_TRACE(k.file);
        ASSERT_TRUE(datagen::WriteImage(out, k.file, picture));
        const Loaded img = LoadFile(tmp.Path() / k.file);
        ASSERT_TRUE(img.pixels) << stbi_failure_reason();
        EXPECT_EQ(img.w, 48);
        EXPECT_EQ(img.h, 36);
        ExpectQuadrants(img, k.tolerance);
    }
    EXPECT_TRUE(out.Failures().empty());
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
}

TEST(ImageFile, EncodingIsDeterministicAndQualityMatters)
{
    const Canvas picture = Quadrants(64, 48);
    EXPECT_EQ(datagen::EncodeJpeg(picture), datagen::EncodeJpeg(picture));
    EXPECT_EQ(datagen::EncodePng(picture), datagen::EncodePng(picture));
    EXPECT_LT(datagen::EncodeJpeg(picture, 20).size(), datagen::EncodeJpeg(picture, 95).size());
}

TEST(ImageFile, UnknownExtensionIsAFailureAndWritesNothing)
{
    TempFolder tmp;
    Output out(tmp.Path());
    const Canvas picture(4, 4);
    EXPECT_FALSE(datagen::WriteImage(out, "img/picture.gif", picture));
    EXPECT_FALSE(datagen::WriteImage(out, "img.d/noext", picture));
    EXPECT_EQ(out.Failures().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "img"));
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / "img.d"));
}
