#include "app/LevelPictures.h"

#include <set>
#include <vector>

#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "platform/gl_device.h"
#include "scene/Entity3D.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "world/Scenario.h"

namespace {

// Every name a level list marks, shown or not.
class NameRecorder : public IVisibilityMarks {
public:
    void AddVisible(const std::string& name) override { names.insert(name); }
    void SetVisible(const std::string& name, bool) override { names.insert(name); }
    std::set<std::string> names;
};

} // namespace

void HoldLevelPictures(const std::string& level, const CGameStateFlagsManager& gsf, const CRigidAnimManager& rigid,
                       CSceneMngr& scene)
{
    NameRecorder recorder;
    if (level == "hangares")
        MarkHangaresObjects(gsf, rigid, recorder);
    else if (level == "isla")
        MarkIslaObjects(rigid, recorder);
    std::vector<IDirect3DBaseTexture9*> pictures;
    for (const std::string& name : recorder.names)
        for (const IEntidad3D* entity : scene.GetObjects(name))
            if (entity)
                pictures.insert(pictures.end(), entity->GetTextures().begin(), entity->GetTextures().end());
    platform::HoldTexelsOf(pictures);
}

void HoldCurrentLevelPictures()
{
    HoldLevelPictures(getScenario()->scenarioName, getGSF(), *getRigid(), getSceneManager());
}
