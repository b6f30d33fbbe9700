// The sound manager over the recording audio back end and a fake clock, with
// the shipped sounds: what starts, at which volume, and when.
#include "sound/SoundManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/GameStateFlags.h"
#include "gui/GUIManager.h"
#include "gui/Subtitles.h"
#include "scene/RigidAnimManager.h"

using platform::audio::ChannelState;
using platform::audio::QueryChannel;

namespace {

class SoundManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Previous = std::filesystem::current_path();
        std::filesystem::current_path(VANTOREL_WORKDIR);
        platform::audio::UseRecorder([this] { return m_Now; });
        sound.surroundings.currentRoom = [this] { return room; };
        sound.surroundings.enemyNearHero = [this] { return enemyNear; };
        sound.surroundings.moreThanOneEnemyAlive = [] { return true; };
        sound.surroundings.distanceToFirstLiveEnemy = [] { return 0.0f; };
        sound.surroundings.heroLife = [this] { return life; };
        sound.surroundings.heroPosition = [this] { return hero; };
        sound.Init(nullptr);
        platform::audio::ClearStarted();
    }
    void TearDown() override
    {
        getGUI().pauseActive = getGUI().mainMenuActive = getGUI().optionsActive = false;
        getRigid()->camSequenceRunning = getRigid()->scriptedSequenceRunning = false;
        getRigid()->creditsRadioTimer = 0.0f;
        getGSF().resetStates();
        platform::audio::UseRecorder(nullptr);
        std::filesystem::current_path(m_Previous);
    }

    float Volume(const char* key) { return QueryChannel(sound.ChannelOf(key)).volume; }
    ChannelState State(const char* key) { return QueryChannel(sound.ChannelOf(key)).state; }
    // The files started since the last call, by name only.
    std::vector<std::string> Started()
    {
        std::vector<std::string> names;
        for (const std::string& f : platform::audio::StartedFiles())
            names.push_back(f.substr(f.rfind('/') + 1));
        platform::audio::ClearStarted();
        return names;
    }
    int StartsOf(const std::string& file, const std::vector<std::string>& started)
    {
        return static_cast<int>(std::count(started.begin(), started.end(), file));
    }
    // Frames of dt seconds; the clock follows so that slides run too.
    void Run(int frames, float dt)
    {
        for (int i = 0; i < frames; ++i) {
            sound.Update(dt);
            m_Now += static_cast<std::uint64_t>(dt * 1000.0f);
        }
    }

    std::uint64_t m_Now = 5000;
    std::filesystem::path m_Previous;
    std::string room = "room01";
    bool enemyNear = false;
    short life = 350;
    D3DXVECTOR3 hero = D3DXVECTOR3(10000.0f, 0.0f, 10000.0f);
    CSoundManager sound;
};

TEST_F(SoundManagerTest, InitLoadsTheWholeTableAndLeavesOnlyTheMenuThemeSounding)
{
    EXPECT_EQ(sound.channelsByName.size(), 81u);
    for (const auto& entry : sound.channelsByName)
        EXPECT_NE(*entry.second, 0u) << entry.first;
    EXPECT_EQ(QueryChannel(sound.ChannelOf("lostBulletSound4")).file, "data/sound/balaperdida4.wav");
    EXPECT_EQ(QueryChannel(sound.ChannelOf("radioIsland")).file, "data/sound/radioIsla.ogg");
    EXPECT_EQ(QueryChannel(sound.ChannelOf("VrekPsicoticJoke")).file, "data/sound/chistePsicotico.ogg");
    EXPECT_EQ(sound.ChannelOf("noSuchKey"), 0u);

    struct Start {
        const char* key;
        ChannelState state;
        float volume;
        bool loop;
    };
    const Start starts[] = {
        {"rainThunder", ChannelState::Stopped, 0.2f, true},
        {"seabirdsSound", ChannelState::Stopped, 0.7f, false},
        {"seaWavesSound", ChannelState::Paused, 0.11f, true},
        {"lowWindSound", ChannelState::Paused, 0.08f, true},
        {"mainThemeLoopChannel", ChannelState::Stopped, 1.0f, true},
        {"actionThemeLoopChannel", ChannelState::Playing, 0.0f, true},
        {"menuThemeLoopChannel", ChannelState::Playing, 1.0f, true},
        {"radioHangar", ChannelState::Stopped, 1.0f, true},
        {"radioIsland", ChannelState::Stopped, 1.0f, true},
        {"bMatadlo", ChannelState::Stopped, 1.0f, false},
    };
    for (const Start& s : starts) {
        SCOPED_TRACE(s.key);
        const platform::audio::ChannelInfo info = QueryChannel(sound.ChannelOf(s.key));
        EXPECT_EQ(info.state, s.state);
        EXPECT_NEAR(info.volume, s.volume, 1e-6f);
        EXPECT_EQ(info.loop, s.loop);
    }
    EXPECT_FALSE(sound.menuThemePlaying);
    EXPECT_EQ(sound.musicVolume, 1.0f);
    EXPECT_EQ(sound.effectsVolume, 1.0f);
    EXPECT_TRUE(sound.mainThemeActive);
}

TEST_F(SoundManagerTest, InitKeepsTheHopAndTauntTurnsButRestartsTheOthers)
{
    sound.hopIndex = 2;
    sound.tauntIndex = 1;
    sound.boastIndex = 3;
    sound.Init(nullptr); // the layer is open already: the table loads anew onto it
    EXPECT_EQ(sound.hopIndex, 2);
    EXPECT_EQ(sound.tauntIndex, 1);
    EXPECT_EQ(sound.boastIndex, 0);
}

TEST_F(SoundManagerTest, MusicOptionAppliedToAmbienceAndTheRunningTheme)
{
    sound.musicVolume = 0.35f;
    sound.ApplyVolumes();
    EXPECT_NEAR(Volume("seaWavesSound"), 0.0385f, 1e-5f);
    EXPECT_NEAR(Volume("lowWindSound"), 0.028f, 1e-5f);
    EXPECT_NEAR(Volume("rainThunder"), 0.07f, 1e-5f);
    EXPECT_NEAR(Volume("mainThemeLoopChannel"), 0.35f, 1e-5f);
    EXPECT_NEAR(Volume("actionThemeLoopChannel"), 0.0f, 1e-6f);
    EXPECT_NEAR(Volume("menuThemeLoopChannel"), 0.35f, 1e-5f);
}

TEST_F(SoundManagerTest, DistanceLowersTheVolumeWithoutJumpingBackUpPast1000)
{
    struct Case {
        float d;
        float can;    // E x V(d)
        float barrel; // never below 0.5
    };
    const Case cases[] = {
        {0.0f, 1.0f, 1.0f}, {400.0f, 0.6f, 0.6f}, {999.5f, 0.1f, 0.5f}, {1000.0f, 0.1f, 0.5f}, {1000.5f, 0.1f, 0.5f},
    };
    sound.effectsVolume = 0.5f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.d);
        sound.PlayCan(c.d);
        sound.PlayBarrelExplosion(c.d);
        EXPECT_NEAR(Volume("lata"), 0.5f * c.can, 1e-4f);
        EXPECT_NEAR(Volume("explosionBarrel"), 0.5f * c.barrel, 1e-4f);
    }
}

TEST_F(SoundManagerTest, VariantsPlayInStrictTurnsAndAClosedGateKeepsTheTurn)
{
    for (int i = 0; i < 7; ++i)
        sound.PlayLostBullet(10.0f);
    EXPECT_EQ(Started(), (std::vector<std::string>{"balaperdida1.wav", "balaperdida2.wav", "balaperdida3.wav",
                                                   "balaperdida4.wav", "balaperdida5.wav", "balaperdida6.wav",
                                                   "balaperdida1.wav"}));

    for (int i = 0; i < 6; ++i) {
        sound.heroMayTalk = true;
        sound.PlayHeroBoastLine();
    }
    EXPECT_EQ(Started(), (std::vector<std::string>{"chicagoPeligroso.ogg", "nadaEvitaraNuestraVenganza.ogg",
                                                   "chistePsicotico.ogg", "nadieComoTuOstrel.ogg", "putasYNata.ogg",
                                                   "chicagoPeligroso.ogg"}));
    EXPECT_EQ(sound.heroTalkTimer, 7.0f);

    // With the action theme on the boast is refused and its turn stays.
    sound.heroMayTalk = true;
    sound.actionThemeActive = true;
    sound.PlayHeroBoastLine();
    sound.actionThemeActive = false;
    sound.PlayHeroBoastLine();
    EXPECT_EQ(Started(), std::vector<std::string>{"nadaEvitaraNuestraVenganza.ogg"});

    sound.enemiesMayTalk = false;
    sound.PlayEnemyAlarmLine(0.0f);
    sound.enemiesMayTalk = true;
    sound.PlayEnemyAlarmLine(0.0f);
    EXPECT_EQ(Started(), std::vector<std::string>{"bMatadlo.ogg"});
}

TEST_F(SoundManagerTest, TalkGatesMutingAndTheReloadLineLeavingTheGateToTheNextUpdate)
{
    // A second enemy line in the same frame is refused.
    sound.PlayEnemyAttackLine(0.0f);
    sound.PlayEnemyCoverLine(0.0f);
    EXPECT_EQ(Started(), std::vector<std::string>{"bAPorEl.ogg"});

    // After the reload line the gate is still open until the next update.
    sound.enemiesMayTalk = true;
    sound.PlayReloadLine(false, 0.0f, "SHOTGUN");
    sound.PlayEnemyCoverLine(0.0f);
    EXPECT_EQ(Started(), (std::vector<std::string>{"recargaShotg.wav", "bRecargando.ogg", "bCubridme.ogg"}));
    sound.enemiesMayTalk = true;
    sound.PlayReloadLine(false, 0.0f, "THOMPSON");
    Run(1, 0.1f);
    sound.PlayEnemyCoverLine(0.0f);
    EXPECT_EQ(Started(), (std::vector<std::string>{"thompson_a_punto.wav", "bRecargando.ogg"}));
    // The gate opens again once 9 s have run down.
    Run(95, 0.1f);
    sound.PlayEnemyCoverLine(0.0f);
    EXPECT_EQ(Started(), std::vector<std::string>{"bCubridme.ogg"});

    // The menu mutes the gated families but not thunder or scripted samples.
    getGUI().mainMenuActive = true;
    Run(1, 0.1f);
    sound.PlayPunch();
    sound.PlayHop();
    sound.PlayEnemyAttackLine(0.0f);
    sound.play("bMatadlo");
    sound.PlayThunder();
    sound.playThisSampleOnce("data/sound/mission.wav", 1.0f);
    EXPECT_EQ(Started(), (std::vector<std::string>{"thunder1.wav", "mission.wav"}));
    EXPECT_EQ(sound.hopIndex, 0);
    getGUI().mainMenuActive = false;
    sound.Mute();
    Run(1, 0.1f);
    sound.play("bMatadlo");
    EXPECT_EQ(Started(), std::vector<std::string>{"bMatadlo.ogg"});

    // During a cut-scene the hero keeps his boasts to himself.
    getRigid()->scriptedSequenceRunning = true;
    sound.heroTalkTimer = 0.0f;
    Run(1, 0.1f);
    sound.PlayHeroBoastLine();
    getRigid()->scriptedSequenceRunning = false;
    sound.heroTalkTimer = 0.0f;
    Run(1, 0.1f);
    sound.PlayHeroBoastLine();
    EXPECT_EQ(Started(), std::vector<std::string>{"chicagoPeligroso.ogg"});
}

TEST_F(SoundManagerTest, SoundsNamedByFileAreDecodedOnceAndEachCallStartsAFreshPlayback)
{
    for (int i = 0; i < 6; ++i)
        sound.PlayThunder();
    EXPECT_EQ(Started(), (std::vector<std::string>{"thunder1.wav", "thunder2.wav", "thunder3.wav", "thunder4.wav",
                                                   "thunder5.wav", "thunder1.wav"}));
    const std::size_t held = platform::audio::SampleCount();
    std::vector<float> mix(2 * 44100);
    for (int i = 0; i < 20; ++i) {
        sound.playThisSampleOnce("data/sound/heart.wav", 0.5f);
        platform::audio::MixFrames(mix.data(), 44100); // long enough to end
    }
    EXPECT_EQ(platform::audio::SampleCount(), held + 1);
    EXPECT_EQ(StartsOf("heart.wav", Started()), 20);
    // A second call while the first still sounds starts its own playback.
    sound.playThisSampleOnce("data/sound/heart.wav", 0.5f);
    const HCHANNEL first = sound.oneShotChannel;
    platform::audio::MixFrames(mix.data(), 4410);
    sound.playThisSampleOnce("data/sound/heart.wav", 0.5f);
    EXPECT_NE(sound.oneShotChannel, first);
    EXPECT_EQ(QueryChannel(sound.oneShotChannel).position, 0u);
    EXPECT_NEAR(QueryChannel(sound.oneShotChannel).volume, 0.5f, 1e-6f);
    EXPECT_EQ(QueryChannel(sound.oneShotChannel).state, ChannelState::Playing);
    EXPECT_EQ(QueryChannel(first).state, ChannelState::Playing);
    EXPECT_GT(QueryChannel(first).position, 0u);

    // A file that is not there plays nothing and still closes the talk gates.
    sound.playThisSampleOnce("data/sound/none.ogg", 1.0f);
    EXPECT_EQ(sound.oneShotChannel, 0u);
    EXPECT_FALSE(sound.heroMayTalk);
}

TEST_F(SoundManagerTest, RadioMixFollowsTheNearestRadioOfTheRoom)
{
    struct Case {
        const char* room;
        float distance; // from the first radio, along x
        float theme, radio;
        bool silenced, shown;
    };
    const Case cases[] = {
        {"room01", 49.9f, 0.1f, 0.9f, true, true},  {"room01", 50.0f, 0.3f, 0.7f, true, true},
        {"room01", 300.0f, 0.75f, 0.25f, true, false}, {"room01", 400.0f, 1.0f, 0.0f, false, false},
        {"room03", 49.9f, 0.1f, 0.9f, true, true},
    };
    sound.musicVolume = 0.8f;
    for (D3DXVECTOR3& p : sound.radioPositions)
        p = D3DXVECTOR3(-5000.0f, 0.0f, -5000.0f);
    sound.radioPositions[0] = D3DXVECTOR3(100.0f, 5.0f, 200.0f);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.room) + " " + std::to_string(c.distance));
        room = c.room;
        const bool hangar = room == "room01";
        hero = D3DXVECTOR3(100.0f + c.distance, 0.0f, 200.0f);
        sound.Update(0.1f);
        m_Now += 1000;
        EXPECT_NEAR(Volume("mainThemeLoopChannel"), 0.8f * c.theme, 1e-4f);
        EXPECT_NEAR(Volume(hangar ? "radioHangar" : "radioIsland"), 0.8f * c.radio, 1e-4f);
        EXPECT_EQ(Volume(hangar ? "radioIsland" : "radioHangar"), 0.0f);
        EXPECT_EQ(sound.heroSilenced, c.silenced);
        EXPECT_EQ(hangar ? getSubtitulos().hangarRadioVisible : getSubtitulos().islandRadioVisible, c.shown);
    }
    // The island's third and fourth radios do not count in the hangar.
    sound.radioPositions[2] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    hero = D3DXVECTOR3(10.0f, 0.0f, -10.0f);
    room = "room01";
    sound.Update(0.1f);
    EXPECT_FALSE(getSubtitulos().hangarRadioVisible);
    room = "room02";
    sound.Update(0.1f);
    EXPECT_TRUE(getSubtitulos().islandRadioVisible);
}

TEST_F(SoundManagerTest, SeabirdsCallEveryFiftySecondsOnlyInTheHangar)
{
    Run(102, 1.0f);
    EXPECT_EQ(StartsOf("gaviotas.ogg", Started()), 2);
    room = "room02";
    Run(102, 1.0f);
    EXPECT_EQ(StartsOf("gaviotas.ogg", Started()), 0);
}

TEST_F(SoundManagerTest, ANearEnemyBringsTheActionThemeOnceAndTheLingerIsNotGivenBack)
{
    sound.musicVolume = 0.5f;
    enemyNear = true;
    Run(1, 0.1f);
    EXPECT_TRUE(sound.actionThemeActive);
    // Staying near starts no new fade: the main theme's 3-s fade runs out
    // undisturbed (a second one would start again from halfway).
    m_Now += 1400;
    Run(1, 0.1f);
    m_Now += 1400;
    EXPECT_NEAR(Volume("mainThemeLoopChannel"), 0.0f, 1e-4f);
    EXPECT_NEAR(Volume("actionThemeLoopChannel"), 0.5f, 1e-4f);

    enemyNear = false;
    Run(1, 2.0f);
    enemyNear = true;
    Run(1, 0.1f);
    enemyNear = false;
    Run(1, 0.9f); // 2.0 + 0.9 of the 3 s linger used
    EXPECT_TRUE(sound.actionThemeActive);
    Run(1, 0.2f);
    Run(1, 0.1f);
    EXPECT_TRUE(sound.mainThemeActive);
    EXPECT_FALSE(sound.actionThemeActive);
    m_Now += 8000;
    EXPECT_NEAR(Volume("mainThemeLoopChannel"), 0.5f, 1e-4f);
    EXPECT_NEAR(Volume("actionThemeLoopChannel"), 0.0f, 1e-4f);
}

TEST_F(SoundManagerTest, CrossFadesCountWholeSeconds)
{
    sound.CrossFade30To70(sound.mainThemeLoopChannel, sound.radioHangar, 2.5f, 1.9f);
    m_Now += 1000;
    EXPECT_NEAR(Volume("radioHangar"), 0.7f, 1e-4f);
    EXPECT_NEAR(Volume("mainThemeLoopChannel"), 1.0f - 0.7f * 0.5f, 1e-4f);
    m_Now += 1000;
    EXPECT_NEAR(Volume("mainThemeLoopChannel"), 0.3f, 1e-4f);
}

TEST_F(SoundManagerTest, HurtBreathingEverySevenSecondsBelowHalfLife)
{
    life = 40;
    Run(1, 0.25f);
    std::vector<std::string> started = Started();
    EXPECT_EQ(StartsOf("heart.wav", started), 1);
    EXPECT_EQ(StartsOf("respiraHerido.ogg", started), 1);
    EXPECT_FALSE(sound.heroMayTalk);
    Run(28, 0.25f); // 7.0 s since
    EXPECT_EQ(StartsOf("heart.wav", Started()), 0);
    Run(1, 0.25f);
    EXPECT_EQ(StartsOf("heart.wav", Started()), 1);
    life = 0;
    Run(29, 0.25f);
    EXPECT_EQ(StartsOf("heart.wav", Started()), 1);
    life = 50;
    Run(80, 0.25f);
    EXPECT_EQ(StartsOf("heart.wav", Started()), 0);
}

TEST_F(SoundManagerTest, TheCreditsRadioLineComesAfterEach140Seconds)
{
    getGSF().setPlayingCreditos();
    sound.playThisSceneSound("data/sound/final_juego.ogg", 1.0f, true, "", 0, false, "", 0, false);
    Started();
    Run(140, 1.0f);
    EXPECT_EQ(StartsOf("RadioCredits.ogg", Started()), 0);
    Run(1, 1.0f);
    EXPECT_EQ(Started(), std::vector<std::string>{"RadioCredits.ogg"});
    EXPECT_EQ(getRigid()->creditsRadioTimer, 0.0f);
    EXPECT_NEAR(QueryChannel(sound.sceneChannels[0]).volume, 0.3f, 1e-6f);
}

TEST_F(SoundManagerTest, MenusPauseTheLevelAndLeavingDropsOrKeepsTheSceneSounds)
{
    struct Case {
        const char* name;
        bool sequence;
        bool mutedOnLeave;
    };
    const Case cases[] = {
        {"no sequence", false, false},
        {"camera sequence running", true, false},
        {"still muted by the menu", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sound.Unmute();
        sound.ResumeAllTypical();
        sound.playThisSceneSound("data/sound/splash.wav", 1.0f, true, "", 0, false, "", 0, false);
        ASSERT_EQ(QueryChannel(sound.sceneChannels[0]).state, ChannelState::Playing);
        sound.EnterMenu();
        EXPECT_EQ(State("seaWavesSound"), ChannelState::Paused);
        EXPECT_EQ(State("mainThemeLoopChannel"), ChannelState::Paused);
        EXPECT_EQ(QueryChannel(sound.sceneChannels[0]).state, ChannelState::Paused);
        EXPECT_EQ(State("menuThemeLoopChannel"), ChannelState::Playing);
        EXPECT_TRUE(sound.menuThemePlaying);

        getRigid()->camSequenceRunning = c.sequence;
        if (c.mutedOnLeave)
            sound.Mute();
        const HCHANNEL scene = sound.sceneChannels[0];
        sound.LeaveMenu();
        EXPECT_FALSE(sound.muted);
        EXPECT_EQ(State("seaWavesSound"), c.mutedOnLeave ? ChannelState::Paused : ChannelState::Playing);
        EXPECT_EQ(sound.sceneChannels[0], c.sequence ? scene : 0u);
        EXPECT_EQ(QueryChannel(scene).state, c.sequence ? ChannelState::Playing : ChannelState::Stopped);
        EXPECT_EQ(State("menuThemeLoopChannel"), ChannelState::Paused);
        EXPECT_FALSE(sound.menuThemePlaying);
        getRigid()->camSequenceRunning = false;
    }
}

} // namespace
