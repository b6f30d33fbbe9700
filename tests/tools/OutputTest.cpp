#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "datagen/Generator.h"

namespace fs = std::filesystem;
using datagen::Bytes;
using datagen::Output;

namespace {

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListFiles(const fs::path& root)
{
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files.push_back(fs::relative(e.path(), root).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(Output, WritesNestedFilesAndLeavesNoScratchBehind)
{
    TempFolder tmp;
    Output out(tmp.Path());
    EXPECT_TRUE(out.Write("data/textures/GUI/a.bin", Bytes{1, 2, 3, 0, 255}));
    EXPECT_TRUE(out.Write("top.txt", std::string("hello")));
    EXPECT_TRUE(out.Write("empty.bin", Bytes{}));

    EXPECT_EQ(ReadFile(tmp.Path() / "data/textures/GUI/a.bin"), std::string("\x01\x02\x03\x00\xff", 5));
    EXPECT_EQ(ReadFile(tmp.Path() / "top.txt"), "hello");
    EXPECT_TRUE(fs::exists(tmp.Path() / "empty.bin"));
    EXPECT_EQ(ListFiles(tmp.Path()), (std::vector<std::string>{"data/textures/GUI/a.bin", "empty.bin", "top.txt"}));
    EXPECT_EQ(out.Written(), 3);
    EXPECT_EQ(out.Unchanged(), 0);
    EXPECT_TRUE(out.Failures().empty());
    EXPECT_EQ(out.Files(), (std::vector<std::string>{"data/textures/GUI/a.bin", "top.txt", "empty.bin"}));
}

TEST(Output, SameBytesLeaveTheFileUntouchedAndNewBytesReplaceIt)
{
    TempFolder tmp;
    const fs::path file = tmp.Path() / "d/f.bin";
    {
        Output first(tmp.Path());
        ASSERT_TRUE(first.Write("d/f.bin", std::string("abcdef")));
    }
    // Age the file so that any rewrite would show in its timestamp.
    const auto old = fs::last_write_time(file) - std::chrono::hours(1);
    fs::last_write_time(file, old);

    Output second(tmp.Path());
    EXPECT_TRUE(second.Write("d/f.bin", std::string("abcdef")));
    EXPECT_EQ(second.Written(), 0);
    EXPECT_EQ(second.Unchanged(), 1);
    EXPECT_EQ(fs::last_write_time(file), old);

    // Same length, different content; then a shorter content.
    Output third(tmp.Path());
    EXPECT_TRUE(third.Write("d/f.bin", std::string("abcdeX")));
    EXPECT_EQ(third.Written(), 1);
    EXPECT_EQ(ReadFile(file), "abcdeX");
    Output fourth(tmp.Path());
    EXPECT_TRUE(fourth.Write("d/f.bin", std::string("ab")));
    EXPECT_EQ(ReadFile(file), "ab");
    EXPECT_EQ(ListFiles(tmp.Path()), std::vector<std::string>{"d/f.bin"});
}

TEST(Output, RefusesPathsOutsideTheFolderAndDuplicates)
{
    TempFolder tmp;
    const fs::path inner = tmp.Path() / "work";
    Output out(inner);
    const std::vector<std::string> refused = {"",     "/etc/x", "../escape.txt", "a/../../escape.txt", "a//b",
                                              "a/./b", "a/",     "a\\b",          std::string("a\0b", 3)};
    for (const std::string& bad : refused) {
        EXPECT_FALSE(out.Write(bad, std::string("x"))) << bad;
    }
    EXPECT_EQ(out.Failures().size(), 9u);
    EXPECT_FALSE(fs::exists(tmp.Path() / "escape.txt"));
    EXPECT_FALSE(fs::exists(inner));

    EXPECT_TRUE(out.Write("ok/file.txt", std::string("1")));
    EXPECT_FALSE(out.Write("ok/file.txt", std::string("2")));
    EXPECT_EQ(ReadFile(inner / "ok/file.txt"), "1");
    EXPECT_EQ(out.Failures().size(), 10u);
    EXPECT_NE(out.Failures().back().find("ok/file.txt"), std::string::npos);
}

TEST(Output, ReportsAFolderThatCannotBeCreated)
{
    TempFolder tmp;
    // A plain file where a folder is needed.
    std::ofstream(tmp.Path() / "blocker") << "x";
    Output out(tmp.Path());
    EXPECT_FALSE(out.Write("blocker/inside.txt", std::string("y")));
    ASSERT_EQ(out.Failures().size(), 1u);
    EXPECT_EQ(out.Written(), 0);
}

TEST(Output, SafePathsAreAccepted)
{
    EXPECT_TRUE(datagen::IsSafeRelativePath("data/textures/GUI/LOADING/vantorel.jpg"));
    EXPECT_TRUE(datagen::IsSafeRelativePath("a..b/c.d"));
    EXPECT_TRUE(datagen::IsSafeRelativePath("Data/XML/x.xml"));
    EXPECT_FALSE(datagen::IsSafeRelativePath(".."));
    EXPECT_FALSE(datagen::IsSafeRelativePath("x/.."));
}

TEST(RunSteps, AFailingStepIsNamedAndTheOthersStillRun)
{
    TempFolder tmp;
    Output out(tmp.Path());
    std::vector<std::string> ran;
    const std::vector<datagen::Step> steps = {
        {"first", [&](Output& o) { ran.push_back("first"); o.Write("a.txt", std::string("a")); }},
        {"broken", [&](Output&) { ran.push_back("broken"); throw std::runtime_error("boom"); }},
        {"picky", [&](Output& o) { ran.push_back("picky"); o.Fail("bad input"); }},
        {"last", [&](Output& o) { ran.push_back("last"); o.Write("b.txt", std::string("b")); }},
    };
    std::ostringstream log;
    EXPECT_FALSE(datagen::RunSteps(steps, out, log));
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "broken", "picky", "last"}));
    EXPECT_EQ(out.Written(), 2);
    EXPECT_NE(log.str().find("broken: boom"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("picky: bad input"), std::string::npos) << log.str();
    EXPECT_EQ(log.str().find("first"), std::string::npos) << log.str();
}

TEST(RunSteps, SucceedsWhenNoStepFails)
{
    TempFolder tmp;
    Output out(tmp.Path());
    std::ostringstream log;
    const std::vector<datagen::Step> steps = {{"one", [](Output& o) { o.Write("x", std::string("1")); }}};
    EXPECT_TRUE(datagen::RunSteps(steps, out, log));
    EXPECT_TRUE(log.str().empty());
}
