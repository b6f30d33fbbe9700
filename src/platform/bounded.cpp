#include "platform/bounded.h"

#include <map>
#include <set>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "platform/win32.h"

namespace bounded {

namespace {

locale_t ClassicLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

bool OnlyBlanksFrom(const char* p)
{
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')
        ++p;
    return *p == '\0';
}

} // namespace

bool ParseInt(const std::string& text, long long low, long long high, long long* out)
{
    if (text.empty() || text.size() > 64)
        return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 0);
    if (end == begin || errno == ERANGE || !OnlyBlanksFrom(end) || value < low || value > high)
        return false;
    *out = value;
    return true;
}

bool ParseFloat(const std::string& text, double low, double high, double* out)
{
    if (text.empty() || text.size() > 64)
        return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, ClassicLocale());
    if (end == begin || !OnlyBlanksFrom(end) || !std::isfinite(value) || value < low || value > high)
        return false;
    *out = value;
    return true;
}

std::size_t Limit(long long claimed, std::size_t cap)
{
    if (claimed <= 0)
        return 0;
    return static_cast<unsigned long long>(claimed) < cap ? static_cast<std::size_t>(claimed) : cap;
}

bool Add(std::int64_t a, std::int64_t b, std::int64_t* out)
{
    return !__builtin_add_overflow(a, b, out);
}

bool Sub(std::int64_t a, std::int64_t b, std::int64_t* out)
{
    return !__builtin_sub_overflow(a, b, out);
}

bool Mul(std::int64_t a, std::int64_t b, std::int64_t* out)
{
    return !__builtin_mul_overflow(a, b, out);
}

bool Div(std::int64_t a, std::int64_t b, std::int64_t* out)
{
    if (b == 0 || (a == INT64_MIN && b == -1))
        return false;
    *out = a / b;
    return true;
}

std::string Refusal(const std::string& file, const std::string& fault)
{
    return file + ": refused: " + fault;
}

void Refuse(const std::string& file, const std::string& fault)
{
    OutputDebugStringA((Refusal(file, fault) + "\n").c_str());
}

std::string Echoed(const std::string& name)
{
    return name.size() <= kMaxEchoedName ? name : name.substr(0, kMaxEchoedName) + "...";
}

namespace {

std::set<std::string>& SaidLines()
{
    static std::set<std::string> said;
    return said;
}

} // namespace

void SayOnce(const std::string& line)
{
    std::set<std::string>& said = SaidLines();
    if (said.size() >= kMaxReported || !said.insert(line).second)
        return;
    OutputDebugStringA((line + "\n").c_str());
}

void ForgetSaidLines()
{
    SaidLines().clear();
}

void ReportMissingOnce(const std::string& what, const std::string& name)
{
    SayOnce(what + ": " + Echoed(name));
}

void FaultTally::Add(const std::string& fault, const std::string& entry)
{
    auto index = m_Index.find(fault);
    if (index == m_Index.end()) {
        // A hostile file may hold a million distinct faults: no more lines
        // than SayOnce would ever say.
        if (m_Faults.size() >= kMaxReported)
            return;
        index = m_Index.emplace(fault, m_Faults.size()).first;
        m_Faults.push_back(Fault{fault, 0, {}});
    }
    Fault& found = m_Faults[index->second];
    if (++found.count <= kTallyEntries)
        found.entries += (found.count > 1 ? ", " : "") + Echoed(entry);
}

void FaultTally::SayAll(const std::string& file)
{
    for (const std::string& line : TakeLines(file))
        SayOnce(line);
}

std::vector<std::string> FaultTally::TakeLines(const std::string& file)
{
    std::vector<std::string> lines;
    for (const Fault& f : m_Faults) {
        std::string where = f.entries;
        if (f.count > 1) {
            where = std::to_string(f.count) + " times: " + where;
            if (f.count > kTallyEntries)
                where += " and " + std::to_string(f.count - kTallyEntries) + " more";
        }
        lines.push_back(Echoed(file) + ": " + f.text + " (" + where + ")");
    }
    m_Faults.clear();
    m_Index.clear();
    return lines;
}

} // namespace bounded
