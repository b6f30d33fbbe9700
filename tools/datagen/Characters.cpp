#include "datagen/Characters.h"

#include <cmath>
#include <functional>
#include <map>
#include <sstream>

#include <cal3d/cal3d.h>
#include <cal3d/corekeyframe.h>
#include <cal3d/coretrack.h>

#include "datagen/Cal3dWriter.h"
#include "datagen/CharacterMotions.h"
#include "datagen/Canvas.h"
#include "datagen/ImageFile.h"

namespace datagen {

namespace {

constexpr float kPi = 3.14159265f;
const char kModelsFolder[] = "data/models/";

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// --- names ---------------------------------------------------------------------------------

void AddCover(std::vector<std::string>& names, const char* prefix, const char* word)
{
    for (const char* suffix : {"_idle", "_enter", "_exit"})
        names.push_back(std::string(prefix) + word + suffix);
}

std::vector<std::string> HeroNames()
{
    std::vector<std::string> names = {
        "idle_ostrel", "idle_escopeta", "idle_thompson", "run", "run_shotgun", "run_thompson",
        "reload_ostrel", "reload_shotgun", "reload_thompson", "Roll", "roll_shotgun", "roll_thompson",
        "dead", "deadIdle", "aiming_idle", "aiming_shotgun_idle", "aiming_thompson_idle", "aiming_walking",
        "aiming_shotgun_walking", "aiming_thompson_walking", "shoot_aiming", "aiming_shotgun_fire",
        "aiming_thompson_fire", "aimingPorIzq_ostrel", "aimingPorIzq_shotgun", "aimingPorIzq_thompson",
        "aimingPorIzq_FireG", "aimingPorIzq_FireS", "aimingPorIzq_FireT",
        // Cover, low and high.
        "pBajo_escopeta_moveL", "pBajo_thompson_moveL", "pBajo_MoveRight", "pBajo_escopeta_moveR",
        "pBajo_thompson_moveR", "pBajo_MoveLeft", "palto_escopeta_moveleft", "palto_thompson_moveleft",
        "pAlto_MoveRight", "palto_escopeta_moveright", "palto_thompson_moveright", "pAlto_MoveLeft",
        "pBajo_reload_shotgun", "pBajo_reload_thompson", "pBajo_reload_ostrel", "palto_reload_shotgun",
        "palto_reload_thompson", "palto_reload_ostrel",
        "jump_box_escopeta", "jump_box_thompson", "jump_box_ostrel", "jump_man_escopeta", "jump_man_thompson",
        "jump_man_ostrel",
        // Fights and the final chain.
        "combo_3hits_1", "combo_2hits_1", "combo3_bofetadaygolf", "combo2_patadaycodazo", "estomago",
        "ganchoizq", "ganchobajofacial", "izqderechrapido", "empujon", "patadahuevers", "rodillazo",
        "ganchoarribabajo", "ganchobajo", "spartakick"};
    for (const char* word : {"escopeta", "thompson", "ostrel"}) {
        AddCover(names, "pBajo_", word);
        AddCover(names, "palto_", word);
        names.push_back(std::string("pBajo_") + word + "_showida");
        names.push_back(std::string("pBajo_") + word + "_showvuelta");
        for (const char* side : {"L", "R"}) {
            names.push_back(std::string("palto_") + word + "_asomarida" + side);
            names.push_back(std::string("palto_") + word + "_asomarvuelta" + side);
        }
    }
    return names;
}

std::vector<std::string> EnemyNames()
{
    std::vector<std::string> names = {
        "idle_escopeta", "idle_thompson", "idle_ostrel", "run_escopeta", "run_thompson", "run_ostrel", "andar",
        "aiming_shotgun", "aiming_thompson", "aiming", "fire_shotgun", "fire_thompson", "aiming_fire",
        "pasoizquierdo_escopeta", "pasoizquierdo_thompson", "pasolateral_izquierdo", "pasoderecho_escopeta",
        "pasoderecho_thompson", "pasolateral_derecho", "reload_escopeta", "reload_thompson", "reload_ostrel",
        "roll_escopeta", "roll_thompson", "roll", "jumpescopetbox", "jumpthompsonbox", "jumpostrelbox",
        "jumpescopetman", "jumpthompsonman", "jumpostrelman", "paletavolador", "paletavolador_idle00",
        // Hits and deaths.
        "armleft", "armright", "legleft", "legright", "torax1", "torax2", "death_grave", "death_graveIdle00",
        "death_jump", "death_jump_idle", "death_knees", "death_knees_idle", "headdead", "headdeadIdle", "vuelta",
        "vueltaIdle", "senalando",
        // The fights: the hero's opponent.
        "combo3", "combo3_KO_idle", "combo2", "combo2_KO_idle", "combo3_bofetadaygolf",
        "combo3_bofetadaygolf_death00", "combo2_patadaycodazo", "combo2_patadaycodazo_death00", "recibe_estomago",
        "recibe_ganchoizq", "pega_ganchobajofacial", "recibe_izqderechrapido", "pega_empujon",
        "pega_patadahuevers", "pega_rodillazo", "recibe_ganchoarribaabajo", "recibe_ganchobajo",
        "recibe_spartakick"};
    for (const char* word : {"escopeta", "thompson", "ostrel"}) {
        for (const char* prefix : {"pBajo_", "palto_"}) {
            AddCover(names, prefix, word);
            names.push_back(std::string(prefix) + word + "_reload");
        }
        names.push_back(std::string("pBajo_") + word + "_asomarida");
        names.push_back(std::string("pBajo_") + word + "_asomarvuelta");
        for (const char* side : {"L", "R"}) {
            names.push_back(std::string("palto_") + word + "_asomarida" + side);
            names.push_back(std::string("palto_") + word + "_asomarvuelta" + side);
        }
    }
    return names;
}

// --- how each clip moves -------------------------------------------------------------------

bool IsCycle(const std::string& name)
{
    static const char* const cycles[] = {"idle", "Idle", "run", "andar", "walking", "move", "Move"};
    for (const char* part : cycles)
        if (Contains(name, part))
            return true;
    if (name == "aiming" || name == "aiming_shotgun" || name == "aiming_thompson")
        return true;
    // Aiming round the left of a high parapet: the three cycles, not the shots.
    return Contains(name, "aimingPorIzq_") && !Contains(name, "Fire");
}

bool IsStrideCycle(const std::string& name)
{
    return IsCycle(name) && !Contains(name, "aiming") &&
           (Contains(name, "run") || Contains(name, "andar") || Contains(name, "walking") || Contains(name, "ove"));
}

} // namespace

RootTravel CharacterAnimationTravel(const std::string& name)
{
    // A vault over cover starts on its line, 30 out from the crate's face,
    // and goes the way the character heads there, across the crate: far
    // enough to come down clear of the far side of the deepest crate anyone
    // vaults (100).
    constexpr float kVault = 160.0f;
    RootTravel travel;
    if (IsCycle(name))
        return travel;
    if (Contains(name, "roll") || name == "Roll")
        travel.z = 100.0f;
    else if (name.rfind("jump", 0) == 0)
        travel.z = kVault;
    else if (Contains(name, "jump"))
        travel.z = 60.0f;
    else if (Contains(name, "izquierdo"))
        travel.x = 50.0f;
    else if (Contains(name, "derecho"))
        travel.x = -50.0f;
    else if (name == "paletavolador")
        travel.z = -150.0f;
    else if (EndsWith(name, "_enter"))
        travel.z = 15.0f;
    else if (EndsWith(name, "_exit"))
        travel.z = -15.0f;
    else if (name == "dead" || Contains(name, "death_") || name == "headdead" || name == "vuelta")
        travel.z = -25.0f;
    return travel;
}

namespace {

// After the final chain's prompt: the blow that answers it and a moment to
// recover. The next move starts when either fighter's clip ends, so both
// outlast the prompt; the last also holds the hero's shout, which starts half
// a second in and lasts about 0.9 s.
constexpr float kFinisherAfterPrompt = 0.8f;
constexpr float kLastMoveLength = 2.0f;

} // namespace

float CharacterAnimationLength(const std::string& name)
{
    const float promptAt = FinisherPromptAt(name);
    if (promptAt >= 0.0f)
        return name == "spartakick" || name == "recibe_spartakick" ? kLastMoveLength
                                                                   : promptAt + kFinisherAfterPrompt;
    if (IsCycle(name))
        return IsStrideCycle(name) ? 0.8f : 2.0f;
    if (Contains(name, "combo"))
        return 3.0f;
    if (Contains(name, "reload"))
        return 1.6f;
    if (Contains(name, "jump"))
        return 1.2f;
    if (name == "paletavolador")
        return 1.5f;
    return 1.0f;
}

const std::vector<CharacterModel>& CharacterModels()
{
    static const std::vector<CharacterModel> models = {
        {"Zorvath", "Bip01", "pistola", 4.7f},
        {"enemy", "EBip01", "pipa", 1.25f},
        {"enemyWhite", "EBip01", "pipa", 1.25f},
        {"portuario", "EBip01", "pipa", 1.25f},
    };
    return models;
}

std::vector<std::string> CharacterAnimationNames(const CharacterModel& model)
{
    return model.type == "Zorvath" ? HeroNames() : EnemyNames();
}

namespace {

// --- the skeleton --------------------------------------------------------------------------

CalQuaternion Conjugate(CalQuaternion q)
{
    q.conjugate();
    return q;
}

CalVector Rotated(CalVector v, const CalQuaternion& q)
{
    v *= q;
    return v;
}

// The loader turns root bones and their tracks a quarter turn about X (the
// convention of models authored with Z up): the files hold the pose turned
// back, so the loaded model stands on y = 0 facing +Z.
const CalQuaternion& LoaderTurn()
{
    static const CalQuaternion turn(0.7071067811f, 0.0f, 0.0f, 0.7071067811f);
    return turn;
}
CalQuaternion ToFile(CalQuaternion q)
{
    q *= Conjugate(LoaderTurn());
    return q;
}
CalVector ToFile(CalVector v) { return Rotated(v, Conjugate(LoaderTurn())); }

struct BoneLayout {
    const char* name; // after the prefix
    int parent;       // index in this table, -1 for the root
    float joint[3];   // where it starts, loaded units
    float dir[3];     // where its local +x points
    float half[3];    // the body box around it (0: no box)
};

// Loaded units: about 80 tall, facing +Z, right hand on -X (the world is
// right-handed: the camera looking along +Z has +X on its left). Limb boxes
// are the character bodies' bone boxes, so hits and pixels agree.
const BoneLayout kBones[] = {
    {"", -1, {0, 44, 0}, {1, 0, 0}, {0, 0, 0}},
    {"Pelvis", 0, {0, 44, 0}, {0, 1, 0}, {6, 6, 8}},
    {"Spine1", 1, {0, 48, 0}, {0, 1, 0}, {12, 6, 8}},
    {"Head", 2, {0, 70, 0}, {0, 1, 0}, {8, 5.5f, 4}},
    {"R UpperArm", 2, {-11, 67, 0}, {0, -1, 0}, {8, 3, 3}},
    {"R Forearm", 4, {-11, 51, 0}, {0, -1, 0}, {8, 2, 2}},
    {"R Hand", 5, {-11, 35, 0}, {0, -1, 0}, {5, 1, 3}},
    {"L UpperArm", 2, {11, 67, 0}, {0, -1, 0}, {8, 3, 3}},
    {"L Forearm", 7, {11, 51, 0}, {0, -1, 0}, {8, 2, 2}},
    {"L Hand", 8, {11, 35, 0}, {0, -1, 0}, {5, 1, 3}},
    {"R Thigh", 1, {-5, 44, 0}, {0, -1, 0}, {11, 3.5f, 3.5f}},
    {"R Calf", 10, {-5, 22, 0}, {0, -1, 0}, {11, 3, 3}},
    {"R Foot", 11, {-5, 7, 0}, {0, 0, 1}, {3, 7, 3}},
    {"L Thigh", 1, {5, 44, 0}, {0, -1, 0}, {11, 3.5f, 3.5f}},
    {"L Calf", 13, {5, 22, 0}, {0, -1, 0}, {11, 3, 3}},
    {"L Foot", 14, {5, 7, 0}, {0, 0, 1}, {3, 7, 3}},
    {"weapon", 6, {-11, 28, 2}, {0, 0, 1}, {5, 1.5f, 1}},
};
constexpr int kBoneCount = sizeof(kBones) / sizeof(kBones[0]);
static_assert(kBoneCount == kCharacterBoneCount, "the motions pose every bone of the table, in its order");

CalVector Vec(const float v[3], float scale) { return CalVector(v[0] * scale, v[1] * scale, v[2] * scale); }

// The rotation taking +x to the direction.
CalQuaternion Facing(const float dir[3])
{
    CalVector d(dir[0], dir[1], dir[2]);
    d.normalize();
    const CalVector x(1, 0, 0);
    CalVector axis(x.y * d.z - x.z * d.y, x.z * d.x - x.x * d.z, x.x * d.y - x.y * d.x);
    const float sine = axis.length();
    const float cosine = d.x;
    if (sine < 1e-6f)
        return cosine > 0 ? CalQuaternion(0, 0, 0, 1) : AxisAngle(CalVector(0, 1, 0), kPi);
    axis /= sine;
    return AxisAngle(axis, std::atan2(sine, cosine));
}

struct BindPose {
    CalQuaternion absolute[kBoneCount];
    CalQuaternion relative[kBoneCount];
    CalVector translation[kBoneCount]; // relative to the parent
};

BindPose MakeBindPose(float unit)
{
    BindPose pose;
    for (int i = 0; i < kBoneCount; ++i) {
        const BoneLayout& b = kBones[i];
        pose.absolute[i] = Facing(b.dir);
        if (b.parent < 0) {
            pose.relative[i] = pose.absolute[i];
            pose.translation[i] = Vec(b.joint, unit);
        } else {
            const CalQuaternion toParent = Conjugate(pose.absolute[b.parent]);
            pose.relative[i] = pose.absolute[i];
            pose.relative[i] *= toParent;
            CalVector offset = Vec(b.joint, unit) - Vec(kBones[b.parent].joint, unit);
            pose.translation[i] = Rotated(offset, toParent);
        }
    }
    return pose;
}

std::string BoneName(const CharacterModel& model, int i)
{
    if (i == kRoot)
        return model.bonePrefix;
    if (std::string(kBones[i].name) == "weapon")
        return model.bonePrefix + " " + model.weaponBone;
    return model.bonePrefix + " " + kBones[i].name;
}

CalCoreSkeleton* MakeSkeleton(const CharacterModel& model, const BindPose& pose)
{
    auto* skeleton = new CalCoreSkeleton();
    for (int i = 0; i < kBoneCount; ++i) {
        auto* bone = new CalCoreBone(BoneName(model, i));
        bone->setCoreSkeleton(skeleton);
        bone->setParentId(kBones[i].parent);
        const bool root = kBones[i].parent < 0;
        bone->setTranslation(root ? ToFile(pose.translation[i]) : pose.translation[i]);
        bone->setRotation(root ? ToFile(pose.relative[i]) : pose.relative[i]);
        skeleton->addCoreBone(bone);
        skeleton->mapCoreBoneName(i, BoneName(model, i));
        if (!root)
            skeleton->getCoreBone(kBones[i].parent)->addChildId(i);
    }
    skeleton->calculateState();
    for (int i = 0; i < kBoneCount; ++i) {
        CalCoreBone* bone = skeleton->getCoreBone(i);
        const CalQuaternion space = Conjugate(bone->getRotationAbsolute());
        CalVector translation = bone->getTranslationAbsolute();
        translation = Rotated(CalVector(-translation.x, -translation.y, -translation.z), space);
        bone->setRotationBoneSpace(space);
        bone->setTranslationBoneSpace(translation);
    }
    return skeleton;
}

// --- the mesh: one box per bone, bound to it alone ---------------------------------------

CalCoreMesh* MakeMesh(const BindPose& pose, float unit)
{
    struct Corner {
        CalVector position, normal;
        float u, v;
        int bone;
    };
    std::vector<Corner> corners;
    std::vector<int> faces;
    for (int i = 0; i < kBoneCount; ++i) {
        const BoneLayout& b = kBones[i];
        if (b.half[0] <= 0.0f)
            continue;
        const float hx = b.half[0] * unit, hy = b.half[1] * unit, hz = b.half[2] * unit;
        // The box lies along the bone: from its joint out to twice its half length.
        const CalVector centre(hx, 0, 0);
        for (int f = 0; f < 6; ++f) {
            const int normalAxis = f / 2;
            const float sign = f % 2 == 0 ? 1.0f : -1.0f;
            const float h[3] = {hx, hy, hz};
            const int u = (normalAxis + 1) % 3, v = (normalAxis + 2) % 3;
            const int base = static_cast<int>(corners.size());
            for (int k = 0; k < 4; ++k) {
                const float su = (k == 1 || k == 2) ? 1.0f : -1.0f;
                const float sv = k >= 2 ? 1.0f : -1.0f;
                float local[3] = {0, 0, 0};
                local[normalAxis] = sign * h[normalAxis];
                local[u] = su * h[u];
                // Mirrored faces run the other way round so every face winds outwards alike.
                local[v] = sv * h[v] * sign;
                float n[3] = {0, 0, 0};
                n[normalAxis] = sign;
                CalVector position = Rotated(CalVector(local[0], local[1], local[2]) + centre, pose.absolute[i]) +
                                     Vec(b.joint, unit);
                CalVector normal = Rotated(CalVector(n[0], n[1], n[2]), pose.absolute[i]);
                corners.push_back({ToFile(position), ToFile(normal), (su + 1) / 2, (sv + 1) / 2, i});
            }
            for (int t : {0, 1, 2, 0, 2, 3})
                faces.push_back(base + t);
        }
    }

    auto* submesh = new CalCoreSubmesh();
    submesh->reserve(static_cast<int>(corners.size()), 1, static_cast<int>(faces.size() / 3), 0);
    submesh->setCoreMaterialThreadId(0);
    submesh->setLodCount(0);
    for (std::size_t i = 0; i < corners.size(); ++i) {
        CalCoreSubmesh::Vertex vertex;
        vertex.position = corners[i].position;
        vertex.normal = corners[i].normal;
        vertex.collapseId = -1;
        vertex.faceCollapseCount = 0;
        vertex.vectorInfluence.push_back({corners[i].bone, 1.0f});
        submesh->setVertex(static_cast<int>(i), vertex);
        CalCoreSubmesh::TextureCoordinate uv;
        uv.u = corners[i].u;
        uv.v = corners[i].v;
        submesh->setTextureCoordinate(static_cast<int>(i), 0, uv);
    }
    for (std::size_t f = 0; f < faces.size() / 3; ++f) {
        CalCoreSubmesh::Face face;
        for (int k = 0; k < 3; ++k)
            face.vertexId[k] = faces[f * 3 + k];
        submesh->setFace(static_cast<int>(f), face);
    }
    auto* mesh = new CalCoreMesh();
    mesh->addCoreSubmesh(submesh);
    return mesh;
}

// --- the clips -----------------------------------------------------------------------------

CalCoreKeyframe* Key(float time, const CalVector& translation, const CalQuaternion& rotation)
{
    auto* key = new CalCoreKeyframe();
    key->create();
    key->setTime(time);
    key->setTranslation(translation);
    key->setRotation(rotation);
    return key;
}

bool IsStill(const CalQuaternion& q) { return std::fabs(q.x) + std::fabs(q.y) + std::fabs(q.z) < 1e-6f; }

// Keys at even steps of the clip: enough that a roll's turn between two keys
// stays well under a half turn, few enough that the files stay small. Bones
// that keep their standing rotation get no track.
CalCoreAnimation* MakeAnimation(const std::string& name, bool hero, const BindPose& pose, float unit)
{
    const float length = CharacterAnimationLength(name);
    const RootTravel travel = CharacterAnimationTravel(name);
    const Motion motion = MotionOf(name, hero, length);
    int steps = 8;
    if (IsStrideCycle(name))
        steps = 12;
    else if (!IsCycle(name))
        steps = std::max(12, static_cast<int>(std::ceil(length * 16.0f)));
    else if (Contains(name, "walking"))
        steps = 24;

    std::vector<BodyPose> poses;
    for (int s = 0; s <= steps; ++s)
        poses.push_back(motion(static_cast<float>(s) / steps));
    bool moves[kBoneCount] = {};
    moves[kRoot] = true;
    for (int i = 1; i < kBoneCount; ++i)
        for (const BodyPose& p : poses)
            moves[i] = moves[i] || !IsStill(p.turn[i]);

    auto* animation = new CalCoreAnimation();
    animation->setDuration(length);
    for (int i = 0; i < kBoneCount; ++i) {
        if (!moves[i])
            continue;
        auto* track = new CalCoreTrack();
        track->create();
        track->setCoreBoneId(i);
        for (int s = 0; s <= steps; ++s) {
            const float phase = static_cast<float>(s) / steps;
            const BodyPose& p = poses[s];
            // The bone's own turn between its standing rotation and its parent's.
            CalQuaternion rotation = pose.absolute[i];
            rotation *= p.turn[i];
            if (i == kRoot) {
                // Travel eases in and out so a start and an end carry no jolt.
                const float progress = 0.5f - 0.5f * std::cos(kPi * phase);
                CalVector root = pose.translation[kRoot];
                root.x += travel.x * progress * unit;
                root.y += p.lift * unit;
                root.z += travel.z * progress * unit;
                track->addCoreKeyframe(Key(phase * length, ToFile(root), ToFile(rotation)));
            } else {
                rotation *= Conjugate(pose.absolute[kBones[i].parent]);
                track->addCoreKeyframe(Key(phase * length, pose.translation[i], rotation));
            }
        }
        animation->addCoreTrack(track);
    }
    return animation;
}

void ReleaseTracks(CalCoreAnimation* animation)
{
    for (CalCoreTrack* t : animation->getListCoreTrack()) {
        t->destroy();
        delete t;
    }
    animation->getListCoreTrack().clear();
}

// --- textures ------------------------------------------------------------------------------

Canvas Skin(Rgba cloth, Rgba trim)
{
    Canvas canvas(64, 64, cloth);
    canvas.StrokeRect(0, 0, 64, 64, 4, trim);
    canvas.FillRect(28, 0, 8, 64, Mix(cloth, trim, 0.5f));
    return canvas;
}

Canvas Bloodied(Rgba cloth, Rgba trim)
{
    Canvas canvas = Skin(cloth, trim);
    canvas.FillEllipse(22, 30, 14, 10, Rgba{120, 8, 8, 255});
    canvas.FillEllipse(44, 20, 8, 12, Rgba{150, 12, 12, 255});
    return canvas;
}

struct SkinColours {
    Rgba cloth, trim;
};

SkinColours ColoursOf(const std::string& type)
{
    if (type == "Zorvath")
        return {Rgba{92, 70, 52, 255}, Rgba{40, 30, 24, 255}};
    if (type == "enemyWhite")
        return {Rgba{214, 210, 200, 255}, Rgba{120, 110, 100, 255}};
    if (type == "portuario")
        return {Rgba{54, 74, 110, 255}, Rgba{30, 36, 50, 255}};
    return {Rgba{86, 92, 70, 255}, Rgba{46, 50, 38, 255}};
}

} // namespace

void GenerateCharacters(Output& out)
{
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<CoreModels>\n";
    for (const CharacterModel& model : CharacterModels()) {
        const float unit = 1.0f / model.scale;
        const std::string folder = std::string(kModelsFolder) + model.type + "/";
        const BindPose pose = MakeBindPose(unit);

        CalCoreModel core(model.type);
        core.setCoreSkeleton(MakeSkeleton(model, pose));
        const int meshId = core.addCoreMesh(MakeMesh(pose, unit));
        WriteCoreSkeleton(out, folder + model.type + ".csf", *core.getCoreSkeleton());
        WriteCoreMesh(out, folder + model.type + ".cmf", *core.getCoreMesh(meshId));

        xml << "  <CoreModel type=\"" << model.type << "\" path=\"" << folder << "\">\n";
        xml << "    <Skel file=\"" << model.type << ".csf\"/>\n";
        xml << "    <Mesh file=\"" << model.type << ".cmf\"/>\n";
        for (const std::string& name : CharacterAnimationNames(model)) {
            CalCoreAnimationPtr animation = MakeAnimation(name, model.type == "Zorvath", pose, unit);
            const std::string file = model.type + "_" + name + ".caf";
            WriteCoreAnimation(out, folder + file, *animation);
            ReleaseTracks(animation.get());
            xml << "    <Anim file=\"" << file << "\"/>\n";
        }
        for (int i = 0; i < kBoneCount; ++i)
            xml << "    <Anchor id=\"" << BoneName(model, i) << "\"/>\n";

        const SkinColours colours = ColoursOf(model.type);
        const std::string textures = std::string("characters/") + model.type;
        WriteImage(out, std::string(kTextureFolder) + textures + "_diffuse.png", Skin(colours.cloth, colours.trim));
        WriteImage(out, std::string(kTextureFolder) + textures + "_lightmap.png",
                   Canvas(8, 8, Rgba{255, 255, 255, 255}));
        WriteImage(out, std::string(kTextureFolder) + textures + "_normal.tga", Canvas(8, 8, Rgba{128, 128, 255, 255}));
        const std::string key = model.type + "0";
        xml << "    <Texture wearId=\"" << key << "Diffuse\" file=\"" << textures << "_diffuse.png\"/>\n";
        xml << "    <Texture wearId=\"" << key << "Lightmap\" file=\"" << textures << "_lightmap.png\"/>\n";
        xml << "    <Texture wearId=\"" << key << "Normal\" file=\"" << textures << "_normal.tga\"/>\n";
        xml << "  </CoreModel>\n";
    }
    xml << "</CoreModels>\n";
    out.Write("data/XML/CoreModels.xml", xml.str());

    // The enemies' skins once hit.
    WriteImage(out, std::string(kTextureFolder) + "enemy/enemy_uv_blood.tga",
               Bloodied(ColoursOf("enemy").cloth, ColoursOf("enemy").trim));
    WriteImage(out, std::string(kTextureFolder) + "enemy/enemy2_uv_blood.tga",
               Bloodied(ColoursOf("enemyWhite").cloth, ColoursOf("enemyWhite").trim));
    WriteImage(out, std::string(kTextureFolder) + "enemy/portuario_sangre.tga",
               Bloodied(ColoursOf("portuario").cloth, ColoursOf("portuario").trim));
}

} // namespace datagen
