// Small helpers the enemy's state files share.
#pragma once

#include <string>

// A character of an enemy's name, or '\0' past its end: single letters of
// the names carry meaning ("D" at 4 marks a docker).
inline char NameAt(const std::string& name, size_t index)
{
    return index < name.size() ? name[index] : '\0';
}
