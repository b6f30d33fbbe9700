// A flat square entity in memory, drawn with one "Base" technique: what the
// effect, scene and frame tests put in front of the camera.
#pragma once

#include <string>

#include "render/VertexBuffers.h"
#include "render/VertexTypes.h"
#include "scene/Entity3D.h"

namespace fxtest {

// The two triangles of a square over a buffer's four corners, one subset.
inline void SquareIndices(IVertexBuffer& buffer)
{
    const unsigned short indices[6] = {0, 1, 2, 0, 2, 3};
    buffer.SetIndexBuffer(new CIndexBuffer);
    buffer.GetIndexBuffer()->Create(6, indices);
    buffer.GetSubsets().push_back({0, 2});
}

// A square of side 2 * half facing +Z or +Y, drawn with one "Base" technique.
class FlatEntity : public IEntidad3D {
public:
    enum Facing { FacingZ, FacingY };

    FlatEntity(const std::string& name, float half, Facing facing, const std::string& technique)
    {
        const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
        NORMAL_TANGENT_TEXTURED_VERTEX v[4] = {};
        for (int i = 0; i < 4; ++i) {
            v[i].x = corners[i][0];
            (facing == FacingY ? v[i].z : v[i].y) = corners[i][1];
            (facing == FacingY ? v[i].ny : v[i].nz) = 1.0f;
            v[i].tu = v[i].tu2 = i == 1 || i == 2 ? 1.0f : 0.0f;
            v[i].tv = v[i].tv2 = i >= 2 ? 0.0f : 1.0f;
            v[i].tx = v[i].tw = 1.0f;
        }
        m_Buffer.Create(4, v, D3DPT_TRIANGLELIST);
        SquareIndices(m_Buffer);
        m_Mesh = &m_Buffer;
        m_Name = name;
        m_CurrentPass = "Base";
        m_Techniques["Base"] = technique;
    }

    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}

    void MoveTo(float x, float y, float z) { m_Transform.SetPosition(D3DXVECTOR3(x, y, z)); }

private:
    CVertexBufferDef<NORMAL_TANGENT_TEXTURED_VERTEX> m_Buffer;
};

// A flat square of skinned vertices that no bone weighs on, facing +Y or
// +Z: a caster whose place in the shadow map is known.
class FlatCaster : public IEntidad3D {
public:
    explicit FlatCaster(float half, FlatEntity::Facing facing = FlatEntity::FacingY)
    {
        const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
        TCalNormalVertex v[4] = {};
        for (int i = 0; i < 4; ++i) {
            v[i].x = corners[i][0];
            (facing == FlatEntity::FacingY ? v[i].z : v[i].y) = corners[i][1];
            (facing == FlatEntity::FacingY ? v[i].ny : v[i].nz) = 1.0f;
        }
        m_Buffer.Create(4, v, D3DPT_TRIANGLELIST);
        SquareIndices(m_Buffer);
        m_Mesh = &m_Buffer;
        m_Name = "Character";
        m_CurrentPass = "Base";
        m_Techniques["Base"] = "Characters_PhongLightingTech";
    }
    void Render(bool) override {}
    void Init(const std::string&) override {}
    void UploadBones() override {}

private:
    CCal3DVertexBuffer m_Buffer;
};

} // namespace fxtest
