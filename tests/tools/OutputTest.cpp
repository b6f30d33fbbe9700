#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "datagen/Generator.h"
#include "xml/temp_folder.h"

namespace fs = std::filesystem;
using datagen::Output;

namespace {

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(Output, SameBytesLeaveTheFileUntouchedNewBytesReplaceItAndNoScratchIsLeft)
{
    TempFolder tmp;
    Output first(tmp.Path());
    EXPECT_TRUE(first.Write("d/f.bin", datagen::Bytes{'a', 0, 255}));
    EXPECT_TRUE(first.Write("empty.bin", std::string()));
    const fs::path file = tmp.Path() / "d/f.bin";
    EXPECT_EQ(ReadFile(file), std::string("a\0\xff", 3));
    EXPECT_EQ(first.Written(), 2);
    // Age the file so that any rewrite would show in its timestamp.
    const auto old = fs::last_write_time(file) - std::chrono::hours(1);
    fs::last_write_time(file, old);

    Output second(tmp.Path());
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
