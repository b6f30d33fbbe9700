// A fresh folder under the system's temp folder for one test, removed with
// everything in it when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-test-XXXXXX").string();
        EXPECT_NE(mkdtemp(&pattern[0]), nullptr) << pattern;
        m_Path = pattern;
    }
    ~TempFolder() { std::error_code ignored; std::filesystem::remove_all(m_Path, ignored); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_Path; }
    std::string operator/(const std::string& name) const { return (m_Path / name).string(); }

    // Writes bytes to a file under the folder, making its parent folders.
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path path = m_Path / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        EXPECT_TRUE(out << bytes) << path;
        return path.string();
    }

private:
    std::filesystem::path m_Path;
};
