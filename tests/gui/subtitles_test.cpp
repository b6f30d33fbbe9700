// Subtitles: which line a player reads when, in which language, and where.
#include <gtest/gtest.h>

#include <algorithm>

#include "gui/Subtitles.h"
#include "script/fake_font.h"
#include "xml/temp_folder.h"

namespace {

// "talk" lasts 6 s: two Spanish lines and their English twins; "empty" has
// no lines; "zero" lasts 0 s. The hangar radio's English track has different
// times (only the Spanish ones count) and the island's English track is
// shorter than the Spanish.
const char kTexts[] = R"(<SUBTITULOS>
  <SUBTITULO name="talk" seconds="6">
    <SPANISH>
      <TEXTO sec_ini="1" sec_end="3" texto="uno"/>
      <TEXTO sec_ini="3" sec_end="5" texto="dos"/>
    </SPANISH>
    <ENGLISH>
      <TEXTO sec_ini="1" sec_end="3" texto="one"/>
      <TEXTO sec_ini="3" sec_end="5" texto="two"/>
    </ENGLISH>
  </SUBTITULO>
  <SUBTITULO name="long" min="1" seconds="5">
    <SPANISH><TEXTO min_ini="1" sec_ini="0" min_end="1" sec_end="5" texto="tarde"/></SPANISH>
    <ENGLISH/>
  </SUBTITULO>
  <SUBTITULO name="zero" seconds="0">
    <SPANISH><TEXTO sec_ini="0" sec_end="1" texto="nada"/></SPANISH>
  </SUBTITULO>
  <SUBTITULO name="radioHangar" seconds="230">
    <SPANISH>
      <TEXTO sec_ini="0" sec_end="10" texto="radio uno"/>
      <TEXTO sec_ini="10" sec_end="20" texto="radio dos"/>
    </SPANISH>
    <ENGLISH>
      <TEXTO sec_ini="50" sec_end="60" texto="radio one"/>
      <TEXTO sec_ini="60" sec_end="70" texto="radio two"/>
    </ENGLISH>
  </SUBTITULO>
  <SUBTITULO name="radioIsla" seconds="158">
    <SPANISH>
      <TEXTO sec_ini="0" sec_end="10" texto="isla uno"/>
      <TEXTO sec_ini="10" sec_end="20" texto="isla dos"/>
    </SPANISH>
    <ENGLISH><TEXTO sec_ini="0" sec_end="10" texto="island one"/></ENGLISH>
  </SUBTITULO>
</SUBTITULOS>)";

class Subtitles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(subs.LoadTexts(folder.Write("subtitulos.xml", kTexts)));
        font.AddRef();
        subs.SetFont(&font);
        subs.subtitlesEnabled = true;
    }

    // The text shown after advancing dt, "" when no line is current.
    std::string After(float dt)
    {
        subs.Update(dt);
        return subs.IsLineFound() ? subs.CurrentText() : "";
    }
    std::vector<FakeFont::Call> Drawn()
    {
        font.calls.clear();
        subs.Render(0.0f);
        return font.calls;
    }

    TempFolder folder;
    FakeFont font;
    CSubtitleManager subs; // stands for getSubtitulos(): nothing here is global
};

TEST_F(Subtitles, ALineShowsFromItsStartUpToJustBeforeItsEndAndTheSubtitleEndsAtItsDuration)
{
    subs.showSubtitulo("talk");
    EXPECT_EQ(After(0.75f), "");
    EXPECT_EQ(After(0.25f), "uno") << "start second included";
    EXPECT_EQ(After(1.75f), "uno");
    EXPECT_EQ(After(0.25f), "dos") << "end second excluded";
    EXPECT_EQ(After(1.75f), "dos");
    EXPECT_EQ(After(0.25f), "") << "between the last line and the duration";
    EXPECT_TRUE(subs.IsShowing());
    EXPECT_EQ(After(1.0f), "");
    EXPECT_FALSE(subs.IsShowing()) << "ends when the duration is reached";

    subs.showSubtitulo("long");
    EXPECT_EQ(After(59.5f), "");
    EXPECT_EQ(After(1.0f), "tarde") << "minutes count sixty seconds";

    subs.showSubtitulo("zero");
    EXPECT_EQ(After(0.0f), "") << "a subtitle of no length ends at its first update";
    EXPECT_FALSE(subs.IsShowing());
}

TEST_F(Subtitles, AnUnknownKeyOnlyRestartsTheSubtitleShowingAndEnglishFollowsTheSwitch)
{
    subs.showSubtitulo("talk");
    EXPECT_EQ(After(3.5f), "dos");
    subs.showSubtitulo("nobody");
    EXPECT_EQ(After(1.5f), "uno") << "the clock went back to 0, the subtitle stayed";
    EXPECT_EQ(subs.Table(false).count("nobody"), 1u) << "the lookup adds an empty entry";

    subs.english = true;
    subs.showSubtitulo("long"); // no English lines: ignored
    EXPECT_EQ(After(3.0f), "dos") << "the running subtitle keeps the lines it started with";
    subs.showSubtitulo("talk");
    EXPECT_EQ(After(1.0f), "one");
}

TEST_F(Subtitles, APausedSubtitleStartsAgainFromItsFirstLineWhileRadiosRunOn)
{
    subs.StartRadioHangar();
    subs.showSubtitulo("talk");
    EXPECT_EQ(After(3.5f), "dos");
    subs.Pause();
    EXPECT_EQ(After(30.0f), "dos") << "held on screen";
    EXPECT_FLOAT_EQ(subs.Clock(), 0.0f);
    EXPECT_FLOAT_EQ(subs.HangarClock(), 33.5f) << "the radio keeps its clock through a pause";
    subs.Resume();
    EXPECT_EQ(After(1.5f), "uno");
    EXPECT_EQ(After(2.0f), "dos");
    EXPECT_EQ(After(2.0f), "") << "the whole duration again";

    subs.ResetDisplay();
    EXPECT_FALSE(subs.IsShowing());
    EXPECT_FLOAT_EQ(subs.HangarClock(), 0.0f);
    subs.Update(5.0f);
    EXPECT_FLOAT_EQ(subs.HangarClock(), 0.0f) << "reset stops the radios";
}

TEST_F(Subtitles, RadiosLoopByTheirPeriodsAndTheSpanishTimesPickTheEnglishLine)
{
    subs.StartRadioHangar();
    subs.StartRadioIsland();
    subs.Update(5.0f);
    EXPECT_EQ(subs.HangarText(), "radio uno");
    EXPECT_EQ(subs.IslandText(), "isla uno");
    subs.Update(153.0f);
    EXPECT_FLOAT_EQ(subs.IslandClock(), 158.0f) << "158 itself stays";
    subs.Update(0.5f);
    EXPECT_FLOAT_EQ(subs.IslandClock(), 0.0f);
    EXPECT_FLOAT_EQ(subs.HangarClock(), 158.5f);
    subs.Update(71.5f);
    EXPECT_FLOAT_EQ(subs.HangarClock(), 230.0f);
    subs.Update(0.5f);
    EXPECT_FLOAT_EQ(subs.HangarClock(), 0.0f);

    subs.ResetDisplay();
    subs.StartRadioHangar();
    subs.StartRadioIsland();
    subs.english = true;
    subs.Update(15.0f);
    EXPECT_EQ(subs.HangarText(), "radio two") << "second Spanish line, second English text";
    EXPECT_EQ(subs.IslandText(), "") << "the English island track has no second line";
    EXPECT_FALSE(subs.IsIslandTextFound());
    subs.StopRadioHangar();
    subs.Update(100.0f);
    EXPECT_FLOAT_EQ(subs.HangarClock(), 15.0f);
}

TEST_F(Subtitles, DrawnShadowFirstAtTheBottomWithAtMostOneRadioLine)
{
    subs.Init(nullptr, "DejaVu Sans", 800, 600); // no device: the test's font stays out
    ASSERT_TRUE(subs.LoadTexts(folder / "subtitulos.xml"));
    subs.SetFont(&font);
    font.AddRef();
    subs.showSubtitulo("talk");
    subs.Update(1.0f);
    std::vector<FakeFont::Call> calls = Drawn();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].color, 0xFF000000u);
    EXPECT_EQ(calls[0].left, 3);             // 0.004 x 800
    EXPECT_EQ(calls[0].top, 480 + 1);        // 0.8 x 600 + 0.003 x 600
    EXPECT_EQ(calls[1].color, 0xFFFFFF00u);  // yellow over it
    EXPECT_EQ(calls[1].left, 0);
    EXPECT_EQ(calls[1].top, 480);
    EXPECT_EQ(calls[1].text, "uno");
    EXPECT_EQ(calls[1].format, DWORD(DT_CENTER | DT_VCENTER));

    subs.StartRadioHangar();
    subs.StartRadioIsland();
    subs.Update(0.5f);
    subs.hangarRadioVisible = subs.islandRadioVisible = true;
    calls = Drawn();
    ASSERT_EQ(calls.size(), 4u) << "the hangar radio only";
    EXPECT_EQ(calls[3].text, "radio uno");
    EXPECT_EQ(calls[3].top, 420); // 0.7 x 600
    subs.hangarRadioVisible = false;
    EXPECT_EQ(Drawn().back().text, "isla uno");

    subs.subtitlesEnabled = false;
    EXPECT_TRUE(Drawn().empty());
    subs.Update(2.0f);
    EXPECT_EQ(subs.CurrentText(), "dos") << "switched off, the lines still advance";
}

// A broken file shows nothing at all rather than half its lines.
TEST_F(Subtitles, AFileWithTimesOutOfRangeIsRefusedWholly)
{
    const char* broken[] = {
        R"(<S><SUBTITULO name="a" seconds="3"><SPANISH><TEXTO sec_ini="0" sec_end="3" texto="x"/></SPANISH></SUBTITULO>
           <SUBTITULO name="b" min="99999999" seconds="3"/></S>)",
        R"(<S><SUBTITULO name="a" seconds="3"><SPANISH><TEXTO sec_ini="-5" sec_end="3" texto="x"/></SPANISH></SUBTITULO></S>)",
        R"(<S><SUBTITULO name="a" seconds="3"><SPANISH><TEXTO sec_ini="0" sec_end="3" texto="x"/></SPANISH>)",
    };
    for (const char* text : broken) {
        SCOPED_TRACE(text);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(subs.LoadTexts(folder.Write("broken.xml", text)));
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("broken.xml"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_TRUE(subs.Table(false).empty());
        subs.showSubtitulo("a");
        EXPECT_FALSE(subs.IsShowing());
    }
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(subs.LoadTexts(folder / "missing.xml"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), folder / "missing.xml" + " refused: it is missing\n")
        << "a missing file is named too";
}

} // namespace
