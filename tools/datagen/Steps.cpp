#include "datagen/Collisions.h"
#include "datagen/ComicBoards.h"
#include "datagen/Characters.h"
#include "datagen/CompositeTextures.h"
#include "datagen/EnemyLists.h"
#include "datagen/Generator.h"
#include "datagen/GuiImages.h"
#include "datagen/Instances.h"
#include "datagen/Lightmaps.h"
#include "datagen/MeshLevels.h"
#include "datagen/MeshTextures.h"
#include "datagen/RigidAnims.h"
#include "datagen/ParticleTextures.h"
#include "datagen/ScreenImages.h"
#include "datagen/Sounds.h"
#include "datagen/Weapons.h"

namespace datagen {

// Listed here rather than registered from each file: a self-registering
// object in a static library is dropped by the linker when nothing else in
// its file is referenced.
const std::vector<Step>& AllSteps()
{
    static const std::vector<Step> steps = {
        {"loading images", GenerateScreenImages},
        {"screen elements", GenerateGuiImages},
        {"mesh textures", GenerateMeshTextures},
        {"floor lightmaps", GenerateLightmaps},
        {"level meshes", GenerateLevelMeshes},
        {"level instances", GenerateLevelInstances},
        {"composite overlays", GenerateCompositeTextures},
        {"collision boxes", GenerateCollisionInstances},
        {"rigid animations", GenerateRigidAnimations},
        {"comic boards", GenerateComicBoards},
        {"characters", GenerateCharacters},
        {"particle textures", GenerateParticleTextures},
        {"sounds", GenerateSounds},
        {"enemy lists", GenerateEnemyLists},
        {"weapons", GenerateWeapons},
    };
    return steps;
}

} // namespace datagen
