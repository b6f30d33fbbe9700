#include "loop_fixture.h"

#include "app/Loading.h"
#include "gui/Subtitles.h"

namespace looptest {
namespace {

class LoadingTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGameState(); }
    void TearDown() override
    {
        getSubtitulos().english = false;
        ResetGameState();
    }

    static std::vector<std::string> Images()
    {
        std::vector<std::string> shown;
        LoadGame([&](const std::string& file) { shown.push_back(file); });
        return shown;
    }
};

// No PROPERTIES element leaves the defaults; every element sets every field,
// so the last one wins wholly and one without attributes puts the defaults back.
TEST_F(LoadingTest, TheLastPropertiesElementSetsEveryField)
{
    const struct {
        const char* xml;
        int width, height;
        bool windowed, moveCursor, english;
        const char* font;
        int fontSize, fpsListSize;
    } cases[] = {
        {"<C><OTHER width='5' english='1'/></C>", 800, 600, true, true, false, "", 20, 60},
        {"<C><PROPERTIES windowed='false' width='1024' height='768' debug_font='Arial' english='yes'"
         " debug_font_size='14' move_cursor='0' fps_list_size='5'/><OTHER width='1'/></C>",
         1024, 768, false, false, true, "Arial", 14, 5},
        {"<C><PROPERTIES width='1024' english='yes' windowed='0' debug_font='Arial'/><PROPERTIES height='700'/></C>",
         800, 700, true, true, false, "", 20, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        getSubtitulos().english = false;
        CConfiguration config;
        std::istringstream in(c.xml);
        ASSERT_TRUE(config.Parse(in, "init_configuration.xml"));
        EXPECT_EQ(config.width, c.width);
        EXPECT_EQ(config.height, c.height);
        EXPECT_EQ(config.windowed, c.windowed);
        EXPECT_EQ(config.move_cursor, c.moveCursor);
        EXPECT_EQ(getSubtitulos().english, c.english);
        EXPECT_EQ(config.debug_font, c.font);
        EXPECT_EQ(config.debug_font_size, c.fontSize);
        EXPECT_EQ(config.fps_list_size, c.fpsListSize);
    }
}

TEST_F(LoadingTest, TheLoadingImagesComeInTheirOrderAndLanguage)
{
    const std::vector<std::string> spanish = {
        "GUI/LOADING/loading_mando_2.jpg",   "GUI/LOADING/loading_mando_3.jpg",
        "GUI/LOADING/loading_mando_4.jpg",   "GUI/LOADING/loading_mando_5.jpg",
        "GUI/LOADING/loading_teclado_1.jpg", "GUI/LOADING/loading_teclado_2.jpg",
        "GUI/LOADING/loading_teclado_3.jpg", "GUI/LOADING/loading_teclado_4.jpg",
        "GUI/LOADING/loading_teclado_5.jpg",
    };
    EXPECT_EQ(Images(), spanish);

    getSubtitulos().english = true;
    std::vector<std::string> english;
    for (const std::string& file : spanish)
        english.push_back(file.substr(0, file.size() - 4) + "_ing.jpg");
    EXPECT_EQ(Images(), english);
}

} // namespace
} // namespace looptest
