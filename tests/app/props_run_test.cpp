// The shipped harbour played with the mouse and keys among its props: the
// hero aims with the right button, steers the aim with the mouse onto a can,
// a bottle, a chair and a barrel and fires with the left. Cans and bottles
// fly and clink, the chair tips, the barrel blows up, scorches the ground and
// throws what stands round it. Walking up to the radio with W, its music
// grows, and its marker glows above it.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/FrameRender.h"
#include "app/shipped_game.h"
#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "platform/bass.h"
#include "platform/dinput.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/RigidEntity.h"
#include "scene/Camera.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"

namespace {

constexpr float kFrame = 1.0f / 30.0f;

class PropsRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        m_Scratch = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        platform::SetDirectInputSource(&m_Input);
        // The sounds go to the recorder, their slides on the frames' clock.
        BASS_Free();
        platform::audio::UseRecorder([this] { return m_Ms; });
        m_Started = shippedgame::Start(320, 240);
        if (!m_Started)
            return;
        shippedgame::EnterLevel("hangares");
        SetFocus(MainWindow);
        getSoundManager().muted = false;
        // The soldiers stand still: this is about the props.
        getEnemyManager()->freezeIA();
        getPlayer()->SetCurrentWeapon(getPlayer()->GetGun());
    }
    void TearDown() override
    {
        getEnemyManager()->resumeIA();
        shippedgame::Stop();
        BASS_Free();
        platform::audio::UseRecorder(nullptr);
        platform::SetDirectInputSource(nullptr);
        std::filesystem::current_path(m_Scratch);
    }

    void Play(int frames, const std::function<void(int)>& input = nullptr)
    {
        for (int i = 0; i < frames; ++i) {
            if (input)
                input(i);
            getPlayer()->SetLife(350);
            m_Ms += 33;
            GetGameCalls().UpdateFrame(kFrame);
            RenderFrame(kFrame);
        }
    }

    // The hero put down `back` units short of the point, facing it.
    static void StandFacing(const D3DXVECTOR3& point, float back, float yaw)
    {
        const D3DXVECTOR3 at(point.x - std::sin(yaw) * back, 9.231f, point.z - std::cos(yaw) * back);
        getPlayer()->GetPosition().SetPosition(at);
        getCollisionManager().setNewPlayerPosition(at);
        getPlayer()->GetPosition().SetYaw(yaw);
        getCamera().SetYaw(yaw);
    }

    // Where the pistol's shot goes: along the camera's line, from its look-at point.
    static D3DXVECTOR3 Miss(const D3DXVECTOR3& target, float* across, float* above)
    {
        const CCamera& camera = getCamera();
        const D3DXVECTOR3 from = camera.GetLookAt();
        const D3DXVECTOR3 way = NormalizeVector(from - camera.GetPosition());
        const D3DXVECTOR3 to = target - from;
        const D3DXVECTOR3 nearest = from + way * D3DXVec3Dot(&to, &way);
        const D3DXVECTOR3 off = target - nearest;
        *across = off.x * way.z - off.z * way.x; // to the right of the line
        *above = off.y;
        return off;
    }

    // Aims at the prop with the right button held, the mouse steering the aim
    // a step a frame until it lies on the prop's middle, then fires once.
    bool AimAndFire(const std::string& prop, float tolerance)
    {
        bool fired = false;
        int onTarget = 0, sideSign = 1;
        float lastAcross = 1e9f;
        Play(150, [&](int frame) {
            m_Input.SetButton(1, true);
            m_Input.SetButton(0, false);
            if (fired || frame < 20)
                return;
            float across = 0.0f, above = 0.0f;
            Miss(PropAt(prop), &across, &above);
            if (std::fabs(across) < tolerance && std::fabs(above) < tolerance) {
                if (++onTarget >= 3) {
                    m_Input.SetButton(0, true);
                    fired = true;
                }
                return;
            }
            onTarget = 0;
            // A step the wrong way turns the steering round.
            if (std::fabs(across) > std::fabs(lastAcross) + 0.01f)
                sideSign = -sideSign;
            lastAcross = across;
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            // Big steps while far off, single ones near.
            const int xStep = std::fabs(across) > 10.0f ? 4 : 1, yStep = std::fabs(above) > 10.0f ? 4 : 1;
            if (std::fabs(across) >= tolerance)
                motion.motion.xrel = (across > 0 ? xStep : -xStep) * sideSign;
            if (std::fabs(above) >= tolerance)
                motion.motion.yrel = above > 0 ? -yStep : yStep;
            SDL_PushEvent(&motion);
        });
        m_Input.SetButton(1, false);
        m_Input.SetButton(0, false);
        Play(2);
        return fired;
    }

    static D3DXVECTOR3 PropAt(const std::string& name)
    {
        auto& props = getCollisionManager().GetCurrentProps();
        const auto found = props.find(name);
        if (found == props.end() || !found->second.entity)
            return D3DXVECTOR3(NAN, NAN, NAN);
        // The pose is in the world matrix; the stored position stays put.
        const D3DXMATRIX& m = found->second.entity->GetTransform().GetMatrix();
        return D3DXVECTOR3(m._41, m._42, m._43);
    }
    // How far the prop's up leans from the vertical, in degrees.
    static float Lean(const std::string& name)
    {
        const D3DXMATRIX& m = getCollisionManager().GetCurrentProps().at(name).entity->GetTransform().GetMatrix();
        return std::acos(std::clamp(m._22, -1.0f, 1.0f)) * 57.29578f;
    }
    static bool Started(const std::string& file)
    {
        const auto& started = platform::audio::StartedFiles();
        return std::any_of(started.begin(), started.end(),
                           [&](const std::string& f) { return f.find(file) != std::string::npos; });
    }

    platform::FakeDirectInput m_Input;
    std::filesystem::path m_Scratch;
    std::uint64_t m_Ms = 0;
    bool m_Started = false;
};

TEST_F(PropsRun, ShotCansAndBottlesFlyAndClinkAndAShotChairTips)
{
    ASSERT_TRUE(m_Started) << "no device";
    Play(10);
    struct Shot {
        const char* prop;
        float yaw, tolerance;
        const char* sound; // what the hero hears it make, if anything
    } shots[] = {
        {"obj_lata_02", 0.0f, 2.0f, "lata1.wav"},
        {"obj_pibrelo_01", -1.5708f, 1.5f, "botella"},
        {"obj_silla_01", 0.0f, 4.0f, nullptr},
    };
    for (const Shot& shot : shots) {
        const D3DXVECTOR3 before = PropAt(shot.prop);
        ASSERT_FALSE(std::isnan(before.x)) << shot.prop;
        StandFacing(before, 160.0f, shot.yaw);
        Play(5);
        platform::audio::ClearStarted();
        ASSERT_TRUE(AimAndFire(shot.prop, shot.tolerance)) << shot.prop << ": the aim came onto it";
        Play(20);
        const D3DXVECTOR3 after = PropAt(shot.prop);
        EXPECT_GT(DistanceXZ(after, before), 10.0f) << shot.prop << " flew off";
        if (shot.sound)
            EXPECT_TRUE(Started(shot.sound)) << shot.prop << " " << shot.sound;
        else
            EXPECT_GT(Lean(shot.prop), 45.0f) << "the chair lies tipped over";
    }
}

TEST_F(PropsRun, AShotBarrelBlowsUpScorchesTheGroundAndThrowsWhatStandsRoundIt)
{
    ASSERT_TRUE(m_Started) << "no device";
    Play(10);
    const D3DXVECTOR3 barrel = PropAt("obj_barril_02");
    ASSERT_FALSE(std::isnan(barrel.x));
    // Round it: the cans on the crate by it and a chair.
    const char* near[] = {"obj_lata_01", "obj_lata2_01", "obj_silla_02"};
    std::vector<D3DXVECTOR3> before;
    for (const char* name : near)
        before.push_back(PropAt(name));
    CParticleSystem* scorches = getParticleManager().GetParticleSystem("suelo_quemado");
    ASSERT_NE(scorches, nullptr);
    const int marks = scorches->CountLive();

    // From beyond the blast's reach, so that only the props feel it.
    StandFacing(barrel, 430.0f, 0.0f);
    Play(5);
    platform::audio::ClearStarted();
    ASSERT_TRUE(AimAndFire("obj_barril_02", 8.0f));
    Play(30);

    EXPECT_EQ(getCollisionManager().GetCurrentProps().count("obj_barril_02"), 0u) << "gone, neither drawn nor hit";
    EXPECT_TRUE(Started("explode")) << "the blast is heard";
    EXPECT_EQ(scorches->CountLive(), marks + 1) << "a scorch on the ground";
    bool scorchHere = false;
    for (const Particle& p : scorches->GetParticles())
        scorchHere = scorchHere || (!p.dead && DistanceXZ(D3DXVECTOR3(p.x, p.y, p.z), barrel) < 1.0f &&
                                    std::fabs(p.y - (barrel.y - 27.0f)) < 1.0f);
    EXPECT_TRUE(scorchHere) << "where the barrel stood, on the ground under it";
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_GT(VectorLength(PropAt(near[i]) - before[i]), 10.0f) << near[i] << " was thrown";
    EXPECT_EQ(getPlayer()->GetLife(), 350) << "out of its reach, the hero is not hurt";
}

TEST_F(PropsRun, TheRadiosMusicGrowsAsTheHeroWalksUpToItAndItsMarkerGlowsAboveIt)
{
    ASSERT_TRUE(m_Started) << "no device";
    Play(10);
    const D3DXVECTOR3 radio = PropAt("obj_radio_01");
    ASSERT_FALSE(std::isnan(radio.x));
    // Far off, facing it, until the music there has settled; then W walks
    // him up to it, and he stands by it.
    StandFacing(radio, 520.0f, 1.5708f);
    Play(150);
    const HCHANNEL channel = getSoundManager().radioHangar;
    auto volume = [&] { return platform::audio::QueryChannel(channel).volume; };
    const float far = volume();
    std::vector<std::pair<float, float>> heard; // (distance, volume) on the way
    Play(300, [&](int) {
        const float d = ManhattanDistanceXZ(getPlayer()->GetPosition().GetPosition(), radio);
        m_Input.SetKey(DIK_W, d > 45.0f);
        heard.push_back({d, volume()});
    });
    m_Input.SetKey(DIK_W, false);
    const float d = ManhattanDistanceXZ(getPlayer()->GetPosition().GetPosition(), radio);
    ASSERT_LT(d, 50.0f) << "he walked up to it";
    EXPECT_LT(far, 0.05f) << "not heard from afar";
    EXPECT_GT(volume(), 0.8f) << "loud by it";
    // Once he is well within its reach it only grows (a sample reads the mix
    // of the frame before).
    bool within = false;
    for (size_t i = 1; i < heard.size(); ++i) {
        within = within || heard[i - 1].first < 380.0f;
        if (within)
            EXPECT_GE(heard[i].second, heard[i - 1].second - 1e-4f) << "at " << heard[i].first;
    }
    EXPECT_TRUE(within);

    // Its marker burns 20 above it.
    const PropRecord& record = getCollisionManager().GetCurrentProps().at("obj_radio_01");
    ASSERT_TRUE(record.emitter);
    EXPECT_NEAR(record.emitter->GetPosition().x, radio.x, 0.01f);
    EXPECT_NEAR(record.emitter->GetPosition().y, radio.y + 20.0f, 0.01f);
    EXPECT_NEAR(record.emitter->GetPosition().z, radio.z, 0.01f);
    EXPECT_GT(record.emitter->CountLive(), 0) << "it glows";
}

} // namespace
