// Runs of the shipped game that hold what a new player needs to finish a
// stretch: the way back onto the beach's slab, what a weapon lying about
// does when he steps on it, what the HUD and the first comic let him read,
// and the words that point him to the plane and to the square's docker.
#include "loop_fixture.h"

#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "app/WinMain.h"
#include "gui/Achievements.h"
#include "player/ControllerSelector.h"
#include "player/WeaponPickups.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/ParticleEmitter.h"
#include "app/hero_aim_view.h"
#include "enemies/Enemy.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "world/CollisionManager.h"
#include "app/GameStateFlags.h"
#include "platform/offscreen_device_fixture.h"
#include "enemies/EnemyManager.h"
#include "platform/dinput.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "script/ScriptHost.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

// Return on the menu, then per in-game frame: the keys held, the camera's
// heading set (the mouse's turn), console lines and probes run after that
// frame. Only every tenth frame is drawn, and those a probe names.
class ObjectivesPlayer : public NewGamePlayer {
public:
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive) {
            CGameCalls::RenderFrame(dt);
            return;
        }
        ++frames;
        if (frames % 10 == 0 || draws.count(frames))
            CGameCalls::RenderFrame(dt);
        const auto probe = probes.find(frames);
        if (probe != probes.end())
            probe->second();
        if (frames >= lastFrame) {
            getGUI().exitRequested = true;
            return;
        }
        const int next = frames + 1;
        for (int key : {DIK_SPACE, DIK_W, DIK_A, DIK_S, DIK_D, DIK_R})
            keys.SetKey(key, false);
        keys.SetButton(0, false);
        keys.SetButton(1, false);
        for (const auto& [key, range] : held)
            if (next >= range.first && next <= range.second) {
                if (key >= kButton)
                    keys.SetButton(key - kButton, true);
                else
                    keys.SetKey(key, true);
            }
        if (each)
            each();
        const auto turn = headings.find(next);
        if (turn != headings.end())
            getCamera().SetYaw(turn->second);
        const auto line = lines.find(frames);
        if (line != lines.end())
            getScriptHost().RunCommand(line->second);
    }

    void UpdateFrame(float dt) override
    {
        seconds += dt;
        CGameCalls::UpdateFrame(dt);
    }

    void Hold(int key, int from, int to) { held.insert({key, {from, to}}); }
    void Tap(int key, int frame) { Hold(key, frame, frame); }
    // The console's checkpoint at that frame: the hero falls, space revives
    // him there and skips the flight that may follow.
    void RestartAt(int checkpoint, int frame)
    {
        lines[frame] = "Checkpoint " + std::to_string(checkpoint);
        for (int f = frame + 4; f < frame + 20; f += 3)
            Tap(DIK_SPACE, f);
    }

    static constexpr int kButton = 1000;
    std::multimap<int, std::pair<int, int>> held;
    std::map<int, float> headings;
    std::map<int, std::string> lines;
    std::map<int, std::function<void()>> probes;
    // After every frame, once the held keys are set for the next: may press
    // more.
    std::function<void()> each;
    std::set<int> draws;
    int frames = 0, lastFrame = 100;
    double seconds = 0.0; // game time since the new game began
};

class ObjectivesRun : public ShippedRun<ObjectivesPlayer> {
protected:
    ObjectivesRun() : ShippedRun("objectives") {}
    void SetUp() override
    {
        ShippedRun::SetUp();
        getTriggerManager().checkpoint = 1;
        // The comic and the flight skipped.
        for (int f = 2; f <= 20; f += 3)
            player.Tap(DIK_SPACE, f);
    }
    void TearDown() override
    {
        getTriggerManager().checkpoint = 1;
        ShippedRun::TearDown();
    }
};

// The game started in English, as its configuration file asks.
void SpeakEnglish()
{
    const char* file = "data/XML/init_configuration.xml";
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::size_t at = text.find("english=\"0\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 11, "english=\"1\"");
    std::ofstream(file, std::ios::binary) << text;
}

D3DXVECTOR3 HeroAt()
{
    return getPlayer()->GetPosition().GetPosition();
}

// The beach's checkpoint stands on a rock slab higher than a step. A hero who
// ran north off it onto the sand turns round and runs back: he is on it again,
// well inside its edge, not held at its foot.
TEST_F(ObjectivesRun, FromTheSandTheHeroRunsBackUpOntoTheCheckpointsSlab)
{
    player.RestartAt(3, 20);
    player.headings[60] = 0.0f; // north, +z
    player.Hold(DIK_W, 61, 150);
    player.headings[160] = 3.1415927f; // and back south
    player.Hold(DIK_W, 161, 230);
    player.lastFrame = 240;
    D3DXVECTOR3 start, onSand, back;
    player.probes[59] = [&] { start = HeroAt(); };
    player.probes[155] = [&] { onSand = HeroAt(); };
    player.probes[240] = [&] { back = HeroAt(); };
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_NEAR(start.y, 24.0f, 1.0f) << "the checkpoint is on the slab";
    ASSERT_GT(onSand.z, -430.0f) << "he ran off its north side, past any slope";
    EXPECT_NEAR(onSand.y, 0.0f, 1.0f) << "down on the sand";
    EXPECT_LT(back.z, -650.0f) << "back over the slab, 100 inside its edge";
    EXPECT_NEAR(back.y, 24.0f, 1.0f) << "standing on its top";
}

// In a game started in English the weapon's box is the English picture;
// every other picture the HUD drew that frame is English too, or has no words.
TEST_F(ObjectivesRun, TheHudNamesTheHerosWeaponInTheGamesLanguage)
{
    SpeakEnglish();
    std::vector<std::string> drawn;
    player.probes[39] = [&] { getGUI().drawLog = &drawn; };
    player.probes[40] = [&] { getGUI().drawLog = nullptr; };
    player.lastFrame = 41;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(getPlayer()->GetCurrentWeapon()->GetName(), "GUN");
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "MARCO"), drawn.end()) << "the HUD was up";
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "GUN_INGLES"), drawn.end());
    EXPECT_EQ(std::find(drawn.begin(), drawn.end(), "GUN"), drawn.end()) << "not the Spanish box";
}

// Whether a comic's caption box lies whole in the frame: the rows it spans
// hold a long run of the yellow of its paper (lit windows are short runs),
// and none of them reaches the frame's edge.
bool CaptionWhole(const std::vector<D3DCOLOR>& pixels, int width, int height)
{
    int rows = 0;
    for (int y = 0; y < height; ++y) {
        int run = 0, longest = 0, end = 0;
        for (int x = 0; x < width; ++x) {
            const D3DCOLOR c = pixels[std::size_t(y) * width + x];
            const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            run = (r > 150 && g > r * 0.8f && b < g * 0.7f) ? run + 1 : 0;
            if (run > longest) {
                longest = run;
                end = x;
            }
        }
        if (longest < width / 5)
            continue;
        if (y == 0 || y == height - 1 || end == width - 1 || end + 1 == longest)
            return false;
        ++rows;
    }
    return rows > 0;
}

// A new player watching the first comic reads each caption whole: the view
// rests on every box of words for seconds, all of it in the frame.
TEST_F(ObjectivesRun, TheFirstComicHoldsEachCaptionInViewLongEnoughToRead)
{
    player.held.clear(); // nothing skipped
    std::vector<std::pair<double, bool>> seen; // game time, caption whole
    // Every third frame drawn and read.
    for (int f = 3; f <= 500; f += 3) {
        player.draws.insert(f);
        player.probes[f] = [&seen, this] {
            if (getGSF().sequence != CGameStateFlagsManager::PlayingVinyetasIntro1)
                return;
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            seen.emplace_back(player.seconds, CaptionWhole(pixels, kWidth, kHeight));
        };
    }
    player.lastFrame = 500;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_GT(seen.size(), 50u) << "the comic was shown";
    EXPECT_GT(seen.back().first - seen.front().first, 20.0) << "and watched to its end";
    // Each stretch of frames with a whole caption, in seconds.
    std::vector<double> stretches;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        if (!seen[i].second)
            continue;
        std::size_t j = i;
        while (j + 1 < seen.size() && seen[j + 1].second)
            ++j;
        stretches.push_back(seen[j].first - seen[i].first);
        i = j;
    }
    int readable = 0;
    for (double s : stretches)
        readable += s >= 2.5;
    EXPECT_EQ(readable, 3) << "three captions, each whole in view for 2.5 s or more";
}

// The mission line a player reads now, empty when none shows.
std::string MissionLineShown()
{
    const CMissionText& line = getMissionText();
    return line.IsShowing() ? line.GetTexts()[line.GetCurrent()] : std::string();
}

// Turns the view onto a point as the mouse would, and says whether the
// crosshair's line now passes within `reach` of it.
bool AimAt(const D3DXVECTOR3& point, float reach)
{
    CCamera& camera = getCamera();
    const D3DXVECTOR3 to = point - camera.GetLookAt();
    camera.SetYaw(std::atan2(to.x, to.z));
    camera.SetWantedPitch(-std::atan2(to.y, std::sqrt(to.x * to.x + to.z * to.z)));
    D3DXVECTOR3 aim = camera.GetLookAt() - camera.GetPosition();
    D3DXVec3Normalize(&aim, &aim);
    const float along = D3DXVec3Dot(&to, &aim);
    const D3DXVECTOR3 miss = to - aim * along;
    return along > 0.0f && D3DXVec3Length(&miss) < reach;
}

// Where the circling plane's body is drawn now.
D3DXVECTOR3 PlaneDrawnAt()
{
    const IEntidad3D* body = getSceneManager().FindEntity("AVION_NUEVO_CUERPO_BUCLE");
    const D3DXMATRIX& m = body->GetTransform().GetMatrix();
    return D3DXVECTOR3(m._41, m._42 + 50.0f, m._43);
}

// The plane takes off and comes back with wave 04 (the level's own logic,
// from the console). Once its flights have handed the view back and it
// circles, its banner and the mission line both say it must be shot down,
// and the radio says so too. Then the pistol, aimed where the plane is drawn
// whatever the point of its loop, brings it down.
TEST_F(ObjectivesRun, WhileThePlaneCirclesTheGameSaysToShootItDownAndShotsAtItBringItDown)
{
    using G = CGameStateFlagsManager;
    player.lines[30] = "avionetaLlega";
    std::vector<std::string> sounds;
    int circlingFrom = 0, aimFrom = 0, downAt = 0, shots = 0;
    std::string lineWhenCircling;
    bool bannerWhenCircling = false;
    std::set<std::string> spoken;
    player.each = [&] {
        const int f = player.frames;
        G& story = getGSF();
        if (!circlingFrom && story.hangarRigidState == G::PlayingRigidaEneAvioneta &&
            story.sequence == G::HangaresAvionetaDone && !getRigid()->camSequenceRunning)
            circlingFrom = f;
        if (!circlingFrom || downAt)
            return;
        if (f == circlingFrom + 40) {
            bannerWhenCircling = getGUI().currentMission == 2 && getGUI().missionBannerActive[2];
            lineWhenCircling = MissionLineShown();
        }
        if (getSubtitulos().IsLineFound())
            spoken.insert(getSubtitulos().CurrentText());
        if (f < circlingFrom + 40)
            return;
        if (!aimFrom) {
            aimFrom = f;
            // Out of the soldiers' way, with a clear view of the loop.
            const D3DXVECTOR3 spot(1700.0f, 9.2f, -650.0f);
            getPlayer()->GetPosition().SetPosition(spot);
            getCollisionManager().setNewPlayerPosition(spot);
        }
        if (story.sequence == G::PlayingSecondMovie) {
            downAt = f;
            getGUI().exitRequested = true;
            return;
        }
        player.keys.SetButton(1, f > aimFrom + 5);
        IWeapon* pistol = getPlayer()->GetCurrentWeapon();
        if (pistol->GetCurrentClip() == 0) {
            player.keys.SetKey(DIK_R, (f & 1) == 0);
            return;
        }
        const bool onIt = AimAt(PlaneDrawnAt(), 30.0f);
        const bool fire = onIt && f > aimFrom + 15 && (f & 1) == 0;
        player.keys.SetButton(0, fire);
        shots += fire;
    };
    player.lastFrame = 1600;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_GT(circlingFrom, 0) << "the plane came back and circles";
    EXPECT_TRUE(bannerWhenCircling) << "its banner is up";
    EXPECT_NE(lineWhenCircling.find("avioneta"), std::string::npos) << lineWhenCircling;
    bool radio = false;
    for (const std::string& text : spoken)
        radio = radio || text.find("avioneta") != std::string::npos;
    EXPECT_TRUE(radio) << "the radio says so, in its subtitle";
    EXPECT_GT(downAt, 0) << "not shot down: " << shots << " shots, " << getCollisionManager().planeHits << " left";
}

// Where a part of an enemy's body is now, as shots meet it.
D3DXVECTOR3 EnemyPart(const std::string& enemy, const std::string& part)
{
    const auto& bodies = getCollisionManager().GetEnemyBodies();
    const auto body = bodies.find(enemy);
    if (body == bodies.end() || !body->second.parts.count(part))
        return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    const btVector3 p = body->second.parts.at(part).ghost->getWorldTransform().getOrigin();
    return D3DXVECTOR3(p.x(), p.y(), p.z());
}

// The square's first wave, from its checkpoint on the plateau. The camera
// shows its docker at his post before the fight. Once its soldiers are down
// the wave still waits for him: the mission line and the radio say so, and
// a shot at him ends the wave.
TEST_F(ObjectivesRun, WhenTheSquaresSoldiersAreDownTheGameSendsThePlayerToItsDocker)
{
    player.lines[20] = "Checkpoint 4";
    for (int f : {24, 27, 30})
        player.Tap(DIK_SPACE, f);
    int dockerShownFrames = 0, killedAt = 0, pointedAt = 0, nextWaveAt = 0;
    std::string lineBefore, lineAfter;
    std::set<std::string> spoken;
    player.each = [&] {
        const int f = player.frames;
        CEnemyManager& enemies = *getEnemyManager();
        if (!enemies.isThisWaveActive("wave_32")) {
            if (killedAt && enemies.isThisWaveActive("wave_33") && !nextWaveAt) {
                nextWaveAt = f;
                getGUI().exitRequested = true;
            }
            return;
        }
        // The docker in the middle of the flight's frame.
        if (getRigid()->camSequenceRunning) {
            const D3DXVECTOR3 at = heroaim::OnScreen(EnemyPart("ene_Dockers1", "EBip01 Spine1"), 1.0f, 1.0f);
            dockerShownFrames += at.x > 0.3f && at.x < 0.7f && at.y > 0.3f && at.y < 0.7f;
            return;
        }
        if (!killedAt && f > 150) {
            lineBefore = MissionLineShown();
            for (const auto& entry : enemies.GetCurrentWaveEnemies())
                if (entry.first[4] != 'D')
                    entry.second->getIA()->Die(false);
            killedAt = f;
        }
        if (!killedAt)
            return;
        if (getSubtitulos().IsLineFound())
            spoken.insert(getSubtitulos().CurrentText());
        if (!pointedAt && MissionLineShown().find("estibador") != std::string::npos) {
            pointedAt = f;
            lineAfter = MissionLineShown();
        }
        if (f < killedAt + 60)
            return;
        // From the plateau, with the pistol: aim at him and fire.
        player.keys.SetButton(1, true);
        if (getPlayer()->GetCurrentWeapon()->GetCurrentClip() == 0) {
            player.keys.SetKey(DIK_R, (f & 1) == 0);
            return;
        }
        const bool onHim = AimAt(EnemyPart("ene_Dockers1", "EBip01 Spine1"), 8.0f);
        player.keys.SetButton(0, onHim && f > killedAt + 70 && (f & 1) == 0);
    };
    player.lastFrame = 900;
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_GT(dockerShownFrames, 60) << "the flight before the fight keeps him in the middle of the view";
    ASSERT_GT(killedAt, 0);
    EXPECT_EQ(lineBefore.find("estibador"), std::string::npos) << "nothing said while soldiers stand";
    ASSERT_GT(pointedAt, 0) << "the mission line names the docker";
    EXPECT_LE(pointedAt - killedAt, 20) << "as soon as the soldiers are down";
    EXPECT_NE(lineAfter.find("meseta"), std::string::npos) << "and where he is: " << lineAfter;
    bool radio = false;
    for (const std::string& text : spoken)
        radio = radio || text.find("estibador") != std::string::npos;
    EXPECT_TRUE(radio) << "the radio says so, in its subtitle";
    EXPECT_GT(nextWaveAt, 0) << "a shot at him ends the wave";
}

// Glows of the pickup glow's type lit over the point, a step up from it.
int GlowsOver(const D3DXVECTOR3& at)
{
    int glows = 0;
    for (const auto& emitter : getParticleManager().GetEmitters()) {
        const D3DXVECTOR3 p = emitter->GetPosition();
        glows += emitter->GetType() && emitter->GetType()->name == "aviso_gun" && std::fabs(p.x - at.x) < 1.0f &&
                 std::fabs(p.z - at.z) < 1.0f && p.y > at.y;
    }
    return glows;
}

// The second pistol lying on the hangars' way, walked onto with a full pistol:
// it stays where it lies, but no longer glows as if it were waiting for him.
// The first shot he fires there makes room: it is taken at once, where he
// stands, and its rounds fill his reserve.
TEST_F(ObjectivesRun, APistolHeStandsOnGlowsOnlyWhileHeWouldTakeItAndIsTakenOnceHeCan)
{
    const char* kPickup = "obj_gun_03";
    D3DXVECTOR3 lying;
    int onItAt = 0, glowsFull = -1, liesFull = -1, firedAt = 0, takenAt = 0, glowsAtStart = -1, fired = 0;
    int roundsAfter = 0; // the reserve once it is taken
    bool pastShotgun = false;
    player.each = [&] {
        const int f = player.frames;
        const auto& pickups = getWeaponPickups().GetPickups();
        CGun* pistol = getPlayer()->GetGun();
        if (f == 40) {
            lying = pickups.at(kPickup).weapon->GetModel().GetTransform().GetPosition();
            glowsAtStart = GlowsOver(lying);
            pistol->SetClipAndAmmo(pistol->GetClipSize(), pistol->GetMaxAmmo() - pistol->GetClipSize());
        }
        if (f < 40 || takenAt)
            return;
        const D3DXVECTOR3 hero = HeroAt();
        if (!onItAt) {
            // South of the shotgun lying by the way, which he would take up.
            const bool round = !pastShotgun && hero.z > -750.0f;
            pastShotgun = pastShotgun || !round;
            const D3DXVECTOR3 to = round ? D3DXVECTOR3(-1000.0f, 0.0f, -770.0f) : lying;
            getCamera().SetYaw(std::atan2(to.x - hero.x, to.z - hero.z));
            player.keys.SetKey(DIK_W, true);
            if (std::fabs(lying.x - hero.x) + std::fabs(lying.z - hero.z) < 20.0f) {
                onItAt = f;
                fired = getAchievementStats().shotsFired;
            }
            return;
        }
        if (f == onItAt + 10) {
            liesFull = static_cast<int>(pickups.count(kPickup));
            glowsFull = GlowsOver(lying);
        }
        if (!firedAt && getAchievementStats().shotsFired > fired)
            firedAt = f;
        if (firedAt && !pickups.count(kPickup)) {
            takenAt = f;
            roundsAfter = pistol->GetAmmo();
            getGUI().exitRequested = true;
            return;
        }
        // A shot into the ground ahead.
        if (f > onItAt + 10) {
            player.keys.SetButton(1, true);
            player.keys.SetButton(0, !firedAt && f > onItAt + 20 && (f & 1) == 0);
        }
    };
    player.lastFrame = 300;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(glowsAtStart, 1) << "it glows, waiting for him";
    ASSERT_GT(onItAt, 0) << "he walked onto it";
    ASSERT_FALSE(getPlayer()->HasShotgun()) << "the pistol in hand all the way";
    EXPECT_EQ(liesFull, 1) << "full, he leaves it";
    EXPECT_EQ(glowsFull, 0) << "and it does not glow while he would leave it";
    ASSERT_GT(firedAt, 0);
    ASSERT_GT(takenAt, 0) << "taken where he stands once he has room";
    EXPECT_LE(takenAt - firedAt, 2);
    EXPECT_EQ(roundsAfter, getPlayer()->GetGun()->GetMaxAmmo()) << "its rounds fill his reserve";
    EXPECT_EQ(GlowsOver(lying), 0);
}

} // namespace
} // namespace looptest
