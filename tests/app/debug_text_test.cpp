#include <gtest/gtest.h>

#include "app/DebugText.h"
#include "render/DeviceFixture.h"

namespace {

constexpr D3DCOLOR kGrey = 0xFF808080;

TEST(FloatToString, WritesSixSignificantDigits)
{
    EXPECT_EQ(FloatToString(1.5), "1.5");
    EXPECT_EQ(FloatToString(0.1), "0.1");
    EXPECT_EQ(FloatToString(3.0), "3");
    EXPECT_EQ(FloatToString(16.6666666), "16.6667");
    EXPECT_EQ(FloatToString(1234567.0), "1.23457e+06");
    EXPECT_EQ(FloatToString(-0.25), "-0.25");
}

TEST(DebugTextQueue, KeepsOnlyTheNewestLines)
{
    CDebugText text;
    for (int i = 0; i < 300; ++i)
        text.AddLine("line " + std::to_string(i));
    ASSERT_EQ(text.GetLines().size(), CDebugText::kMaxLines);
    EXPECT_EQ(text.GetLines().front(), "line 44");
    EXPECT_EQ(text.GetLines().back(), "line 299");
}

class DebugTextTest : public drawtest::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        ClearTo(kGrey);
    }

    // What three lines at 15, 37 and 59 with their shadows one pixel right and
    // down look like, drawn straight with a font of the same kind.
    std::vector<D3DCOLOR> Expected(const std::vector<std::string>& lines)
    {
        ID3DXFont* font = nullptr;
        EXPECT_EQ(D3DXCreateFontA(D3DDevice, 20, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "DejaVu Sans", &font),
                  S_OK);
        ClearTo(kGrey);
        const LONG tops[] = {15, 37, 59};
        for (size_t i = 0; i < lines.size(); ++i) {
            RECT shadow = {21, tops[i] + 1, 400, tops[i] + 40};
            font->DrawTextA(nullptr, lines[i].c_str(), -1, &shadow, DT_NOCLIP, 0xFF000000);
            RECT text = {20, tops[i], 400, tops[i] + 40};
            font->DrawTextA(nullptr, lines[i].c_str(), -1, &text, DT_NOCLIP, 0xFFFFFFFF);
        }
        font->Release();
        return BackBuffer();
    }

    int CountDiffering(const std::vector<D3DCOLOR>& a, const std::vector<D3DCOLOR>& b)
    {
        int n = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            n += (a[i] | 0xFF000000) != (b[i] | 0xFF000000);
        return n + static_cast<int>(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
    }

    int CountNot(const std::vector<D3DCOLOR>& pixels, D3DCOLOR colour)
    {
        int n = 0;
        for (D3DCOLOR c : pixels)
            n += (c | 0xFF000000) != colour;
        return n;
    }
};

TEST_F(DebugTextTest, LinesStackFromTheTopWithAShadowAndLastOneFrame)
{
    // Capitals only: nothing reaches below the line's box, which clips the
    // text as it is drawn. The window is 64 pixels, so the lines are short.
    const std::vector<std::string> lines = {"HE", "EH", "NIN"};
    const std::vector<D3DCOLOR> expected = Expected(lines);
    ASSERT_GT(CountNot(expected, kGrey), 50);

    ClearTo(kGrey);
    CDebugText text;
    text.Init(D3DDevice, 20, "DejaVu Sans");
    for (const std::string& line : lines)
        text.AddLine(line);
    text.Draw();
    EXPECT_EQ(CountDiffering(BackBuffer(), expected), 0);
    EXPECT_TRUE(text.GetLines().empty());

    // The next frame shows nothing unless lines are added again.
    ClearTo(kGrey);
    text.Draw();
    EXPECT_EQ(CountNot(BackBuffer(), kGrey), 0);
}

TEST_F(DebugTextTest, WithoutAFontNothingIsDrawnAndTheQueueEmpties)
{
    CDebugText text;
    text.AddLine("unseen");
    text.Draw();
    EXPECT_TRUE(text.GetLines().empty());
    EXPECT_EQ(CountNot(BackBuffer(), kGrey), 0);

    // A font made later does not bring the dropped lines back.
    text.Init(D3DDevice, 20, "DejaVu Sans");
    text.Draw();
    EXPECT_EQ(CountNot(BackBuffer(), kGrey), 0);
}

} // namespace
