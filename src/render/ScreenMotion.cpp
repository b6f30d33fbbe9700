#include "render/ScreenMotion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/VertexBuffers.h"
#include "scene/CharacterEntity.h"
#include "scene/Entity3D.h"

namespace {

constexpr float kInfinite = std::numeric_limits<float>::infinity();
// Twice the radius a character is culled with: an arm, a leg or a weapon
// swung out by an animation stays within it.
constexpr float kCharacterReach = 140.0f;

using Matrix = double[4][4];

void ToDouble(const D3DXMATRIX& m, Matrix out)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[i][j] = m.m[i][j];
}

// Gauss-Jordan with partial pivoting, in doubles: the camera barely moved, and
// a float inverse would bury that motion in its own rounding.
bool Invert(const Matrix m, Matrix out)
{
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            a[i][j] = m[i][j];
            a[i][j + 4] = i == j ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row)
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col]))
                pivot = row;
        if (!(std::fabs(a[pivot][col]) > 1e-300))
            return false;
        for (int j = 0; j < 8; ++j)
            std::swap(a[col][j], a[pivot][j]);
        const double scale = 1.0 / a[col][col];
        for (int j = 0; j < 8; ++j)
            a[col][j] *= scale;
        for (int row = 0; row < 4; ++row) {
            if (row == col)
                continue;
            const double f = a[row][col];
            for (int j = 0; j < 8; ++j)
                a[row][j] -= f * a[col][j];
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[i][j] = a[i][j + 4];
    return true;
}

// What the bound needs of the camera's change: per view axis j (x, y, and the
// depth axis z), r[j] x depth + t[j] bounds how far a point in view now moved
// along it in the last frame's view space.
struct Change {
    bool usable = false;
    double r[3] = {};
    double t[3] = {};
    // Pixels per unit of x / depth and y / depth; the view's half-widths.
    double kx = 0.0, ky = 0.0, ax = 0.0, ay = 0.0;
};

Change ChangeBetween(const D3DXMATRIX& view, const D3DXMATRIX& previousView, const D3DXMATRIX& projection,
                     const D3DXMATRIX& previousProjection, float width, float height)
{
    Change c;
    // A perspective looking down -z (right-handed), the same in both frames.
    if (std::memcmp(&projection, &previousProjection, sizeof(D3DXMATRIX)) != 0 || projection._34 != -1.0f ||
        !(projection._11 > 0.0f) || !(projection._22 > 0.0f) || !(width > 0.0f) || !(height > 0.0f))
        return c;
    Matrix now, before, inverse, d;
    ToDouble(view, now);
    ToDouble(previousView, before);
    if (!Invert(now, inverse))
        return c;
    // This frame's view space to the last frame's (row vectors).
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            d[i][j] = 0.0;
            for (int k = 0; k < 4; ++k)
                d[i][j] += inverse[i][k] * before[k][j];
        }
    // Both views place points without a perspective of their own.
    if (std::fabs(d[0][3]) > 1e-9 || std::fabs(d[1][3]) > 1e-9 || std::fabs(d[2][3]) > 1e-9 ||
        std::fabs(d[3][3] - 1.0) > 1e-9)
        return c;
    c.ax = 1.0 / projection._11;
    c.ay = 1.0 / projection._22;
    c.kx = 0.5 * width * projection._11;
    c.ky = 0.5 * height * projection._22;
    // A point in view now is (x, y, -w) with |x| <= ax w and |y| <= ay w.
    for (int j = 0; j < 3; ++j) {
        c.r[j] = std::fabs(d[0][j] - (j == 0 ? 1.0 : 0.0)) * c.ax + std::fabs(d[1][j] - (j == 1 ? 1.0 : 0.0)) * c.ay +
                 std::fabs(d[2][j] - (j == 2 ? 1.0 : 0.0));
        c.t[j] = std::fabs(d[3][j]);
    }
    c.usable = true;
    return c;
}

// The bound at one depth: a screen coordinate x / w moves by
// (dx - (x / w) dw) / w', with w' the depth in the last frame.
double PixelsAt(const Change& c, double w)
{
    const double depthLeft = w * (1.0 - c.r[2]) - c.t[2];
    if (!(depthLeft > 0.0))
        return std::numeric_limits<double>::infinity();
    const double dz = w * c.r[2] + c.t[2];
    const double x = c.kx * (w * c.r[0] + c.t[0] + c.ax * dz) / depthLeft;
    const double y = c.ky * (w * c.r[1] + c.t[1] + c.ay * dz) / depthLeft;
    return std::sqrt(x * x + y * y);
}

using Point = PlacedPoint;
Point operator-(const Point& a, const Point& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The squared distance from the origin (the eye) to the triangle abc: the
// nearest point by the region of the triangle the origin projects into.
double DistanceSqToTriangle(const Point& a, const Point& b, const Point& c)
{
    const Point p{0.0, 0.0, 0.0};
    const Point ab = b - a, ac = c - a, ap = p - a;
    const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    auto lengthSq = [](const Point& q) { return Dot(q, q); };
    if (d1 <= 0.0 && d2 <= 0.0)
        return lengthSq(a);
    const Point bp = p - b;
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3)
        return lengthSq(b);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) {
        const double v = d1 / (d1 - d3);
        return lengthSq(Point{a.x + v * ab.x, a.y + v * ab.y, a.z + v * ab.z});
    }
    const Point cp = p - c;
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6)
        return lengthSq(c);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) {
        const double w = d2 / (d2 - d6);
        return lengthSq(Point{a.x + w * ac.x, a.y + w * ac.y, a.z + w * ac.z});
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && (d4 - d3) >= 0.0 && (d5 - d6) >= 0.0) {
        const double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        const Point bc = c - b;
        return lengthSq(Point{b.x + w * bc.x, b.y + w * bc.y, b.z + w * bc.z});
    }
    const double denom = 1.0 / (va + vb + vc);
    const double v = vb * denom, w = vc * denom;
    return lengthSq(Point{a.x + ab.x * v + ac.x * w, a.y + ab.y * v + ac.y * w, a.z + ab.z * v + ac.z * w});
}

// The least distance from the eye to the mesh's indexed triangles placed by
// `placed` (model to view space), stopping at the first nearer than
// `enough`; infinite for a mesh whose triangles cannot be read.
double NearestTriangle(const IVertexBuffer& mesh, const D3DXMATRIX& placed, double enough)
{
    const double enoughSq = enough * enough;
    double least = std::numeric_limits<double>::infinity();
    const bool read = ForEachPlacedTriangle(mesh, placed, [&](const Point& a, const Point& b, const Point& c) {
        // Wholly beyond the distance sought along some axis: not nearer.
        if (std::min({a.x, b.x, c.x}) > enough || std::max({a.x, b.x, c.x}) < -enough ||
            std::min({a.y, b.y, c.y}) > enough || std::max({a.y, b.y, c.y}) < -enough ||
            std::min({a.z, b.z, c.z}) > enough || std::max({a.z, b.z, c.z}) < -enough)
            return true;
        const double dSq = DistanceSqToTriangle(a, b, c);
        least = std::min(least, dSq);
        return dSq >= enoughSq;
    });
    if (!read)
        return 0.0;
    return std::isfinite(least) ? std::sqrt(least) : enough;
}

} // namespace

float CameraMotionPixels(const D3DXMATRIX& view, const D3DXMATRIX& previousView, const D3DXMATRIX& projection,
                         const D3DXMATRIX& previousProjection, float nearest, float width, float height)
{
    const Change c = ChangeBetween(view, previousView, projection, previousProjection, width, height);
    if (!c.usable || !(nearest > 0.0f))
        return kInfinite;
    return static_cast<float>(PixelsAt(c, nearest));
}

float DepthWhereMotionShows(const D3DXMATRIX& view, const D3DXMATRIX& previousView, const D3DXMATRIX& projection,
                            const D3DXMATRIX& previousProjection, float width, float height, float pixels)
{
    const Change c = ChangeBetween(view, previousView, projection, previousProjection, width, height);
    if (!c.usable)
        return kInfinite;
    // The bound falls with depth: halve the range between a depth where it
    // shows and one where it does not.
    double far = 1e9;
    if (!(PixelsAt(c, far) <= pixels))
        return kInfinite;
    double near = 1e-6;
    if (PixelsAt(c, near) <= pixels)
        return static_cast<float>(near);
    for (int i = 0; i < 80 && far - near > 1e-4 * near; ++i) {
        const double mid = std::sqrt(near * far);
        (PixelsAt(c, mid) <= pixels ? far : near) = mid;
    }
    return static_cast<float>(far * (1.0 + 1e-6));
}

float NearestDepthOf(const IEntidad3D& entity, const D3DXMATRIX& view, const D3DXMATRIX& projection, float enough)
{
    if (!(projection._11 > 0.0f) || !(projection._22 > 0.0f))
        return 0.0f;
    const double ax = 1.0 / projection._11, ay = 1.0 / projection._22;
    // A point in view at depth w lies within w times this of the eye.
    const double spread = std::sqrt(1.0 + ax * ax + ay * ay);
    const D3DXMATRIX placed = entity.GetTransform().GetMatrix() * view;
    const IVertexBuffer* mesh = entity.GetMesh();
    D3DXVECTOR3 low, high;
    if (!mesh || !mesh->GetPositionBounds(low, high))
        return 0.0f;
    // Characters go by their name, as the renderer culls them.
    if (dynamic_cast<const CCharacterEntity*>(&entity) || entity.GetName() == "Character") {
        // Skinned: the bones move the mesh away from its box. A sphere around
        // where it stands, wide enough for the box and an animation's reach.
        const D3DXVECTOR3 half = (high - low) * 0.5f;
        const D3DXMATRIX& world = entity.GetTransform().GetMatrix();
        const double scale = std::max({std::sqrt(world._11 * world._11 + world._12 * world._12 + world._13 * world._13),
                                       std::sqrt(world._21 * world._21 + world._22 * world._22 + world._23 * world._23),
                                       std::sqrt(world._31 * world._31 + world._32 * world._32 + world._33 * world._33)});
        const double reach = std::max<double>(kCharacterReach, 2.0 * scale * D3DXVec3Length(&half));
        const double cx = placed._41, cy = placed._42, cz = placed._43;
        const double fromEye = std::sqrt(cx * cx + cy * cy + cz * cz) - reach;
        return static_cast<float>(std::max({0.0, -cz - reach, fromEye / spread}));
    }
    // The depth is linear over the placed box: its least is at a corner. The
    // box in view space holds the placed box: no point of it is nearer the
    // eye than that box is.
    double least = std::numeric_limits<double>::infinity();
    double lo[3] = {least, least, least}, hi[3] = {-least, -least, -least};
    for (int corner = 0; corner < 8; ++corner) {
        const double p[3] = {corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y, corner & 4 ? high.z : low.z};
        double q[3];
        for (int j = 0; j < 3; ++j) {
            q[j] = p[0] * placed.m[0][j] + p[1] * placed.m[1][j] + p[2] * placed.m[2][j] + placed.m[3][j];
            lo[j] = std::min(lo[j], q[j]);
            hi[j] = std::max(hi[j], q[j]);
        }
        least = std::min(least, -q[2]);
    }
    double gapSq = 0.0;
    for (int j = 0; j < 3; ++j) {
        const double gap = lo[j] > 0.0 ? lo[j] : (hi[j] < 0.0 ? -hi[j] : 0.0);
        gapSq += gap * gap;
    }
    if (!std::isfinite(least) || !std::isfinite(gapSq))
        return 0.0f;
    const double fromBox = std::max({0.0, least, std::sqrt(gapSq) / spread});
    if (fromBox >= enough)
        return static_cast<float>(fromBox);
    // Nearer by its box (around the eye, or reaching past it): its triangles
    // tell how near it really comes.
    const double fromTriangles = NearestTriangle(*mesh, placed, enough * spread) / spread;
    return static_cast<float>(std::max(fromBox, fromTriangles));
}
