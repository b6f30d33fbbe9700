// The character model files checked before the model library reads them:
// every shipped file passes, each kind of damage is refused by name with its
// fault, and a library list with one damaged file keeps every other model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "scene/Cal3dFiles.h"
#include "scene/ModelsManager.h"
#include "xml/temp_folder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace {

const fs::path kModels = fs::path(VANTOREL_WORKDIR) / "data" / "models";

Bytes Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutInt(Bytes& bytes, std::size_t at, std::int32_t value) { std::memcpy(&bytes[at], &value, 4); }
void PutFloat(Bytes& bytes, std::size_t at, float value) { std::memcpy(&bytes[at], &value, 4); }

int HeroBones()
{
    int bones = 0;
    EXPECT_EQ(cal3dfiles::CheckSkeleton(Read(kModels / "Zorvath" / "Zorvath.csf"), &bones), "");
    return bones;
}

TEST(ModelFiles, EveryShippedFilePasses)
{
    int checked = 0;
    for (const auto& folder : fs::directory_iterator(kModels)) {
        const std::string model = folder.path().filename().string();
        int bones = 0;
        ASSERT_EQ(cal3dfiles::CheckSkeleton(Read(folder.path() / (model + ".csf")), &bones), "") << model;
        EXPECT_GT(bones, 10);
        for (const auto& file : fs::directory_iterator(folder.path())) {
            const std::string ext = file.path().extension().string();
            if (ext == ".cmf")
                EXPECT_EQ(cal3dfiles::CheckMesh(Read(file.path()), bones), "") << file.path();
            else if (ext == ".caf")
                EXPECT_EQ(cal3dfiles::CheckAnimation(Read(file.path()), bones), "") << file.path();
            checked += ext == ".cmf" || ext == ".caf";
        }
    }
    EXPECT_GT(checked, 400);
}

struct Damage {
    const char* file;
    std::function<void(Bytes&)> make;
    const char* fault;
};

TEST(ModelFiles, EachDamageIsRefusedWithItsFault)
{
    const int bones = HeroBones();
    // Offsets: magic and version take 8 bytes; a mesh's first submesh holds
    // its material at 12 and vertex count at 16, the first vertex from 36; an
    // animation's duration is at 8, its track count at 12, the first track's
    // bone id at 16; a skeleton's bone count is at 8.
    const Damage damages[] = {
        {"Zorvath.cmf", [](Bytes& b) { PutInt(b, 16, 0x7FFFFFFF); }, "vertex count 2147483647 is outside 0..65535"},
        {"Zorvath.cmf", [](Bytes& b) { PutInt(b, 16, -5); }, "vertex count -5 is outside"},
        {"Zorvath.cmf", [](Bytes& b) { PutInt(b, 20, 0x40000000); }, "face count"},
        {"Zorvath.cmf", [](Bytes& b) { PutFloat(b, 36, NAN); }, "submesh 0 vertex 0 is not a number"},
        {"Zorvath.cmf", [](Bytes& b) { PutInt(b, 36 + 24, 1000000); }, "collapse id 1000000"},
        {"Zorvath.cmf", [](Bytes& b) { PutInt(b, b.size() - 4, 70000); }, "face vertex 70000"},
        {"Zorvath.cmf", [](Bytes& b) { b.resize(b.size() - 3); }, "face count 192 does not fit in the file"},
        {"Zorvath.cmf", [](Bytes& b) { b.push_back(0); }, "1 bytes after the content"},
        {"Zorvath.cmf", [](Bytes& b) { PutInt(b, 4, 900); }, "version 900 is not 1100"},
        {"Zorvath.cmf", [](Bytes& b) { b[0] = 'X'; }, "it is no CMF file"},
        {"Zorvath.csf", [](Bytes& b) { PutInt(b, 8, 0x7FFFFFFF); }, "bone count 2147483647 is outside"},
        {"Zorvath.csf", [](Bytes& b) { PutInt(b, 8, 0); }, "bone count 0 is outside"},
        {"Zorvath.csf", [](Bytes& b) { PutInt(b, 12, -9); }, "bone 0 name length -9"},
        {"Zorvath.csf", [](Bytes& b) { b[18] = 0; }, "bone 0 name does not end exactly at its length"},
        {"Zorvath.csf", [](Bytes& b) { b[21] = 'x'; }, "bone 0 name does not end exactly at its length"},
        {"Zorvath_Roll.caf", [](Bytes& b) { PutFloat(b, 8, NAN); }, "duration is not a number"},
        {"Zorvath_Roll.caf", [](Bytes& b) { PutFloat(b, 8, -1.0f); }, "duration -1.000000 s is outside"},
        {"Zorvath_Roll.caf", [](Bytes& b) { PutInt(b, 12, INT32_MIN); }, "track count -2147483648"},
        {"Zorvath_Roll.caf", [bones](Bytes& b) { PutInt(b, 16, bones); }, "track 0 bone id"},
        {"Zorvath_Roll.caf", [](Bytes& b) { PutInt(b, 20, 0x7FFFFFFF); }, "track 0 key count 2147483647"},
    };
    for (const Damage& damage : damages) {
        Bytes bytes = Read(kModels / "Zorvath" / damage.file);
        damage.make(bytes);
        int skeletonBones = 0;
        const std::string ext = fs::path(damage.file).extension().string();
        const std::string fault = ext == ".csf"   ? cal3dfiles::CheckSkeleton(bytes, &skeletonBones)
                                  : ext == ".cmf" ? cal3dfiles::CheckMesh(bytes, bones)
                                                  : cal3dfiles::CheckAnimation(bytes, bones);
        EXPECT_NE(fault.find(damage.fault), std::string::npos) << damage.file << " said \"" << fault
                                                               << "\" for \"" << damage.fault << "\"";
        EXPECT_EQ(skeletonBones, 0);
    }
}

// A bone that is its own grandparent would send the library's walk down the
// child lists round for ever.
TEST(ModelFiles, ASkeletonWhoseBonesComeRoundIsRefused)
{
    // Bones by (parent, children), named "a", "b", ...
    auto skeleton = [](const std::vector<std::pair<int, std::vector<int>>>& bones) {
        Bytes bytes = {'C', 'S', 'F', 0};
        auto put = [&](std::int32_t v) { bytes.resize(bytes.size() + 4); PutInt(bytes, bytes.size() - 4, v); };
        put(1100);
        put(static_cast<std::int32_t>(bones.size()));
        for (std::size_t bone = 0; bone < bones.size(); ++bone) {
            put(2);
            bytes.push_back(static_cast<unsigned char>('a' + bone));
            bytes.push_back(0);
            for (int f = 0; f < 14; ++f)
                put(0);
            put(bones[bone].first);
            put(static_cast<std::int32_t>(bones[bone].second.size()));
            for (int child : bones[bone].second)
                put(child);
        }
        return bytes;
    };
    int count = 0;
    EXPECT_NE(cal3dfiles::CheckSkeleton(skeleton({{1, {1}}, {0, {0}}}), &count).find("is its own ancestor"), std::string::npos);
    EXPECT_NE(cal3dfiles::CheckSkeleton(skeleton({{-1, {1}}, {-1, {}}}), &count).find("names another parent"), std::string::npos);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(cal3dfiles::CheckSkeleton(skeleton({{-1, {1}}, {0, {}}}), &count), "");
    EXPECT_EQ(count, 2);
}

// One damaged enemy mesh and one damaged animation leave out that model and
// that animation only, each named with its fault; the hero keeps everything.
TEST(ModelFiles, ADamagedFileLosesOnlyItsOwnModelOrAnimation)
{
    TempFolder folder;
    for (const char* model : {"Zorvath", "enemy"})
        fs::copy(kModels / model, folder.Path() / model);
    Bytes mesh = Read(folder.Path() / "enemy" / "enemy.cmf");
    PutInt(mesh, 16, -5);
    std::ofstream(folder.Path() / "enemy" / "enemy.cmf", std::ios::binary).write(reinterpret_cast<char*>(mesh.data()), mesh.size());
    Bytes roll = Read(folder.Path() / "Zorvath" / "Zorvath_Roll.caf");
    PutFloat(roll, 8, NAN);
    std::ofstream(folder.Path() / "Zorvath" / "Zorvath_Roll.caf", std::ios::binary).write(reinterpret_cast<char*>(roll.data()), roll.size());
    const std::string list = folder.Write("models.xml", "<CoreModels>"
        "<CoreModel type=\"enemy\" path=\"" + (folder.Path() / "enemy").string() + "/\">"
        "<Skel file=\"enemy.csf\"/><Mesh file=\"enemy.cmf\"/><Anim file=\"enemy_idle_ostrel.caf\"/></CoreModel>"
        "<CoreModel type=\"Zorvath\" path=\"" + (folder.Path() / "Zorvath").string() + "/\">"
        "<Skel file=\"ZORVATH.csf\"/><Mesh file=\"Zorvath.cmf\"/>"
        "<Anim file=\"Zorvath_idle_ostrel.caf\"/><Anim file=\"Zorvath_Roll.caf\"/></CoreModel></CoreModels>");
    CModelsManager library;
    testing::internal::CaptureStderr();
    library.LoadCoreModels(list);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(library.Find("enemy"), nullptr);
    const TCoreModelInfo* hero = library.Find("Zorvath");
    ASSERT_NE(hero, nullptr) << said;
    EXPECT_EQ(hero->animations.count("idle_ostrel"), 1u);
    EXPECT_EQ(hero->animations.count("Roll"), 0u);
    EXPECT_NE(said.find("enemy.cmf: refused: submesh 0 vertex count -5 is outside 0..65535\n"), std::string::npos) << said;
    EXPECT_NE(said.find("Zorvath_Roll.caf: refused: duration is not a number\n"), std::string::npos) << said;
    EXPECT_NE(said.find("ERROR: model enemy ("), std::string::npos) << said;
    EXPECT_EQ(said.find("models.xml"), std::string::npos) << "the list itself is sound: " << said;
}

// An animation file that is not there is said once, with how many entries
// name it, and as missing rather than unreadable; the others still load.
TEST(ModelFiles, AMissingAnimationIsSaidOnceWithTheEntriesThatNameIt)
{
    const std::string path = (kModels / "Zorvath").string() + "/";
    TempFolder folder;
    const std::string list = folder.Write("models.xml", "<CoreModels><CoreModel type=\"Zorvath\" path=\"" + path + "\">"
        "<Skel file=\"Zorvath.csf\"/><Mesh file=\"Zorvath.cmf\"/><Anim file=\"Zorvath_gone.caf\"/>"
        "<Anim file=\"Zorvath_idle_ostrel.caf\"/><Anim file=\"Zorvath_gone.caf\"/><Anim file=\"Zorvath_gone.caf\"/>"
        "<Anim file=\"Zorvath_lost.caf\"/></CoreModel></CoreModels>");
    CModelsManager library;
    testing::internal::CaptureStderr();
    library.LoadCoreModels(list);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, path + "Zorvath_gone.caf: refused: it is missing (named by 3 entries)\n" + path +
                        "Zorvath_lost.caf: refused: it is missing\n");
    const TCoreModelInfo* hero = library.Find("Zorvath");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(hero->animations.count("idle_ostrel"), 1u);
}

} // namespace
