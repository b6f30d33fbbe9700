// The shipped harbour played with the mouse and keys: the hero aims, picks a
// target with Q and shoots it dead; the enemy falls and lies on the ground,
// and the hero runs up to look at the body (the last frame is saved as
// "dead_enemy.png" in the test's scratch folder). Space rolls him head over
// heels.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/shipped_game.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/IController.h"
#include "gui/Achievements.h"
#include "player/Player.h"
#include "scene/CharacterEntity.h"

namespace {

class DeadEnemyRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        m_Scratch = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        platform::SetDirectInputSource(&m_Input);
        m_Started = shippedgame::Start(kWidth, kHeight);
    }
    void TearDown() override
    {
        shippedgame::Stop();
        platform::SetDirectInputSource(nullptr);
        std::filesystem::current_path(m_Scratch);
    }

    // Frames as the game plays them, the input set before each; stops early
    // when done says so. Only the last frame's picture is kept: every tenth
    // frame is drawn, and the last.
    void Play(int frames, const std::function<void(int)>& input, const std::function<bool()>& done = nullptr)
    {
        for (int i = 0; i < frames; ++i) {
            input(i);
            GetGameCalls().UpdateFrame(1.0f / 30.0f);
            if (i % 10 == 0 || i == frames - 1)
                RenderFrame(1.0f / 30.0f);
            if (done && done())
                return;
        }
    }

    void Release()
    {
        m_Input = platform::FakeDirectInput();
    }

    static constexpr int kWidth = 640, kHeight = 480;
    platform::FakeDirectInput m_Input;
    std::filesystem::path m_Scratch;
    bool m_Started = false;
};

CEnemy* FirstDead()
{
    for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
        if (entry.second->getIA()->GetState() == CIAEnemyCover::DEAD)
            return entry.second;
    return nullptr;
}

float BoneHeight(CEnemy* enemy, const char* bone)
{
    return enemy->GetEntity()->GetBoneMatrix(std::string("EBip01 ") + bone)._42;
}

TEST_F(DeadEnemyRun, AnEnemyShotDeadFallsAndLiesOnTheGround)
{
    ASSERT_TRUE(m_Started) << "no device";
    shippedgame::EnterLevel("isla");
    SetFocus(MainWindow);

    // Right button: aim; Q: the next target; the left button clicked again and
    // again, from the island's first checkpoint. The wave fights back: the hero is kept alive, this run is about
    // how the enemy falls.
    Play(600, [&](int i) {
        getPlayer()->SetLife(350);
        m_Input.SetButton(1, i >= 2);
        // A second press of Q passes the lock on to the next enemy, who is
        // not yet firing at him (the one firing dodges the aim).
        m_Input.SetKey(DIK_Q, (i >= 6 && i < 8) || i >= 10);
        m_Input.SetButton(0, i >= 10 && i % 2 == 0);
    }, [] { return FirstDead() != nullptr; });
    CEnemy* dead = FirstDead();
    ASSERT_NE(dead, nullptr) << "the shots killed no one";
    EXPECT_EQ(dead->GetLife(), 0);
    CEnemy* alive = nullptr;
    for (const auto& entry : getEnemyManager()->GetCurrentWaveEnemies())
        if (entry.second != dead && entry.second->GetLife() > 0)
            alive = entry.second;
    ASSERT_NE(alive, nullptr);

    // The death plays out, then its lying cycle.
    Release();
    Play(60, [](int) {});
    const float standingHead = BoneHeight(alive, "Head");
    EXPECT_GT(standingHead, 55.0f) << "the living stand";
    EXPECT_LT(BoneHeight(dead, "Head"), 0.2f * standingHead) << "the dead lie";
    EXPECT_LT(BoneHeight(dead, "Pelvis"), 0.12f * standingHead);
    EXPECT_TRUE(dead->GetEntity()->GetCycleCount() >= 1);

    // Run up to the body and look at it.
    const D3DXVECTOR3 body = dead->GetPosition().GetPosition();
    Play(90, [&](int) { m_Input.SetKey(DIK_W, true); }, [&] {
        const D3DXVECTOR3 d = getPlayer()->GetPosition().GetPosition() - body;
        return std::sqrt(d.x * d.x + d.z * d.z) < 240.0f;
    });
    // A step aside, so that he does not stand between the camera and the body.
    Release();
    Play(9, [&](int) { m_Input.SetKey(DIK_A, true); });
    Release();
    Play(8, [](int) {});
    EXPECT_LT(BoneHeight(dead, "Head"), 0.2f * standingHead) << "and stay down";

    std::vector<D3DCOLOR> pixels;
    ASSERT_EQ(devicetest::ReadBackBuffer(D3DDevice, &pixels), D3D_OK);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kWidth) * kHeight);
    std::vector<unsigned char> rgba;
    for (D3DCOLOR c : pixels)
        rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                 static_cast<unsigned char>(c), 255});
    const std::string file = (m_Scratch / "dead_enemy.png").string();
    EXPECT_TRUE(stbi_write_png(file.c_str(), kWidth, kHeight, 4, rgba.data(), kWidth * 4)) << file;
}

TEST_F(DeadEnemyRun, SpaceRollsTheHeroHeadOverHeels)
{
    ASSERT_TRUE(m_Started) << "no device";
    shippedgame::EnterLevel("hangares");
    SetFocus(MainWindow);
    Play(3, [](int) {});
    CCharacterEntity* hero = getPlayer()->GetEntity();
    ASSERT_NE(hero, nullptr);
    const D3DXVECTOR3 start = getPlayer()->GetPosition().GetPosition();
    // The spine's angle in the hero's own forward plane, followed frame by frame.
    float previous = 0.0f, turned = 0.0f, most = 0.0f;
    bool first = true;
    Play(45, [&](int i) { m_Input.SetKey(DIK_SPACE, i == 0); }, [&] {
        const D3DXMATRIX spine = hero->GetBoneMatrix("Bip01 Spine1");
        const D3DXMATRIX head = hero->GetBoneMatrix("Bip01 Head");
        const float angle = std::atan2(head._43 - spine._43, head._42 - spine._42);
        if (!first) {
            float step = angle - previous;
            step -= 2 * D3DX_PI * std::round(step / (2 * D3DX_PI));
            turned += step;
            most = std::max(most, std::fabs(turned));
        }
        first = false;
        previous = angle;
        return false;
    });
    EXPECT_GE(most * 180.0f / D3DX_PI, 270.0f) << "a roll turns him over";
    const D3DXVECTOR3 moved = getPlayer()->GetPosition().GetPosition() - start;
    EXPECT_GT(std::sqrt(moved.x * moved.x + moved.z * moved.z), 50.0f) << "and carries him forward";
    EXPECT_GT(hero->GetBoneMatrix("Bip01 Head")._42, 60.0f) << "back on his feet";
}

} // namespace
