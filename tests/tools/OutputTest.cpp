#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include <cal3d/cal3d.h>
#include <gtest/gtest.h>
#include <stb_image.h>

#include "datagen/BinaryWriter.h"
#include "datagen/Cal3dWriter.h"
#include "datagen/Generator.h"
#include "datagen/ImageFile.h"
#include "datagen/Wav.h"
#include "xml/temp_folder.h"

namespace fs = std::filesystem;
using datagen::Bytes;
using datagen::Output;
using datagen::Rgba;

static std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Output, SameBytesLeaveTheFileUntouchedNewBytesReplaceItAndNoScratchIsLeft)
{
    TempFolder tmp;
    Output first(tmp.Path()), second(tmp.Path());
    EXPECT_TRUE(first.Write("d/f.bin", Bytes{'a', 0, 255}));
    EXPECT_TRUE(first.Write("empty.bin", std::string()));
    const fs::path file = tmp.Path() / "d/f.bin";
    EXPECT_EQ(ReadFile(file), std::string("a\0\xff", 3));
    EXPECT_EQ(first.Written(), 2);
    const auto old = fs::last_write_time(file) - std::chrono::hours(1); // so that a rewrite shows
    fs::last_write_time(file, old);
    EXPECT_TRUE(second.Write("d/f.bin", std::string("a\0\xff", 3)));
    EXPECT_TRUE(second.Write("empty.bin", std::string()));
    EXPECT_EQ(second.Written(), 0);
    EXPECT_EQ(second.Unchanged(), 2);
    EXPECT_EQ(fs::last_write_time(file), old);
    // Same length, different content; then a shorter content.
    EXPECT_TRUE(Output(tmp.Path()).Write("d/f.bin", std::string("abX")));
    EXPECT_EQ(ReadFile(file), "abX");
    EXPECT_TRUE(Output(tmp.Path()).Write("d/f.bin", std::string("ab")));
    EXPECT_EQ(ReadFile(file), "ab");
    // The folder, its file and the empty one: no scratch file is left behind.
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(tmp.Path()), fs::recursive_directory_iterator()), 3);
}

TEST(Output, RefusesPathsOutsideTheFolderDuplicatesAndUnwritableFolders)
{
    TempFolder tmp;
    const fs::path inner = tmp.Path() / "work";
    Output out(inner);
    for (const std::string bad : {"", "/etc/x", "../escape.txt", "a//b", "a/./b", "a/", "a\\b", "x/.."})
        EXPECT_FALSE(out.Write(bad, std::string("x"))) << bad;
    EXPECT_FALSE(out.Write(std::string("a\0b", 3), std::string("x")));
    EXPECT_EQ(out.Failures().size(), 9u);
    EXPECT_FALSE(fs::exists(tmp.Path() / "escape.txt"));
    EXPECT_FALSE(fs::exists(inner));
    EXPECT_TRUE(datagen::IsSafeRelativePath("a..b/c.d"));
    EXPECT_TRUE(out.Write("ok/file.txt", std::string("1")));
    EXPECT_FALSE(out.Write("ok/file.txt", std::string("2")));
    EXPECT_EQ(ReadFile(inner / "ok/file.txt"), "1");
    EXPECT_NE(out.Failures().back().find("ok/file.txt"), std::string::npos);
    // A plain file where a folder is needed.
    EXPECT_TRUE(out.Write("blocker", std::string("x")));
    EXPECT_FALSE(out.Write("blocker/inside.txt", std::string("y")));
    EXPECT_EQ(out.Failures().size(), 11u);
}

TEST(RunSteps, AFailingStepIsNamedAndTheOthersStillRun)
{
    TempFolder tmp;
    Output out(tmp.Path());
    const std::vector<datagen::Step> steps = {
        {"first", [](Output& o) { o.Write("a.txt", std::string("a")); }},
        {"broken", [](Output&) { throw std::runtime_error("boom"); }},
        {"picky", [](Output& o) { o.Fail("bad input"); }},
        {"last", [](Output& o) { o.Write("b.txt", std::string("b")); }},
    };
    std::ostringstream log;
    EXPECT_FALSE(datagen::RunSteps(steps, out, log));
    EXPECT_EQ(out.Written(), 2);
    EXPECT_TRUE(log.str().find("broken: boom") != std::string::npos &&
                log.str().find("picky: bad input") != std::string::npos && log.str().find("first") == std::string::npos)
        << log.str();
}

// Four coloured quadrants: a flipped, mirrored or channel-swapped file shows
// at once. A translucent corner keeps its alpha where the format has one.
TEST(ImageFile, WrittenFilesLoadBackWithTheirSizeColoursAndAlpha)
{
    const std::uint8_t colours[4][3] = {{220, 30, 30}, {30, 200, 40}, {20, 40, 210}, {250, 250, 250}};
    const Rgba glass{200, 100, 50, 77};
    datagen::Canvas picture(48, 36);
    for (int q = 0; q < 4; ++q)
        picture.FillRect(q % 2 * 24, q / 2 * 18, 24, 18, Rgba{colours[q][0], colours[q][1], colours[q][2], 255});
    picture.Put(47, 35, glass);
    TempFolder tmp;
    Output out(tmp.Path());
    const std::tuple<const char*, int, bool> files[] = {
        {"img/q.jpg", 24, false}, {"img/q.png", 0, true}, {"img/q.bmp", 0, false},
        {"img/q.tga", 0, true},   {"img/UPPER.JPG", 24, false}};
    for (const auto& [file, tolerance, alpha] : files) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(datagen::WriteImage(out, file, picture));
        int w = 0, h = 0, comp = 0;
        const std::unique_ptr<unsigned char, void (*)(void*)> pixels(
            stbi_load((tmp / file).c_str(), &w, &h, &comp, 4), stbi_image_free);
        ASSERT_TRUE(pixels) << stbi_failure_reason();
        ASSERT_TRUE(w == 48 && h == 36) << w << "x" << h;
        // The middle of each quadrant, away from JPEG's blurred borders.
        for (int q = 0; q < 4; ++q)
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_NEAR(pixels.get()[((q / 2 * 18 + 9) * 48 + q % 2 * 24 + 12) * 4 + channel], colours[q][channel],
                            tolerance) << "quadrant " << q << " channel " << channel;
        const unsigned char* p = pixels.get() + (35 * 48 + 47) * 4;
        const Rgba corner{p[0], p[1], p[2], p[3]};
        EXPECT_EQ(corner, alpha ? glass : datagen::WithAlpha(corner, 255));
    }
    // Unknown kinds are failures that write nothing.
    EXPECT_FALSE(datagen::WriteImage(out, "other/picture.gif", picture));
    EXPECT_FALSE(datagen::WriteImage(out, "other.d/noext", picture));
    EXPECT_EQ(out.Failures().size(), 2u);
    EXPECT_FALSE(fs::exists(tmp.Path() / "other") || fs::exists(tmp.Path() / "other.d"));
}

// The header spelt out byte by byte: little-endian whatever the machine.
TEST(Wav, HeaderDescribesTheSamplesNoiseFollowsItsSeedAndUnplayableSoundsThrow)
{
    datagen::Pcm16 pcm{44100, 2, {1, -1, 32767, -32768}};
    const std::string expected("RIFF,\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0"
                               "data\x08\0\0\0\x01\0\xFF\xFF\xFF\x7F\0\x80", 52);
    EXPECT_EQ(datagen::EncodeWav(pcm), Bytes(expected.begin(), expected.end()));
    pcm.samples.pop_back(); // no longer whole frames
    EXPECT_THROW(datagen::EncodeWav(pcm), std::invalid_argument);
    EXPECT_THROW(datagen::EncodeWav(datagen::Pcm16{0, 1, {}}), std::invalid_argument);
    EXPECT_THROW(datagen::Tone(440, -1.0f, 0.5f), std::invalid_argument);
    EXPECT_THROW(datagen::Noise(1.0f, 0.5f, 1, 0), std::invalid_argument);
    datagen::BinaryWriter w;
    w.U32(1);
    w.PatchU32(0, 0x04030201);
    EXPECT_EQ(w.Data(), (Bytes{1, 2, 3, 4}));
    EXPECT_THROW(w.PatchU32(1, 0), std::out_of_range) << "only bytes already written are patched";
    // Noise is the same from the same seed, so a second run rewrites nothing.
    EXPECT_EQ(datagen::Noise(0.1f, 1.0f, 7).samples, datagen::Noise(0.1f, 1.0f, 7).samples);
    EXPECT_NE(datagen::Noise(0.1f, 1.0f, 7).samples, datagen::Noise(0.1f, 1.0f, 8).samples);
    for (std::int16_t s : datagen::Noise(0.1f, 0.1f, 7).samples)
        ASSERT_LE(std::abs(int(s)), 3277);
}

TEST(Cal3dWriter, SkeletonRoundTripsThroughCal3dsLoaderAndIsNotRewritten)
{
    CalCoreSkeletonPtr skeleton(new CalCoreSkeleton());
    for (const char* name : {"Bip01", "Bip01 Head"}) {
        auto* bone = new CalCoreBone(name);
        const int id = skeleton->addCoreBone(bone);
        bone->setParentId(id - 1);
        bone->setTranslation(CalVector(0, 1.5f * id, 0));
        bone->setCoreSkeleton(skeleton.get());
        if (id > 0)
            skeleton->getCoreBone(0)->addChildId(id);
    }
    TempFolder tmp;
    Output out(tmp.Path()), again(tmp.Path());
    ASSERT_TRUE(datagen::WriteCoreSkeleton(out, "data/models/test.csf", *skeleton)) << out.Failures().front();
    CalCoreSkeletonPtr loaded = CalLoader::loadCoreSkeleton(tmp / "data/models/test.csf");
    ASSERT_TRUE(loaded) << CalError::getLastErrorDescription();
    ASSERT_EQ(loaded->getVectorCoreBone().size(), 2u);
    EXPECT_EQ(loaded->getCoreBone(1)->getName(), "Bip01 Head");
    EXPECT_EQ(loaded->getCoreBone(1)->getParentId(), 0);
    EXPECT_FLOAT_EQ(loaded->getCoreBone(1)->getTranslation().y, 1.5f);
    ASSERT_TRUE(datagen::WriteCoreSkeleton(again, "data/models/test.csf", *skeleton));
    EXPECT_EQ(again.Unchanged(), 1);
}
