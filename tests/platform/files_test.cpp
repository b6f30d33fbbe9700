#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

// Each test works in a fresh temp folder that is also the working folder, so
// relative game names resolve inside it; both are undone afterwards.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantorel-files-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        m_Root = pattern;
        m_Previous = fs::current_path();
        fs::current_path(m_Root);
        Write("data/XML/foo.xml", "<foo/>");
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!m_Previous.empty())
            fs::current_path(m_Previous, ignored);
        if (!m_Root.empty())
            fs::remove_all(m_Root, ignored);
    }

    static void Write(const std::string& name, const std::string& bytes)
    {
        fs::create_directories(fs::path(name).parent_path());
        FILE* f = std::fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr) << name;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    static std::string Read(const std::string& gameName)
    {
        std::vector<unsigned char> bytes;
        if (!platform::ReadWholeFile(gameName, bytes))
            return "<unreadable>";
        return std::string(bytes.begin(), bytes.end());
    }

    static std::vector<std::string> Listing(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_Root;
    fs::path m_Previous;
};

} // namespace

TEST_F(FilesTest, NamesInAnyCaseOrWithBackslashesFindTheFile)
{
    EXPECT_EQ(platform::ResolvePath("DATA/xml/Foo.XML"), "data/XML/foo.xml");
    EXPECT_EQ(platform::ResolvePath("Data\\XML\\FOO.xml"), "data/XML/foo.xml");
    EXPECT_EQ(platform::ResolvePath(m_Root + "/DATA/xml/Foo.XML"), m_Root + "/data/XML/foo.xml");
    EXPECT_TRUE(platform::FileExists("dAtA/XmL/fOo.XmL"));

    FILE* f = platform::OpenFile("DATA\\XML\\FOO.XML", "r");
    ASSERT_NE(f, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer - 1, f), 6u);
    std::fclose(f);
    EXPECT_STREQ(buffer, "<foo/>");

    std::ifstream in;
    ASSERT_TRUE(platform::OpenInputStream("Data/Xml/Foo.xml", in));
    std::string word;
    in >> word;
    EXPECT_EQ(word, "<foo/>");
}

TEST_F(FilesTest, AnExactSpellingWinsOverOtherCases)
{
    Write("Data/XML/foo.xml", "upper");
    EXPECT_EQ(Read("Data/XML/foo.xml"), "upper");
    EXPECT_EQ(Read("data/XML/foo.xml"), "<foo/>");
    // Neither spelled exactly: the same one every time.
    EXPECT_EQ(platform::ResolvePath("DATA/XML/foo.xml"), "Data/XML/foo.xml");
}

TEST_F(FilesTest, WritingCreatesTheFileInsideTheFolderFoundWhateverItsCase)
{
    FILE* f = platform::OpenFile("DATA\\Xml\\New.txt", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("fresh", f);
    std::fclose(f);
    EXPECT_EQ(Listing("."), std::vector<std::string>({"data"}));
    EXPECT_EQ(Listing("data/XML"), std::vector<std::string>({"New.txt", "foo.xml"}));
    EXPECT_EQ(Read("data/XML/new.TXT"), "fresh");

    // An existing file under another case is the one rewritten, not a twin.
    std::ofstream out;
    ASSERT_TRUE(platform::OpenOutputStream("DATA/XML/FOO.XML", out));
    out << "rewritten";
    out.close();
    EXPECT_EQ(Listing("data/XML"), std::vector<std::string>({"New.txt", "foo.xml"}));
    EXPECT_EQ(Read("data/XML/foo.xml"), "rewritten");
}

TEST_F(FilesTest, MissingNamesKeepTheirUnresolvedTailAndReportFailure)
{
    EXPECT_EQ(platform::ResolvePath("DATA/Nope/Sub/File.TXT"), "data/Nope/Sub/File.TXT");
    EXPECT_EQ(platform::ResolvePath(""), "");

    EXPECT_EQ(platform::OpenFile("data/XML/missing.xml", "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile("data/nope/new.txt", "wb"), nullptr);  // folders are never made
    EXPECT_FALSE(platform::FileExists("DATA/XML"));  // a folder is not a file

    std::vector<unsigned char> bytes = {1, 2, 3};
    EXPECT_FALSE(platform::ReadWholeFile("data/XML/missing.xml", bytes));
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

    Write("data/empty.bin", "");
    std::vector<unsigned char> out = {9};
    EXPECT_TRUE(platform::ReadWholeFile("Data/Empty.bin", out));
    EXPECT_TRUE(out.empty());
}
