// The debug console: its history walk, the hand-off of typed lines to the
// script host, and what it draws.
#include <filesystem>
#include <optional>

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

TEST_F(Console, BuildingItRunsTheConsoleScriptInTheCurrentState)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::string(VANTOREL_SOURCE_DIR) + "/game");
    console.emplace();
    std::filesystem::current_path(previous);
    EXPECT_EQ(GlobalType("ChangeMission"), LUA_TFUNCTION);
    EXPECT_EQ(Alerts(), 0) << GlobalString("lastAlert");
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
    EXPECT_EQ(GlobalString("said"), "world+");
    EXPECT_EQ(console->GetInputLine(), "");
    EXPECT_EQ(console->GetHistory().back(), "");
    console->Toggle();
    console->HistoryPrevious();
    console->HistoryPrevious();
    Type("\b\b\b\b\b\b 1 2\r"); // a recalled line is edited like a typed one
    EXPECT_EQ(console->GetHistory().back(), "Hello 1 2");
    EXPECT_EQ(GlobalString("said"), "1+2");
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
    ASSERT_EQ(font.calls.size(), 4u);
    const int promptY = 600 - 70 - 22; // 15 x 1.5 truncated
    const FakeFont::Call expected[] = {{"Console: ", 16, promptY + 1, 0, 0xFF000000u},
                                       {"Console: ", 15, promptY, 0, 0xFFFFFFFFu},
                                       {"W", 31, 531, 0, 0xFF000000u},
                                       {"W", 30, 530, 0, 0xFFFFFFFFu}};
    for (int i = 0; i < 4; ++i) {
        const FakeFont::Call& call = font.calls[i];
        EXPECT_EQ(std::tie(call.text, call.left, call.top, call.color),
                  std::tie(expected[i].text, expected[i].left, expected[i].top, expected[i].color)) << i;
        EXPECT_TRUE(call.format & DT_NOCLIP);
    }
}

} // namespace
