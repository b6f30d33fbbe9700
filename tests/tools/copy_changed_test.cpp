#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "xml/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Lays the working folder as the build does.
int Lay(const TempFolder& from, const TempFolder& to)
{
    const std::string command = "cmake -DFROM='" + from.Path().string() + "' -DTO='" + to.Path().string() + "' -P '" +
                                VANTOREL_SOURCE_DIR "/cmake/CopyChanged.cmake' > /dev/null";
    return std::system(command.c_str());
}

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ino_t Inode(const fs::path& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

// A game reading its folder while a build passes over it never meets a file
// half rewritten: what did not change is not written at all, what changed is
// a new file put in the old one's place.
TEST(WorkingFolder, ABuildRewritesOnlyWhatChangedAndReplacesItWhole)
{
    TempFolder source, work;
    source.Write("data/XML/GUI.xml", "<gui/>");
    source.Write("sala1.lua", "-- the hangars");
    source.Write("data/sounds/empty.wav", "");
    ASSERT_EQ(Lay(source, work), 0);
    EXPECT_EQ(Read(work.Path() / "data/XML/GUI.xml"), "<gui/>");
    EXPECT_EQ(Read(work.Path() / "sala1.lua"), "-- the hangars");
    EXPECT_TRUE(fs::exists(work.Path() / "data/sounds/empty.wav"));

    // The game left a file of its own there: it stays.
    work.Write("log.txt", "a run");
    const fs::path gui = work.Path() / "data/XML/GUI.xml", script = work.Path() / "sala1.lua";
    const auto guiWritten = fs::last_write_time(gui) - std::chrono::hours(1);
    fs::last_write_time(gui, guiWritten);
    const ino_t scriptBefore = Inode(script);
    source.Write("sala1.lua", "-- the hangars, mended");
    ASSERT_EQ(Lay(source, work), 0);
    EXPECT_EQ(fs::last_write_time(gui), guiWritten) << "the same bytes are not written again";
    EXPECT_EQ(Read(script), "-- the hangars, mended");
    EXPECT_NE(Inode(script), scriptBefore) << "a changed file takes the old one's place whole";
    EXPECT_EQ(Read(work.Path() / "log.txt"), "a run");
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(work.Path()))
        EXPECT_NE(entry.path().extension(), ".copying") << "nothing half laid is left";

    // A file of the same size with other bytes is still seen to differ.
    source.Write("data/XML/GUI.xml", "<GUI/>");
    ASSERT_EQ(Lay(source, work), 0);
    EXPECT_EQ(Read(gui), "<GUI/>");
}
