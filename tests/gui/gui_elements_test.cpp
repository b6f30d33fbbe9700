// The screen-element file as the manager reads it, the names the screens
// ask for, and where the manager leaves the program after Init.
#include <gtest/gtest.h>

#include "render/TextureManager.h"

#include <algorithm>
#include <fstream>

#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "platform/bounded.h"
#include "render/DeviceFixture.h"

namespace {

class GuiElements : public ::testing::Test {
protected:
    void Write(const std::string& xml)
    {
        std::filesystem::create_directories("data/XML");
        std::ofstream("data/XML/GUI.xml") << xml;
    }
    drawtest::ScratchFolder folder{"elements"};
    CGUIManager gui;
};

TEST_F(GuiElements, ElementsAreReadWithTheirDefaultsAndTheLastOfANameWins)
{
    Write(R"(<GUI>
      <ELEMENT name="A" texture="GUI/a.png" texture_empty="GUI/e.png" type="t" pos_x="0.25" pos_y="0.75"
               text_width="512" text_height="128" alto="0.2" bullets="3" distance="1.5" offset="0.5"/>
      <ELEMENT texture="GUI/nameless.png"/>
      <ELEMENT name="B" text_width="300" text_height="0"/>
      <ELEMENT name="B" texture="GUI/second.png"/>
      <OTHER name="C" texture="GUI/c.png"/>
      <element name="D"/>
    </GUI>)");
    gui.Init(800, 600);
    const GUIElement a = gui.Elements().at("A");
    EXPECT_EQ(a.texture, "GUI/a.png");
    EXPECT_EQ(a.textureEmpty, "GUI/e.png");
    EXPECT_EQ(a.type, "t");
    EXPECT_FLOAT_EQ(a.posX, 0.25f);
    EXPECT_FLOAT_EQ(a.posY, 0.75f);
    EXPECT_FLOAT_EQ(a.aspect, 4.0f);
    EXPECT_FLOAT_EQ(a.alto, 0.2f);
    EXPECT_EQ(a.bullets, 3);
    EXPECT_FLOAT_EQ(a.distance, 1.5f);
    EXPECT_FLOAT_EQ(a.offset, 0.5f);

    EXPECT_EQ(gui.Elements().at("").texture, "GUI/nameless.png") << "no name: the empty name";
    const GUIElement b = gui.Elements().at("B");
    EXPECT_EQ(b.texture, "GUI/second.png") << "the second B replaced the first";
    EXPECT_FLOAT_EQ(b.aspect, 1.0f);
    EXPECT_EQ(gui.Elements().count("C") + gui.Elements().count("D"), 0u) << "only ELEMENT, exactly";

    EXPECT_EQ(gui.Elements().size(), 3u);
    const GUIElement unknown = gui.GetElement("NOPE");
    EXPECT_EQ(gui.Elements().size(), 4u) << "an unknown name is kept from then on";
    EXPECT_EQ(unknown.texture, "");
    EXPECT_FLOAT_EQ(unknown.alto, 1.0f);
    EXPECT_FLOAT_EQ(unknown.offset, 1.0f);
    EXPECT_FLOAT_EQ(unknown.aspect, 1.0f);

    Write(R"(<GUI><ELEMENT name="Z" text_width="300" text_height="0"/></GUI>)");
    gui.optionsActive = true;
    gui.musicVolume = 35;
    gui.reload();
    EXPECT_EQ(gui.Elements().count("A"), 0u) << "reload starts from an empty table";
    EXPECT_FLOAT_EQ(gui.Elements().at("Z").aspect, 300.0f) << "a height of 0 reads as 1";
    EXPECT_TRUE(gui.optionsActive);
    EXPECT_EQ(gui.musicVolume, 35) << "reload touches only the elements";
}

TEST_F(GuiElements, ABrokenFileIsRefusedWithOneLineAndNothingOfItIsUsed)
{
    const char* broken[] = {
        R"(<GUI><ELEMENT name="A"/><ELEMENT name="B" pos_x="nan"/></GUI>)",
        R"(<GUI><ELEMENT name="A"/><ELEMENT name="B" alto="1e999"/></GUI>)",
        R"(<GUI><ELEMENT name="A" text_width="1e38" text_height="1e-38"/></GUI>)",
        R"(<GUI><ELEMENT name="A"/>)",
    };
    for (const char* xml : broken) {
        SCOPED_TRACE(xml);
        Write(xml);
        ::testing::internal::CaptureStderr();
        gui.Init(800, 600);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("data/XML/GUI.xml"), std::string::npos) << said;
        EXPECT_EQ(said.find("GUI.xml", said.find("GUI.xml") + 1), std::string::npos) << "named once: " << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_TRUE(gui.Elements().empty());
        EXPECT_TRUE(gui.mainMenuActive) << "the game goes on";
    }
    std::filesystem::remove("data/XML/GUI.xml");
    ::testing::internal::CaptureStderr();
    gui.Init(800, 600);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "data/XML/GUI.xml refused: it is missing\n")
        << "a missing file is named as itself, not as the textures' folder";
}

// A name the file lacks and pictures that are not there are each said once;
// a file that was not read at all has said all there is.
TEST_F(GuiElements, ANameTheFileLacksAndMissingPicturesAreSaidOnce)
{
    bounded::ForgetSaidLines();
    std::filesystem::create_directories("data/textures/GUI");
    std::ofstream("data/textures/GUI/here.png") << "x";
    Write(R"(<GUI><ELEMENT name="A" texture="GUI/here.png"/><ELEMENT name="B" texture="GUI/gone.png"/>
                  <ELEMENT name="C" texture="GUI/gone.png"/><ELEMENT name="D" texture="GUI/lost.png"/></GUI>)");
    ::testing::internal::CaptureStderr();
    gui.Init(800, 600);
    gui.GetElement("A");
    gui.GetElement("HUD");
    gui.GetElement("HUD");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "data/XML/GUI.xml: 2 of its 3 pictures are missing (GUI/gone.png, GUI/lost.png): what shows them is not "
              "drawn\ndata/XML/GUI.xml: no element \"HUD\": it is not drawn\n");
    std::filesystem::remove("data/XML/GUI.xml");
    ::testing::internal::CaptureStderr();
    gui.Init(800, 600);
    gui.GetElement("MENU");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "data/XML/GUI.xml refused: it is missing\n");
    bounded::ForgetSaidLines();
}

TEST_F(GuiElements, InitLeavesTheMainMenuUpWithEverySettingAtItsDefault)
{
    for (const bool english : {false, true}) {
        SCOPED_TRACE(english);
        getSubtitulos().english = english;
        getSubtitulos().subtitlesEnabled = !english;
        gui.exitRequested = gui.pauseActive = gui.itemExit = gui.flashA = true;
        gui.musicVolume = 5;
        gui.fading = true;
        gui.Init(1024, 512);
        EXPECT_FLOAT_EQ(gui.heightOverWidth, 0.5f);
        EXPECT_TRUE(gui.mainMenuActive);
        EXPECT_FALSE(gui.exitRequested || gui.pauseActive || gui.itemExit || gui.flashA || gui.fading);
        EXPECT_TRUE(gui.itemNewGame && gui.itemReturn);
        EXPECT_EQ(gui.musicVolume, 100);
        EXPECT_EQ(gui.effectsVolume, 100);
        EXPECT_TRUE(gui.bloomOn && gui.depthOfFieldOn);
        EXPECT_FALSE(gui.motionBlurOn);
        EXPECT_EQ(gui.english, english);
        EXPECT_EQ(gui.subtitlesOn, english) << "subtitles on in English only";
        EXPECT_EQ(getSubtitulos().subtitlesEnabled, english);
        EXPECT_FLOAT_EQ(gui.fadeAlpha, 1.0f) << "the game view starts black";
        EXPECT_TRUE(gui.background[0]);
        EXPECT_FLOAT_EQ(gui.missionBannerOffset[11], 0.4f);
        EXPECT_FLOAT_EQ(gui.achievementBannerOffset[10], 0.1f);
    }
    getSubtitulos().english = false;
}

TEST_F(GuiElements, LanguageAndDeviceVariantsOfANamePutTheDeviceFirst)
{
    const struct {
        bool english, pad, localized;
        const char* stem;
        const char* name;
    } cases[] = {
        {false, false, true, "SKIP_VINYETAS", "SKIP_VINYETAS_TECLADO"},
        {false, true, true, "SKIP_VINYETAS", "SKIP_VINYETAS_MANDO"},
        {true, true, true, "SKIP_VINYETAS", "SKIP_VINYETAS_MANDO_INGLES"},
        {true, false, true, "SKIP_VINYETAS", "SKIP_VINYETAS_TECLADO_INGLES"},
        {true, true, false, "PARAPETO", "PARAPETO_MANDO"},
    };
    for (const auto& c : cases) {
        gui.english = c.english;
        EXPECT_EQ(gui.ForDevice(c.stem, c.pad, c.localized), c.name);
    }
    gui.english = true;
    EXPECT_EQ(gui.Localized("FONDO_PAUSE"), "FONDO_PAUSE_INGLES");
    gui.english = false;
    EXPECT_EQ(gui.Localized("FONDO_PAUSE"), "FONDO_PAUSE");
}

} // namespace
