#include "render/ShadowPixels.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/VertexBuffers.h"
#include "scene/Entity3D.h"

namespace {

// Past this many triangles a receiver is left to the taps everywhere: the
// reckoning would cost more than the shading it saves.
constexpr size_t kMaxTriangles = 512;

using Point = PlacedPoint;

// a . (x, y, z, 1) >= 0 inside.
struct Plane {
    double a[4];
    double At(const Point& p) const { return a[0] * p.x + a[1] * p.y + a[2] * p.z + a[3]; }
};

// Column c of a D3DX matrix: the clip coordinate c of a row-vector point.
Plane Column(const D3DXMATRIX& m, int c)
{
    return Plane{{m.m[0][c], m.m[1][c], m.m[2][c], m.m[3][c]}};
}

Plane Combine(const Plane& p, double s, const Plane& q, double t)
{
    Plane r;
    for (int i = 0; i < 4; ++i)
        r.a[i] = s * p.a[i] + t * q.a[i];
    return r;
}

// The part of a convex polygon inside a plane.
void ClipPolygon(std::vector<Point>& polygon, const Plane& plane, std::vector<Point>& scratch)
{
    scratch.clear();
    const size_t n = polygon.size();
    for (size_t i = 0; i < n; ++i) {
        const Point& a = polygon[i];
        const Point& b = polygon[(i + 1) % n];
        const double da = plane.At(a), db = plane.At(b);
        if (da >= 0.0)
            scratch.push_back(a);
        if ((da >= 0.0) != (db >= 0.0)) {
            const double t = da / (da - db);
            scratch.push_back(Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t});
        }
    }
    polygon.swap(scratch);
}

} // namespace

bool ShadowPixelsOf(const IEntidad3D& receiver, const ShadowVolume& volume, const D3DXMATRIX& viewProjection,
                    int width, int height, PixelRect& pixels)
{
    pixels = PixelRect();
    const IVertexBuffer* mesh = receiver.GetMesh();
    const CIndexBuffer* indexBuffer = mesh ? mesh->GetIndexBuffer() : nullptr;
    if (!mesh || !indexBuffer || mesh->GetPrimitiveType() != D3DPT_TRIANGLELIST || !mesh->GetVertexData() ||
        mesh->GetVertexSize() < 3 * sizeof(float) || width <= 0 || height <= 0)
        return false;
    const std::vector<unsigned short>& indices = indexBuffer->GetIndices();
    if (indices.size() / 3 > kMaxTriangles)
        return false;

    // The volume's sides in the light's clip space, the map's own edges
    // included (off the map a point is lit either way).
    const D3DXMATRIX& light = volume.lightViewProjection;
    const Plane x = Column(light, 0), y = Column(light, 1), w = Column(light, 3);
    const double left = std::max(0.0f, volume.left), right = std::min(1.0f, volume.right);
    const double top = std::max(0.0f, volume.top), bottom = std::min(1.0f, volume.bottom);
    if (!(left <= right) || !(top <= bottom))
        return true;
    // A caster's stored distance is held within the map's reach; a point
    // nearer than the nearest of them by half the bias is never behind one.
    const double nearest =
        std::max(1e-3, std::min<double>(volume.nearestCaster, kShadowFar) + 0.5 * kShadowFar * kShadowBias);
    const double farthest = kShadowFar * (1.0 + kShadowBias) + 1.0;
    if (!(nearest <= farthest))
        return true;
    Plane nearPlane = w, farPlane = Combine(w, -1.0, w, 0.0);
    nearPlane.a[3] -= nearest;
    farPlane.a[3] += farthest;
    // (u = x / w / 2 + 1/2 and v = 1/2 - y / w / 2, for w > 0.)
    const Plane planes[] = {
        nearPlane,
        farPlane,
        Combine(x, 1.0, w, -(2.0 * left - 1.0)),
        Combine(w, 2.0 * right - 1.0, x, -1.0),
        Combine(w, 1.0 - 2.0 * top, y, -1.0),
        Combine(y, 1.0, w, -(1.0 - 2.0 * bottom)),
        // In front of the eye.
        Column(viewProjection, 2),
    };

    const Plane sx = Column(viewProjection, 0), sy = Column(viewProjection, 1), sw = Column(viewProjection, 3);
    double lowX = 1e300, lowY = 1e300, highX = -1e300, highY = -1e300;
    std::vector<Point> polygon, scratch;
    bool projected = true;
    const bool read = ForEachPlacedTriangle(
        *mesh, receiver.GetTransform().GetMatrix(), [&](const Point& a, const Point& b, const Point& c) {
            polygon = {a, b, c};
            for (const Plane& plane : planes) {
                ClipPolygon(polygon, plane, scratch);
                if (polygon.empty())
                    break;
            }
            for (const Point& p : polygon) {
                const double cw = sw.At(p);
                if (!(cw > 1e-9) || !std::isfinite(cw))
                    return projected = false;
                const double sxp = (sx.At(p) / cw * 0.5 + 0.5) * width, syp = (0.5 - sy.At(p) / cw * 0.5) * height;
                if (!std::isfinite(sxp) || !std::isfinite(syp))
                    return projected = false;
                lowX = std::min(lowX, sxp);
                highX = std::max(highX, sxp);
                lowY = std::min(lowY, syp);
                highY = std::max(highY, syp);
            }
            return true;
        });
    if (!read || !projected)
        return false;
    if (lowX > highX)
        return true;
    // A pixel is shaded where its centre lies in a triangle: a pixel of
    // room each way holds the rounding.
    auto clampTo = [](double v, int limit) { return static_cast<int>(std::min<double>(std::max(v, 0.0), limit)); };
    pixels.left = clampTo(std::floor(lowX) - 1.0, width);
    pixels.right = clampTo(std::ceil(highX) + 1.0, width);
    pixels.top = clampTo(std::floor(lowY) - 1.0, height);
    pixels.bottom = clampTo(std::ceil(highY) + 1.0, height);
    if (pixels.Empty())
        pixels = PixelRect();
    return true;
}

int PixelsAround(const PixelRect& inner, int width, int height, PixelRect bands[4])
{
    int count = 0;
    auto add = [&](int l, int t, int r, int b) {
        PixelRect band;
        band.left = l;
        band.top = t;
        band.right = r;
        band.bottom = b;
        if (!band.Empty())
            bands[count++] = band;
    };
    if (inner.Empty()) {
        add(0, 0, width, height);
        return count;
    }
    add(0, 0, width, inner.top);
    add(0, inner.bottom, width, height);
    add(0, inner.top, inner.left, inner.bottom);
    add(inner.right, inner.top, width, inner.bottom);
    return count;
}
