// The game names its files in any case and with either slash; here they are
// found on a case-sensitive file system.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Each test works in a fresh temp folder that is also the working folder, so
// relative game names resolve inside it; both are undone afterwards.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Root = fs::temp_directory_path() / ("vantorel-files-" + std::to_string(getpid()));
        fs::remove_all(m_Root);
        fs::create_directories(m_Root);
        m_Previous = fs::current_path();
        fs::current_path(m_Root);
        Write("data/XML/foo.xml", "<foo/>");
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::current_path(m_Previous, ignored);
        fs::remove_all(m_Root, ignored);
    }

    static void Write(const std::string& name, const std::string& bytes)
    {
        fs::create_directories(fs::path(name).parent_path());
        std::ofstream(name, std::ios::binary) << bytes;
    }

    static std::string Read(const std::string& gameName)
    {
        std::vector<unsigned char> bytes;
        if (!platform::ReadWholeFile(gameName, bytes))
            return "<unreadable>";
        return std::string(bytes.begin(), bytes.end());
    }

    static void Put(const char* gameName, const char* mode, const char* text)
    {
        FILE* f = platform::OpenFile(gameName, mode);
        ASSERT_NE(f, nullptr) << gameName;
        std::fputs(text, f);
        std::fclose(f);
    }

    fs::path m_Root, m_Previous;
};

TEST_F(FilesTest, NamesInAnyCaseOrWithBackslashesFindTheFileAndAnExactSpellingWins)
{
    EXPECT_EQ(platform::ResolvePath("Data\\XML\\FOO.xml"), "data/XML/foo.xml");
    EXPECT_EQ(platform::ResolvePath(m_Root.string() + "/DATA/xml/Foo.XML"), m_Root.string() + "/data/XML/foo.xml");
    EXPECT_TRUE(platform::FileExists("dAtA/XmL/fOo.XmL"));
    FILE* f = platform::OpenFile("Data\\Xml\\Foo.xml", "r");
    ASSERT_NE(f, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer - 1, f), 6u);
    std::fclose(f);
    EXPECT_STREQ(buffer, "<foo/>");

    Write("Data/XML/foo.xml", "upper");
    EXPECT_EQ(Read("Data/XML/foo.xml"), "upper");
    EXPECT_EQ(Read("data/XML/foo.xml"), "<foo/>");
    // Neither spelled exactly: the same one every time.
    EXPECT_EQ(platform::ResolvePath("DATA/XML/foo.xml"), "Data/XML/foo.xml");
}

TEST_F(FilesTest, WritingGoesIntoTheFolderFoundAndRewritesAFileInAnotherCase)
{
    Put("DATA\\Xml\\New.txt", "wb", "fresh");
    EXPECT_TRUE(fs::exists("data/XML/New.txt"));
    // The timing log's way: not a twin beside the file, the file itself.
    Put("DATA/XML/FOO.XML", "wb+", "rewritten");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_Root), {}), 1) << "no other folder";
    EXPECT_EQ(std::distance(fs::directory_iterator("data/XML"), {}), 2) << "no twin";
    EXPECT_EQ(Read("data/XML/foo.xml"), "rewritten");
}

TEST_F(FilesTest, MissingNamesKeepTheirUnresolvedTailAndReportFailureUnlikeEmptyFiles)
{
    EXPECT_EQ(platform::ResolvePath("DATA/Nope/Sub/File.TXT"), "data/Nope/Sub/File.TXT");
    EXPECT_EQ(platform::ResolvePath(""), "");
    EXPECT_EQ(platform::OpenFile("data/XML/missing.xml", "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile("data/nope/new.txt", "wb"), nullptr); // folders are never made
    EXPECT_FALSE(platform::FileExists("DATA/XML"));                    // a folder is not a file
    std::vector<unsigned char> bytes = {1, 2, 3};
    EXPECT_FALSE(platform::ReadWholeFile("data/XML/missing.xml", bytes));
    EXPECT_TRUE(bytes.empty());
    Write("data/empty.bin", "");
    bytes = {9};
    EXPECT_TRUE(platform::ReadWholeFile("Data/Empty.bin", bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(FilesTest, ReadWholeFileKeepsEveryByteOfALargeBinaryFile)
{
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>((i * 7) & 0xFF);
    bytes.append("\r\n\x1a\0end", 7);
    Write("data/blob.bin", bytes);
    EXPECT_EQ(Read("DATA/BLOB.BIN"), bytes);
}

} // namespace
