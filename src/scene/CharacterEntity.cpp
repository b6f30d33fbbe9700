#include "scene/CharacterEntity.h"

#include "platform/bounded.h"

#include <algorithm>
#include <vector>

#include <cal3d/cal3d.h>
#include <cal3d/coretrack.h>

#include "app/Startup.h"
#include "platform/win32.h"
#include "render/EffectManager.h"
#include "scene/ModelsManager.h"

namespace {

std::map<CalMixer*, CCharacterEntity*>& MixerOwners()
{
    return getModelsManager().mixerOwners;
}

bool FindAnimation(const TCoreModelInfo* info, const std::string& name, int* id)
{
    auto found = info->animations.find(name);
    if (found == info->animations.end())
        return false;
    *id = found->second;
    return true;
}

} // namespace

CCharacterEntity::CCharacterEntity(CalModel* model, TCoreModelInfo* info) : m_Model(model), m_Info(info)
{
    m_Effect = getEffectManager().GetEffect();
    m_Mesh = &info->vertexBuffer;
    m_Name = "Character";
    m_Techniques["Base"] = "Characters_PhongLightingTech";
    m_CurrentPass = "Base";
    LoadTechniques();

    const std::vector<CalCoreBone*>& bones = info->coreModel->getCoreSkeleton()->getVectorCoreBone();
    for (std::size_t i = 0; i < bones.size(); ++i) {
        if (bones[i]->getParentId() == -1) {
            m_RootBone = static_cast<int>(i);
            break;
        }
    }
    MixerOwners()[m_Model->getMixer()] = this;
}

CCharacterEntity::~CCharacterEntity()
{
    MixerOwners().erase(m_Model->getMixer());
    delete m_Model;
}

bool CCharacterEntity::BlendCycle(std::string name, float weight, float delay)
{
    int id;
    if (!FindAnimation(m_Info, name, &id)) {
        bounded::ReportMissingOnce("Anim not found", name);
        return false;
    }
    return m_Model->getMixer()->blendCycle(id, weight, delay);
}

bool CCharacterEntity::ClearCycle(std::string name, float delay)
{
    int id;
    if (!FindAnimation(m_Info, name, &id))
        return false;
    m_Model->getMixer()->clearCycle(id, delay);
    return true;
}

void CCharacterEntity::ClearAllCycles(float delay)
{
    for (const auto& entry : m_Info->animations)
        m_Model->getMixer()->clearCycle(entry.second, delay);
}

float CCharacterEntity::ExecuteAction(std::string name, float delayIn, float delayOut, float weightTarget,
                                      bool autoLock)
{
    int id;
    if (!FindAnimation(m_Info, name, &id))
        return -1.0f;
    CalMixer* mixer = m_Model->getMixer();
    if (!mixer->getAnimationActionList().empty() && m_LastAction == id)
        return -1.0f;
    if (!mixer->executeAction(id, delayIn, delayOut, weightTarget, autoLock))
        return -1.0f;
    m_LastAction = id;
    return m_Info->coreModel->getCoreAnimation(id)->getDuration();
}

void CCharacterEntity::RemoveAction()
{
    std::list<CalAnimationAction*>& actions = m_Model->getMixer()->getAnimationActionList();
    if (actions.empty())
        return;
    CalAnimationAction* action = actions.front();
    // Its travel so far was counted at the last update; what it would still
    // have made is not the character's any more.
    m_ActionTimes.erase(action);
    CalCoreAnimation* core = action->getCoreAnimation();
    for (int id = 0; id < m_Info->coreModel->getCoreAnimationCount(); ++id) {
        if (m_Info->coreModel->getCoreAnimation(id) == core) {
            m_Model->getMixer()->removeAction(id);
            return;
        }
    }
}

int CCharacterEntity::GetActionCount() const
{
    return static_cast<int>(m_Model->getMixer()->getAnimationActionList().size());
}

int CCharacterEntity::GetCycleCount() const
{
    return static_cast<int>(m_Model->getMixer()->getAnimationCycle().size());
}

D3DXMATRIX CCharacterEntity::GetBoneMatrix(std::string anchorName) const
{
    D3DXMATRIX result;
    D3DXMatrixIdentity(&result);
    auto found = m_Info->anchors.find(anchorName);
    CalBone* bone = nullptr;
    if (found != m_Info->anchors.end() && found->second >= 0)
        bone = m_Model->getSkeleton()->getBone(found->second);
    if (!bone) {
        bounded::ReportMissingOnce("Anchor not found", anchorName);
        return result;
    }
    const CalQuaternion& q = bone->getRotationAbsolute();
    // Cal3D turns vectors the other way round from D3DX: the same rotation
    // as a D3DX quaternion has the scalar negated.
    const D3DXQUATERNION rotation(q.x, q.y, q.z, -q.w);
    D3DXMatrixRotationQuaternion(&result, &rotation);
    const CalVector& t = bone->getTranslationAbsolute();
    result._41 = t.x;
    result._42 = t.y;
    result._43 = t.z;
    return result;
}

// --- root motion ---------------------------------------------------------------------------

D3DXVECTOR3 CCharacterEntity::RootAt(CalAnimationAction* action, float time) const
{
    CalCoreAnimation* core = action->getCoreAnimation();
    if (m_RootBone < 0 || !core)
        return D3DXVECTOR3(0, 0, 0);
    CalCoreTrack* track = core->getCoreTrack(m_RootBone);
    if (!track)
        return D3DXVECTOR3(0, 0, 0);
    CalVector translation;
    CalQuaternion rotation;
    track->getState(std::max(0.0f, std::min(time, core->getDuration())), translation, rotation);
    return D3DXVECTOR3(translation.x, 0.0f, translation.z);
}

void CCharacterEntity::Update(float seconds)
{
    CalMixer* mixer = m_Model->getMixer();
    // Where each action stood before this step: a new one from its own start.
    std::map<CalAnimationAction*, float> before;
    for (CalAnimationAction* action : mixer->getAnimationActionList()) {
        auto known = m_ActionTimes.find(action);
        before[action] = known != m_ActionTimes.end() ? known->second : 0.0f;
    }
    // The durations and root tracks must be read before the mixer lets a
    // finished action go.
    std::map<CalAnimationAction*, D3DXVECTOR3> endTravel;
    for (const auto& entry : before) {
        CalAnimationAction* action = entry.first;
        const float duration = action->getCoreAnimation()->getDuration();
        endTravel[action] = RootAt(action, duration) - RootAt(action, entry.second);
    }

    mixer->updateAnimation(seconds);

    m_ActionTimes.clear();
    std::list<CalAnimationAction*>& running = mixer->getAnimationActionList();
    for (const auto& entry : before) {
        CalAnimationAction* action = entry.first;
        const bool stillRunning = std::find(running.begin(), running.end(), action) != running.end();
        if (stillRunning) {
            const float now = std::min(action->getTime(), action->getCoreAnimation()->getDuration());
            m_Displacement += RootAt(action, now) - RootAt(action, entry.second);
            m_ActionTimes[action] = now;
        } else {
            m_Displacement += endTravel[action];
        }
    }
    for (CalAnimationAction* action : running) {
        if (!m_ActionTimes.count(action))
            m_ActionTimes[action] = 0.0f;
    }

    mixer->updateSkeleton();
    TakeRootOutOfPose();
}

void CCharacterEntity::TakeRootOutOfPose()
{
    if (m_RootBone < 0)
        return;
    CalBone* root = m_Model->getSkeleton()->getBone(m_RootBone);
    if (!root)
        return;
    D3DXVECTOR3 travel(0, 0, 0);
    for (const auto& entry : m_ActionTimes)
        travel += RootAt(entry.first, entry.second) - RootAt(entry.first, 0.0f);
    if (travel.x == 0.0f && travel.z == 0.0f)
        return;
    CalVector translation = root->getTranslation();
    translation.x -= travel.x;
    translation.z -= travel.z;
    root->setTranslation(translation);
    m_Model->getSkeleton()->calculateState();
}

D3DXVECTOR3 CCharacterEntity::TakeDisplacement()
{
    const D3DXVECTOR3 taken = m_Displacement;
    m_Displacement = D3DXVECTOR3(0, 0, 0);
    return taken;
}

void TakeAnimationDisplacement(CalMixer* mixer, float out[3])
{
    auto found = MixerOwners().find(mixer);
    const D3DXVECTOR3 taken = found != MixerOwners().end() ? found->second->TakeDisplacement() : D3DXVECTOR3(0, 0, 0);
    out[0] = taken.x;
    out[1] = taken.y;
    out[2] = taken.z;
}

// --- drawing -------------------------------------------------------------------------------

void CCharacterEntity::Render(bool debugDraw)
{
    if (!m_Mesh || !D3DDevice)
        return;
    D3DDevice->SetTransform(D3DTS_WORLD, &m_Transform.GetMatrix());
    m_Mesh->RenderSubset(0);
    if (debugDraw)
        m_Mesh->DebugDraw(1.0f);
}

void CCharacterEntity::BuildBoneRows(std::vector<float>& rows) const
{
    const std::vector<int>& palette = m_Info->vertexBuffer.bonePalette;
    rows.resize(palette.size() * 12);
    CalSkeleton* skeleton = m_Model->getSkeleton();
    for (std::size_t k = 0; k < palette.size(); ++k) {
        CalBone* bone = skeleton->getBone(palette[k]);
        const CalMatrix& r = bone->getTransformMatrix();
        const CalVector& t = bone->getTranslationBoneSpace();
        const float values[12] = {r.dxdx, r.dxdy, r.dxdz, t.x, r.dydx, r.dydy, r.dydz, t.y,
                                  r.dzdx, r.dzdy, r.dzdz, t.z};
        std::copy(values, values + 12, rows.begin() + k * 12);
    }
}

void CCharacterEntity::UploadBones()
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    if (!effect)
        return;
    D3DXHANDLE bones = effect->GetParameterByName(nullptr, "bones");
    if (!bones)
        return;
    std::vector<float> rows;
    BuildBoneRows(rows);
    effect->SetFloatArray(bones, rows.data(), static_cast<UINT>(rows.size()));
}
