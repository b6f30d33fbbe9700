#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/Generator.h"
#include "xml/temp_folder.h"

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
    EXPECT_TRUE(out.Write("empty.bin", Bytes{}));
    EXPECT_EQ(ReadFile(tmp.Path() / "data/textures/GUI/a.bin"), std::string("\x01\x02\x03\x00\xff", 5));
    EXPECT_EQ(ListFiles(tmp.Path()), (std::vector<std::string>{"data/textures/GUI/a.bin", "empty.bin"}));
    EXPECT_EQ(out.Written(), 2);
    EXPECT_TRUE(out.Failures().empty());
}

TEST(Output, SameBytesLeaveTheFileUntouchedAndNewBytesReplaceIt)
{
    TempFolder tmp;
    const fs::path file = tmp.Path() / "d/f.bin";
    ASSERT_TRUE(Output(tmp.Path()).Write("d/f.bin", std::string("abcdef")));
    // Age the file so that any rewrite would show in its timestamp.
    const auto old = fs::last_write_time(file) - std::chrono::hours(1);
    fs::last_write_time(file, old);

    Output second(tmp.Path());
    EXPECT_TRUE(second.Write("d/f.bin", std::string("abcdef")));
    EXPECT_EQ(second.Written(), 0);
    EXPECT_EQ(second.Unchanged(), 1);
    EXPECT_EQ(fs::last_write_time(file), old);

    // Same length, different content; then a shorter content.
    EXPECT_TRUE(Output(tmp.Path()).Write("d/f.bin", std::string("abcdeX")));
    EXPECT_EQ(ReadFile(file), "abcdeX");
    EXPECT_TRUE(Output(tmp.Path()).Write("d/f.bin", std::string("ab")));
    EXPECT_EQ(ReadFile(file), "ab");
    EXPECT_EQ(ListFiles(tmp.Path()), std::vector<std::string>{"d/f.bin"});
}

TEST(Output, RefusesPathsOutsideTheFolderDuplicatesAndUnwritableFolders)
{
    TempFolder tmp;
    const fs::path inner = tmp.Path() / "work";
    Output out(inner);
    for (const std::string& bad : {std::string(""), std::string("/etc/x"), std::string("../escape.txt"),
                                   std::string("a/../../escape.txt"), std::string("a//b"), std::string("a/./b"),
                                   std::string("a/"), std::string("a\\b"), std::string("x/.."), std::string("a\0b", 3)})
        EXPECT_FALSE(out.Write(bad, std::string("x"))) << bad;
    EXPECT_EQ(out.Failures().size(), 10u);
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
    EXPECT_EQ(out.Failures().size(), 12u);
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
