// The debug console: its history walk, the hand-off of typed lines to the
// script host, and what it draws.
#include <filesystem>

#include "script/Console.h"
#include "script/fake_font.h"
#include "script/lua_fixture.h"

namespace {

class Console : public LuaStateTest {
protected:
    void Type(CConsole& console, const std::string& text)
    {
        for (char ch : text)
            console.OnChar(static_cast<unsigned char>(ch));
    }
};

TEST_F(Console, BuildingItRunsTheConsoleScriptInTheCurrentState)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::string(VANTOREL_SOURCE_DIR) + "/game");
    CConsole console;
    std::filesystem::current_path(previous);
    EXPECT_EQ(GlobalType("ChangeMission"), LUA_TFUNCTION);
    EXPECT_EQ(GlobalType("SetLightPos"), LUA_TFUNCTION);
    EXPECT_EQ(Alerts(), 0) << GlobalString("lastAlert");
}

TEST_F(Console, UpAndDownWalkTheHistoryFromItsEnd)
{
    CConsole console;
    const std::vector<std::string> history = console.GetHistory();
    ASSERT_EQ(history.size(), 24u);
    EXPECT_EQ(history.front(), "ChangeMission");
    EXPECT_EQ(history[20], "updateLuaFile(\"console.lua\");");

    // Before the first opening the cursor is on the first entry: Up has nowhere to go.
    console.HistoryPrevious();
    EXPECT_EQ(console.GetInputLine(), "");

    console.Toggle();
    console.HistoryPrevious();
    EXPECT_EQ(console.GetInputLine(), "playPaletaVoladoresHangarExplosivo");
    console.HistoryPrevious();
    EXPECT_EQ(console.GetInputLine(), "getHangarOpenLastWave");
    console.HistoryNext();
    EXPECT_EQ(console.GetInputLine(), "playPaletaVoladoresHangarExplosivo");
    console.HistoryNext();
    EXPECT_EQ(console.GetInputLine(), "");
    console.HistoryNext();
    EXPECT_EQ(console.GetInputLine(), "");
    console.HistoryPrevious();
    EXPECT_EQ(console.GetInputLine(), "playPaletaVoladoresHangarExplosivo");

    // Walking to the very first entry stops there.
    for (int i = 0; i < 40; ++i)
        console.HistoryPrevious();
    EXPECT_EQ(console.GetInputLine(), "ChangeMission");
    EXPECT_EQ(console.GetHistory().size(), 24u) << "recalled entries are not filed again";
}

TEST_F(Console, TextTypedBeforeUpIsFiledNotLost)
{
    CConsole console;
    console.Toggle();
    Type(console, "Half typed");
    console.HistoryPrevious();
    ASSERT_EQ(console.GetHistory().size(), 25u);
    EXPECT_EQ(console.GetHistory().back(), "Half typed");
    EXPECT_EQ(console.GetInputLine(), "playPaletaVoladoresHangarExplosivo");
    console.HistoryNext();
    EXPECT_EQ(console.GetInputLine(), "Half typed");
    console.HistoryNext();
    EXPECT_EQ(console.GetInputLine(), "");
}

TEST_F(Console, ReopeningPutsTheCursorPastTheEndAndKeepsTheLine)
{
    CConsole console;
    console.Toggle();
    console.HistoryPrevious();
    console.HistoryPrevious();
    console.HistoryPrevious();
    console.Toggle();
    EXPECT_FALSE(console.IsVisible());
    EXPECT_EQ(console.GetInputLine(), "ResetWaves");
    console.Toggle();
    EXPECT_TRUE(console.IsVisible());
    EXPECT_EQ(console.GetInputLine(), "ResetWaves");
    console.HistoryNext();
    EXPECT_EQ(console.GetInputLine(), "ResetWaves") << "past the end Down does nothing";
}

TEST_F(Console, EnterRunsTheLineAndFilesIt)
{
    ASSERT_EQ(Run("function Hello(who, second) said = who .. '+' .. second end"), "");
    CConsole console;
    console.Toggle();
    Type(console, "Hellx");
    console.OnChar(8);
    Type(console, "o world");
    console.OnChar(13);
    EXPECT_EQ(GlobalString("said"), "world+");
    EXPECT_EQ(console.GetInputLine(), "");
    EXPECT_EQ(console.GetHistory().back(), "Hello world");

    // An empty line runs nothing and is filed too.
    console.OnChar(13);
    EXPECT_EQ(console.GetHistory().size(), 26u);
    EXPECT_EQ(console.GetHistory().back(), "");
    console.HistoryPrevious();
    console.HistoryPrevious();
    EXPECT_EQ(console.GetInputLine(), "Hello world");

    // A recalled line is edited like a typed one.
    for (int i = 0; i < 6; ++i)
        console.OnChar(8);
    Type(console, " 1 2");
    console.OnChar(13);
    EXPECT_EQ(console.GetHistory().back(), "Hello 1 2");
    EXPECT_EQ(GlobalString("said"), "1+2");
}

TEST_F(Console, BackspaceOnAnEmptyLineLeavesItEmpty)
{
    CConsole console;
    console.Toggle();
    console.OnChar(8);
    EXPECT_EQ(console.GetInputLine(), "");
    Type(console, "ab");
    console.OnChar(8);
    console.OnChar(8);
    console.OnChar(8);
    EXPECT_EQ(console.GetInputLine(), "");
}

TEST_F(Console, DrawsPromptAndLineShadowedOnlyWhileOpen)
{
    FakeFont font; // outlives the console, which releases it
    CConsole console;
    // No device: no font, and drawing is a no-op rather than a crash.
    console.Init(nullptr, 15, "Arial", 800, 600);
    console.Toggle();
    console.Render();

    font.AddRef();
    console.SetFont(&font);
    console.Toggle();
    console.Render();
    EXPECT_TRUE(font.calls.empty()) << "closed";

    console.Toggle();
    Type(console, "Wave1");
    console.Render();
    ASSERT_EQ(font.calls.size(), 4u);
    const int promptY = 600 - 70 - 22; // 15 x 1.5 truncated
    EXPECT_EQ(font.calls[0].text, "Console: ");
    EXPECT_EQ(font.calls[0].color, 0xFF000000u);
    EXPECT_EQ(font.calls[0].left, 16);
    EXPECT_EQ(font.calls[0].top, promptY + 1);
    EXPECT_EQ(font.calls[1].color, 0xFFFFFFFFu);
    EXPECT_EQ(font.calls[1].left, 15);
    EXPECT_EQ(font.calls[1].top, promptY);
    EXPECT_EQ(font.calls[2].text, "Wave1");
    EXPECT_EQ(font.calls[2].left, 31);
    EXPECT_EQ(font.calls[2].top, 531);
    EXPECT_EQ(font.calls[3].text, "Wave1");
    EXPECT_EQ(font.calls[3].left, 30);
    EXPECT_EQ(font.calls[3].top, 530);
    for (const FakeFont::Call& call : font.calls)
        EXPECT_TRUE(call.format & DT_NOCLIP);
}

} // namespace
