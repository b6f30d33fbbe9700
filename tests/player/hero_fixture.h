// The shipped hero, built afresh for each test, with the camera, the
// counters and the screams back to how a game starts.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gui/Achievements.h"
#include "platform/bass.h"
#include "gui/GUIManager.h"
#include "player/Controllers.h"
#include "player/ProjectileManager.h"
#include "scene/RigidAnimManager.h"
#include "player/ControllerSelector.h"
#include "player/ParapetedController.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/ModelsManager.h"
#include "sound/SoundManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"
#include "xml/temp_folder.h"

namespace {

constexpr float kStep = 1.0f / 30.0f;
constexpr float kHalfPi = 1.5707964f;

// A parapet of a test room, by name and end points. Its front faces a quarter
// turn from its run from ini to fin, as the level data makes them.
struct TestParapet {
    std::string name;
    D3DXVECTOR3 ini, fin;
};

// Makes the current room ("hangares") hold these parapets, in this order,
// on one object; an empty list leaves a room without any.
inline void LoadCoverRoom(const std::vector<TestParapet>& parapets)
{
    static TempFolder folder;
    std::string list;
    for (const TestParapet& p : parapets) {
        const D3DXVECTOR3 run = p.fin - p.ini;
        const float facing = std::atan2(run.x, run.z) + kHalfPi;
        const D3DXVECTOR3 centre = (p.ini + p.fin) * 0.5f;
        char transform[256];
        std::snprintf(transform, sizeof(transform), "%g 0 %g 0 1 0 %g 0 %g %g %g %g", std::cos(facing),
                      -std::sin(facing), std::sin(facing), std::cos(facing), centre.x, centre.y, centre.z);
        char ends[128];
        std::snprintf(ends, sizeof(ends), "pt_ini=\"%g %g %g\" pt_fin=\"%g %g %g\"", p.ini.x, p.ini.y, p.ini.z, p.fin.x,
                      p.fin.y, p.fin.z);
        list += "<parapet name=\"" + p.name + "\" transform=\"" + transform + "\" " + ends + "/>";
    }
    const std::string object = parapets.empty() ? "" :
        "<object name=\"cover_test\" radio=\"10\"><parapets count=\"" + std::to_string(parapets.size()) + "\">" +
            list + "</parapets></object>";
    getScenario()->Load(
        folder.Write("instances.xml", "<rooms count=\"2\"><room name=\"hangares\"><objects>" + object +
                                          "</objects></room></rooms>")
            .c_str());
}

class Hero : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::filesystem::current_path(VANTOREL_WORKDIR);
        getModelsManager().LoadCoreModels("data/XML/CoreModels.xml");
        // The shipped sounds on the recorder: what the hero makes heard is
        // read back by file name.
        platform::audio::UseRecorder([] { return std::uint64_t{0}; });
        getSoundManager().Init(nullptr);
    }
    static void TearDownTestSuite()
    {
        LoadCoverRoom({});
        BASS_Free();
        platform::audio::UseRecorder(nullptr);
    }

    void SetUp() override
    {
        hero = getPlayer();
        hero->Init();
        ASSERT_NE(hero->GetEntity(), nullptr);
        selector = hero->GetControllerSelector();
        hero->SetLifeAndTopLife(350, 350);
        getCamera().SetFreeCamera(false);
        getTriggerManager().checkpoint = 1;
        getAchievementStats().ResetForNewGame();
        // Screams are let through one at a time: each case may scream once.
        getSoundManager().screamsAllowed = true;
        getSoundManager().muted = false;
        platform::audio::ClearStarted();
        CCameraController& keys = getCameraController();
        keys.forwardHeld = keys.backHeld = keys.leftHeld = keys.rightHeld = false;
        CGUIManager& gui = getGUI();
        gui.pauseActive = gui.mainMenuActive = gui.optionsActive = false;
        gui.parapetHint = false;
        getRigid()->scriptedSequenceRunning = false;
        getProjectileManager().Reset();
        hero->GetPosition().SetPosition(D3DXVECTOR3(0, 0, 0));
        // One low parapet along x at z 50, its front toward +z, unless a test lays
        // out its own.
        LoadCoverRoom({{"p_b_n_A_B_001", {100, 0, 50}, {-100, 0, 50}}});
    }

    // Frames of the hero's own update at 30 a second.
    void Run(int frames)
    {
        for (int i = 0; i < frames; ++i)
            hero->Update(1.0f / 30.0f);
    }

    CPlayer* hero = nullptr;
    CControllerSelector* selector = nullptr;
};


} // namespace
