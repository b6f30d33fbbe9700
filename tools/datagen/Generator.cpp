#include "datagen/Generator.h"

#include <exception>
#include <fstream>
#include <ostream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace datagen {

namespace {

bool SameContent(const fs::path& file, const Bytes& bytes)
{
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size != bytes.size())
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    Bytes existing(bytes.size());
    if (!existing.empty())
        in.read(reinterpret_cast<char*>(existing.data()), static_cast<std::streamsize>(existing.size()));
    return in.good() && existing == bytes;
}

} // namespace

bool IsSafeRelativePath(const std::string& relative)
{
    if (relative.empty() || relative.front() == '/' || relative.back() == '/')
        return false;
    if (relative.find('\\') != std::string::npos || relative.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string part = relative.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

Output::Output(fs::path root) : m_root(std::move(root)) {}

void Output::Fail(const std::string& message)
{
    m_failures.push_back(message);
}

bool Output::Write(const std::string& relative, const std::string& text)
{
    return Write(relative, Bytes(text.begin(), text.end()));
}

bool Output::Write(const std::string& relative, const Bytes& bytes)
{
    if (!IsSafeRelativePath(relative)) {
        Fail("refused path \"" + relative + "\"");
        return false;
    }
    // Two steps producing one file would make the result depend on step order.
    if (!m_seen.insert(relative).second) {
        Fail("\"" + relative + "\" produced twice");
        return false;
    }
    m_files.push_back(relative);

    const fs::path target = m_root / relative;
    if (SameContent(target, bytes)) {
        ++m_unchanged;
        return true;
    }

    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        Fail("cannot create folder for \"" + relative + "\": " + ec.message());
        return false;
    }
    // Write beside the target and rename over it, so an interrupted run never
    // leaves a truncated file that a reader could take for real data.
    fs::path temp = target;
    temp += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out && !bytes.empty())
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temp, ec);
            Fail("cannot write \"" + relative + "\"");
            return false;
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        Fail("cannot replace \"" + relative + "\": " + ec.message());
        return false;
    }
    ++m_written;
    return true;
}

bool RunSteps(const std::vector<Step>& steps, Output& out, std::ostream& log)
{
    const std::size_t failuresBefore = out.Failures().size();
    for (const Step& step : steps) {
        const std::size_t before = out.Failures().size();
        try {
            step.run(out);
        } catch (const std::exception& e) {
            out.Fail(e.what());
        } catch (...) {
            out.Fail("unknown error");
        }
        for (std::size_t i = before; i < out.Failures().size(); ++i)
            log << "datagen: " << step.name << ": " << out.Failures()[i] << '\n';
    }
    return out.Failures().size() == failuresBefore;
}

} // namespace datagen
