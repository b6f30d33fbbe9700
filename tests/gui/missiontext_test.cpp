// The mission line: which text shows, where, and for how long.
#include <gtest/gtest.h>

#include "gui/MissionText.h"
#include "script/fake_font.h"

namespace {

class MissionText : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No device: the font cannot be made, so the test hands over its own.
        mission.Init(nullptr, 18, "Arial", 800, 600);
        font.AddRef();
        mission.SetFont(&font);
    }

    // One frame of the game: update, then render; what the font was asked to draw.
    std::vector<FakeFont::Call> Frame(float dt)
    {
        font.calls.clear();
        mission.Update(dt);
        mission.Render();
        return font.calls;
    }

    FakeFont font;
    CMissionText mission;
};

TEST_F(MissionText, NothingShowsBeforeTheFirstMission)
{
    EXPECT_EQ(mission.GetCurrent(), -1);
    EXPECT_TRUE(Frame(0.0f).empty());
    EXPECT_TRUE(Frame(1.0f).empty());
}

TEST_F(MissionText, AMissionShowsShadowedAtTheBottomLeft)
{
    mission.setMission(1);
    const std::vector<FakeFont::Call> calls = Frame(0.033f);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "P\xC9TATE A DOCKERS!!");
    EXPECT_EQ(calls[0].color, 0xFF000000u);
    EXPECT_EQ(calls[0].left, 1);
    EXPECT_EQ(calls[0].top, calls[1].top + 1);
    EXPECT_EQ(calls[1].text, calls[0].text);
    EXPECT_EQ(calls[1].color, 0xFFFFFFFFu);
    EXPECT_EQ(calls[1].left, 0);
    // In the bottom row: under a spoken line's letters (centred at 0.9 of the
    // height, 0.037 of it high, its shadow lower still) and whole above the
    // screen's edge.
    EXPECT_GT(calls[1].top, 0.9 * 600 + 0.037 * 600 * 0.6 + 2);
    EXPECT_LE(calls[1].top + 18 * 1.25 + 1, 600);
    EXPECT_TRUE(calls[1].format & DT_NOCLIP);
    EXPECT_FALSE(calls[1].format & (DT_CENTER | DT_RIGHT));
}

TEST_F(MissionText, ShowsForTenSecondsIncludingTheLastInstant)
{
    mission.setMission(0);
    EXPECT_EQ(Frame(4.0f).size(), 2u);
    EXPECT_EQ(Frame(6.0f).size(), 2u) << "exactly 10 s still shows";
    EXPECT_TRUE(Frame(0.001f).empty());
    EXPECT_TRUE(Frame(100.0f).empty());

    // A new mission restarts the ten seconds.
    mission.setMission(0);
    EXPECT_EQ(Frame(9.5f).size(), 2u);
    mission.setMission(1);
    EXPECT_EQ(Frame(9.5f).size(), 2u);
    EXPECT_EQ(font.calls[1].text, "P\xC9TATE A DOCKERS!!");
}

TEST_F(MissionText, AnIndexOutsideTheListShowsNothing)
{
    EXPECT_EQ(mission.getLastMission(), 1);
    for (int n : {2, 5, -1, -7}) {
        SCOPED_TRACE(n);
        mission.setMission(n);
        EXPECT_TRUE(Frame(0.1f).empty());
    }
    EXPECT_EQ(mission.getLastMission(), 1);
}

TEST_F(MissionText, ScriptsAppendTextsThatCanThenBeShown)
{
    mission.addText("ENCUENTRA LA SALIDA");
    EXPECT_EQ(mission.getLastMission(), 2);
    mission.setMission(2);
    const std::vector<FakeFont::Call> calls = Frame(0.1f);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].text, "ENCUENTRA LA SALIDA");
    EXPECT_EQ(mission.GetTexts()[0], "SOBREVIVE A LA MATANZA CANIBAL DE LOS GARRULOS LIS\xC9RGICOS.");
}

TEST(MissionTextBeforeInit, HasNoTextsAndDrawsNothing)
{
    CMissionText mission;
    EXPECT_EQ(mission.getLastMission(), -1);
    mission.setMission(0);
    mission.Update(0.1f);
    mission.Render();
    mission.addText("A");
    EXPECT_EQ(mission.getLastMission(), 0);
}

TEST(MissionTextFont, IsReleasedOnce)
{
    FakeFont font;
    {
        CMissionText mission;
        font.AddRef();
        mission.SetFont(&font);
        mission.Release();
        EXPECT_EQ(font.refs, 1u);
        EXPECT_EQ(mission.getLastMission(), -1);
    }
    EXPECT_EQ(font.refs, 1u);
}

} // namespace
