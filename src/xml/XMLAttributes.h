// The attributes of one start tag, as every XML reader of the game sees them.
#pragma once

#include <map>
#include <string>

#include "platform/d3dx9math.h"

// A sorted map from attribute name to value: the file's attribute order is not
// kept. Readers may also index it directly; like any std::map, indexing an
// absent name adds it with an empty value. The getters below never add one.
//
// A getter returns its default only when the name is missing; a name present
// with an empty value is read like any other value (GetInt gives 0 for it).
// Numbers are read in the "C" locale whatever the process locale is.
class CXMLAttributes : public std::map<std::string, std::string> {
public:
    std::string GetString(const std::string& name, std::string def) const;
    // atoi of the value (values beyond the int range clamp to it).
    int GetInt(const char* name, int def) const;
    // atof of the value, narrowed to float.
    float GetFloat(const char* name, float def) const;
    // True only for "1", "yes", "YES", "Yes", "true", "TRUE" and "True".
    bool GetBool(const char* name, bool def) const;
    // Whether a switch's value says on or off plainly: "0" or "1", or one
    // of the words for them GetBool's reader would expect ("no", "false"...).
    // Anything else reads as off, which is rarely what was meant.
    static bool IsBoolWord(const std::string& value);
    // Three blank-separated numbers. Reading stops at the first one that is
    // not a number; it and the rest keep the default.
    D3DXVECTOR3 GetVect3f(const char* name, float x, float y, float z) const;
    // Twelve blank-separated numbers as four rows of three (the last row is the
    // translation). The fourth column is always the default's, and as in
    // GetVect3f, entries from the first unreadable number on keep the default.
    D3DXMATRIX GetMatrix(const char* name, D3DXMATRIX def) const;
    // Exactly count blank-separated numbers, each finite and within +-limit
    // (the first `limited` of them within +-limitedTo): a reader that must
    // know a value is usable, where the getters above quietly keep defaults.
    // False for anything else, a missing attribute included.
    bool ReadNumbers(const char* name, float* out, int count, double limit, int limited = 0,
                     double limitedTo = 0.0) const;
    void SetString(const char* name, const char* value);

private:
    const std::string* Find(const char* name) const;
};
