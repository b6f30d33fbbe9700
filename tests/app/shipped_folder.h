// The shipped working folder seen through links from a scratch folder of a
// test's own: the game reads the shipped data, and what it writes (the logs)
// lands where no other test's run writes its own.
#pragma once

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "render/DeviceFixture.h"

namespace shippedgame {

// What the game writes into its working folder (its logs, the bloom's stage
// pictures): never linked, or it would land in the shipped folder beside
// other runs.
inline bool WrittenByTheGame(const std::filesystem::path& relative)
{
    const std::string name = relative.filename().string();
    if (relative.parent_path().empty())
        return relative.extension() == ".bmp";
    return relative.parent_path() == "data" && relative.extension() == ".txt" &&
           (name.rfind("log", 0) == 0 || name.rfind("debug_log", 0) == 0);
}

// Links in the current folder to what the game reads in the shipped folder,
// a whole folder at a link: a start makes a few dozen links, not the two
// thousand of its files, which cost the kernel more than the game's own
// start. Real folders stand only where a run writes: data/ (the logs) and
// the way down to each of `ownCopies` (files or folders the caller replaces
// with its own, themselves left out).
inline void LinkShippedGame(const std::vector<std::filesystem::path>& ownCopies)
{
    namespace fs = std::filesystem;
    const fs::path shipped(VANTOREL_WORKDIR);
    std::vector<fs::path> owns;
    for (const fs::path& ownCopy : ownCopies) {
        fs::path own = ownCopy.lexically_normal();
        if (!own.empty() && own.filename().empty())
            own = own.parent_path();
        owns.push_back(own);
    }
    const auto leadsToOwn = [&](const fs::path& relative) {
        for (const fs::path& own : owns) {
            auto a = relative.begin(), b = own.begin();
            for (; a != relative.end() && b != own.end() && *a == *b; ++a, ++b) {
            }
            if (a == relative.end() && b != own.end())
                return true;
        }
        return false;
    };
    const auto isOwn = [&](const fs::path& relative) {
        return std::find(owns.begin(), owns.end(), relative) != owns.end();
    };
    std::function<void(const fs::path&)> link = [&](const fs::path& folder) {
        for (const fs::directory_entry& entry : fs::directory_iterator(shipped / folder)) {
            const fs::path relative = folder / entry.path().filename();
            if (WrittenByTheGame(relative) || isOwn(relative))
                continue;
            if (entry.is_directory() && (relative == "data" || leadsToOwn(relative))) {
                fs::create_directory(relative);
                link(relative);
            } else {
                fs::create_symlink(entry.path(), relative);
            }
        }
    };
    link(fs::path());
}

inline void LinkShippedGame(const std::filesystem::path& ownCopy = {})
{
    LinkShippedGame(std::vector<std::filesystem::path>{ownCopy});
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
