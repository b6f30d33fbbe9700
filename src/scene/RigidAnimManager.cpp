#include "scene/RigidAnimManager.h"

#include "app/GameStateFlags.h"

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

CRigidAnimManager* getRigid()
{
    static CRigidAnimManager manager;
    return &manager;
}
