#include "loop_fixture.h"

#include "render/Bloom.h"

namespace looptest {
namespace {

class WindowKeysTest : public GameWindowTest {};

// Typed upper-case 'N' and 'M' scale game time and compound without limit;
// lower case and the keys themselves do nothing.
TEST_F(WindowKeysTest, UpperCaseNAndMScaleGameTimeAndCompound)
{
    Type("nm");
    Send(WM_KEYDOWN, 'N');
    Send(WM_KEYDOWN, 'M');
    EXPECT_EQ(GameTimeScale, 1.0f);

    Type("NN");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.7225f);
    GameTimeScale = 1.0f;
    Type("MMM");
    EXPECT_FLOAT_EQ(GameTimeScale, 1.520875f);
}

TEST_F(WindowKeysTest, TheConsoleKeyOpensAndClosesTheConsole)
{
    Send(WM_CHAR, 0xBA);
    EXPECT_TRUE(getConsole()->IsVisible());

    // While it is open every character goes to its line, the developer keys included.
    Type("NM.:x");
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x");
    EXPECT_EQ(GameTimeScale, 1.0f);

    Send(WM_CHAR, 0xBA);
    EXPECT_FALSE(getConsole()->IsVisible());
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x") << "the console key is never typed into the line";

    Type("N");
    EXPECT_FLOAT_EQ(GameTimeScale, 0.85f) << "closed, the same characters act again";
    EXPECT_EQ(getConsole()->GetInputLine(), "NM.:x");
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

    ScratchFolder empty("effect_key");
    ::testing::internal::CaptureStderr();
    Type(".");
    const std::string missing = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(missing.find("effect loaded"), std::string::npos) << missing;
}

TEST_F(WindowKeysTest, ColonReloadsTheBloomSettings)
{
    ScratchFolder folder("bloom_key");
    Type(":");
    EXPECT_NE(BloomEffect.GetErrorText().find("data/fx/bloom.xml"), std::string::npos)
        << "the reload must have tried the file (missing here): " << BloomEffect.GetErrorText();

    WriteFile("data/fx/bloom.xml", "<bloom cutoff='200'><stage xres='16' yres='16'/></bloom>");
    Type(":");
    EXPECT_EQ(BloomEffect.GetErrorText(), "");
}

} // namespace
} // namespace looptest
