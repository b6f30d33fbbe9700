#include "loop_fixture.h"

#include "app/Loading.h"
#include "gui/Subtitles.h"

namespace looptest {
namespace {

class LoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetGameState();
        getSubtitulos().english = false;
    }
    void TearDown() override
    {
        getSubtitulos().english = false;
        ResetGameState();
    }

    static bool Read(CConfiguration& config, const std::string& text)
    {
        std::istringstream in(text);
        return config.Parse(in, "init_configuration.xml");
    }

    static std::vector<std::string> Images()
    {
        std::vector<std::string> shown;
        LoadGame([&](const std::string& file) { shown.push_back(file); });
        return shown;
    }
};

TEST_F(LoadingTest, APropertiesElementWithoutAttributesGivesTheDefaults)
{
    getSubtitulos().english = true;
    CConfiguration config;
    ASSERT_TRUE(Read(config, "<CONFIGURATION><PROPERTIES/></CONFIGURATION>"));
    EXPECT_EQ(config.width, 800);
    EXPECT_EQ(config.height, 600);
    EXPECT_TRUE(config.windowed);
    EXPECT_TRUE(config.move_cursor);
    EXPECT_EQ(config.debug_font_size, 20);
    EXPECT_EQ(config.fps_list_size, 60);
    EXPECT_EQ(config.debug_font, "");
    EXPECT_FALSE(getSubtitulos().english) << "Spanish unless the file says otherwise";
}

TEST_F(LoadingTest, TheLastPropertiesElementWinsWholly)
{
    CConfiguration config;
    ASSERT_TRUE(Read(config, "<C><PROPERTIES width='1024' height='768' english='yes' windowed='0'"
                             " debug_font='Arial'/>"
                             "<PROPERTIES height='700'/></C>"));
    EXPECT_EQ(config.height, 700);
    EXPECT_EQ(config.width, 800) << "an attribute the second element lacks takes its default again";
    EXPECT_TRUE(config.windowed);
    EXPECT_EQ(config.debug_font, "");
    EXPECT_FALSE(getSubtitulos().english);
}

TEST_F(LoadingTest, AFileWithoutPropertiesLeavesTheDefaults)
{
    CConfiguration config;
    ASSERT_TRUE(Read(config, "<CONFIGURATION><OTHER width='5' english='1'/></CONFIGURATION>"));
    EXPECT_EQ(config.width, 800);
    EXPECT_EQ(config.height, 600);
    EXPECT_TRUE(config.windowed);
    EXPECT_FALSE(getSubtitulos().english);
}

TEST_F(LoadingTest, TheLoadingImagesComeInTheirOrder)
{
    const std::vector<std::string> expected = {
        "GUI/LOADING/loading_mando_2.jpg",   "GUI/LOADING/loading_mando_3.jpg",
        "GUI/LOADING/loading_mando_4.jpg",   "GUI/LOADING/loading_mando_5.jpg",
        "GUI/LOADING/loading_teclado_1.jpg", "GUI/LOADING/loading_teclado_2.jpg",
        "GUI/LOADING/loading_teclado_3.jpg", "GUI/LOADING/loading_teclado_4.jpg",
        "GUI/LOADING/loading_teclado_5.jpg",
    };
    EXPECT_EQ(Images(), expected);
}

TEST_F(LoadingTest, EnglishTakesTheEnglishImages)
{
    CConfiguration config;
    ASSERT_TRUE(Read(config, "<C><PROPERTIES english='yes'/></C>"));
    ASSERT_TRUE(getSubtitulos().english);

    const std::vector<std::string> shown = Images();
    ASSERT_EQ(shown.size(), 9u);
    EXPECT_EQ(shown.front(), "GUI/LOADING/loading_mando_2_ing.jpg");
    EXPECT_EQ(shown.back(), "GUI/LOADING/loading_teclado_5_ing.jpg");
    for (const std::string& file : shown)
        EXPECT_NE(file.find("_ing.jpg"), std::string::npos) << file;
}

TEST_F(LoadingTest, LoadingLeavesANewRunInTheMainMenu)
{
    GameTimeScale = 0.3f;
    getGSF().setPlayingCreditos();
    Images();
    EXPECT_EQ(GameTimeScale, 1.0f);
    EXPECT_TRUE(getGSF().isReadyVinyetasIntro1());
    EXPECT_TRUE(getGUI().mainMenuActive);
}

} // namespace
} // namespace looptest
