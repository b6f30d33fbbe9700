// Runs of the shipped game that hold what a new player needs to finish a
// stretch: the way back onto the beach's slab, a weapon he stands on, what
// the HUD and the first comic let him read, and the words that point him to
// the plane and to the square's docker.
#include "loop_fixture.h"

#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "app/GameStateFlags.h"
#include "app/WinMain.h"
#include "app/hero_aim_view.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "player/Player.h"
#include "player/WeaponPickups.h"
#include "player/Weapon.h"
#include "scene/Camera.h"
#include "scene/Location.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

namespace looptest {
namespace {

// Return on the menu, space on the given frames, console lines; after every
// in-game frame `each` may press keys for the next one (all are let go
// first) and turn the view, as the mouse would. One frame in `drawEvery` is drawn.
class ObjectivesPlayer : public NewGamePlayer {
public:
    void RenderFrame(float dt) override
    {
        if (getGUI().mainMenuActive) {
            CGameCalls::RenderFrame(dt);
            return;
        }
        ++frames;
        if (frames % drawEvery == 0)
            CGameCalls::RenderFrame(dt);
        if (frames >= lastFrame) {
            getGUI().exitRequested = true;
            return;
        }
        for (int key : {DIK_SPACE, DIK_W, DIK_R})
            keys.SetKey(key, false);
        keys.SetButton(0, false);
        keys.SetButton(1, false);
        keys.SetKey(DIK_SPACE, spaces.count(frames + 1) > 0);
        if (const auto line = lines.find(frames); line != lines.end())
            getScriptHost().RunCommand(line->second);
        if (each)
            each();
    }
    void UpdateFrame(float dt) override
    {
        seconds += dt;
        CGameCalls::UpdateFrame(dt);
    }

    std::set<int> spaces{2, 5, 8, 11, 14, 17, 20}; // the comic and the flight skipped
    std::map<int, std::string> lines;
    std::function<void()> each;
    int frames = 0, lastFrame = 100, drawEvery = 10;
    double seconds = 0.0; // game time since the new game began
};

class ObjectivesRun : public ShippedRun<ObjectivesPlayer> {
protected:
    ObjectivesRun() : ShippedRun("objectives") {}
    void SetUp() override
    {
        ShippedRun::SetUp();
        getTriggerManager().checkpoint = 1;
    }
    void TearDown() override
    {
        getTriggerManager().checkpoint = 1;
        ShippedRun::TearDown();
    }
    // The console's checkpoint: the hero falls, space revives him there.
    void RestartAt(int checkpoint, int frame)
    {
        player.lines[frame] = "Checkpoint " + std::to_string(checkpoint);
        player.spaces.insert({frame + 4, frame + 7, frame + 10});
    }
};

D3DXVECTOR3 HeroAt()
{
    return getPlayer()->GetPosition().GetPosition();
}

// The mission line a player reads now, empty when none shows.
std::string MissionLineShown()
{
    const CMissionText& line = getMissionText();
    return line.IsShowing() ? line.GetTexts()[line.GetCurrent()] : std::string();
}

// Turns the view onto a point; true once the crosshair's line passes within
// `reach` of it.
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

// The beach's checkpoint stands on a rock slab higher than a step. Run north
// off it onto the sand, the hero turns round and runs back onto its top.
TEST_F(ObjectivesRun, FromTheSandTheHeroRunsBackUpOntoTheCheckpointsSlab)
{
    RestartAt(3, 20);
    D3DXVECTOR3 start, onSand;
    player.each = [&] {
        const int f = player.frames;
        if (f == 59)
            start = HeroAt();
        if (f == 155)
            onSand = HeroAt();
        if (f >= 60 && f != 155) {
            getCamera().SetYaw(f < 155 ? 0.0f : 3.1415927f); // north, then back south
            player.keys.SetKey(DIK_W, true);
        }
    };
    player.lastFrame = 240;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_NEAR(start.y, 24.0f, 1.0f) << "the checkpoint is on the slab";
    ASSERT_GT(onSand.z, -430.0f) << "off its north side, past any slope";
    EXPECT_NEAR(onSand.y, 0.0f, 1.0f) << "down on the sand";
    EXPECT_LT(HeroAt().z, -650.0f) << "back over the slab, 100 inside its edge";
    EXPECT_NEAR(HeroAt().y, 24.0f, 1.0f) << "on its top";
}

// In the game started in English the HUD's weapon box is the English picture.
TEST_F(ObjectivesRun, TheHudNamesTheHerosWeaponInTheGamesLanguage)
{
    const char* file = "data/XML/init_configuration.xml";
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ASSERT_NE(text.find("english=\"0\""), std::string::npos);
    text.replace(text.find("english=\"0\""), 11, "english=\"1\"");
    std::ofstream(file, std::ios::binary) << text;
    std::vector<std::string> drawn;
    player.each = [&] { getGUI().drawLog = player.frames == 39 ? &drawn : nullptr; };
    player.lastFrame = 41;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(getPlayer()->GetCurrentWeapon()->GetName(), "GUN");
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "MARCO"), drawn.end()) << "the HUD was up";
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "GUN_INGLES"), drawn.end());
    EXPECT_EQ(std::find(drawn.begin(), drawn.end(), "GUN"), drawn.end()) << "not the Spanish box";
}

// A comic's caption box lies whole in the frame: the rows it spans hold a
// long run of the yellow of its paper (lit windows make short ones), and
// none reaches the frame's edge.
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

// Watched to its end, the first comic holds each of its three captions whole
// in view for seconds.
TEST_F(ObjectivesRun, TheFirstComicHoldsEachCaptionInViewLongEnoughToRead)
{
    player.spaces.clear();
    player.drawEvery = 3;
    std::vector<std::pair<double, bool>> seen; // game time, a caption whole
    player.each = [&] {
        if (player.frames % 3 || getGSF().sequence != CGameStateFlagsManager::PlayingVinyetasIntro1)
            return;
        std::vector<D3DCOLOR> pixels;
        devicetest::ReadBackBuffer(D3DDevice, &pixels);
        seen.emplace_back(player.seconds, CaptionWhole(pixels, kWidth, kHeight));
    };
    player.lastFrame = 500;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_GT(seen.size(), 50u);
    EXPECT_GT(seen.back().first - seen.front().first, 20.0) << "watched to its end";
    int readable = 0;
    for (std::size_t i = 0, j = 0; i < seen.size(); i = j + 1) {
        for (j = i; seen[i].second && j + 1 < seen.size() && seen[j + 1].second;)
            ++j;
        readable += seen[i].second && seen[j].first - seen[i].first >= 2.5;
    }
    EXPECT_EQ(readable, 3) << "three captions, each whole in view for 2.5 s or more";
}

// The plane circles its loop on its own: back with wave 04 and its flight over.
bool PlaneCircles()
{
    using G = CGameStateFlagsManager;
    const G& story = getGSF();
    return story.hangarRigidState == G::PlayingRigidaEneAvioneta && story.sequence == G::HangaresAvionetaDone &&
           !getRigid()->camSequenceRunning;
}

// The plane takes off and comes back with wave 04 (the level's own logic,
// from the console). Once it circles, its banner, the mission line and the
// radio say to shoot it down; the pistol, aimed where it is drawn on its
// loop, brings it down.
TEST_F(ObjectivesRun, WhileThePlaneCirclesTheGameSaysToShootItDownAndShotsAtItBringItDown)
{
    using G = CGameStateFlagsManager;
    player.lines[30] = "avionetaLlega";
    int circlingFrom = 0, aimFrom = 0, downAt = 0, shots = 0;
    std::string lineWhenCircling, radio;
    bool bannerWhenCircling = false;
    player.each = [&] {
        const int f = player.frames;
        G& story = getGSF();
        if (!circlingFrom && PlaneCircles())
            circlingFrom = f;
        if (!circlingFrom || downAt)
            return;
        if (getSubtitulos().IsLineFound() && getSubtitulos().CurrentText().find("avioneta") != std::string::npos)
            radio = getSubtitulos().CurrentText();
        if (f == circlingFrom + 40) {
            bannerWhenCircling = getGUI().currentMission == 2 && getGUI().missionBannerActive[2];
            lineWhenCircling = MissionLineShown();
            // Out of the soldiers' way, with a clear view of the loop.
            aimFrom = f;
            getPlayer()->GetPosition().SetPosition(D3DXVECTOR3(1700.0f, 9.2f, -650.0f));
            getCollisionManager().setNewPlayerPosition(D3DXVECTOR3(1700.0f, 9.2f, -650.0f));
        }
        if (!aimFrom)
            return;
        if (story.sequence == G::PlayingSecondMovie) {
            downAt = f;
            getGUI().exitRequested = true;
            return;
        }
        player.keys.SetButton(1, f > aimFrom + 5);
        if (getPlayer()->GetCurrentWeapon()->GetCurrentClip() == 0) {
            player.keys.SetKey(DIK_R, (f & 1) == 0);
            return;
        }
        const IEntidad3D* body = getSceneManager().FindEntity("AVION_NUEVO_CUERPO_BUCLE");
        const D3DXMATRIX& m = body->GetTransform().GetMatrix();
        const bool fire = AimAt(D3DXVECTOR3(m._41, m._42 + 50.0f, m._43), 30.0f) && f > aimFrom + 15 && !(f & 1);
        player.keys.SetButton(0, fire);
        shots += fire;
    };
    player.lastFrame = 1600;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_GT(circlingFrom, 0) << "the plane came back and circles";
    EXPECT_TRUE(bannerWhenCircling) << "its banner is up";
    EXPECT_NE(lineWhenCircling.find("avioneta"), std::string::npos) << lineWhenCircling;
    EXPECT_FALSE(radio.empty()) << "the radio's subtitle names it";
    EXPECT_GT(downAt, 0) << "not shot down: " << shots << " shots, " << getCollisionManager().planeHits << " left";
}

// While the plane circles, the mission line and the radio name its red fuel
// tank too. From the yard, a few paces off, the tank fills the crosshair red
// and, once the radio has named it, the pistol's shots at it blow it up and
// bring the stretch to its end.
TEST_F(ObjectivesRun, ThePlanesRedFuelTankIsNamedSeenFromTheYardAndBlownByThePistol)
{
    using G = CGameStateFlagsManager;
    player.lines[30] = "avionetaLlega";
    int circlingFrom = 0, aimFrom = 0, downAt = 0, shots = 0, redLooks = 0, looks = 0, lastClip = 0;
    std::string line, radio;
    const D3DXVECTOR3 stand(1900.0f, 9.2f, 480.0f), tank(2208.5f, 140.0f, 1030.0f);
    player.each = [&] {
        const int f = player.frames;
        G& story = getGSF();
        if (!circlingFrom && PlaneCircles())
            circlingFrom = f;
        if (!circlingFrom || downAt)
            return;
        if (getSubtitulos().IsLineFound() && getSubtitulos().CurrentText().find("dep\xC3\xB3sito") != std::string::npos)
            radio = getSubtitulos().CurrentText();
        if (line.empty())
            line = MissionLineShown();
        if (f == circlingFrom + 40) {
            aimFrom = f;
            getPlayer()->GetPosition().SetPosition(stand);
            getCollisionManager().setNewPlayerPosition(stand);
        }
        if (!aimFrom)
            return;
        if (story.sequence == G::PlayingSecondMovie) {
            downAt = f;
            getGUI().exitRequested = true;
            return;
        }
        player.keys.SetButton(1, f > aimFrom + 5);
        const bool onIt = AimAt(tank, 25.0f);
        // The middle of the last frame drawn, round the crosshair.
        if (onIt && f > aimFrom + 15 && f % player.drawEvery == 0) {
            std::vector<D3DCOLOR> pixels;
            devicetest::ReadBackBuffer(D3DDevice, &pixels);
            int red = 0, all = 0;
            for (int y = kHeight / 2 - 12; y < kHeight / 2 + 12; ++y)
                for (int x = kWidth / 2 - 30; x < kWidth / 2 + 30; x += 2, ++all) {
                    const D3DCOLOR c = pixels[size_t(y) * kWidth + x];
                    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
                    red += r > 50 && r > 2 * g && r > 2 * b;
                }
            ++looks;
            redLooks += red * 3 > all;
        }
        if (getPlayer()->GetCurrentWeapon()->GetCurrentClip() == 0) {
            player.keys.SetKey(DIK_R, (f & 1) == 0);
            return;
        }
        const int clip = getPlayer()->GetCurrentWeapon()->GetCurrentClip();
        shots += clip < lastClip;
        lastClip = clip;
        // Once the radio has named it, as a player would go by.
        player.keys.SetButton(0, onIt && !radio.empty() && !(f & 1));
    };
    player.lastFrame = 1600;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_GT(circlingFrom, 0) << "the plane came back and circles";
    EXPECT_NE(line.find("dep\xC3\xB3sito rojo"), std::string::npos) << line;
    EXPECT_FALSE(radio.empty()) << "the radio's subtitle names the tank";
    EXPECT_GT(looks, 2);
    EXPECT_GT(redLooks * 2, looks) << "the crosshair on the tank shows red paint";
    EXPECT_GT(downAt, 0) << "not blown: " << shots << " shots, " << getCollisionManager().tankHits << " left";
    EXPECT_LE(shots, 30) << "a pistol's clip or two";
}

// The plane's flight as it comes back: between the flight's keys, the
// circling plane stands inside the frame and its grey body is drawn where
// it stands, not the sea or the yard's ground.
TEST_F(ObjectivesRun, TheFlightAsThePlaneComesBackShowsThePlane)
{
    player.lines[30] = "avionetaLlega";
    player.drawEvery = 15;
    int from = 0, samples = 0, inFrame = 0, drawn = 0;
    const int at[] = {30, 75, 120, 1 << 20}; // frames into it: some 2, 5 and 8 s
    player.each = [&] {
        if (!getGSF().isPlayingCamHangaresLlegadaAvion())
            return;
        from = from ? from : player.frames;
        if (player.frames % player.drawEvery || player.frames - from < at[samples])
            return;
        ++samples;
        const IEntidad3D* body = getSceneManager().FindEntity("AVION_NUEVO_CUERPO_BUCLE");
        const D3DXMATRIX& m = body->GetTransform().GetMatrix();
        D3DXVECTOR4 clip;
        const D3DXVECTOR3 middle(m._41, m._42, m._43);
        D3DXVec3Transform(&clip, &middle, &getCamera().GetFlightCamera().viewProjection);
        if (clip.w <= 0.0f)
            return;
        const int x = int((clip.x / clip.w + 1.0f) * 0.5f * kWidth), y = int((1.0f - clip.y / clip.w) * 0.5f * kHeight);
        if (x < 8 || y < 8 || x >= kWidth - 8 || y >= kHeight - 8)
            return;
        ++inFrame;
        // The same frame drawn again with the plane put far below the
        // ground: what changes near where it stands is its picture.
        std::vector<D3DCOLOR> with, without;
        devicetest::ReadBackBuffer(D3DDevice, &with);
        std::vector<std::pair<CLocation*, D3DXMATRIX>> moved;
        for (const char* part : {"AVION_NUEVO_CUERPO_BUCLE", "AVION_NUEVO_MOTOR_BUCLE", "AVION_NUEVO_HELICE_BUCLE",
                                 "AVION_NUEVO_ENEMIGO1_BUCLE", "AVION_NUEVO_ENEMIGO2_BUCLE"}) {
            CLocation& where = getSceneManager().FindEntity(part)->GetTransform();
            moved.emplace_back(&where, where.GetMatrix());
            D3DXMATRIX away = where.GetMatrix();
            away._42 -= 100000.0f;
            where.SetMatrix(away);
        }
        player.CGameCalls::RenderFrame(0.0f);
        devicetest::ReadBackBuffer(D3DDevice, &without);
        for (auto& [where, matrix] : moved)
            where->SetMatrix(matrix);
        int changed = 0;
        for (int py = std::max(0, y - 40); py < std::min(kHeight, y + 40); ++py)
            for (int px = std::max(0, x - 60); px < std::min(kWidth, x + 60); ++px) {
                const D3DCOLOR a = with[size_t(py) * kWidth + px], b = without[size_t(py) * kWidth + px];
                int most = 0;
                for (int shift : {0, 8, 16})
                    most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
                changed += most > 24;
            }
        drawn += changed > 150;
    };
    player.lastFrame = 400;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(samples, 3) << "the flight ran its ten seconds";
    EXPECT_EQ(inFrame, 3) << "the plane inside the frame";
    EXPECT_EQ(drawn, 3) << "its body drawn there";
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

// The square's first wave, from its checkpoint on the plateau: the flight
// before the fight shows its docker at his post. Once its soldiers are down
// the wave still waits for him: the mission line and the radio say so, the
// line names the ramp and the yellow marks painted up to him, and one shot
// at him ends the wave.
TEST_F(ObjectivesRun, WhenTheSquaresSoldiersAreDownTheGameSendsThePlayerToItsDocker)
{
    player.lines[20] = "Checkpoint 4";
    player.spaces.insert({24, 27, 30});
    int dockerShownFrames = 0, killedAt = 0, pointedAt = 0, nextWaveAt = 0, marksWhenPointed = 0;
    std::string lineBefore, lineAfter, radio;
    player.each = [&] {
        const int f = player.frames;
        CEnemyManager& enemies = *getEnemyManager();
        if (!enemies.isThisWaveActive("wave_32")) {
            if (killedAt && !nextWaveAt && enemies.isThisWaveActive("wave_33")) {
                nextWaveAt = f;
                getGUI().exitRequested = true;
            }
            return;
        }
        const D3DXVECTOR3 docker = EnemyPart("ene_Dockers1", "EBip01 Spine1");
        if (getRigid()->camSequenceRunning) {
            const D3DXVECTOR3 at = heroaim::OnScreen(docker, 1.0f, 1.0f);
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
        if (getSubtitulos().IsLineFound() && getSubtitulos().CurrentText().find("estibador") != std::string::npos)
            radio = getSubtitulos().CurrentText();
        if (!pointedAt && MissionLineShown().find("estibador") != std::string::npos) {
            pointedAt = f;
            lineAfter = MissionLineShown();
            // The yellow marks from the square's middle to the ramp's top.
            for (const char* mark : {"guia_plaza_1", "guia_plaza_10", "guia_plaza_11", "guia_plaza_17"})
                marksWhenPointed += getSceneManager().IsVisible(mark);
        }
        // From the plateau, with the pistol.
        if (f < killedAt + 60)
            return;
        player.keys.SetButton(1, true);
        player.keys.SetButton(0, AimAt(docker, 8.0f) && f > killedAt + 70 && !(f & 1));
    };
    player.lastFrame = 900;
    ASSERT_EQ(VantorelMain(), 0);

    EXPECT_GT(dockerShownFrames, 60) << "the flight keeps him in the middle of the view";
    ASSERT_GT(killedAt, 0);
    EXPECT_EQ(lineBefore.find("estibador"), std::string::npos) << "nothing said while soldiers stand";
    ASSERT_GT(pointedAt, 0) << "the mission line names the docker";
    EXPECT_LE(pointedAt - killedAt, 20) << "as soon as the soldiers are down";
    EXPECT_NE(lineAfter.find("meseta"), std::string::npos) << "and where he is: " << lineAfter;
    EXPECT_NE(lineAfter.find("rampa tras las marcas"), std::string::npos) << "and the way up: " << lineAfter;
    EXPECT_EQ(marksWhenPointed, 4) << "the marks painted up to him";
    EXPECT_FALSE(radio.empty()) << "the radio's subtitle names him";
    EXPECT_GT(nextWaveAt, 0) << "a shot at him ends the wave";
}

// Glows of the pickups' kind lit over the point.
int GlowsOver(const D3DXVECTOR3& at)
{
    int glows = 0;
    for (const auto& emitter : getParticleManager().GetEmitters()) {
        const D3DXVECTOR3 p = emitter->GetPosition();
        glows += emitter->GetType() && emitter->GetType()->name == "aviso_gun" && std::fabs(p.x - at.x) < 1.0f &&
                 std::fabs(p.z - at.z) < 1.0f;
    }
    return glows;
}

// The second pistol lying on the hangars' way, walked onto with a full pistol,
// stays where it lies and no longer glows as if waiting for him. The first
// shot he fires there makes room: it is taken at once, where he stands.
TEST_F(ObjectivesRun, APistolHeStandsOnGlowsOnlyWhileHeWouldTakeItAndIsTakenOnceHeCan)
{
    const char* kPickup = "obj_gun_03";
    D3DXVECTOR3 lying;
    int onItAt = 0, glowsFull = -1, liesFull = -1, firedAt = 0, takenAt = 0, glowsAtStart = -1, fired = 0;
    int reserveAfter = 0;
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
            const D3DXVECTOR3 to = hero.z > -750.0f && hero.x < -990.0f ? D3DXVECTOR3(-1000, 0, -770) : lying;
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
            reserveAfter = pistol->GetAmmo();
            getGUI().exitRequested = true;
        }
        // A shot into the ground ahead.
        player.keys.SetButton(1, f > onItAt + 10);
        player.keys.SetButton(0, !firedAt && f > onItAt + 20 && !(f & 1));
    };
    player.lastFrame = 300;
    ASSERT_EQ(VantorelMain(), 0);

    ASSERT_EQ(glowsAtStart, 1) << "it glows, waiting for him";
    ASSERT_GT(onItAt, 0) << "he walked onto it";
    ASSERT_FALSE(getPlayer()->HasShotgun()) << "the pistol in hand all the way";
    EXPECT_EQ(liesFull, 1) << "full, he leaves it";
    EXPECT_EQ(glowsFull, 0) << "and it does not glow while he would leave it";
    ASSERT_GT(takenAt, 0) << "taken where he stands once he has room";
    EXPECT_LE(takenAt - firedAt, 2);
    EXPECT_EQ(reserveAfter, getPlayer()->GetGun()->GetMaxAmmo()) << "its rounds fill his reserve";
    EXPECT_EQ(GlowsOver(lying), 0);
}

} // namespace
} // namespace looptest
