#include <climits>
#include <cmath>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "xml/XMLAttributes.h"

namespace {

CXMLAttributes With(const char* value)
{
    CXMLAttributes attributes;
    attributes.SetString("v", value);
    return attributes;
}

TEST(XMLAttributes, OnlyTheSevenSpellingsAreTrue)
{
    for (const char* yes : {"1", "yes", "YES", "Yes", "true", "TRUE", "True"})
        EXPECT_TRUE(With(yes).GetBool("v", false)) << yes;
    for (const char* no : {"yEs", "on", "0", "", "tRUE", "true ", " 1", "1.0"})
        EXPECT_FALSE(With(no).GetBool("v", true)) << '"' << no << '"';
    EXPECT_TRUE(CXMLAttributes().GetBool("v", true));
}

TEST(XMLAttributes, NumbersAreReadLikeAtoiAndAtofAndOnlyMissingGivesTheDefault)
{
    const std::pair<const char*, int> ints[] = {
        {"12abc", 12}, {"", 0}, {"3.9", 3}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}};
    for (const auto& [text, value] : ints)
        EXPECT_EQ(With(text).GetInt("v", 5), value) << '"' << text << '"';
    EXPECT_EQ(CXMLAttributes().GetInt("v", 5), 5);
    EXPECT_FLOAT_EQ(With("-1.5e2xyz").GetFloat("v", 9.f), -150.f);
    EXPECT_EQ(With("abc").GetFloat("v", 9.f), 0.f);
    EXPECT_TRUE(std::isinf(With("1e300").GetFloat("v", 9.f)));
    EXPECT_EQ(With("").GetString("v", "dflt"), "");
    CXMLAttributes attributes = With("");
    EXPECT_EQ(attributes.GetString("missing", "dflt"), "dflt");
    // No getter adds the name it looks up.
    attributes.GetInt("missing", 0);
    attributes.GetFloat("missing", 0.f);
    attributes.GetBool("missing", false);
    attributes.GetVect3f("missing", 0, 0, 0);
    attributes.GetMatrix("missing", D3DXMATRIX());
    attributes.GetInt(nullptr, 0);
    EXPECT_EQ(attributes.size(), 1u);
}

TEST(XMLAttributes, VectorsAndMatricesReadUpToTheFirstBadNumberAndKeepTheRestOfTheDefault)
{
    const std::pair<const char*, D3DXVECTOR3> vectors[] = {
        {"1 2", {1, 2, 9}}, {"1,2,3", {1, 8, 9}}, {" \t4\n5   6 extra", {4, 5, 6}},
        {"-0.5 1e1 x 3", {-0.5f, 10, 9}}, {"", {7, 8, 9}},
    };
    for (const auto& [text, expected] : vectors)
        EXPECT_EQ(With(text).GetVect3f("v", 7, 8, 9), expected) << '"' << text << '"';

    // Twelve numbers fill four rows of three; the fourth column stays the default's.
    D3DXMATRIX def;
    for (int i = 0; i < 16; ++i)
        def.m[i / 4][i % 4] = 100.f + i;
    D3DXMATRIX full = def, partial = def;
    for (int i = 0; i < 12; ++i)
        full.m[i / 3][i % 3] = i + 1.f;
    for (int i = 0; i < 5; ++i)
        partial.m[i / 3][i % 3] = i + 1.f;
    // Extra numbers never spill into the fourth column.
    EXPECT_EQ(With("1 2 3 4 5 6 7 8 9 10 11 12 13 14").GetMatrix("v", def), full);
    EXPECT_EQ(With("1 2 3 4 5 oops 7 8 9 10 11 12").GetMatrix("v", def), partial);
    EXPECT_EQ(With("").GetMatrix("v", def), def);
}

} // namespace
