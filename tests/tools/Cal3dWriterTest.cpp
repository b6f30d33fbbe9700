#include <gtest/gtest.h>

#include <cal3d/cal3d.h>

#include "datagen/Cal3dWriter.h"
#include "xml/temp_folder.h"

TEST(Cal3dWriter, SkeletonRoundTripsThroughCal3dsLoaderAndIsNotRewritten)
{
    CalCoreSkeletonPtr skeleton(new CalCoreSkeleton());
    auto addBone = [&](const char* name, int parent, float height) {
        auto* bone = new CalCoreBone(name);
        bone->setParentId(parent);
        bone->setTranslation(CalVector(0, height, 0));
        bone->setRotation(CalQuaternion(0, 0, 0, 1));
        bone->setTranslationBoneSpace(CalVector(0, -height, 0));
        bone->setRotationBoneSpace(CalQuaternion(0, 0, 0, 1));
        bone->setCoreSkeleton(skeleton.get());
        const int id = skeleton->addCoreBone(bone);
        skeleton->mapCoreBoneName(id, name);
        if (parent >= 0)
            skeleton->getCoreBone(parent)->addChildId(id);
    };
    addBone("Bip01", -1, 0);
    addBone("Bip01 Head", 0, 1.5f);
    skeleton->calculateState();

    TempFolder tmp;
    datagen::Output out(tmp.Path());
    ASSERT_TRUE(datagen::WriteCoreSkeleton(out, "data/models/test.csf", *skeleton)) << out.Failures().front();
    CalCoreSkeletonPtr loaded = CalLoader::loadCoreSkeleton(tmp / "data/models/test.csf");
    ASSERT_TRUE(loaded) << CalError::getLastErrorDescription();
    ASSERT_EQ(loaded->getVectorCoreBone().size(), 2u);
    EXPECT_EQ(loaded->getCoreBone(0)->getName(), "Bip01");
    EXPECT_EQ(loaded->getCoreBone(1)->getName(), "Bip01 Head");
    EXPECT_EQ(loaded->getCoreBone(1)->getParentId(), 0);
    EXPECT_FLOAT_EQ(loaded->getCoreBone(1)->getTranslation().y, 1.5f);

    datagen::Output again(tmp.Path());
    ASSERT_TRUE(datagen::WriteCoreSkeleton(again, "data/models/test.csf", *skeleton));
    EXPECT_EQ(again.Unchanged(), 1);
    EXPECT_EQ(again.Written(), 0);
}
