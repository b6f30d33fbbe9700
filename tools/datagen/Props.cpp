#include "datagen/Props.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "datagen/Canvas.h"
#include "datagen/ImageFile.h"
#include "datagen/MeshShapes.h"
#include "datagen/MeshTextures.h"

namespace datagen {

namespace {

constexpr int kSize = 64;

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool Round(const std::string& kind)
{
    return kind != "silla" && kind != "radio";
}

// The base colour of a diffuse texture, by what it shows.
Rgba BaseColour(const std::string& file)
{
    if (file.find("lata") == 0) return Rgba{196, 40, 36};
    if (file.find("casa_pared") == 0) return Rgba{188, 176, 150};
    if (file.find("maderas") == 0) return Rgba{128, 84, 44};
    if (file.find("metal_dorado") == 0) return Rgba{212, 170, 64};
    if (file.find("botellas") == 0) return Rgba{46, 120, 60};
    if (file.find("cemento") == 0) return Rgba{120, 120, 116};
    if (file.find("coche_metal") == 0) return Rgba{70, 78, 92};
    if (file.find("barril") == 0) return Rgba{176, 44, 28};
    return Rgba{160, 160, 160};
}

std::uint32_t Seed(const std::string& file)
{
    std::uint32_t h = 2166136261u;
    for (char c : file)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

Canvas PaintTexture(const std::string& file)
{
    const std::uint32_t seed = Seed(file);
    std::vector<float> heights(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            heights[y * kSize + x] = TileFbm((x + 0.5f) / kSize, (y + 0.5f) / kSize, 4, 4, 3, seed);
    if (EndsWith(file, "_normal.tga"))
        return NormalMapFromHeights(heights, kSize, 3.0f);

    Canvas canvas(kSize, kSize);
    const bool light = file.find("LightingMap") != std::string::npos || file.find("gradiente") != std::string::npos;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float h = heights[y * kSize + x];
            if (light) {
                // Light maps: bright, a little darker towards the foot.
                const std::uint8_t v = static_cast<std::uint8_t>(255 - 60.0f * y / kSize);
                canvas.Put(x, y, Rgba{v, v, v, 255});
                continue;
            }
            Rgba c = Mix(BaseColour(file), Rgba{20, 18, 16}, 0.35f * h);
            // A pale band round cans, bottles and barrels: their labels and hoops.
            if (y > kSize * 3 / 8 && y < kSize * 5 / 8 && (file.find("lata") == 0 || file.find("barril") == 0 ||
                                                           file.find("botellas") == 0))
                c = Mix(c, Rgba{236, 228, 200}, 0.7f);
            canvas.Put(x, y, c);
        }
    return canvas;
}

} // namespace

MeshGeometry BuildPropMesh(const PropKind& kind)
{
    const D3DXVECTOR3 size(kind.halfExtents[0] * 2, kind.halfExtents[1] * 2, kind.halfExtents[2] * 2);
    const float tile = std::max(size.x, std::max(size.y, size.z));
    MeshGeometry g = Round(kind.kind) ? MakeCylinder(size, 12, tile) : MakeBox(size, tile);
    for (MeshVertex& v : g.vertices)
        v.position.y -= kind.halfExtents[1];
    // One subset per texture set, the triangles shared out in order.
    const std::int32_t triangles = static_cast<std::int32_t>(g.indices.size() / 3);
    const std::int32_t parts = static_cast<std::int32_t>(kind.textures.size());
    g.subsets.clear();
    for (std::int32_t i = 0; i < parts; ++i) {
        MeshSubset s;
        s.firstTriangle = triangles * i / parts;
        s.triangleCount = triangles * (i + 1) / parts - s.firstTriangle;
        g.subsets.push_back(s);
    }
    return g;
}

std::vector<std::string> PropTextureNames()
{
    const std::vector<std::string> others = MeshTextureNames();
    std::set<std::string> names;
    for (const PropKind& kind : PropKinds())
        for (const auto& set : kind.textures)
            for (const char* file : set)
                if (std::find(others.begin(), others.end(), file) == others.end())
                    names.insert(file);
    return std::vector<std::string>(names.begin(), names.end());
}

void GenerateProps(Output& out)
{
    for (const PropKind& kind : PropKinds()) {
        std::string error;
        const Bytes bytes = EncodeMesh(BuildPropMesh(kind), MESH_NORMAL_TANGENT_TEXTURED_VERTEX, &error);
        if (bytes.empty())
            out.Fail(std::string("prop mesh ") + kind.kind + ": " + error);
        else
            out.Write(std::string("data/meshes/") + kind.kind + ".mesh", bytes);
    }
    for (const std::string& file : PropTextureNames())
        WriteImage(out, std::string(kTextureFolder) + file, PaintTexture(file));
}

} // namespace datagen
