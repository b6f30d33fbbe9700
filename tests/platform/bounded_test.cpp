#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "platform/bounded.h"

namespace {

TEST(Bounded, NumbersAreTakenWholeAndInRangeOrNotAtAll)
{
    struct IntRow {
        const char* text;
        bool ok;
        long long value;
    } ints[] = {
        {"42", true, 42},         {" -7 ", true, -7},   {"0x10", true, 16},
        {"1000", true, 1000},     {"1001", false, 0},   {"-1001", false, 0},
        {"12abc", false, 0},      {"", false, 0},       {"abc", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const IntRow& row : ints) {
        long long value = -12345;
        EXPECT_EQ(bounded::ParseInt(row.text, -1000, 1000, &value), row.ok) << row.text;
        EXPECT_EQ(value, row.ok ? row.value : -12345) << row.text;
    }
    struct FloatRow {
        const char* text;
        bool ok;
        double value;
    } floats[] = {
        {"0.5", true, 0.5}, {"-2", true, -2.0}, {"1e3", true, 1000.0}, {"1e4", false, 0},
        {"nan", false, 0},  {"inf", false, 0},  {"0.5x", false, 0},   {"1e999", false, 0},
    };
    for (const FloatRow& row : floats) {
        double value = -1.0;
        EXPECT_EQ(bounded::ParseFloat(row.text, -5000.0, 5000.0, &value), row.ok) << row.text;
        if (row.ok)
            EXPECT_EQ(value, row.value) << row.text;
    }
}

TEST(Bounded, CountsAreLimitsAndArithmeticSaysWhenItDoesNotFit)
{
    EXPECT_EQ(bounded::Limit(-3, 10), 0u);
    EXPECT_EQ(bounded::Limit(7, 10), 7u);
    EXPECT_EQ(bounded::Limit(100000000, 10), 10u);

    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    const std::int64_t min = std::numeric_limits<std::int64_t>::min();
    std::int64_t out = 0;
    EXPECT_FALSE(bounded::Mul(max, 2, &out));
    EXPECT_FALSE(bounded::Add(max, 1, &out));
    EXPECT_FALSE(bounded::Sub(min, 1, &out));
    EXPECT_FALSE(bounded::Div(min, -1, &out));
    EXPECT_FALSE(bounded::Div(5, 0, &out));
    ASSERT_TRUE(bounded::Div(-7, 2, &out));
    EXPECT_EQ(out, -3);
    ASSERT_TRUE(bounded::Mul(-4, 5, &out));
    EXPECT_EQ(out, -20);
    ASSERT_TRUE(bounded::Sub(3, 5, &out));
    EXPECT_EQ(out, -2);
    ASSERT_TRUE(bounded::Add(3, 5, &out));
    EXPECT_EQ(out, 8);
    EXPECT_EQ(bounded::Refusal("data/fx/bloom.xml", "stage 3 is 0x16"), "data/fx/bloom.xml: refused: stage 3 is 0x16");
}

// A line is said once however often it is asked for, until the lines said are
// forgotten (a new start), when it is said once again; other lines are kept apart.
TEST(Bounded, ALineIsSaidOnceUntilTheSaidLinesAreForgotten)
{
    bounded::ForgetSaidLines();
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 3; ++frame) {
        bounded::SayOnce("data/XML/a.xml: refused: cut short");
        bounded::ReportMissingOnce("particle type not found", "humo");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/XML/a.xml: refused: cut short\nparticle type not found: humo\n");

    bounded::ForgetSaidLines();
    testing::internal::CaptureStderr();
    bounded::SayOnce("data/XML/a.xml: refused: cut short");
    bounded::SayOnce("data/XML/a.xml: refused: cut short");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "data/XML/a.xml: refused: cut short\n");
}

// Faults of many entries of one file: one line per fault, in the order
// first found, its entries listed up to five and counted; the same file read
// again says nothing more.
TEST(Bounded, AFaultOfManyEntriesIsOneLineWithItsCount)
{
    bounded::ForgetSaidLines();
    testing::internal::CaptureStderr();
    for (int read = 0; read < 2; ++read) {
        bounded::FaultTally tally;
        for (int i = 1; i <= 7; ++i)
            tally.Add("unknown kind: the defaults are used", "enemy " + std::to_string(i));
        tally.Add("no point", "enemy 3");
        EXPECT_FALSE(tally.Empty());
        tally.SayAll("data/XML/e.xml");
        EXPECT_TRUE(tally.Empty());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/XML/e.xml: unknown kind: the defaults are used (7 times: enemy 1, enemy 2, enemy 3, enemy 4, "
              "enemy 5 and 2 more)\n"
              "data/XML/e.xml: no point (enemy 3)\n");
}

// A reader keeps one tally for all its files: once it has said a file's
// lines, the next file's faults are counted from nothing, under its name.
TEST(Bounded, ATallyThatHasSaidAFileCountsTheNextAfresh)
{
    bounded::ForgetSaidLines();
    bounded::FaultTally tally;
    testing::internal::CaptureStderr();
    tally.Add("no point", "enemy 1");
    tally.Add("no point", "enemy 2");
    tally.Add("unknown kind", "enemy 2");
    tally.SayAll("a.xml");
    tally.Add("unknown kind", "enemy 9");
    tally.Add("no point", "enemy 8");
    tally.Add("unknown kind", "enemy 7");
    tally.SayAll("b.xml");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "a.xml: no point (2 times: enemy 1, enemy 2)\n"
              "a.xml: unknown kind (enemy 2)\n"
              "b.xml: unknown kind (2 times: enemy 9, enemy 7)\n"
              "b.xml: no point (enemy 8)\n");
    EXPECT_TRUE(tally.TakeLines("c.xml").empty());
    tally.Add("no point", "enemy 3");
    EXPECT_EQ(tally.TakeLines("c.xml"), std::vector<std::string>{"c.xml: no point (enemy 3)"});
    EXPECT_TRUE(tally.Empty()) << "taken lines are forgotten";
}

} // namespace
