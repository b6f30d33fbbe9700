#pragma once
// The data generator writes the game's binary data (screen images, and later
// meshes, models, textures and sounds) into a working folder. Each family of
// files is one named step; a step hands finished bytes to an Output, which
// creates folders and leaves a file alone when it already holds those bytes,
// so that every build after the first writes nothing and keeps timestamps.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

namespace datagen {

using Bytes = std::vector<std::uint8_t>;

// The texture cache prefixes every name it is asked for with this folder, so
// screen images named "GUI/..." by the game live below it.
inline constexpr char kTextureFolder[] = "data/textures/";

class Output {
public:
    explicit Output(std::filesystem::path root);

    const std::filesystem::path& Root() const { return m_root; }

    // Stores bytes at root/relative (forward slashes, no "..", not absolute).
    // Returns false, and records why, when the path is refused, the same path
    // is produced twice in one run, or the file cannot be written.
    bool Write(const std::string& relative, const Bytes& bytes);
    bool Write(const std::string& relative, const std::string& text);

    // Records a failure found by a step itself (bad input, encoder error).
    void Fail(const std::string& message);

    int Written() const { return m_written; }
    int Unchanged() const { return m_unchanged; }
    const std::vector<std::string>& Failures() const { return m_failures; }
    // Every path produced in this run, in the order produced.
    const std::vector<std::string>& Files() const { return m_files; }

private:
    std::filesystem::path m_root;
    int m_written = 0;
    int m_unchanged = 0;
    std::vector<std::string> m_failures;
    std::vector<std::string> m_files;
    std::set<std::string> m_seen;
};

// Paths a step may write: relative, made of plain names separated by '/'.
bool IsSafeRelativePath(const std::string& relative);

struct Step {
    std::string name;
    std::function<void(Output&)> run;
};

// Every step the generator knows, in the order they run. New families of data
// add their line in Steps.cpp.
const std::vector<Step>& AllSteps();

// Runs the steps in order; a step that throws is recorded as a failure under
// its name and the remaining steps still run. True when nothing failed.
bool RunSteps(const std::vector<Step>& steps, Output& out, std::ostream& log);

} // namespace datagen
