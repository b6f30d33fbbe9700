// The debug console: its history walk, the hand-off of typed lines to the
// script host, and what it draws.
#include <filesystem>
#include <optional>

#include "gui/MissionText.h"
#include "script/Console.h"
#include "script/fake_font.h"
#include "script/lua_fixture.h"

namespace {

class Console : public LuaStateTest {
protected:
    void Type(const std::string& text)
    {
        if (!console) // built after the state: it runs "console.lua" (absent here) in it
            console.emplace();
        for (char ch : text)
            console->OnChar(static_cast<unsigned char>(ch));
    }
    std::optional<CConsole> console;
};

TEST_F(Console, TheShippedConsoleScriptRunsInTheCurrentStateAndItsCommandsWork)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::string(VANTOREL_SOURCE_DIR) + "/game");
    console.emplace();
    std::filesystem::current_path(previous);
    Type("ChangeMission 1\r");
    EXPECT_EQ(getMissionText().GetCurrent(), 1);
    Type("ChangeMission 0\r");
    EXPECT_EQ(getMissionText().GetCurrent(), 0);
    EXPECT_EQ(Alerts(), 0) << Global("lastAlert");
}

TEST_F(Console, UpAndDownWalkTheHistoryFromItsEnd)
{
    Type("");
    console->HistoryPrevious(); // before the first opening Up has nowhere to go
    EXPECT_EQ(console->GetInputLine(), "");
    console->Toggle();
    Type("Half typed"); // filed by Up, not lost
    const std::string walk[] = {"<playPaletaVoladoresHangarExplosivo", "<getHangarOpenLastWave",
                                ">playPaletaVoladoresHangarExplosivo", ">Half typed", ">", ">"};
    for (const std::string& step : walk) {
        step[0] == '<' ? console->HistoryPrevious() : console->HistoryNext();
        EXPECT_EQ(console->GetInputLine(), step.substr(1)) << step;
    }
    for (int i = 0; i < 40; ++i)
        console->HistoryPrevious();
    EXPECT_EQ(console->GetInputLine(), "ChangeMission");
    EXPECT_EQ(console->GetHistory().size(), 25u) << "recalled entries are not filed again";
    // Reopening puts the cursor past the end and keeps the line; Down does nothing there.
    console->Toggle();
    console->Toggle();
    console->HistoryNext();
    EXPECT_EQ(console->GetInputLine(), "ChangeMission");
}

TEST_F(Console, EnterRunsTheLineAndFilesIt)
{
    ASSERT_EQ(Run("function Hello(who, second) said = who .. '+' .. second end"), "");
    Type("\bHellx\bo world\r\r"); // the empty line runs nothing and is filed too
    EXPECT_EQ(Global("said"), "world+");
    EXPECT_EQ(console->GetInputLine(), "");
    EXPECT_EQ(console->GetHistory().back(), "");
    console->Toggle();
    console->HistoryPrevious();
    console->HistoryPrevious();
    Type("\b\b\b\b\b\b 1 2\r"); // a recalled line is edited like a typed one
    EXPECT_EQ(console->GetHistory().back(), "Hello 1 2");
    EXPECT_EQ(Global("said"), "1+2");
}

TEST_F(Console, DrawsPromptAndLineShadowedOnlyWhileOpen)
{
    FakeFont font; // outlives the console, which releases it
    CConsole drawn;
    drawn.OnChar('W');
    drawn.Init(nullptr, 15, "Arial", 800, 600); // no device, no font: drawing does nothing
    drawn.Toggle();
    drawn.Render();
    font.AddRef();
    drawn.SetFont(&font);
    drawn.Toggle();
    drawn.Render();
    EXPECT_TRUE(font.calls.empty()) << "closed";
    drawn.Toggle();
    drawn.Render();
    std::vector<std::string> calls;
    for (const FakeFont::Call& c : font.calls)
        calls.push_back(c.text + "@" + std::to_string(c.left) + "," + std::to_string(c.top) +
                        (c.color == 0xFF000000u ? " black" : c.color == 0xFFFFFFFFu ? " white" : " other") +
                        (c.format & DT_NOCLIP ? "" : " clipped"));
    // The prompt sits 15 x 1.5, truncated, above the line at 600 - 70.
    EXPECT_EQ(calls, (std::vector<std::string>{"Console: @16,509 black", "Console: @15,508 white", "W@31,531 black",
                                               "W@30,530 white"}));
}

// A line whose first word is no command is answered in the console, under
// the line; the next line that runs clears the answer.
TEST_F(Console, ALineThatNamesNoCommandIsAnsweredUnderIt)
{
    ASSERT_EQ(Run("function Hello() said = 'yes' end"), "");
    FakeFont font; // outlives the console, which releases it
    CConsole typed;
    typed.Init(nullptr, 20, "Arial", 800, 600);
    font.AddRef();
    typed.SetFont(&font);
    typed.Toggle();
    for (char ch : std::string("  Helo world\r"))
        typed.OnChar(ch);
    EXPECT_EQ(typed.GetReply(), "Unknown command: Helo");
    typed.Render();
    ASSERT_EQ(font.calls.size(), 6u);
    EXPECT_EQ(font.calls[5].text, "Unknown command: Helo");
    EXPECT_EQ(font.calls[5].left, 30);
    EXPECT_EQ(font.calls[5].top, 560) << "1.5 lines under the line at 600 - 70";
    EXPECT_EQ(font.calls[5].color, 0xFFFFFFFFu);
    for (char ch : std::string("Hello\r"))
        typed.OnChar(ch);
    EXPECT_EQ(Global("said"), "yes");
    EXPECT_EQ(typed.GetReply(), "");
    font.calls.clear();
    typed.Render();
    EXPECT_EQ(font.calls.size(), 4u) << "the prompt and the line, no answer";
}

} // namespace
