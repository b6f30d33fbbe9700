// What a player's terminal shows while the shipped game starts: only faults,
// never the developers' traces.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/Startup.h"
#include "app/shipped_game.h"
#include "shipped_folder.h"

TEST(QuietStart, TheModelsTracesGoToTheDebugLogNotToTheTerminal)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    shippedgame::LinkedFolder folder;
    testing::internal::CaptureStderr();
    const bool started = shippedgame::Start(800, 600);
    shippedgame::Stop();
    CConfiguration configuration;
    configuration.LoadXMLSaying("data/XML/init_configuration.xml");
    const std::string terminal = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(started);
    EXPECT_EQ(terminal.find("Bones"), std::string::npos) << terminal;
    // The shipped data holds no entry the game would have to say anything of.
    for (const char* file : {"init_configuration.xml", "typeOfEnemyList.xml", "enemyList.xml",
                             "lista_animaciones_rigidas.xml", "RigidAnim/"})
        EXPECT_EQ(terminal.find(file), std::string::npos) << terminal;

    std::ifstream log("data/debug_log.txt");
    std::stringstream traces;
    traces << log.rdbuf();
    int lines = 0;
    for (std::string line; std::getline(traces, line);)
        lines += line.rfind("Bones ", 0) == 0 && line.find(" times") != std::string::npos;
    EXPECT_GE(lines, 1) << "a developer still finds the bone counts";
}
