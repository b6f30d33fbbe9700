#include "scene/RigidAnimManager.h"

#include "app/GameStateFlags.h"

const char* const CRigidAnimManager::StartMatrixNames[kStartMatrixCount] = {
    "maderitas3_ROTO_1", "maderitas3_ROTO_2", "maderitas3_ROTO_3",
    "maderitas3_ROTO_4", "maderitas3_ROTO_5", "maderitas2_ROTO_1",
    "maderitas2_ROTO_2", "maderitas2_ROTO_3", "maderitas2_ROTO_4",
    "isla_madera_andamio_EXPLO_10", "isla_madera_andamio_EXPLO_06", "Hangar_PUERTA_DER",
    "Hangar_PUERTA_IZQ",
};

namespace {

int StartMatrixSlot(const std::string& name)
{
    for (std::size_t i = 0; i < CRigidAnimManager::kStartMatrixCount; ++i) {
        if (name == CRigidAnimManager::StartMatrixNames[i])
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

void CRigidAnimManager::Load()
{
    // Placeholder until the rigid animations are built.
}

void CRigidAnimManager::Update(float dt)
{
    // Placeholder until the cut-scene sequencer is built: the intro comics and
    // the hangar flight would end here, so a new game goes straight to play.
    CGameStateFlagsManager& record = getGSF();
    switch (record.sequence) {
    case CGameStateFlagsManager::ReadyVinyetasIntro1:
    case CGameStateFlagsManager::PlayingVinyetasIntro1:
    case CGameStateFlagsManager::ReadyVinyetasIntro2:
    case CGameStateFlagsManager::PlayingVinyetasIntro2:
    case CGameStateFlagsManager::ReadyCamIntroHangares:
    case CGameStateFlagsManager::PlayingCamIntroHangares:
        record.setHangaresIntroDone();
        break;
    default:
        break;
    }
}

void CRigidAnimManager::Clear()
{
    // Placeholder until the rigid animations are built.
}

void CRigidAnimManager::Reset()
{
    // Placeholder until the rigid animations are built.
}

void CRigidAnimManager::play(std::string name, bool loop)
{
    // Placeholder until the rigid animations are built.
}

void CRigidAnimManager::playCam(std::string name)
{
    // Placeholder until the camera sequences are built.
}

void CRigidAnimManager::SetComboCamera()
{
    // Placeholder until the camera sequences are built.
}

void CRigidAnimManager::setWaitToPlayAvioneta(float seconds)
{
    // Placeholder until the rigid animations are built.
}

bool CRigidAnimManager::canPlayWaitEnded()
{
    // Placeholder until the rigid animations are built: no wait is counted,
    // so a script waiting on it goes on at once.
    return true;
}

void CRigidAnimManager::setCameraSpeedModifier(float value)
{
    // Placeholder until the camera sequences are built.
}

void CRigidAnimManager::SetStartMatrix(const std::string& name, const D3DXMATRIX& matrix)
{
    const int slot = StartMatrixSlot(name);
    if (slot < 0)
        return;
    m_StartMatrices[slot] = matrix;
    m_StartMatrixSet[slot] = true;
}

const D3DXMATRIX* CRigidAnimManager::GetStartMatrix(const std::string& name) const
{
    const int slot = StartMatrixSlot(name);
    if (slot < 0 || !m_StartMatrixSet[slot])
        return nullptr;
    return &m_StartMatrices[slot];
}

CRigidAnimManager* getRigid()
{
    static CRigidAnimManager manager;
    return &manager;
}
