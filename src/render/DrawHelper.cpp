#include "render/DrawHelper.h"

#include "app/Startup.h"
#include "render/DrawCallCounter.h"
#include "render/VertexTypes.h"

namespace {

const D3DXMATRIX kIdentity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

// Keeps the view and projection of whoever drew before (the camera) and puts
// them back when the quad is done.
class SavedCamera {
public:
    explicit SavedCamera(IDirect3DDevice9* device) : m_Device(device)
    {
        m_Device->GetTransform(D3DTS_VIEW, &m_View);
        m_Device->GetTransform(D3DTS_PROJECTION, &m_Projection);
    }
    ~SavedCamera()
    {
        m_Device->SetTransform(D3DTS_VIEW, &m_View);
        m_Device->SetTransform(D3DTS_PROJECTION, &m_Projection);
    }
    SavedCamera(const SavedCamera&) = delete;
    SavedCamera& operator=(const SavedCamera&) = delete;

private:
    IDirect3DDevice9* m_Device;
    D3DMATRIX m_View;
    D3DMATRIX m_Projection;
};

// A screen quad must cover its rectangle whatever cull mode a pass or an
// earlier draw left behind; the mode is put back afterwards.
class NoCulling {
public:
    explicit NoCulling(IDirect3DDevice9* device) : m_Device(device)
    {
        m_Device->GetRenderState(D3DRS_CULLMODE, &m_CullMode);
        m_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    ~NoCulling() { m_Device->SetRenderState(D3DRS_CULLMODE, m_CullMode); }
    NoCulling(const NoCulling&) = delete;
    NoCulling& operator=(const NoCulling&) = delete;

private:
    IDirect3DDevice9* m_Device;
    DWORD m_CullMode = D3DCULL_CW;
};

// The unit screen: x 0..1 to the right, y 0..1 downwards.
D3DXMATRIX UnitScreenProjection()
{
    D3DXMATRIX projection;
    D3DXMatrixOrthoOffCenterRH(&projection, 0, 1, 1, 0, -1, 1);
    return projection;
}

} // namespace

CDrawHelper& getDrawHelper()
{
    static CDrawHelper helper;
    return helper;
}

std::vector<WorldQuad>& getWorldQuads()
{
    static std::vector<WorldQuad> quads;
    return quads;
}

void DrawWorldQuads()
{
    for (const WorldQuad& quad : getWorldQuads()) {
        if (quad.visible)
            getDrawHelper().DrawWorldQuad(quad.texture, quad.world, 50.0f);
    }
}

void CDrawHelper::DrawLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour)
{
    if (!D3DDevice)
        return;
    const CUSTOMVERTEX line[2] = {{from.x, from.y, from.z, colour}, {to.x, to.y, to.z, colour}};
    D3DDevice->SetFVF(CUSTOMVERTEX::FVF);
    D3DDevice->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(CUSTOMVERTEX));
}

void CDrawHelper::DrawAxes()
{
    const D3DXVECTOR3 origin(0, 0, 0);
    DrawLine(origin, D3DXVECTOR3(30, 0, 0), 0xFFFF0000);
    DrawLine(origin, D3DXVECTOR3(0, 60, 0), 0xFF00FF00);
    DrawLine(origin, D3DXVECTOR3(0, 0, 90), 0xFF0000FF);
}

void CDrawHelper::DrawFullScreenQuad()
{
    if (!D3DDevice)
        return;
    SavedCamera saved(D3DDevice);
    NoCulling noCulling(D3DDevice);
    D3DDevice->SetTransform(D3DTS_WORLD, &kIdentity);
    D3DDevice->SetTransform(D3DTS_VIEW, &kIdentity);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &kIdentity);

    // Clip space has y up: bottom-left, bottom-right, top-left, top-right.
    const DOUBLE_TEXTURED_VERTEX quad[4] = {
        {-1, -1, 0, 0, 1, 0, 1.5f},
        {1, -1, 0, 1, 1, 1.5f, 1.5f},
        {-1, 1, 0, 0, 0, 0, 0},
        {1, 1, 0, 1, 0, 1.5f, 0},
    };
    D3DDevice->SetFVF(DOUBLE_TEXTURED_VERTEX::FVF);
    D3DDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(DOUBLE_TEXTURED_VERTEX));
    CountDrawCall();
}

void CDrawHelper::DrawScreenQuad(int width, int height, bool halfTexelShift)
{
    if (!D3DDevice)
        return;
    SavedCamera saved(D3DDevice);
    NoCulling noCulling(D3DDevice);
    const D3DXMATRIX projection = UnitScreenProjection();
    D3DDevice->SetTransform(D3DTS_WORLD, &kIdentity);
    D3DDevice->SetTransform(D3DTS_VIEW, &kIdentity);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);

    float du = 0, dv = 0;
    if (halfTexelShift && width > 0 && height > 0) {
        du = -0.5f / width;
        dv = -0.5f / height;
    }
    const DOUBLE_TEXTURED_VERTEX quad[4] = {
        {0, 1, 0, 0 + du, 1 + dv, 0 + du, 1 + dv},
        {1, 1, 0, 1 + du, 1 + dv, 1 + du, 1 + dv},
        {0, 0, 0, 0 + du, 0 + dv, 0 + du, 0 + dv},
        {1, 0, 0, 1 + du, 0 + dv, 1 + du, 0 + dv},
    };
    D3DDevice->SetRenderState(D3DRS_ZENABLE, FALSE);
    D3DDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    D3DDevice->SetFVF(DOUBLE_TEXTURED_VERTEX::FVF);
    D3DDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(DOUBLE_TEXTURED_VERTEX));
    D3DDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
    D3DDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    CountDrawCall();
}

void CDrawHelper::DrawFullScreenTexture(IDirect3DTexture9* texture, float /*value*/)
{
    DrawUnitScreenQuad(texture, 0, 1, 0, 1, 0, 1);
}

void CDrawHelper::DrawTexturedRect(IDirect3DTexture9* texture, float left, float right, float top, float bottom)
{
    DrawUnitScreenQuad(texture, left, right, top, bottom, 0, 1);
}

void CDrawHelper::DrawTexturedRectEx(IDirect3DTexture9* texture, float left, float right, float top,
                                     float bottom, float frameWidth, int frameIndex)
{
    DrawUnitScreenQuad(texture, left, right, top, bottom, frameIndex * frameWidth, (frameIndex + 1) * frameWidth);
}

void CDrawHelper::DrawUnitScreenQuad(IDirect3DTexture9* texture, float left, float right, float top, float bottom,
                                     float u0, float u1)
{
    if (!D3DDevice)
        return;
    SavedCamera saved(D3DDevice);
    NoCulling noCulling(D3DDevice);
    const D3DXMATRIX projection = UnitScreenProjection();
    D3DDevice->SetTransform(D3DTS_WORLD, &kIdentity);
    D3DDevice->SetTransform(D3DTS_VIEW, &kIdentity);
    D3DDevice->SetTransform(D3DTS_PROJECTION, &projection);

    const DOUBLE_TEXTURED_VERTEX quad[4] = {
        {left, bottom, 0, u0, 1, u0, 1},
        {right, bottom, 0, u1, 1, u1, 1},
        {left, top, 0, u0, 0, u0, 0},
        {right, top, 0, u1, 0, u1, 0},
    };
    D3DDevice->SetTexture(0, texture);
    D3DDevice->SetRenderState(D3DRS_ZENABLE, FALSE);
    D3DDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    D3DDevice->SetFVF(DOUBLE_TEXTURED_VERTEX::FVF);
    D3DDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(DOUBLE_TEXTURED_VERTEX));
    D3DDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
    D3DDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    D3DDevice->SetTexture(0, nullptr);
}

void CDrawHelper::DrawWorldQuad(IDirect3DTexture9* texture, const D3DXMATRIX& world, float size,
                                const TexturePart& part)
{
    if (!D3DDevice)
        return;
    SavedCamera saved(D3DDevice);
    const float s = size;
    // u runs from -size to +size in x, v from +size down to -size in y.
    const float x0 = s * (2.0f * part.u0 - 1.0f), x1 = s * (2.0f * part.u1 - 1.0f);
    const float y0 = s * (1.0f - 2.0f * part.v0), y1 = s * (1.0f - 2.0f * part.v1);
    const float u0 = part.u0, u1 = part.u1, v0 = part.v0, v1 = part.v1;
    // The same square twice with opposite windings, so that culling never
    // hides it whichever side faces the camera.
    const DOUBLE_TEXTURED_VERTEX front[4] = {
        {x0, y1, 0, u0, v1, u0, v1},
        {x1, y1, 0, u1, v1, u1, v1},
        {x0, y0, 0, u0, v0, u0, v0},
        {x1, y0, 0, u1, v0, u1, v0},
    };
    const DOUBLE_TEXTURED_VERTEX back[4] = {front[1], front[0], front[3], front[2]};

    D3DDevice->SetTransform(D3DTS_WORLD, &world);
    D3DDevice->SetTexture(0, texture);
    D3DDevice->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    D3DDevice->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    D3DDevice->SetRenderState(D3DRS_ALPHAREF, kWorldQuadAlphaRef);
    D3DDevice->SetFVF(DOUBLE_TEXTURED_VERTEX::FVF);
    D3DDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, front, sizeof(DOUBLE_TEXTURED_VERTEX));
    D3DDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, back, sizeof(DOUBLE_TEXTURED_VERTEX));
    D3DDevice->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    D3DDevice->SetTexture(0, nullptr);
}
