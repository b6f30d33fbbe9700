#include <gtest/gtest.h>

#include <cal3d/cal3d.h>

#include "TempFolder.h"
#include "datagen/Cal3dWriter.h"

namespace {

CalCoreSkeletonPtr TwoBoneSkeleton()
{
    CalCoreSkeletonPtr skeleton(new CalCoreSkeleton());
    auto* root = new CalCoreBone("Bip01");
    root->setParentId(-1);
    root->setTranslation(CalVector(0, 0, 0));
    root->setRotation(CalQuaternion(0, 0, 0, 1));
    root->setTranslationBoneSpace(CalVector(0, 0, 0));
    root->setRotationBoneSpace(CalQuaternion(0, 0, 0, 1));
    root->setCoreSkeleton(skeleton.get());
    const int rootId = skeleton->addCoreBone(root);
    skeleton->mapCoreBoneName(rootId, "Bip01");

    auto* head = new CalCoreBone("Bip01 Head");
    head->setParentId(rootId);
    head->setTranslation(CalVector(0, 1.5f, 0));
    head->setRotation(CalQuaternion(0, 0, 0, 1));
    head->setTranslationBoneSpace(CalVector(0, -1.5f, 0));
    head->setRotationBoneSpace(CalQuaternion(0, 0, 0, 1));
    head->setCoreSkeleton(skeleton.get());
    const int headId = skeleton->addCoreBone(head);
    skeleton->mapCoreBoneName(headId, "Bip01 Head");
    root->addChildId(headId);
    skeleton->calculateState();
    return skeleton;
}

} // namespace

TEST(Cal3dWriter, SkeletonRoundTripsThroughCal3dsLoader)
{
    TempFolder tmp;
    datagen::Output out(tmp.Path());
    CalCoreSkeletonPtr skeleton = TwoBoneSkeleton();
    ASSERT_TRUE(datagen::WriteCoreSkeleton(out, "data/models/test.csf", *skeleton)) << out.Failures().front();

    const std::string file = (tmp.Path() / "data/models/test.csf").string();
    CalCoreSkeletonPtr loaded = CalLoader::loadCoreSkeleton(file);
    ASSERT_TRUE(loaded) << CalError::getLastErrorDescription();
    ASSERT_EQ(loaded->getVectorCoreBone().size(), 2u);
    EXPECT_EQ(loaded->getCoreBone(0)->getName(), "Bip01");
    EXPECT_EQ(loaded->getCoreBone(1)->getName(), "Bip01 Head");
    EXPECT_EQ(loaded->getCoreBone(1)->getParentId(), 0);
    EXPECT_FLOAT_EQ(loaded->getCoreBone(1)->getTranslation().y, 1.5f);

    // Saving the same skeleton again changes nothing on disk.
    datagen::Output again(tmp.Path());
    ASSERT_TRUE(datagen::WriteCoreSkeleton(again, "data/models/test.csf", *skeleton));
    EXPECT_EQ(again.Unchanged(), 1);
    EXPECT_EQ(again.Written(), 0);
}
