#include "scene/RigidEntity.h"

#include <cstddef>
#include <utility>

#include "app/Startup.h"
#include "render/EffectManager.h"
#include "render/VertexBuffers.h"
#include "scene/MeshCache.h"

CRigidEntity::CRigidEntity()
{
    m_CurrentPass = "Base";
}

void CRigidEntity::Render(bool debugDraw)
{
    if (!m_Mesh || !D3DDevice)
        return;
    D3DDevice->SetTransform(D3DTS_WORLD, &m_Transform.GetMatrix());
    const std::size_t subsets = m_Mesh->GetSubsets().size();
    for (std::size_t i = 0; i < subsets; ++i)
        m_Mesh->RenderSubset(static_cast<int>(i));
    if (debugDraw)
        m_Mesh->DebugDraw(1.0f);
}

void CRigidEntity::Init(const std::string& name)
{
    m_Effect = getEffectManager().GetEffect();
    m_Mesh = getMeshCache().GetMesh(name);
    m_Name = name;
    m_Techniques["Base"] = "PhongLightingTech";
    m_CurrentPass = "Base";
    LoadTechniques();
}

void CRigidEntity::SetParapets(std::vector<TParapet> parapets)
{
    m_Parapets = std::move(parapets);
}

std::vector<TParapet*> CRigidEntity::GetParapets()
{
    std::vector<TParapet*> pointers;
    pointers.reserve(m_Parapets.size());
    for (TParapet& parapet : m_Parapets)
        pointers.push_back(&parapet);
    return pointers;
}
