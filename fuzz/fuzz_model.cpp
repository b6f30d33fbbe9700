// Any bytes as a character skeleton, mesh or animation file (told by its
// first four bytes); a file the check accepts is handed to the model library
// from memory, as the game does, which must then read it without fault.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <cal3d/cal3d.h>
#include <cal3d/coretrack.h>

#include "scene/Cal3dFiles.h"

namespace {

// Seventeen bones in a chain, as many as the game's skeletons hold.
CalCoreSkeleton* Skeleton()
{
    static CalCoreSkeletonPtr skeleton = [] {
        CalCoreSkeletonPtr made(new CalCoreSkeleton);
        for (int i = 0; i < 17; ++i) {
            auto* bone = new CalCoreBone("bone" + std::to_string(i));
            bone->setParentId(i - 1);
            if (i > 0)
                made->getCoreBone(i - 1)->addChildId(i);
            made->addCoreBone(bone);
        }
        return made;
    }();
    return skeleton.get();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<unsigned char> bytes(data, data + size);
    if (size < 4)
        return 0;
    const int bones = Skeleton()->getVectorCoreBone().size();
    if (std::memcmp(data, "CSF", 4) == 0) {
        int count = 0;
        if (cal3dfiles::CheckSkeleton(bytes, &count).empty()) {
            CalCoreSkeletonPtr skeleton = CalLoader::loadCoreSkeleton(static_cast<void*>(bytes.data()));
            if (skeleton)
                skeleton->calculateState();
        }
    } else if (std::memcmp(data, "CMF", 4) == 0) {
        if (cal3dfiles::CheckMesh(bytes, bones).empty())
            CalCoreMeshPtr mesh = CalLoader::loadCoreMesh(static_cast<void*>(bytes.data()));
    } else if (std::memcmp(data, "CAF", 4) == 0) {
        if (cal3dfiles::CheckAnimation(bytes, bones).empty()) {
            CalCoreAnimationPtr animation = CalLoader::loadCoreAnimation(static_cast<void*>(bytes.data()), Skeleton());
            // The animation's destructor leaves its tracks behind.
            if (animation)
                for (CalCoreTrack* track : animation->getListCoreTrack()) {
                    track->destroy();
                    delete track;
                }
        }
    }
    return 0;
}
