#include "datagen/Lightmaps.h"

#include <algorithm>
#include <cmath>

#include "datagen/ImageFile.h"

namespace datagen {

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;
constexpr float kTwoPi = 6.28318531f;

constexpr float kUnitsPerTexel = 8.0f;
constexpr int kMinTexels = 64;
constexpr int kMaxTexels = 1024;

// How much light full shadow leaves: the sky still lights what the sun
// does not reach.
constexpr float kShadowLight = 0.45f;
// World units each blur pass spreads a shadow's edge over (two passes run),
// kept in world units so a decal's shadow meets the ground's under it.
constexpr float kSoftness = 12.0f;
// The band round a standing object's foot (per blur pass, like the
// softness, but wider so that it shows past a shadow's soft edge), and how
// dark it gets at the foot.
constexpr float kContactReach = 28.0f;
constexpr float kContactDepth = 0.3f;
// A solid whose foot is this close above the floor stands on it.
constexpr float kContactGap = 4.0f;
// Tops no higher than this over the plane cast nothing: they lie flush.
constexpr float kFlush = 0.01f;

// Where the sun stands: its height over the horizon and its compass bearing
// (0 north, 90 east); the light travels the other way.
D3DXVECTOR3 SunFrom(float elevationDegrees, float bearingDegrees)
{
    const float e = elevationDegrees * kDegrees, b = bearingDegrees * kDegrees;
    return D3DXVECTOR3(-std::cos(e) * std::sin(b), -std::sin(e), -std::cos(e) * std::cos(b));
}

// A solid as the segments running up its sides, from their low end to their
// high end, in world space. Every corner of the solid ends one of them and
// every edge that can cross a level plane is one of them, so clipping them
// at a plane gives the corners of the part above it.
struct Column {
    D3DXVECTOR3 low, high;
};

// Appends the columns of the object, none for a floor or the sky.
void AddColumns(const LayoutObject& o, std::vector<Column>& columns)
{
    const float hx = o.size.x / 2, h = o.size.y, hz = o.size.z / 2;
    const size_t first = columns.size();
    std::vector<Column>& local = columns;
    typedef D3DXVECTOR3 V;
    switch (o.shape) {
    case LayoutShape::Box:
        for (float x : {-hx, hx})
            for (float z : {-hz, hz})
                local.push_back({V(x, 0, z), V(x, h, z)});
        break;
    case LayoutShape::Cylinder: {
        // The same facets the mesh has.
        const int segments = std::max(o.segments, 3);
        for (int i = 0; i < segments; ++i) {
            const float a = kTwoPi * i / segments;
            const V rim(hx * std::sin(a), 0, hz * std::cos(a));
            local.push_back({rim, rim + V(0, h, 0)});
        }
        break;
    }
    case LayoutShape::Wedge:
        // Full height along -z, the slope down to nothing along +z.
        for (float x : {-hx, hx}) {
            local.push_back({V(x, 0, -hz), V(x, h, -hz)});
            local.push_back({V(x, 0, hz), V(x, h, -hz)});
        }
        break;
    case LayoutShape::Floor:
    case LayoutShape::Sky:
        break;
    }
    const D3DXMATRIX world = o.Transform();
    for (size_t i = first; i < columns.size(); ++i) {
        D3DXVec3TransformCoord(&columns[i].low, &columns[i].low, &world);
        D3DXVec3TransformCoord(&columns[i].high, &columns[i].high, &world);
    }
}

// The solids of a level that can cast a shadow, their columns side by side
// and made once for all of the level's floors.
struct Casters {
    struct Solid {
        size_t first, count;
        float bottom, top;
    };
    std::vector<Column> columns;
    std::vector<Solid> solids;
};

Casters LevelCasters(const LevelLayout& layout)
{
    Casters casters;
    for (const LayoutObject& object : layout.objects) {
        const size_t first = casters.columns.size();
        AddColumns(object, casters.columns);
        if (casters.columns.size() == first)
            continue;
        Casters::Solid solid{first, casters.columns.size() - first, casters.columns[first].low.y,
                             casters.columns[first].high.y};
        for (size_t i = first; i < casters.columns.size(); ++i) {
            solid.bottom = std::min(solid.bottom, casters.columns[i].low.y);
            solid.top = std::max(solid.top, casters.columns[i].high.y);
        }
        casters.solids.push_back(solid);
    }
    return casters;
}

D3DXVECTOR3 AtHeight(const Column& c, float y)
{
    const float span = c.high.y - c.low.y;
    const float t = span > 0 ? std::clamp((y - c.low.y) / span, 0.0f, 1.0f) : 0.0f;
    return c.low + (c.high - c.low) * t;
}

float Cross(const D3DXVECTOR2& o, const D3DXVECTOR2& a, const D3DXVECTOR2& b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Monotone chain (the points come back sorted); fewer than three points, or
// all in a line, give fewer than three corners.
void ConvexHull(std::vector<D3DXVECTOR2>& points, std::vector<D3DXVECTOR2>& hull)
{
    std::sort(points.begin(), points.end(), [](const D3DXVECTOR2& a, const D3DXVECTOR2& b) {
        return a.x < b.x || (a.x == b.x && a.y < b.y);
    });
    hull.clear();
    if (points.size() < 3)
        return;
    hull.resize(2 * points.size());
    size_t k = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0)
            --k;
        hull[k++] = points[i];
    }
    for (size_t i = points.size() - 1, lower = k + 1; i > 0; --i) {
        while (k >= lower && Cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0)
            --k;
        hull[k++] = points[i - 1];
    }
    hull.resize(k - 1);
}

// A float image with a margin round the floor's own texels, wide enough
// for the blur to read what lies beyond the floor's edge rather than
// smearing the edge texels.
struct Grid {
    int width = 0, height = 0;
    std::vector<float> values;

    Grid(int w, int h) : width(w), height(h), values(static_cast<size_t>(w) * h, 0.0f) {}
    float& At(int x, int y) { return values[static_cast<size_t>(y) * width + x]; }
};

// The share of each texel the convex polygon covers (in texel units), four
// rows of samples a texel with exact spans along them, kept where it is
// more than what the grid holds: overlapping shadows are no darker.
void FillConvex(Grid& grid, const std::vector<D3DXVECTOR2>& polygon, std::vector<float>& row)
{
    if (polygon.size() < 3)
        return;
    float minX = polygon[0].x, maxX = minX, minY = polygon[0].y, maxY = minY;
    for (const D3DXVECTOR2& p : polygon) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (!(maxX > 0) || !(maxY > 0) || !(minX < grid.width) || !(minY < grid.height))
        return;
    // Clamped while still floats: a sun near the horizon throws corners
    // further than an int holds.
    const int x0 = static_cast<int>(std::max(0.0f, std::floor(minX)));
    const int x1 = static_cast<int>(std::min(static_cast<float>(grid.width - 1), std::floor(maxX)));
    const int y0 = static_cast<int>(std::max(0.0f, std::floor(minY)));
    const int y1 = static_cast<int>(std::min(static_cast<float>(grid.height - 1), std::floor(maxY)));
    constexpr int kRows = 4;
    row.resize(static_cast<size_t>(x1 - x0 + 1));
    for (int y = y0; y <= y1; ++y) {
        std::fill(row.begin(), row.end(), 0.0f);
        for (int s = 0; s < kRows; ++s) {
            const float sy = y + (s + 0.5f) / kRows;
            float left = maxX + 1, right = minX - 1;
            for (size_t i = 0; i < polygon.size(); ++i) {
                const D3DXVECTOR2& a = polygon[i];
                const D3DXVECTOR2& b = polygon[(i + 1) % polygon.size()];
                if ((a.y <= sy && sy < b.y) || (b.y <= sy && sy < a.y)) {
                    const float x = a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y);
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
            left = std::max(left, static_cast<float>(x0));
            right = std::min(right, static_cast<float>(x1 + 1));
            if (!(left < right))
                continue;
            const int first = static_cast<int>(std::floor(left));
            const int last = std::min(x1, static_cast<int>(std::ceil(right)) - 1);
            for (int x = first; x <= last; ++x) {
                const float covered = std::min(x + 1.0f, right) - std::max(static_cast<float>(x), left);
                if (covered > 0)
                    row[static_cast<size_t>(x - x0)] += covered / kRows;
            }
        }
        for (int x = x0; x <= x1; ++x) {
            float& cell = grid.At(x, y);
            cell = std::max(cell, std::min(1.0f, row[static_cast<size_t>(x - x0)]));
        }
    }
}

// A box blur of radius r along n values `stride` apart, edges held.
void BlurLine(float* data, int n, int stride, int r, std::vector<float>& line)
{
    // The line with its end values repeated r times beyond either end.
    line.resize(static_cast<size_t>(n + 2 * r + 1));
    for (int i = 0; i < r; ++i) {
        line[static_cast<size_t>(i)] = data[0];
        line[static_cast<size_t>(n + r + i)] = data[static_cast<size_t>(n - 1) * stride];
    }
    line[static_cast<size_t>(n + 2 * r)] = data[static_cast<size_t>(n - 1) * stride];
    for (int i = 0; i < n; ++i)
        line[static_cast<size_t>(r + i)] = data[static_cast<size_t>(i) * stride];
    float sum = 0;
    for (int k = 0; k <= 2 * r; ++k)
        sum += line[static_cast<size_t>(k)];
    const float scale = 1.0f / (2 * r + 1);
    for (int i = 0; i < n; ++i) {
        data[static_cast<size_t>(i) * stride] = sum * scale;
        sum += line[static_cast<size_t>(i + 2 * r + 1)] - line[static_cast<size_t>(i)];
    }
}

// Two box passes each way: close to a gaussian, and linear in the size.
void Blur(Grid& grid, int radiusX, int radiusY)
{
    std::vector<float> line;
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < grid.height; ++y)
            BlurLine(&grid.At(0, y), grid.width, 1, radiusX, line);
        for (int x = 0; x < grid.width; ++x)
            BlurLine(&grid.At(x, 0), grid.height, grid.width, radiusY, line);
    }
}

// The floor's lightmap texels and the margin round them.
struct FloorFrame {
    D3DXMATRIX toLocal;
    float hx = 0, hz = 0;
    float texelX = 1, texelZ = 1;  // world units per texel
    int width = 0, height = 0;
    int marginX = 0, marginY = 0;

    explicit FloorFrame(const LayoutObject& floor)
    {
        const D3DXMATRIX world = floor.Transform();
        D3DXMatrixInverse(&toLocal, nullptr, &world);
        hx = floor.size.x / 2;
        hz = floor.size.z / 2;
        LightmapSize(floor, width, height);
        texelX = floor.size.x / width;
        texelZ = floor.size.z / height;
    }

    // A world point (of the floor's plane) in the grid's texel units.
    D3DXVECTOR2 Texel(const D3DXVECTOR3& world) const
    {
        D3DXVECTOR3 local;
        D3DXVec3TransformCoord(&local, &world, &toLocal);
        return D3DXVECTOR2((local.x + hx) / texelX + marginX, (local.z + hz) / texelZ + marginY);
    }
};

int Radius(float worldUnits, float texel)
{
    return std::max(1, static_cast<int>(std::lround(worldUnits / texel)));
}

std::uint8_t Byte(float light)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(light, 0.0f, 1.0f) * 255.0f));
}

Canvas Bake(const Casters& casters, const LayoutObject& floor, const D3DXVECTOR3& sun)
{
    FloorFrame frame(floor);
    const int shadowX = Radius(kSoftness, frame.texelX), shadowY = Radius(kSoftness, frame.texelZ);
    const int contactX = Radius(kContactReach, frame.texelX), contactY = Radius(kContactReach, frame.texelZ);
    // Two box passes of radius r reach 2r texels.
    frame.marginX = 2 * std::max(shadowX, contactX) + 1;
    frame.marginY = 2 * std::max(shadowY, contactY) + 1;
    Grid shadow(frame.width + 2 * frame.marginX, frame.height + 2 * frame.marginY);
    Grid contact(shadow.width, shadow.height);

    const float plane = floor.position.y;
    // A sun at or below the horizon casts nothing a floor could show.
    const bool sunUp = sun.y < -1e-3f;
    std::vector<D3DXVECTOR2> points, hull;
    std::vector<float> row;
    for (const Casters::Solid& solid : casters.solids) {
        if (solid.top <= plane + kFlush)
            continue;
        const Column* const first = casters.columns.data() + solid.first;
        const Column* const last = first + solid.count;

        points.clear();
        for (const Column* c = first; sunUp && c != last; ++c) {
            if (c->high.y <= plane)
                continue;
            // The part above the plane, slid along the light onto it.
            for (const D3DXVECTOR3& p : {c->low.y >= plane ? c->low : AtHeight(*c, plane), c->high}) {
                const float along = (plane - p.y) / sun.y;
                points.push_back(frame.Texel(D3DXVECTOR3(p.x + sun.x * along, plane, p.z + sun.z * along)));
            }
        }
        ConvexHull(points, hull);
        FillConvex(shadow, hull, row);

        if (solid.bottom <= plane + kContactGap) {
            points.clear();
            for (const Column* c = first; c != last; ++c)
                points.push_back(frame.Texel(AtHeight(*c, std::max(plane, solid.bottom))));
            ConvexHull(points, hull);
            FillConvex(contact, hull, row);
        }
    }
    Blur(shadow, shadowX, shadowY);
    Blur(contact, contactX, contactY);

    Canvas canvas(frame.width, frame.height);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const float shade = std::clamp(shadow.At(x + frame.marginX, y + frame.marginY), 0.0f, 1.0f);
            const float near = std::clamp(contact.At(x + frame.marginX, y + frame.marginY), 0.0f, 1.0f);
            const std::uint8_t grey = Byte((1 - (1 - kShadowLight) * shade) * (1 - kContactDepth * near));
            canvas.Put(x, y, Rgba{grey, grey, grey, 255});
        }
    }
    return canvas;
}

} // namespace

bool HasBakedLightmap(const LayoutObject& object)
{
    if (object.shape != LayoutShape::Floor)
        return false;
    // Water, comic boards and glowing patches: their materials say so.
    return object.material != "agua" && object.material != "vinyeta" && object.material != "luz";
}

std::string BakedLightmapName(const std::string& level, const LayoutObject& object)
{
    return "lightmaps/" + level + "_" + object.name + ".jpg";
}

D3DXVECTOR3 LevelSunDirection(const std::string& level)
{
    // The harbour at the end of the afternoon: low in the south-west, long
    // shadows running north-east.
    if (level == "hangares")
        return SunFrom(30.0f, 225.0f);
    // The island at noon: high in the south, short shadows to the north.
    if (level == "isla")
        return SunFrom(65.0f, 180.0f);
    return SunFrom(45.0f, 210.0f);
}

void LightmapSize(const LayoutObject& floor, int& width, int& height)
{
    auto texels = [](float extent) {
        const float n = std::ceil(extent / kUnitsPerTexel);
        return n > kMaxTexels ? kMaxTexels : std::max(kMinTexels, static_cast<int>(n));
    };
    width = texels(floor.size.x);
    height = texels(floor.size.z);
}

D3DXVECTOR2 FloorLightmapUv(const LayoutObject& floor, const D3DXVECTOR3& world)
{
    const D3DXMATRIX transform = floor.Transform();
    D3DXMATRIX toLocal;
    D3DXMatrixInverse(&toLocal, nullptr, &transform);
    D3DXVECTOR3 local;
    D3DXVec3TransformCoord(&local, &world, &toLocal);
    return D3DXVECTOR2(local.x / floor.size.x + 0.5f, local.z / floor.size.z + 0.5f);
}

D3DXVECTOR3 FloorPointAtUv(const LayoutObject& floor, const D3DXVECTOR2& uv)
{
    const D3DXVECTOR3 local((uv.x - 0.5f) * floor.size.x, 0, (uv.y - 0.5f) * floor.size.z);
    const D3DXMATRIX transform = floor.Transform();
    D3DXVECTOR3 world;
    D3DXVec3TransformCoord(&world, &local, &transform);
    return world;
}

Canvas BakeFloorLightmap(const LevelLayout& layout, const LayoutObject& floor, const D3DXVECTOR3& sun)
{
    return Bake(LevelCasters(layout), floor, sun);
}

void WriteLightmaps(const std::vector<LevelLayout>& layouts, Output& out)
{
    for (const LevelLayout& layout : layouts) {
        const D3DXVECTOR3 sun = LevelSunDirection(layout.level);
        const Casters casters = LevelCasters(layout);
        for (const LayoutObject& object : layout.objects)
            if (HasBakedLightmap(object))
                WriteImage(out, kTextureFolder + BakedLightmapName(layout.level, object),
                           Bake(casters, object, sun));
    }
}

void GenerateLightmaps(Output& out)
{
    std::vector<LevelLayout> layouts;
    ReadLevelLayouts(layouts, out);
    WriteLightmaps(layouts, out);
}

} // namespace datagen
