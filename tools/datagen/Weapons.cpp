#include "datagen/Weapons.h"

#include <cmath>
#include <string>
#include <vector>

#include "datagen/Canvas.h"
#include "datagen/ImageFile.h"
#include "datagen/MeshShapes.h"
#include "datagen/MeshWriter.h"

namespace datagen {

namespace {

// One block of a gun: its size and where its centre sits in the hand's frame
// (x along the barrel, y up, z to the side).
struct Block {
    D3DXVECTOR3 size;
    D3DXVECTOR3 centre;
};

struct Gun {
    const char* mesh;
    std::vector<Block> body;   // subset 0
    std::vector<Block> second; // subset 1: magazine, barrels or drum
    const char* textures[4];   // body diffuse, body normal, second diffuse, second normal
    const char* lightmap;
    Rgba bodyColour, secondColour;
};

void Append(MeshGeometry& into, const Block& block)
{
    MeshGeometry box = MakeBox(block.size, 8.0f);
    const auto base = static_cast<std::uint16_t>(into.vertices.size());
    for (MeshVertex v : box.vertices) {
        // MakeBox stands on y = 0: lift it so the block is centred.
        v.position += block.centre - D3DXVECTOR3(0.0f, block.size.y / 2, 0.0f);
        into.vertices.push_back(v);
    }
    for (std::uint16_t i : box.indices)
        into.indices.push_back(static_cast<std::uint16_t>(base + i));
}

MeshGeometry BuildGun(const Gun& gun)
{
    MeshGeometry g;
    for (const std::vector<Block>* part : {&gun.body, &gun.second}) {
        MeshSubset subset;
        subset.firstTriangle = static_cast<std::int32_t>(g.indices.size() / 3);
        for (const Block& block : *part)
            Append(g, block);
        subset.triangleCount = static_cast<std::int32_t>(g.indices.size() / 3) - subset.firstTriangle;
        g.subsets.push_back(subset);
    }
    return g;
}

// Worn metal: the colour with a few darker bands along the barrel.
Canvas Metal(Rgba colour)
{
    Canvas c(64, 64, colour);
    for (int x = 0; x < 64; x += 16)
        c.FillRect(x, 0, 3, 64, Mix(colour, Rgba{0, 0, 0, 255}, 0.35f));
    c.FillRect(0, 30, 64, 4, Mix(colour, Rgba{255, 255, 255, 255}, 0.25f));
    return c;
}

const std::vector<Gun>& Guns()
{
    static const std::vector<Gun> guns = {
        {"ostrel",
         {{{14, 3.5f, 2.2f}, {6, 1.5f, 0}}, {{3, 6, 2}, {1, -2, 0}}},
         {{{2.2f, 5, 1.8f}, {1, -3, 0}}},
         {"ostrel.tga", "ostrel_normal.tga", "ostrel_cargador.tga", "ostrel_cargador_normal.tga"},
         "ostrelLightingMap.tga",
         Rgba{70, 72, 78, 255},
         Rgba{40, 40, 44, 255}},
        {"shotgun",
         {{{16, 4, 3}, {-2, 0, 0}}, {{10, 3, 2.5f}, {-14, -1, 0}}},
         {{{24, 2.2f, 4}, {16, 1.2f, 0}}},
         {"shotgun.tga", "shotgun_normal.tga", "canones.tga", "canones_normal.tga"},
         "shotgunLightingMap.tga",
         Rgba{110, 72, 40, 255},
         Rgba{60, 60, 66, 255}},
        {"thompson",
         {{{26, 4, 3}, {6, 0.5f, 0}}, {{9, 3, 2.5f}, {-11, -1, 0}}, {{3, 6, 2}, {8, -4, 0}}},
         {{{7, 7, 5}, {3, -3, 0}}},
         {"metralleta_UV copia.tga", "metralleta_UV_nomal.tga", "tambor.tga", "tambor_normal.tga"},
         "thompsonLightingMap.tga",
         Rgba{55, 55, 60, 255},
         Rgba{35, 35, 38, 255}},
    };
    return guns;
}

// A streak of light along the quad's local y, bright at its core, cut out by
// the alpha test at its edges. Its colour stays under the bloom's cut: the
// glow would widen a streak crossing the view near the hero into a bar of
// white over what he is shot at from.
Canvas Tracer()
{
    Canvas c(32, 128, Rgba{0, 0, 0, 0});
    for (int y = 0; y < 128; ++y) {
        const float along = 1.0f - std::fabs(y - 63.5f) / 64.0f;
        for (int x = 0; x < 32; ++x) {
            const float across = 1.0f - std::fabs(x - 15.5f) / 4.0f;
            if (across <= 0.0f)
                continue;
            const float a = std::min(1.0f, across * 1.5f) * std::min(1.0f, along * 3.0f);
            c.Put(x, y, Rgba{235, 190, 90, static_cast<std::uint8_t>(255 * a)});
        }
    }
    return c;
}

} // namespace

void GenerateWeapons(Output& out)
{
    const Canvas flatNormal(16, 16, Rgba{128, 128, 255, 255});
    const Canvas lit(16, 16, Rgba{230, 230, 230, 255});
    for (const Gun& gun : Guns()) {
        std::string error;
        const Bytes mesh = EncodeMesh(BuildGun(gun), MESH_NORMAL_TANGENT_TEXTURED_VERTEX, &error);
        if (mesh.empty())
            out.Fail(std::string(gun.mesh) + ": " + error);
        else
            out.Write(std::string("data/meshes/") + gun.mesh + ".mesh", mesh);
        const std::string folder = kTextureFolder;
        WriteImage(out, folder + gun.textures[0], Metal(gun.bodyColour));
        WriteImage(out, folder + gun.textures[1], flatNormal);
        WriteImage(out, folder + gun.textures[2], Metal(gun.secondColour));
        WriteImage(out, folder + gun.textures[3], flatNormal);
        WriteImage(out, folder + gun.lightmap, lit);
    }
    // The empty click is one of the sounds step's bursts.
    WriteImage(out, std::string(kTextureFolder) + "traza.tga", Tracer());
}

} // namespace datagen
