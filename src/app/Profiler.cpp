#include "app/Profiler.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include <sys/stat.h>

#include "platform/bounded.h"
#include "platform/files.h"

namespace {

// Six significant digits in general notation: "16.6667", "0.0123457".
std::string FormatMilliseconds(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

// A zero frequency means the counter was never read (or cannot be): report
// nothing elapsed rather than dividing by it.
double ElapsedMilliseconds(std::int64_t from, std::int64_t to, std::int64_t frequency)
{
    if (frequency <= 0)
        return 0.0;
    return static_cast<double>(to - from) / static_cast<double>(frequency) * 1000.0;
}

} // namespace

CProfiler::~CProfiler()
{
    Close();
}

void CProfiler::Enable(bool enabled)
{
    m_Enabled = enabled;
}

void CProfiler::Open(const char* path)
{
    if (!m_Enabled || path == nullptr)
        return;
    Close();
    m_Path = path;
    // The last run's log is kept once beside the new one, so a run that
    // crashed can still be read after the game was started again. An empty
    // one (a run stopped while it loaded) would push that log out: it is
    // simply written over.
    struct stat st;
    const std::string resolved = platform::ResolvePath(path);
    if (platform::FileExists(path) && stat(resolved.c_str(), &st) == 0 && st.st_size > 0)
        std::rename(resolved.c_str(), OldLogName(resolved).c_str());
    // Binary so that each line ends in a single line feed.
    m_File = platform::OpenFile(path, "wb+");
    if (m_File == nullptr)
        bounded::Refuse(m_Path, std::string("the log cannot be written (") + std::strerror(errno) + ")");
}

void CProfiler::CheckWrite(bool failed)
{
    if (!failed && !std::ferror(m_File))
        return;
    // A full disk fails every write from here on: said once, and the game
    // goes on without its log.
    const int error = errno;
    std::fclose(m_File);
    m_File = nullptr;
    bounded::Refuse(m_Path, std::string("the log cannot be written (") + std::strerror(error) +
                                "); the rest of the run is not logged");
}

std::string CProfiler::OldLogName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".old";
    return path.substr(0, dot) + ".old" + path.substr(dot);
}

void CProfiler::Close()
{
    if (m_File != nullptr) {
        std::fclose(m_File);
        m_File = nullptr;
    }
}

void CProfiler::StartTimer()
{
    if (!m_Enabled)
        return;
    if (m_Boundary)
        m_Boundary();
    QueryPerformanceFrequency(&m_Frequency);
    QueryPerformanceCounter(&m_Start);
}

void CProfiler::StopTimer(std::string label)
{
    if (!m_Enabled)
        return;
    if (m_Boundary)
        m_Boundary();
    QueryPerformanceCounter(&m_Current);
    // m_Frequency stays zero until the first StartTimer, which is also what
    // makes a stop with no start at all read 0.
    WriteEntry(label, ElapsedMilliseconds(m_Start.QuadPart, m_Current.QuadPart, m_Frequency.QuadPart), "\t");
}

void CProfiler::MarkFrameStart(LARGE_INTEGER* counter)
{
    if (!m_Enabled || counter == nullptr)
        return;
    QueryPerformanceCounter(counter);
}

float CProfiler::StopTimerFrom(std::string label, const LARGE_INTEGER* from)
{
    if (!m_Enabled)
        return 0.0f;
    if (m_Boundary)
        m_Boundary();
    QueryPerformanceFrequency(&m_Frequency);
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const double ms = from != nullptr
        ? ElapsedMilliseconds(from->QuadPart, now.QuadPart, m_Frequency.QuadPart)
        : 0.0;
    WriteEntry(label, ms, "\t\n");
    return static_cast<float>(ms);
}

void CProfiler::Write(std::string text)
{
    if (!m_Enabled || m_File == nullptr)
        return;
    bool failed = std::fprintf(m_File, "%s", text.c_str()) < 0;
    if (text.find('\n') != std::string::npos)
        failed = std::fflush(m_File) != 0 || failed;
    CheckWrite(failed);
}

void CProfiler::WriteEntry(const std::string& label, double ms, const char* end)
{
    if (m_File == nullptr)
        return;
    bool failed = std::fprintf(m_File, "%s\t%s%s", label.c_str(), FormatMilliseconds(ms).c_str(), end) < 0;
    // A finished line reaches the file at once: a crash in the next frame
    // must not take the last frame's records with it.
    if (std::strchr(end, '\n') != nullptr)
        failed = std::fflush(m_File) != 0 || failed;
    CheckWrite(failed);
}

CProfiler& getProfiler()
{
    static CProfiler profiler;
    return profiler;
}
