#include <climits>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "xml/XMLAttributes.h"

namespace {

CXMLAttributes With(const char* name, const char* value)
{
    CXMLAttributes attributes;
    attributes.SetString(name, value);
    return attributes;
}

D3DXMATRIX NumberedMatrix(float base)
{
    D3DXMATRIX m;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            m.m[r][c] = base + static_cast<float>(r * 4 + c);
    }
    return m;
}

void ExpectMatrixEq(const D3DXMATRIX& actual, const D3DXMATRIX& expected)
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(actual.m[r][c], expected.m[r][c]) << "row " << r << " column " << c;
    }
}

} // namespace

TEST(XMLAttributesBool, OnlyTheSevenSpellingsAreTrue)
{
    for (const char* yes : {"1", "yes", "YES", "Yes", "true", "TRUE", "True"})
        EXPECT_TRUE(With("f", yes).GetBool("f", false)) << yes;
    for (const char* no : {"yEs", "on", "0", "", "tRUE", "true ", " 1", "1.0", "y"})
        EXPECT_FALSE(With("f", no).GetBool("f", true)) << '"' << no << '"';

    CXMLAttributes none;
    EXPECT_TRUE(none.GetBool("f", true));
    EXPECT_FALSE(none.GetBool("f", false));
}

TEST(XMLAttributesNumbers, PresentValuesAreReadLikeAtoiAndAtof)
{
    EXPECT_EQ(With("n", "12abc").GetInt("n", 5), 12);
    EXPECT_EQ(With("n", "abc").GetInt("n", 5), 0);
    EXPECT_EQ(With("n", "").GetInt("n", 5), 0);
    EXPECT_EQ(With("n", "  -7").GetInt("n", 5), -7);
    EXPECT_EQ(With("n", "3.9").GetInt("n", 5), 3);
    EXPECT_EQ(With("n", "99999999999").GetInt("n", 5), INT_MAX);
    EXPECT_EQ(With("n", "-99999999999").GetInt("n", 5), INT_MIN);
    EXPECT_EQ(CXMLAttributes().GetInt("n", 5), 5);

    EXPECT_FLOAT_EQ(With("f", "0.25").GetFloat("f", 9.f), 0.25f);
    EXPECT_FLOAT_EQ(With("f", "-1.5e2xyz").GetFloat("f", 9.f), -150.f);
    EXPECT_EQ(With("f", "abc").GetFloat("f", 9.f), 0.f);
    EXPECT_EQ(With("f", "").GetFloat("f", 9.f), 0.f);
    EXPECT_TRUE(std::isinf(With("f", "1e300").GetFloat("f", 9.f)));
    EXPECT_EQ(CXMLAttributes().GetFloat("f", 9.f), 9.f);
}

TEST(XMLAttributesString, MissingAndEmptyAreDifferentAndLookupsAddNothing)
{
    CXMLAttributes attributes = With("empty", "");
    attributes.SetString("name", "first");
    attributes.SetString("name", "second");
    EXPECT_EQ(attributes.GetString("name", "dflt"), "second");
    EXPECT_EQ(attributes.GetString("empty", "dflt"), "");
    EXPECT_EQ(attributes.GetString("missing", "dflt"), "dflt");

    attributes.GetInt("missing", 0);
    attributes.GetFloat("missing", 0.f);
    attributes.GetBool("missing", false);
    attributes.GetVect3f("missing", 0, 0, 0);
    attributes.GetMatrix("missing", D3DXMATRIX());
    attributes.GetInt(nullptr, 0);
    EXPECT_EQ(attributes.size(), 2u);

    // Direct indexing is plain std::map: it adds the name.
    EXPECT_EQ(attributes["other"], "");
    EXPECT_EQ(attributes.size(), 3u);
}

TEST(XMLAttributesVector, ReadsUpToTheFirstBadNumberAndKeepsTheRestOfTheDefault)
{
    auto read = [](const char* value) { return With("v", value).GetVect3f("v", 7, 8, 9); };
    auto expectVec = [](const D3DXVECTOR3& v, float x, float y, float z) {
        EXPECT_EQ(v.x, x);
        EXPECT_EQ(v.y, y);
        EXPECT_EQ(v.z, z);
    };
    expectVec(read("1 2 3"), 1, 2, 3);
    expectVec(read("1 2"), 1, 2, 9);
    expectVec(read("1,2,3"), 1, 8, 9);
    expectVec(read(" \t4\n5   6 extra"), 4, 5, 6);
    expectVec(read("-0.5 1e1 x 3"), -0.5f, 10, 9);
    expectVec(read("x 1 2"), 7, 8, 9);
    expectVec(read(""), 7, 8, 9);
    expectVec(CXMLAttributes().GetVect3f("v", 7, 8, 9), 7, 8, 9);
}

TEST(XMLAttributesMatrix, TwelveNumbersFillFourRowsOfThreeAndKeepTheFourthColumn)
{
    const D3DXMATRIX def = NumberedMatrix(100.f);

    D3DXMATRIX expected = def;
    for (int i = 0; i < 12; ++i)
        expected.m[i / 3][i % 3] = static_cast<float>(i + 1);
    ExpectMatrixEq(With("t", "1 2 3 4 5 6 7 8 9 10 11 12").GetMatrix("t", def), expected);

    // Extra numbers never spill into the fourth column.
    ExpectMatrixEq(With("t", "1 2 3 4 5 6 7 8 9 10 11 12 13 14").GetMatrix("t", def), expected);

    D3DXMATRIX partial = def;
    for (int i = 0; i < 5; ++i)
        partial.m[i / 3][i % 3] = static_cast<float>(i + 1);
    ExpectMatrixEq(With("t", "1 2 3 4 5 oops 7 8 9 10 11 12").GetMatrix("t", def), partial);

    ExpectMatrixEq(With("t", "").GetMatrix("t", def), def);
    ExpectMatrixEq(CXMLAttributes().GetMatrix("t", def), def);
}
