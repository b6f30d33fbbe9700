// The shipped working folder seen through links from a scratch folder of a
// test's own: the game reads the shipped data, and what it writes (the logs)
// lands where no other test's run writes its own.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>

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

// After LinkShippedGame: the game's configuration as shipped but for its
// window's size. A run whose checks read back no pixel, or read them at
// fractions of the window, plays the same in a smaller one and draws each
// frame in less than half the time.
inline void PlayInWindow(int width, int height)
{
    namespace fs = std::filesystem;
    const fs::path shipped = fs::path(VANTOREL_WORKDIR) / "data" / "XML";
    fs::remove("data/XML");
    fs::create_directory("data/XML");
    for (const fs::directory_entry& entry : fs::directory_iterator(shipped))
        if (entry.path().filename() != "init_configuration.xml")
            fs::create_symlink(entry.path(), fs::path("data/XML") / entry.path().filename());
    std::ifstream in(shipped / "init_configuration.xml", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& [name, value] : {std::make_pair(std::string("width=\""), width),
                                      std::make_pair(std::string("height=\""), height)}) {
        const size_t at = text.find(name);
        if (at == std::string::npos)
            throw std::runtime_error("the shipped configuration names no window " + name);
        const size_t end = text.find('"', at + name.size());
        text.replace(at + name.size(), end - at - name.size(), std::to_string(value));
    }
    std::ofstream("data/XML/init_configuration.xml", std::ios::binary) << text;
}

class LinkedFolder : public drawtest::ScratchFolder {
public:
    LinkedFolder() : drawtest::ScratchFolder("shipped") { LinkShippedGame(); }
};

} // namespace shippedgame
