#include "render/ShadowReach.h"

#include <algorithm>
#include <cmath>

#include "render/VertexBuffers.h"
#include "render/VertexTypes.h"
#include "scene/Entity3D.h"

namespace {

// Clip w at or under this is the light's eye plane: no place on the map.
constexpr float kNearestW = 1e-4f;
// The skinning shader's palette.
constexpr int kPaletteBones = 60;
constexpr size_t kFloatsPerBone = 12;

void AddPoint(ShadowRect& rect, const D3DXVECTOR3& p, const D3DXMATRIX& m)
{
    const float x = p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41;
    const float y = p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42;
    const float w = p.x * m._14 + p.y * m._24 + p.z * m._34 + m._44;
    rect.AddClip(x, y, w);
}

unsigned char Byte(D3DCOLOR colour, int k)
{
    return static_cast<unsigned char>((colour >> (8 * k)) & 0xFF);
}

} // namespace

void ShadowRect::AddClip(float x, float y, float w)
{
    if (whole)
        return;
    if (!(w > kNearestW) || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w)) {
        whole = true;
        return;
    }
    const float u = (x / w) * 0.5f + 0.5f, v = 0.5f - (y / w) * 0.5f;
    if (empty) {
        left = right = u;
        top = bottom = v;
        nearest = w;
        empty = false;
        return;
    }
    nearest = std::min(nearest, w);
    left = std::min(left, u);
    right = std::max(right, u);
    top = std::min(top, v);
    bottom = std::max(bottom, v);
}

void ShadowRect::Add(const ShadowRect& other)
{
    whole = whole || other.whole;
    if (other.empty)
        return;
    if (empty) {
        left = other.left;
        top = other.top;
        right = other.right;
        bottom = other.bottom;
        nearest = other.nearest;
        empty = false;
        return;
    }
    nearest = std::min(nearest, other.nearest);
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
}

bool ShadowRect::MayCoverMap() const
{
    return whole || (!empty && right >= 0.0f && left <= 1.0f && bottom >= 0.0f && top <= 1.0f);
}

bool ShadowRect::MayRead(const ShadowRect& drawn, float margin) const
{
    if (drawn.empty && !drawn.whole)
        return false;
    // Only texels of the map were drawn: a caster beyond its border left
    // nothing, however near.
    const float drawnLeft = std::max(drawn.left, 0.0f), drawnRight = std::min(drawn.right, 1.0f);
    const float drawnTop = std::max(drawn.top, 0.0f), drawnBottom = std::min(drawn.bottom, 1.0f);
    if (!drawn.whole && (drawnLeft > drawnRight || drawnTop > drawnBottom))
        return false;
    if (empty && !whole)
        return false;
    if (whole || drawn.whole)
        return true;
    // A clamped read outside the map lands on its border.
    auto clip = [](float v) { return std::min(std::max(v, 0.0f), 1.0f); };
    return clip(left - margin) <= drawnRight + margin && drawnLeft - margin <= clip(right + margin) &&
           clip(top - margin) <= drawnBottom + margin && drawnTop - margin <= clip(bottom + margin);
}

float ShadowReadMargin(unsigned width, unsigned height)
{
    // Three texels of room hold both.
    return 3.0f / static_cast<float>(std::max(1u, std::min(width, height)));
}

ShadowRect CasterShadowRect(const IEntidad3D& caster, const std::vector<float>& boneRows, const D3DXMATRIX& m)
{
    ShadowRect rect;
    const IVertexBuffer* mesh = caster.GetMesh();
    if (!mesh || mesh->GetVertexSize() != sizeof(TCalNormalVertex) || !mesh->GetVertexData()) {
        rect.whole = true;
        return rect;
    }
    const auto* vertices = reinterpret_cast<const TCalNormalVertex*>(mesh->GetVertexData());
    for (unsigned i = 0; i < mesh->GetVertexCount() && !rect.whole; ++i) {
        const TCalNormalVertex& vertex = vertices[i];
        const D3DXVECTOR3 v(vertex.x, vertex.y, vertex.z);
        // Unweighted (or overweighted) vertices keep their place; near the
        // shader's thresholds either may happen, so the place always counts.
        AddPoint(rect, v, m);
        for (int k = 0; k < 4; ++k) {
            if (Byte(vertex.weights, k) == 0)
                continue;
            const size_t bone = static_cast<size_t>(std::min<int>(Byte(vertex.indices, k), kPaletteBones - 1));
            if ((bone + 1) * kFloatsPerBone > boneRows.size()) {
                // The shader would read whatever an earlier draw left there.
                rect.whole = true;
                break;
            }
            const float* r = &boneRows[bone * kFloatsPerBone];
            const D3DXVECTOR3 placed(r[0] * v.x + r[1] * v.y + r[2] * v.z + r[3],
                                     r[4] * v.x + r[5] * v.y + r[6] * v.z + r[7],
                                     r[8] * v.x + r[9] * v.y + r[10] * v.z + r[11]);
            AddPoint(rect, placed, m);
        }
    }
    return rect;
}

ShadowRect ReceiverShadowRect(const IEntidad3D& receiver, const D3DXMATRIX& m)
{
    ShadowRect rect;
    D3DXVECTOR3 low, high;
    const IVertexBuffer* mesh = receiver.GetMesh();
    if (!mesh || !mesh->GetPositionBounds(low, high)) {
        rect.whole = true;
        return rect;
    }
    for (int corner = 0; corner < 8; ++corner)
        AddPoint(rect, D3DXVECTOR3(corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y,
                                   corner & 4 ? high.z : low.z),
                 m);
    return rect;
}
