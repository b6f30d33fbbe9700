// The shipped working folder seen through links from a scratch folder of a
// test's own: the game reads the shipped data, and what it writes (the logs)
// lands where no other test's run writes its own.
#pragma once

#include <filesystem>

#include "render/DeviceFixture.h"

namespace shippedgame {

// Links in the current folder to what the game reads in the shipped folder.
// What the game writes stays out (its logs, the bloom's stage pictures): a
// link would have it written into the shipped folder beside other runs.
inline void LinkShippedGame()
{
    namespace fs = std::filesystem;
    const fs::path shipped(VANTOREL_WORKDIR);
    fs::create_directory("data");
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped))
        if (entry.path().filename() != "data" && entry.path().extension() != ".bmp")
            fs::create_symlink(entry.path(), entry.path().filename());
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped / "data"))
        if (entry.path().filename() != "log.txt" && entry.path().filename() != "log.old.txt" &&
            entry.path().filename() != "debug_log.txt")
            fs::create_symlink(entry.path(), fs::path("data") / entry.path().filename());
}

class LinkedFolder : public drawtest::ScratchFolder {
public:
    LinkedFolder() : drawtest::ScratchFolder("shipped") { LinkShippedGame(); }
};

} // namespace shippedgame
