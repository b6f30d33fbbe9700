// The shipped hero, built afresh for each test, with the camera, the
// counters and the screams back to how a game starts.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "gui/Achievements.h"
#include "platform/bass.h"
#include "gui/GUIManager.h"
#include "player/Controllers.h"
#include "player/ProjectileManager.h"
#include "scene/RigidAnimManager.h"
#include "player/ControllerSelector.h"
#include "player/Player.h"
#include "scene/Camera.h"
#include "scene/ModelsManager.h"
#include "sound/SoundManager.h"
#include "world/TriggerManager.h"

namespace {

constexpr float kStep = 1.0f / 30.0f;
constexpr float kHalfPi = 1.5707964f;

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
