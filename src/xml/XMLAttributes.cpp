#include "xml/XMLAttributes.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <locale>
#include <sstream>

#include <locale.h>

#include "platform/bounded.h"

namespace {

// Data files use '.' as the decimal mark; a locale set by anyone else in the
// process must not turn "0.5" into 0.
locale_t ClassicLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

// Like the C runtime's atoi, but a value outside the int range clamps to it
// instead of being undefined.
int ToInt(const std::string& text)
{
    const long value = strtol_l(text.c_str(), nullptr, 10, ClassicLocale());
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// atof narrowed to float; a magnitude beyond float's range becomes an
// infinity, as the hardware conversion gives, rather than undefined behaviour.
float ToFloat(const std::string& text)
{
    const double value = strtod_l(text.c_str(), nullptr, ClassicLocale());
    if (value > FLT_MAX)
        return HUGE_VALF;
    if (value < -FLT_MAX)
        return -HUGE_VALF;
    return static_cast<float>(value);
}

// Reads up to count floats from text into out, stopping at the first entry
// that is not a number; the entries from there on are left untouched.
void ReadFloats(const std::string& text, float* const* out, int count)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    for (int i = 0; i < count; ++i) {
        float value;
        if (!(in >> value))
            return;
        *out[i] = value;
    }
}

// The words a switch is written with: any other reads as off, and is no
// switch at all to the checks that want one.
const char* const kTrueWords[] = {"1", "yes", "YES", "Yes", "true", "TRUE", "True"};
const char* const kFalseWords[] = {"0", "no", "NO", "No", "false", "FALSE", "False"};

template <std::size_t N>
bool IsOneOf(const std::string& value, const char* const (&words)[N])
{
    for (const char* word : words)
        if (value == word)
            return true;
    return false;
}

} // namespace

const std::string* CXMLAttributes::Find(const char* name) const
{
    if (!name)
        return nullptr;
    const auto it = find(name);
    return it == end() ? nullptr : &it->second;
}

std::string CXMLAttributes::GetString(const std::string& name, std::string def) const
{
    const auto it = find(name);
    return it == end() ? def : it->second;
}

int CXMLAttributes::GetInt(const char* name, int def) const
{
    const std::string* value = Find(name);
    return value ? ToInt(*value) : def;
}

float CXMLAttributes::GetFloat(const char* name, float def) const
{
    const std::string* value = Find(name);
    return value ? ToFloat(*value) : def;
}

bool CXMLAttributes::GetBool(const char* name, bool def) const
{
    const std::string* value = Find(name);
    if (!value)
        return def;
    return IsOneOf(*value, kTrueWords);
}

bool CXMLAttributes::IsBoolWord(const std::string& value)
{
    return IsOneOf(value, kTrueWords) || IsOneOf(value, kFalseWords);
}

D3DXVECTOR3 CXMLAttributes::GetVect3f(const char* name, float x, float y, float z) const
{
    D3DXVECTOR3 result(x, y, z);
    if (const std::string* value = Find(name)) {
        float* const entries[] = {&result.x, &result.y, &result.z};
        ReadFloats(*value, entries, 3);
    }
    return result;
}

D3DXMATRIX CXMLAttributes::GetMatrix(const char* name, D3DXMATRIX def) const
{
    if (const std::string* value = Find(name)) {
        float* entries[12];
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 3; ++column)
                entries[row * 3 + column] = &def.m[row][column];
        }
        ReadFloats(*value, entries, 12);
    }
    return def;
}

bool CXMLAttributes::ReadNumbers(const char* name, float* out, int count, double limit, int limited,
                                 double limitedTo) const
{
    const std::string* text = Find(name);
    if (!text)
        return false;
    int read = 0;
    for (size_t at = text->find_first_not_of(" \t\r\n"); at != std::string::npos;
         at = text->find_first_not_of(" \t\r\n", at)) {
        const size_t end = std::min(text->find_first_of(" \t\r\n", at), text->size());
        double value;
        const double within = read < limited ? limitedTo : limit;
        if (read >= count || !bounded::ParseFloat(text->substr(at, end - at), -within, within, &value))
            return false;
        out[read++] = static_cast<float>(value);
        at = end;
    }
    return read == count;
}

void CXMLAttributes::SetString(const char* name, const char* value)
{
    if (!name)
        return;
    (*this)[name] = value ? value : "";
}
