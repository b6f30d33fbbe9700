// The generated characters move as their clips are named, measured on the
// shipped models through Cal3D's own skeleton: deaths end lying and their
// idles stay down, low cover hides the head, cover turns the back to the
// way the character heads, rolls turn head over heels, a lean-out leans to
// its side, hits throw the torso away from the blow, and blows are struck
// with the limb the name says. Poses are sampled between the clips' keys,
// away from the middle between two.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "datagen/CharacterMotions.h"
#include "datagen/Characters.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"

namespace fs = std::filesystem;

namespace {

constexpr float kPi = 3.14159265f;

struct Point {
    float x, y, z;
};

class CharacterMotions : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const fs::path previous = fs::current_path();
        fs::current_path(VANTOREL_WORKDIR);
        library = new CModelsManager;
        library->LoadCoreModels("Data/XML/CoreModels.xml");
        fs::current_path(previous);
    }
    static void TearDownTestSuite()
    {
        delete library;
        library = nullptr;
    }

    static std::string Prefix(const std::string& type) { return type == "Zorvath" ? "Bip01" : "EBip01"; }

    // Where each bone stands at each time (seconds, rising) of a clip played
    // alone at full weight, in the model's own space.
    static std::vector<std::vector<Point>> Sample(const std::string& type, const std::string& clip, bool cycle,
                                                  const std::vector<float>& times, const std::vector<std::string>& bones)
    {
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(type, 0));
        std::vector<std::vector<Point>> seen;
        if (!body)
            return seen;
        if (cycle) {
            EXPECT_TRUE(body->BlendCycle(clip, 1.0f, 0.0f)) << type << " " << clip;
            body->Update(0.0f); // the mixer learns the cycle's length
        } else {
            EXPECT_GT(body->ExecuteAction(clip, 0.0f, 0.0f, 1.0f, false), 0.0f) << type << " " << clip;
        }
        float now = 0.0f;
        for (float t : times) {
            body->Update(t - now);
            now = t;
            std::vector<Point> at;
            for (const std::string& bone : bones) {
                const D3DXMATRIX m = body->GetBoneMatrix(Prefix(type) + " " + bone);
                at.push_back({m._41, m._42, m._43});
            }
            seen.push_back(at);
        }
        return seen;
    }

    static Point At(const std::string& type, const std::string& clip, bool cycle, float t, const std::string& bone)
    {
        const auto seen = Sample(type, clip, cycle, {t}, {bone});
        return seen.empty() ? Point{0, 0, 0} : seen[0][0];
    }

    static float Length(const std::string& type, const std::string& clip)
    {
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(type, 0));
        return body ? body->ExecuteAction(clip, 0.0f, 0.0f, 1.0f, false) : 0.0f;
    }

    // How far a clip played once carries the body forward on the ground,
    // taken from the mixer as the game takes it.
    static float Travel(const std::string& type, const std::string& clip)
    {
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(type, 0));
        const float length = body ? body->ExecuteAction(clip, 0.0f, 0.0f, 1.0f, false) : 0.0f;
        EXPECT_GT(length, 0.0f) << type << " " << clip;
        float forward = 0.0f;
        for (float t = 0.0f; t < length + 0.5f; t += 1.0f / 30.0f) {
            body->Update(1.0f / 30.0f);
            float out[3];
            TakeAnimationDisplacement(body->GetCalModel()->getMixer(), out);
            forward += out[2];
        }
        return forward;
    }

    // The standing skeleton, before any clip.
    static Point Standing(const std::string& type, const std::string& bone)
    {
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(type, 0));
        body->Update(0.0f);
        const D3DXMATRIX m = body->GetBoneMatrix(Prefix(type) + " " + bone);
        return {m._41, m._42, m._43};
    }

    static CModelsManager* library;
};
CModelsManager* CharacterMotions::library = nullptr;

const char* const kTypes[] = {"Zorvath", "enemy", "enemyWhite", "portuario"};
const char* const kEnemyTypes[] = {"enemy", "enemyWhite", "portuario"};

TEST_F(CharacterMotions, DeathsEndLyingAndTheirIdlesStayWhereTheyEnded)
{
    struct Death {
        const char* type;
        const char* clip;
        const char* idle;
    };
    std::vector<Death> deaths = {{"Zorvath", "dead", "deadIdle"}};
    for (const char* type : kEnemyTypes) {
        for (const auto& pair : std::vector<std::pair<const char*, const char*>>{
                 {"death_grave", "death_graveIdle00"},
                 {"death_jump", "death_jump_idle"},
                 {"death_knees", "death_knees_idle"},
                 {"headdead", "headdeadIdle"},
                 {"vuelta", "vueltaIdle"},
                 {"paletavolador", "paletavolador_idle00"},
                 // The fights' opponent: floored by the last blow, then lying in the fight's cycle.
                 {"combo3", "combo3_KO_idle"},
                 {"combo2", "combo2_KO_idle"},
                 {"combo3_bofetadaygolf", "combo3_bofetadaygolf_death00"},
                 {"combo2_patadaycodazo", "combo2_patadaycodazo_death00"}})
            deaths.push_back({type, pair.first, pair.second});
    }
    for (const Death& d : deaths) {
        SCOPED_TRACE(std::string(d.type) + " " + d.clip);
        // The skeleton stands about 80 tall; the head's joint at 70 of it.
        const float height = Standing(d.type, "Head").y * 80.0f / 70.0f;
        ASSERT_GT(height, 70.0f);
        const float length = Length(d.type, d.clip);
        ASSERT_GT(length, 0.0f);
        const float start = At(d.type, d.clip, false, 0.02f * length, "Pelvis").y;
        EXPECT_GT(start, 0.45f * height) << "starts on its feet";
        const Point pelvisEnd = At(d.type, d.clip, false, 0.985f * length, "Pelvis");
        const Point headEnd = At(d.type, d.clip, false, 0.985f * length, "Head");
        EXPECT_LT(pelvisEnd.y, 0.1f * height);
        EXPECT_LT(headEnd.y, 0.2f * height) << "the head is down too";

        const auto idle = Sample(d.type, d.idle, true, {0.13f, 0.71f, 1.37f, 1.93f}, {"Pelvis", "Head"});
        ASSERT_EQ(idle.size(), 4u);
        for (const std::vector<Point>& at : idle) {
            EXPECT_LT(at[0].y, 0.1f * height) << d.idle;
            EXPECT_LT(at[1].y, 0.2f * height) << d.idle;
            // Lying as the fall left the body: no jump between the clip and its idle.
            EXPECT_NEAR(at[1].x, headEnd.x, 4.0f) << d.idle;
            EXPECT_NEAR(at[1].z, headEnd.z, 4.0f) << d.idle;
        }
    }
}

TEST_F(CharacterMotions, LowCoverHoldsTheHeadDownUntilItRisesToAim)
{
    for (const char* type : kTypes) {
        const float standingHead = Standing(type, "Head").y;
        for (const char* word : {"escopeta", "thompson", "ostrel"}) {
            const std::string idle = std::string("pBajo_") + word + "_idle";
            SCOPED_TRACE(std::string(type) + " " + idle);
            for (const std::vector<Point>& at : Sample(type, idle, true, {0.21f, 0.83f, 1.42f}, {"Head"}))
                EXPECT_LT(at[0].y, 0.65f * standingHead);
            // Coming up over the crate raises the head above the crouch.
            const bool hero = std::string(type) == "Zorvath";
            const std::string up = std::string("pBajo_") + word + (hero ? "_showida" : "_asomarida");
            const float length = Length(type, up);
            EXPECT_GT(At(type, up, false, 0.93f * length, "Head").y, 0.8f * standingHead) << up;
        }
    }
}

TEST_F(CharacterMotions, RollsTurnTheSpineHeadOverHeelsAndEndStanding)
{
    const std::vector<std::pair<const char*, const char*>> rolls = {
        {"Zorvath", "Roll"}, {"Zorvath", "roll_shotgun"}, {"Zorvath", "roll_thompson"},
        {"enemy", "roll_escopeta"}, {"enemyWhite", "roll_thompson"}, {"portuario", "roll"}};
    for (const auto& [type, clip] : rolls) {
        SCOPED_TRACE(std::string(type) + " " + clip);
        const float length = Length(type, clip);
        std::vector<float> times;
        for (int k = 0; k < 50; ++k)
            times.push_back((k + 0.37f) / 50.0f * length);
        const auto seen = Sample(type, clip, false, times, {"Spine1", "Head"});
        ASSERT_EQ(seen.size(), times.size());
        // The spine's angle in the body's forward plane, followed through full turns.
        float previous = 0.0f, turned = 0.0f, most = 0.0f;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const float angle = std::atan2(seen[i][1].z - seen[i][0].z, seen[i][1].y - seen[i][0].y);
            if (i > 0) {
                float step = angle - previous;
                while (step > kPi)
                    step -= 2 * kPi;
                while (step < -kPi)
                    step += 2 * kPi;
                turned += step;
                most = std::max(most, std::fabs(turned));
            }
            previous = angle;
        }
        EXPECT_GE(most * 180.0f / kPi, 270.0f);
        EXPECT_GT(seen.back()[1].y, 0.85f * Standing(type, "Head").y) << "back on his feet";
    }
}

TEST_F(CharacterMotions, LeaningOutOfHighCoverMovesTheHeadToTheNamedSide)
{
    for (const char* type : kTypes) {
        const float shoulders = std::fabs(Standing(type, "R UpperArm").x - Standing(type, "L UpperArm").x);
        ASSERT_GT(shoulders, 15.0f);
        for (const char* word : {"escopeta", "thompson", "ostrel"}) {
            for (const char* side : {"L", "R"}) {
                const std::string clip = std::string("palto_") + word + "_asomarida" + side;
                SCOPED_TRACE(std::string(type) + " " + clip);
                const float length = Length(type, clip);
                const auto seen = Sample(type, clip, false, {0.03f * length, 0.87f * length}, {"Head"});
                ASSERT_EQ(seen.size(), 2u);
                // His left is +x (the world is right-handed): "R" leans out
                // round the wall's start, on his left, "L" round its end.
                const float sideways = (seen[1][0].x - seen[0][0].x) * (side[0] == 'L' ? -1.0f : 1.0f);
                EXPECT_GE(sideways, shoulders / 3.0f);
                // And back again.
                const std::string back = std::string("palto_") + word + "_asomarvuelta" + side;
                EXPECT_NEAR(At(type, back, false, 0.93f * Length(type, back), "Head").x, seen[0][0].x, 2.0f);
            }
        }
    }
    // The hero's aim round the left of a high wall (its start, where the "R"
    // lean takes him) holds the lean.
    const float shoulders = std::fabs(Standing("Zorvath", "R UpperArm").x - Standing("Zorvath", "L UpperArm").x);
    for (const char* clip : {"aimingPorIzq_ostrel", "aimingPorIzq_shotgun", "aimingPorIzq_thompson"})
        EXPECT_GE(At("Zorvath", clip, true, 0.62f, "Head").x - Standing("Zorvath", "Head").x, shoulders / 3.0f)
            << clip;
}

// In cover a character heads across it, toward the fight: crouched or
// standing behind it he is turned half round, his back to it (his right
// shoulder on +x), and peeking out over it or round a wall's end he faces
// the way he heads again.
TEST_F(CharacterMotions, BehindCoverHisBackIsToTheWayHeHeadsAndPeekingHeFacesIt)
{
    const std::vector<std::string> shoulders = {"R UpperArm", "L UpperArm"};
    for (const char* type : kTypes) {
        const bool hero = std::string(type) == "Zorvath";
        for (const char* word : {"escopeta", "thompson", "ostrel"}) {
            const std::string low = std::string("pBajo_") + word, high = std::string("palto_") + word;
            for (const std::string& idle : {low + "_idle", high + "_idle"}) {
                SCOPED_TRACE(std::string(type) + " " + idle);
                for (const std::vector<Point>& at : Sample(type, idle, true, {0.21f, 0.83f}, shoulders))
                    EXPECT_GT(at[0].x - at[1].x, 10.0f) << "turned half round";
            }
            for (const std::string& peek :
                 {low + (hero ? "_showida" : "_asomarida"), high + "_asomaridaL", high + "_asomaridaR"}) {
                SCOPED_TRACE(std::string(type) + " " + peek);
                const float length = Length(type, peek);
                const auto seen = Sample(type, peek, false, {0.03f * length, 0.93f * length}, shoulders);
                ASSERT_EQ(seen.size(), 2u);
                EXPECT_GT(seen[0][0].x - seen[0][1].x, 10.0f) << "from behind the cover";
                EXPECT_LT(seen[1][0].x - seen[1][1].x, -10.0f) << "out, facing over or past it";
            }
        }
    }
}

// A vault from cover carries the body from the cover line, 30 out from the
// crate, over the deepest crate anyone vaults (100) and clear of its far
// side; a death thrown forward ends a stride or so on, not a vault away.
TEST_F(CharacterMotions, AVaultCarriesPastTheCrateAndAThrownDeathOnlyAStride)
{
    for (const auto& [type, clip] : std::vector<std::pair<const char*, const char*>>{
             {"Zorvath", "jump_box_ostrel"}, {"Zorvath", "jump_man_escopeta"}, {"enemy", "jumpostrelbox"}})
        EXPECT_GT(Travel(type, clip), 145.0f) << type << " " << clip;
    EXPECT_LT(Travel("enemy", "death_jump"), 70.0f);
}

TEST_F(CharacterMotions, HitsThrowTheTorsoAwayFromTheBlow)
{
    // x: the character's left (the world is right-handed: facing +z, his
    // right is -x); z: ahead. The torso moves opposite the blow.
    struct Hit {
        const char* clip;
        float x, z;
    };
    const Hit hits[] = {{"armleft", -1, 0},  {"armright", 1, 0}, {"legleft", -1, 0},
                        {"legright", 1, 0}, {"torax1", 0, -1},   {"torax2", 0, 1},
                        {"recibe_ganchoizq", 0, -1}, {"recibe_izqderechrapido", 0, -1},
                        {"recibe_ganchoarribaabajo", 0, -1}, {"recibe_ganchobajo", 0, -1},
                        {"recibe_spartakick", 0, -1}};
    for (const char* type : kEnemyTypes) {
        for (const Hit& h : hits) {
            SCOPED_TRACE(std::string(type) + " " + h.clip);
            const float length = Length(type, h.clip);
            const auto seen = Sample(type, h.clip, false, {0.015f * length, 0.21f * length, 0.93f * length}, {"Head"});
            ASSERT_EQ(seen.size(), 3u);
            const float moved = (seen[1][0].x - seen[0][0].x) * h.x + (seen[1][0].z - seen[0][0].z) * h.z;
            EXPECT_GT(moved, 4.0f);
            // Back to the stance by the end.
            EXPECT_NEAR(seen[2][0].x, seen[0][0].x, 1.5f);
            EXPECT_NEAR(seen[2][0].z, seen[0][0].z, 1.5f);
        }
        // A blow to the belly doubles him over.
        const float length = Length(type, "recibe_estomago");
        EXPECT_LT(At(type, "recibe_estomago", false, 0.21f * length, "Head").y, Standing(type, "Head").y - 5.0f);
    }
}

TEST_F(CharacterMotions, BlowsAreStruckWithTheLimbTheirNameSays)
{
    // The highest (y) or farthest ahead (z) the named bone reaches over the clip, against its standing place.
    struct Blow {
        const char* type;
        const char* clip;
        const char* bone;
        char axis;
        float reach;
    };
    const Blow blows[] = {
        {"Zorvath", "patadahuevers", "R Foot", 'y', 15}, {"Zorvath", "spartakick", "R Foot", 'y', 25},
        {"Zorvath", "rodillazo", "R Calf", 'y', 15},     {"Zorvath", "empujon", "L Hand", 'z', 20},
        {"Zorvath", "empujon", "R Hand", 'z', 20},       {"Zorvath", "ganchoizq", "L Hand", 'z', 15},
        {"Zorvath", "ganchobajofacial", "R Hand", 'y', 20}, {"Zorvath", "estomago", "R Hand", 'z', 15},
        {"enemy", "pega_patadahuevers", "R Foot", 'y', 15}, {"enemy", "pega_rodillazo", "R Calf", 'y', 15},
        {"enemy", "pega_empujon", "L Hand", 'z', 20},    {"Zorvath", "combo2_patadaycodazo", "R Foot", 'y', 15}};
    for (const Blow& b : blows) {
        SCOPED_TRACE(std::string(b.type) + " " + b.clip + " " + b.bone);
        const float length = Length(b.type, b.clip);
        std::vector<float> times;
        for (int k = 0; k < 40; ++k)
            times.push_back((k + 0.29f) / 40.0f * length);
        const Point standing = Standing(b.type, b.bone);
        float reach = -1e9f;
        for (const std::vector<Point>& at : Sample(b.type, b.clip, false, times, {b.bone}))
            reach = std::max(reach, b.axis == 'y' ? at[0].y - standing.y : at[0].z - standing.z);
        EXPECT_GE(reach, b.reach);
    }
    // The left hook is the left hand's: as it lands, the right is held back.
    const float length = Length("Zorvath", "ganchoizq");
    std::vector<float> times;
    for (int k = 0; k < 40; ++k)
        times.push_back((k + 0.29f) / 40.0f * length);
    const auto seen = Sample("Zorvath", "ganchoizq", false, times, {"L Hand", "R Hand"});
    ASSERT_EQ(seen.size(), times.size());
    const auto landed = std::max_element(seen.begin(), seen.end(), [](const auto& a, const auto& b) {
        return a[0].z < b[0].z;
    });
    EXPECT_GT((*landed)[0].z, (*landed)[1].z + 8.0f);
}

TEST_F(CharacterMotions, AimingHoldsTheWeaponAtShoulderHeightPointingAhead)
{
    const std::vector<std::pair<const char*, const char*>> aims = {
        {"Zorvath", "aiming_idle"}, {"Zorvath", "aiming_shotgun_idle"}, {"Zorvath", "aiming_thompson_walking"},
        {"enemy", "aiming"}, {"enemyWhite", "aiming_shotgun"}, {"portuario", "aiming_thompson"}};
    for (const auto& [type, clip] : aims) {
        SCOPED_TRACE(std::string(type) + " " + clip);
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(type, 0));
        ASSERT_TRUE(body->BlendCycle(clip, 1.0f, 0.0f));
        body->Update(0.0f);
        body->Update(0.43f);
        const std::string anchor = Prefix(type) + (std::string(type) == "Zorvath" ? " pistola" : " pipa");
        const D3DXMATRIX weapon = body->GetBoneMatrix(anchor);
        EXPECT_GT(weapon._13, 0.9f) << "the barrel (the anchor's x) points ahead";
        EXPECT_GT(weapon._42, 0.75f * Standing(type, "Head").y) << "raised to the eye";
        EXPECT_GT(weapon._43, 20.0f) << "held out in front";
    }
}

// Every character holds his weapon in his right hand, on his right (-x: the
// world is right-handed), the hand going on along the forearm. Carried, the
// barrel points ahead and never above level (behind cover, turned half
// round, ahead of him is behind his heading); aimed, it is level and the
// shot's kick lifts it by a few degrees only.
TEST_F(CharacterMotions, TheRightHandCarriesTheWeaponAheadAndAimsItLevel)
{
    struct Carried {
        const char* type;
        const char* clip;
        float ahead; // +1 facing his heading, -1 turned half round from it
    };
    const std::vector<Carried> carried = {
        {"Zorvath", "idle_ostrel", 1},          {"Zorvath", "idle_escopeta", 1}, {"Zorvath", "run_shotgun", 1},
        {"Zorvath", "run_thompson", 1},         {"Zorvath", "run", 1},           {"Zorvath", "palto_escopeta_idle", -1},
        {"Zorvath", "pBajo_ostrel_idle", -1},   {"enemy", "idle_escopeta", 1},   {"portuario", "run_thompson", 1}};
    for (const auto& [type, clip, ahead] : carried) {
        SCOPED_TRACE(std::string(type) + " " + clip);
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(type, 0));
        ASSERT_TRUE(body->BlendCycle(clip, 1.0f, 0.0f));
        body->Update(0.0f);
        const std::string anchor = Prefix(type) + (std::string(type) == "Zorvath" ? " pistola" : " pipa");
        for (int k = 0; k < 12; ++k) {
            body->Update(0.0713f);
            const D3DXMATRIX weapon = body->GetBoneMatrix(anchor);
            EXPECT_LT(weapon._12, 0.05f) << "the barrel (the anchor's x) above level, " << k;
            EXPECT_GT(weapon._13 * ahead, 0.5f) << "the barrel not ahead, " << k;
            EXPECT_LT(weapon._41 * ahead, -3.0f) << "the weapon not on his right, " << k;
        }
    }
    // Running with a long gun, both hands keep it steady between them.
    for (const char* clip : {"run_shotgun", "run_thompson"}) {
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance("Zorvath", 0));
        ASSERT_TRUE(body->BlendCycle(clip, 1.0f, 0.0f));
        body->Update(0.0f);
        float pitch[2] = {1, -1}, reach[2] = {1e9f, -1e9f};
        for (int k = 0; k < 12; ++k) {
            body->Update(0.0713f);
            const D3DXMATRIX gun = body->GetBoneMatrix("Bip01 pistola"), left = body->GetBoneMatrix("Bip01 L Hand");
            const D3DXVECTOR3 apart(left._41 - gun._41, left._42 - gun._42, left._43 - gun._43);
            pitch[0] = std::min(pitch[0], gun._12);
            pitch[1] = std::max(pitch[1], gun._12);
            reach[0] = std::min(reach[0], D3DXVec3Length(&apart));
            reach[1] = std::max(reach[1], D3DXVec3Length(&apart));
        }
        EXPECT_LT(pitch[1] - pitch[0], 0.2f) << clip << ": the barrel swings";
        EXPECT_LT(reach[1] - reach[0], 4.0f) << clip << ": the hands swing apart";
    }
    for (const char* type : {"Zorvath", "enemy"}) {
        const std::string aim = std::string(type) == "Zorvath" ? "aiming_idle" : "aiming";
        const std::string shot = std::string(type) == "Zorvath" ? "shoot_aiming" : "aiming_fire";
        const std::string anchor = Prefix(type) + (std::string(type) == "Zorvath" ? " pistola" : " pipa");
        SCOPED_TRACE(std::string(type) + " " + aim);
        std::unique_ptr<CCharacterEntity> body(library->CreateModelInstance(type, 0));
        ASSERT_TRUE(body->BlendCycle(aim, 1.0f, 0.0f));
        body->Update(0.0f);
        body->Update(0.43f);
        const D3DXMATRIX hand = body->GetBoneMatrix(Prefix(type) + " R Hand");
        EXPECT_GT(hand._13, 0.9f) << "the hand (its x) points ahead, not down from the wrist";
        const D3DXMATRIX weapon = body->GetBoneMatrix(anchor);
        EXPECT_LT(std::fabs(weapon._12), 0.1f) << "level";
        EXPECT_LT(weapon._41, -5.0f) << "on his right";
        // A long gun aimed has the left hand on it too, along the barrel.
        const std::string longGun = std::string(type) == "Zorvath" ? "aiming_shotgun_idle" : "aiming_thompson";
        std::unique_ptr<CCharacterEntity> twoHands(library->CreateModelInstance(type, 0));
        ASSERT_TRUE(twoHands->BlendCycle(longGun, 1.0f, 0.0f));
        twoHands->Update(0.0f);
        twoHands->Update(0.43f);
        const D3DXMATRIX gun = twoHands->GetBoneMatrix(anchor), left = twoHands->GetBoneMatrix(Prefix(type) + " L Hand");
        // The hand's far end (its box runs 10 along its x), off the barrel's line.
        const D3DXVECTOR3 toHand(left._41 + 10 * left._11 - gun._41, left._42 + 10 * left._12 - gun._42,
                                 left._43 + 10 * left._13 - gun._43);
        const D3DXVECTOR3 barrel(gun._11, gun._12, gun._13);
        const float along = D3DXVec3Dot(&toHand, &barrel);
        const D3DXVECTOR3 off = toHand - barrel * along;
        EXPECT_LT(D3DXVec3Length(&off), 6.0f) << longGun << ": the left hand off the barrel";
        // The kick, sampled through the shot.
        const float length = Length(type, shot);
        std::vector<float> times;
        for (int k = 0; k < 16; ++k)
            times.push_back((k + 0.29f) / 16.0f * length);
        std::unique_ptr<CCharacterEntity> firing(library->CreateModelInstance(type, 0));
        ASSERT_GT(firing->ExecuteAction(shot, 0.0f, 0.0f, 1.0f, false), 0.0f);
        float now = 0.0f;
        for (float t : times) {
            firing->Update(t - now);
            now = t;
            EXPECT_LT(firing->GetBoneMatrix(anchor)._12, 0.17f) << shot << " at " << t;
        }
    }
}

// Names read by their words: every clip the models list has a motion of its
// own kind, and names added later find theirs by the same words.
TEST(CharacterMotionNames, EveryListedClipHasAFamilyAndLookalikeNamesAreToldApart)
{
    using F = datagen::MotionFamily;
    for (const datagen::CharacterModel& model : datagen::CharacterModels()) {
        const bool hero = model.type == "Zorvath";
        for (const std::string& name : datagen::CharacterAnimationNames(model))
            EXPECT_NE(datagen::FamilyOf(name, hero), F::Gesture) << model.type << " " << name;
    }
    const struct {
        const char* name;
        bool hero;
        F family;
    } cases[] = {
        {"vuelta", false, F::Fall},          {"vueltaIdle", false, F::Lie},
        {"pBajo_escopeta_asomarvuelta", false, F::LowCover}, {"pBajo_ostrel_showvuelta", true, F::LowCover},
        {"combo3_bofetadaygolf_death00", false, F::Lie}, {"combo3", false, F::TakeCombo},
        {"combo3_bofetadaygolf", true, F::Combo}, {"estomago", true, F::Strike},
        {"recibe_estomago", false, F::Hit},  {"jumpescopetman", false, F::Jump},
        {"aimingPorIzq_FireT", true, F::HighCover}, {"aiming_thompson_fire", true, F::Shot},
        {"palto_reload_ostrel", true, F::HighCover}, {"reload_thompson", false, F::Reload},
        // Names not in the lists yet.
        {"death_flying", false, F::Fall},    {"death_flyingIdle", false, F::Lie},
        {"combo4_KO_idle", false, F::Lie},   {"recibe_codazo", false, F::Hit},
        {"pega_codazo", false, F::Strike},   {"pBajo_shotgun_fire", true, F::LowCover},
        {"roll_back", false, F::Roll},       {"aiming_ostrel_walking", false, F::AimWalk}};
    for (const auto& c : cases)
        EXPECT_EQ(datagen::FamilyOf(c.name, c.hero), c.family) << c.name;
}

} // namespace
