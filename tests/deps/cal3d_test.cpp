// The model library loads Cal3D's binary files; the data generator writes
// them with CalSaver. One round trip through both, then one animated update.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <cal3d/cal3d.h>
#include <cal3d/corekeyframe.h>
#include <cal3d/coretrack.h>

// Debian's Cal3D is built without RTTI, so the undefined-behaviour
// sanitizer's dynamic-type check would need type information the library
// does not export; code that touches Cal3D objects opts out of that one check.
#define NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))

namespace {

class TempFolder {
public:
    TempFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantorel-cal3d-XXXXXX";
        if (mkdtemp(&pattern[0]))
            path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

NO_VPTR_CHECK CalCoreBone* MakeBone(CalCoreSkeleton* skeleton, const char* name, int parent, const CalVector& offset)
{
    CalCoreBone* bone = new CalCoreBone(name);
    bone->setCoreSkeleton(skeleton);
    bone->setParentId(parent);
    bone->setTranslation(offset);
    bone->setRotation(CalQuaternion(0, 0, 0, 1));
    bone->setTranslationBoneSpace(CalVector(-offset.x, -offset.y, -offset.z));
    bone->setRotationBoneSpace(CalQuaternion(0, 0, 0, 1));
    return bone;
}

NO_VPTR_CHECK CalCoreKeyframe* MakeKey(float time, const CalVector& translation)
{
    CalCoreKeyframe* key = new CalCoreKeyframe();
    key->create();
    key->setTime(time);
    key->setTranslation(translation);
    key->setRotation(CalQuaternion(0, 0, 0, 1));
    return key;
}

// An animation's destructor leaves its tracks (and their keyframes) behind:
// whoever owns core animations frees them before the core model goes.
NO_VPTR_CHECK void ReleaseTracks(CalCoreAnimation* animation)
{
    for (CalCoreTrack* track : animation->getListCoreTrack()) {
        track->destroy();
        delete track;
    }
    animation->getListCoreTrack().clear();
}

std::string Magic(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 3);
    return magic;
}

NO_VPTR_CHECK void SaveLoadAndAnimate();

} // namespace

TEST(Cal3dLinks, ASavedModelLoadsBackAndAnimates)
{
    SaveLoadAndAnimate();
}

namespace {

void SaveLoadAndAnimate()
{
    TempFolder dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string skeletonFile = dir.path + "/hero.csf";
    const std::string meshFile = dir.path + "/hero.cmf";
    const std::string animationFile = dir.path + "/walk.caf";

    {
        CalCoreModel built("built");
        CalCoreSkeleton* skeleton = new CalCoreSkeleton();
        built.setCoreSkeleton(skeleton);
        const int root = skeleton->addCoreBone(MakeBone(skeleton, "Bip01", -1, CalVector(0, 0, 0)));
        const int arm = skeleton->addCoreBone(MakeBone(skeleton, "Bip01 Arm", root, CalVector(0, 1, 0)));
        skeleton->getCoreBone(root)->addChildId(arm);
        skeleton->mapCoreBoneName(root, "Bip01");
        skeleton->mapCoreBoneName(arm, "Bip01 Arm");
        skeleton->calculateState();

        CalCoreMesh* mesh = new CalCoreMesh();
        CalCoreSubmesh* submesh = new CalCoreSubmesh();
        ASSERT_TRUE(submesh->reserve(3, 0, 1, 0));
        submesh->setCoreMaterialThreadId(0);
        submesh->setLodCount(0);
        for (int i = 0; i < 3; ++i) {
            CalCoreSubmesh::Vertex vertex;
            vertex.position = CalVector(float(i), float(i % 2), 0);
            vertex.normal = CalVector(0, 0, 1);
            vertex.collapseId = -1;
            vertex.faceCollapseCount = 0;
            vertex.vectorInfluence.push_back({i == 2 ? arm : root, 1.0f});
            ASSERT_TRUE(submesh->setVertex(i, vertex));
        }
        CalCoreSubmesh::Face face;
        face.vertexId[0] = 0;
        face.vertexId[1] = 1;
        face.vertexId[2] = 2;
        ASSERT_TRUE(submesh->setFace(0, face));
        mesh->addCoreSubmesh(submesh);
        const int meshId = built.addCoreMesh(mesh);

        CalCoreAnimation* animation = new CalCoreAnimation();
        animation->setDuration(1.0f);
        CalCoreTrack* track = new CalCoreTrack();
        track->create();
        track->setCoreBoneId(arm);
        track->addCoreKeyframe(MakeKey(0.0f, CalVector(0, 1, 0)));
        track->addCoreKeyframe(MakeKey(1.0f, CalVector(0, 3, 0)));
        animation->addCoreTrack(track);
        const int animationId = built.addCoreAnimation(animation);

        ASSERT_TRUE(built.saveCoreSkeleton(skeletonFile));
        ASSERT_TRUE(built.saveCoreMesh(meshFile, meshId));
        const bool animationSaved = built.saveCoreAnimation(animationFile, animationId);
        ReleaseTracks(animation);
        ASSERT_TRUE(animationSaved);
    }
    EXPECT_EQ(Magic(skeletonFile), "CSF");
    EXPECT_EQ(Magic(meshFile), "CMF");
    EXPECT_EQ(Magic(animationFile), "CAF");

    CalCoreModel loaded("loaded");
    ASSERT_TRUE(loaded.loadCoreSkeleton(skeletonFile));
    CalCoreSkeleton* skeleton = loaded.getCoreSkeleton();
    ASSERT_EQ(skeleton->getVectorCoreBone().size(), 2u);
    EXPECT_EQ(skeleton->getCoreBoneId("Bip01"), 0);
    EXPECT_EQ(skeleton->getCoreBoneId("Bip01 Arm"), 1);
    EXPECT_EQ(skeleton->getCoreBone(1)->getParentId(), 0);
    EXPECT_EQ(loaded.getBoneId("Bip01 Arm"), 1);
    EXPECT_EQ(loaded.getBoneId("Nobody"), -1);

    const int meshId = loaded.loadCoreMesh(meshFile);
    ASSERT_GE(meshId, 0);
    CalCoreSubmesh* submesh = loaded.getCoreMesh(meshId)->getCoreSubmesh(0);
    ASSERT_NE(submesh, nullptr);
    EXPECT_EQ(submesh->getVertexCount(), 3);
    EXPECT_EQ(submesh->getFaceCount(), 1);
    EXPECT_EQ(submesh->getVectorVertex()[2].vectorInfluence.at(0).boneId, 1);

    const int animationId = loaded.loadCoreAnimation(animationFile);
    ASSERT_GE(animationId, 0);
    EXPECT_FLOAT_EQ(loaded.getCoreAnimation(animationId)->getDuration(), 1.0f);
    EXPECT_EQ(loaded.getCoreAnimation(animationId)->getTrackCount(), 1u);

    // Half-way through the cycle the arm is half-way along its track.
    {
        CalModel model(&loaded);
        EXPECT_TRUE(model.attachMesh(meshId));
        EXPECT_TRUE(model.getMixer()->blendCycle(animationId, 1.0f, 0.0f));
        model.update(0.0f);  // a new cycle starts its clock on the first update
        model.update(0.5f);
        EXPECT_NEAR(model.getSkeleton()->getBone(1)->getTranslation().y, 2.0f, 1e-3f);
    }
    ReleaseTracks(loaded.getCoreAnimation(animationId));
}

} // namespace
