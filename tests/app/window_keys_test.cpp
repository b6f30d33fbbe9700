#include "loop_fixture.h"

#include "render/Bloom.h"

namespace looptest {
namespace {

class WindowKeysTest : public GameWindowTest {};

TEST_F(WindowKeysTest, UpperCaseNAndMScaleGameTimeAndCompound)
{
    Type("nm");
    EXPECT_EQ(GameTimeScale, 1.0f) << "lower case does nothing";

    Type("N");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.85f);
    Type("N");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.7225f);

    GameTimeScale = 1.0f;
    Type("MMM");
    EXPECT_FLOAT_EQ(GameTimeScale, 1.520875f);

    // Only typed characters count: the key itself does nothing.
    GameTimeScale = 1.0f;
    Send(WM_KEYDOWN, 'N');
    Send(WM_KEYDOWN, 'M');
    EXPECT_EQ(GameTimeScale, 1.0f);
}

TEST_F(WindowKeysTest, TheConsoleKeyOpensAndClosesTheConsole)
{
    ASSERT_FALSE(getConsole()->IsVisible());
    Send(WM_CHAR, 0xBA);
    EXPECT_TRUE(getConsole()->IsVisible());

    // While it is open every character goes to its line, the developer keys included.
    Type("NM.:x");
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x");
    EXPECT_EQ(GameTimeScale, 1.0f);

    Send(WM_CHAR, 0xBA);
    EXPECT_FALSE(getConsole()->IsVisible()) << "the console key is never typed into the line";
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x");

    // Closed, the same characters act again.
    Type("N");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.85f);
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x");
}

TEST_F(WindowKeysTest, ArrowKeysWalkTheHistoryOnlyWhileTheConsoleIsOpen)
{
    Send(WM_CHAR, 0xBA);
    Type("Wave1");
    Send(WM_CHAR, 13);
    EXPECT_EQ(getConsole()->GetInputLine(), "");
    Send(WM_CHAR, 0xBA);

    Send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(getConsole()->GetInputLine(), "") << "closed: the arrows belong to the game";

    Send(WM_CHAR, 0xBA);
    Send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(getConsole()->GetInputLine(), "Wave1");
    Send(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(getConsole()->GetInputLine(), "");
    Send(WM_CHAR, 0xBA);
}

TEST_F(WindowKeysTest, DotReloadsTheEffectAndAnnouncesOnlyAGoodOne)
{
    ASSERT_EQ(InitD3D(window), S_OK);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(VANTOREL_WORKDIR);
    ::testing::internal::CaptureStderr();
    Type(".");
    const std::string shipped = ::testing::internal::GetCapturedStderr();
    std::filesystem::current_path(previous);
    EXPECT_NE(shipped.find("effect loaded: data/fx/effects4.fx\n"), std::string::npos) << shipped;

    WorkFolder empty("effect_key");
    ::testing::internal::CaptureStderr();
    Type(".");
    const std::string missing = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(missing.find("effect loaded"), std::string::npos) << missing;
}

TEST_F(WindowKeysTest, ColonReloadsTheBloomSettings)
{
    WorkFolder folder("bloom_key");
    Type(":");
    EXPECT_NE(BloomEffect.GetErrorText().find("data/fx/bloom.xml"), std::string::npos)
        << "the reload must have tried the file (missing here): " << BloomEffect.GetErrorText();

    WorkFolder::Write("data/fx/bloom.xml", "<bloom cutoff='200'><stage xres='16' yres='16'/></bloom>");
    Type(":");
    EXPECT_EQ(BloomEffect.GetErrorText(), "");
}

TEST_F(WindowKeysTest, EitherMouseButtonCapturesTheMouseUntilReleased)
{
    Send(WM_RBUTTONDOWN, MK_RBUTTON);
    EXPECT_EQ(GetCapture(), window);
    Send(WM_RBUTTONUP, 0);
    EXPECT_EQ(GetCapture(), nullptr);

    Send(WM_LBUTTONDOWN, MK_LBUTTON);
    EXPECT_EQ(GetCapture(), window);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON);
    Send(WM_MOUSEMOVE, MK_LBUTTON);
    EXPECT_EQ(GetCapture(), window) << "double clicks and movement leave the capture alone";
    Send(WM_LBUTTONUP, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowKeysTest, DestroyingTheWindowReleasesTheDeviceAndPostsQuit)
{
    ASSERT_EQ(InitD3D(window), S_OK);
    ASSERT_NE(D3DDevice, nullptr);
    EXPECT_FALSE(IsWindowClosed());

    DestroyWindow(window);
    EXPECT_TRUE(IsWindowClosed());
    EXPECT_EQ(D3DDevice, nullptr);
    EXPECT_EQ(Direct3D, nullptr);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
}

} // namespace
} // namespace looptest
