#include "scene/ModelsManager.h"

#include "platform/bounded.h"

#include <algorithm>
#include <memory>
#include <cstdio>
#include <map>
#include <set>

#include <cal3d/cal3d.h>
#include <cal3d/coretrack.h>

#include "platform/files.h"
#include "platform/win32.h"
#include "render/Tangents.h"
#include "scene/Cal3dFiles.h"
#include "render/TextureManager.h"
#include "scene/CharacterEntity.h"
#include "xml/XMLAttributes.h"

namespace {

// Cal3D's own choice for models authored with Z up: root bones and root
// tracks are turned about X while loading.
constexpr int kLoadRotateXAxis = 1;
constexpr unsigned kMaxVertices = 65535;
constexpr float kHeroScale = 4.7f;
constexpr float kOtherScale = 1.25f;
// A fourth influence keeps the mean of the dropped ones only while that mean
// is small enough not to pull the vertex visibly.
constexpr float kMaxFoldedWeight = 0.1f;
// More than any model of the game names; a longer list is a broken file.
constexpr std::size_t kMaxModels = 64;
constexpr std::size_t kMaxEntries = 4096;

// A core animation's destructor leaves its tracks behind.
void ReleaseTracks(CalCoreAnimation* animation)
{
    if (!animation)
        return;
    for (CalCoreTrack* track : animation->getListCoreTrack()) {
        track->destroy();
        delete track;
    }
    animation->getListCoreTrack().clear();
}

D3DCOLOR PackBytes(const unsigned char bytes[4])
{
    // Red is the first slot, alpha the fourth.
    return D3DCOLOR_ARGB(bytes[3], bytes[0], bytes[1], bytes[2]);
}

// The file's bytes when they pass the check; else one line naming the file
// and its fault, and how many entries of the list name it when several do.
template <typename Check>
bool ReadChecked(const std::string& file, std::vector<unsigned char>* bytes, Check check, int namedBy = 1)
{
    std::string fault;
    if (platform::ReadWholeFile(file, *bytes, bounded::kMaxFileBytes, &fault))
        fault = check(*bytes);
    if (fault.empty())
        return true;
    if (namedBy > 1)
        fault += " (named by " + std::to_string(namedBy) + " entries)";
    bounded::Refuse(file, fault);
    return false;
}

} // namespace

std::string AnimationKeyFromFile(const std::string& file)
{
    const std::size_t slash = file.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::size_t dot = name.find('.');
    const std::size_t underscore = name.find('_');
    if (underscore == std::string::npos || (dot != std::string::npos && underscore > dot))
        return name.substr(0, dot);
    const std::size_t start = underscore + 1;
    return name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

TCoreModelInfo::~TCoreModelInfo()
{
    vertexBuffer.Release();
    if (coreModel) {
        for (int id = 0; id < coreModel->getCoreAnimationCount(); ++id)
            ReleaseTracks(coreModel->getCoreAnimation(id));
        delete coreModel;
    }
}

// --- the file ------------------------------------------------------------------------------

void CModelsManager::CCoreModelsParser::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    auto add = [this](std::vector<std::string>& list, const std::string& entry) {
        if (list.size() < kMaxEntries)
            list.push_back(entry);
        else
            m_Fault = "too many entries";
    };
    if (name == "CoreModel") {
        m_Type = attributes.GetString("type", "");
        m_Path = attributes.GetString("path", "");
        m_Skeleton.clear();
        m_Fault.clear();
    } else if (name == "Skel") {
        m_Skeleton = attributes.GetString("file", "");
    } else if (name == "Mesh") {
        add(m_Meshes, attributes.GetString("file", ""));
    } else if (name == "Anim") {
        add(m_Animations, attributes.GetString("file", ""));
    } else if (name == "Anchor") {
        add(m_Anchors, attributes.GetString("id", ""));
    } else if (name == "Texture") {
        if (m_TextureTable.size() < kMaxEntries)
            m_TextureTable[attributes.GetString("wearId", "")] = attributes.GetString("file", "");
        else
            m_Fault = "too many textures";
    }
}

void CModelsManager::CCoreModelsParser::OnEndElement(const std::string& name)
{
    if (name == "CoreModel")
        FinishCoreModel();
}

void CModelsManager::CCoreModelsParser::FinishCoreModel()
{
    if (m_Fault.empty() && !m_Library->Find(m_Type) && m_Library->m_Models.size() >= kMaxModels)
        m_Fault = "too many models";
    if (!m_Fault.empty()) {
        OutputDebugStringA(("ERROR: model " + bounded::Echoed(m_Type) + " refused: " + m_Fault + "\n").c_str());
        m_Meshes.clear();
        m_Animations.clear();
        m_Anchors.clear();
        return;
    }
    // Owned until the library takes it: a library call that throws must not
    // leave it behind.
    std::unique_ptr<TCoreModelInfo> info(new TCoreModelInfo);
    CalLoader::setLoadingMode(kLoadRotateXAxis);
    info->coreModel = new CalCoreModel(m_Type);
    CalCoreModel* core = info->coreModel;
    std::string fault;
    try {
        int boneCount = 0;
        std::vector<unsigned char> bytes;
        const std::string skeletonFile = m_Path + m_Skeleton;
        if (ReadChecked(skeletonFile, &bytes, [&](const auto& b) { return cal3dfiles::CheckSkeleton(b, &boneCount); })) {
            CalCoreSkeletonPtr skeleton = CalLoader::loadCoreSkeleton(static_cast<void*>(bytes.data()));
            if (skeleton)
                core->setCoreSkeleton(skeleton.get());
        }
        if (core->getCoreSkeleton()) {
            for (const std::string& file : m_Meshes) {
                if (!ReadChecked(m_Path + file, &bytes, [&](const auto& b) { return cal3dfiles::CheckMesh(b, boneCount); }))
                    continue;
                CalCoreMeshPtr mesh = CalLoader::loadCoreMesh(static_cast<void*>(bytes.data()));
                const int id = mesh ? core->addCoreMesh(mesh.get()) : -1;
                if (id >= 0)
                    info->meshes[file.substr(0, file.find('.'))] = id;
            }
            // A file that fails is said once, however many entries name it.
            std::map<std::string, int> namings;
            for (const std::string& file : m_Animations)
                ++namings[file];
            std::set<std::string> refused;
            for (const std::string& file : m_Animations) {
                if (refused.count(file))
                    continue;
                if (!ReadChecked(m_Path + file, &bytes, [&](const auto& b) { return cal3dfiles::CheckAnimation(b, boneCount); },
                                 namings[file])) {
                    refused.insert(file);
                    continue;
                }
                CalCoreAnimationPtr animation =
                    CalLoader::loadCoreAnimation(static_cast<void*>(bytes.data()), core->getCoreSkeleton());
                const int id = animation ? core->addCoreAnimation(animation.get()) : -1;
                if (id >= 0)
                    info->animations[AnimationKeyFromFile(file)] = id;
            }
            for (const std::string& anchor : m_Anchors)
                info->anchors[anchor] = core->getBoneId(anchor);
        }
    } catch (const std::exception& e) {
        fault = e.what();
    }
    for (const auto& entry : m_TextureTable)
        getTextureManager().GetTexture(entry.second);
    info->textures = m_TextureTable;

    bool drawable = fault.empty() && core->getCoreSkeleton() && !info->meshes.empty();
    if (drawable) {
        core->scale(m_Type == "Zorvath" ? kHeroScale : kOtherScale);
        // Mesh 0 is the first one loaded.
        drawable = BuildCoreModelBuffers(info->vertexBuffer, core, 0);
    }
    if (!drawable) {
        OutputDebugStringA(("ERROR: model " + bounded::Echoed(m_Type) + " (" + bounded::Echoed(m_Path + m_Skeleton) + ") cannot be drawn and is left out" +
                            (fault.empty() ? std::string() : ": " + fault) + "\n")
                               .c_str());
    } else {
        TCoreModelInfo*& slot = m_Library->m_Models[m_Type];
        if (slot)
            m_Library->m_Replaced.push_back(slot);
        slot = info.release();
    }
    m_Meshes.clear();
    m_Animations.clear();
    m_Anchors.clear();
}

// --- skinned buffer --------------------------------------------------------------------------

std::vector<int> BuildBonePalette(CalCoreSubmesh& submesh)
{
    std::map<int, int> counts;
    for (const CalCoreSubmesh::Vertex& vertex : submesh.getVectorVertex())
        for (const CalCoreSubmesh::Influence& influence : vertex.vectorInfluence)
            ++counts[influence.boneId];
    std::vector<int> palette;
    char line[64];
    for (const auto& entry : counts) {
        std::snprintf(line, sizeof line, "Bones %d => %d times\n", entry.first, entry.second);
        DebugTraceA(line);
        palette.push_back(entry.first);
    }
    return palette;
}

TSkinBytes SkinBytesFor(std::vector<std::pair<int, float>>& influences, const std::vector<int>& palette)
{
    if (influences.size() > 4) {
        float sum = 0.0f;
        for (std::size_t i = 3; i < influences.size(); ++i)
            sum += influences[i].second;
        const float mean = sum / static_cast<float>(influences.size() - 3);
        influences[3].second = mean > kMaxFoldedWeight ? 0.0f : mean;
        influences.resize(4);
    }
    TSkinBytes bytes;
    int total = 0;
    for (std::size_t j = 0; j < influences.size(); ++j) {
        const auto place = std::lower_bound(palette.begin(), palette.end(), influences[j].first);
        bytes.indices[j] = static_cast<unsigned char>(place - palette.begin());
        const float weight = std::max(0.0f, std::min(1.0f, influences[j].second));
        bytes.weights[j] = static_cast<unsigned char>(weight * 255.0f);
        total += bytes.weights[j];
    }
    if (!influences.empty() && total != 255)
        bytes.weights[0] = static_cast<unsigned char>(bytes.weights[0] + (255 - total));
    return bytes;
}

bool CModelsManager::BuildCoreModelBuffers(CCal3DVertexBuffer& buffer, CalCoreModel* coreModel, int meshId)
{
    CalCoreMesh* mesh = coreModel ? coreModel->getCoreMesh(meshId) : nullptr;
    CalCoreSubmesh* submesh = mesh ? mesh->getCoreSubmesh(0) : nullptr;
    if (!submesh)
        return false;
    buffer.coreMeshId = meshId;
    const unsigned count = static_cast<unsigned>(submesh->getVertexCount());
    if (count == 0 || count > kMaxVertices) {
        OutputDebugStringA("ERROR: a character mesh needs 1 to 65535 vertices\n");
        return false;
    }

    std::vector<unsigned short> indices;
    for (const CalCoreSubmesh::Face& face : submesh->getVectorFace()) {
        for (int corner = 0; corner < 3; ++corner) {
            const int id = face.vertexId[corner];
            if (id < 0 || static_cast<unsigned>(id) >= count) {
                OutputDebugStringA("ERROR: a character face names a vertex it does not have\n");
                return false;
            }
            indices.push_back(static_cast<unsigned short>(id));
        }
    }

    const std::vector<int> palette = BuildBonePalette(*submesh);
    if (palette.size() > static_cast<std::size_t>(kMaxPaletteBones)) {
        OutputDebugStringA("ERROR: a character mesh needs more palette bones than the shader holds\n");
        return false;
    }

    std::vector<TCalNormalVertex> vertices(count);
    std::vector<CalCoreSubmesh::Vertex>& source = submesh->getVectorVertex();
    const auto& uvSets = submesh->getVectorVectorTextureCoordinate();
    const bool hasUV = !uvSets.empty() && uvSets[0].size() >= count;
    std::vector<D3DXVECTOR3> positions(count), normals(count);
    std::vector<D3DXVECTOR2> uvs(count);
    for (unsigned i = 0; i < count; ++i) {
        CalCoreSubmesh::Vertex& v = source[i];
        TCalNormalVertex& out = vertices[i];
        out.x = v.position.x;
        out.y = v.position.y;
        out.z = v.position.z;
        out.nx = v.normal.x;
        out.ny = v.normal.y;
        out.nz = v.normal.z;
        if (hasUV) {
            out.tu = out.tu2 = uvSets[0][i].u;
            out.tv = out.tv2 = uvSets[0][i].v;
        }
        std::vector<std::pair<int, float>> influences;
        for (const CalCoreSubmesh::Influence& influence : v.vectorInfluence)
            influences.emplace_back(influence.boneId, influence.weight);
        const TSkinBytes bytes = SkinBytesFor(influences, palette);
        v.vectorInfluence.resize(influences.size());
        for (std::size_t j = 0; j < influences.size(); ++j)
            v.vectorInfluence[j].weight = influences[j].second;
        out.weights = PackBytes(bytes.weights);
        out.indices = PackBytes(bytes.indices);
        positions[i] = D3DXVECTOR3(out.x, out.y, out.z);
        normals[i] = D3DXVECTOR3(out.nx, out.ny, out.nz);
        uvs[i] = D3DXVECTOR2(out.tu, out.tv);
    }
    std::vector<D3DXVECTOR4> tangents(count);
    ComputeTangents(count, positions.data(), normals.data(), uvs.data(), static_cast<unsigned>(indices.size() / 3),
                    indices.data(), tangents.data());
    for (unsigned i = 0; i < count; ++i) {
        vertices[i].tx = tangents[i].x;
        vertices[i].ty = tangents[i].y;
        vertices[i].tz = tangents[i].z;
        vertices[i].tw = tangents[i].w;
    }

    buffer.bonePalette = palette;
    buffer.Create(count, vertices.data(), D3DPT_TRIANGLELIST);
    auto* indexBuffer = new CIndexBuffer;
    indexBuffer->Create(static_cast<unsigned>(indices.size()), indices.data());
    buffer.SetIndexBuffer(indexBuffer);
    buffer.GetSubsets().clear();
    buffer.GetSubsets().push_back({0, static_cast<int>(indices.size() / 3)});
    return true;
}

// --- the library -----------------------------------------------------------------------------

CModelsManager::~CModelsManager()
{
    Clear();
}

void CModelsManager::Clear()
{
    for (auto& entry : m_Models)
        delete entry.second;
    m_Models.clear();
    for (TCoreModelInfo* info : m_Replaced)
        delete info;
    m_Replaced.clear();
}

void CModelsManager::LoadCoreModels(std::string file)
{
    CCoreModelsParser parser(this);
    // Without the list no character is drawn: say which file and why.
    parser.LoadXMLSaying(file);
}

TCoreModelInfo* CModelsManager::Find(const std::string& typeName) const
{
    auto found = m_Models.find(typeName);
    return found == m_Models.end() ? nullptr : found->second;
}

CCharacterEntity* CModelsManager::CreateModelInstance(std::string typeName, short wearId)
{
    TCoreModelInfo* info = Find(typeName);
    if (!info) {
        bounded::ReportMissingOnce("ERROR: Model not found!!!", typeName);
        return nullptr;
    }
    auto* model = new CalModel(info->coreModel);
    for (std::size_t id = 0; id < info->meshes.size(); ++id)
        model->attachMesh(static_cast<int>(id));
    auto* entity = new CCharacterEntity(model, info);

    const std::string key = typeName + std::to_string(wearId);
    std::vector<IDirect3DTexture9*> textures;
    for (const char* slot : {"Diffuse", "Lightmap", "Normal"})
        textures.push_back(getTextureManager().GetTexture(info->textures[key + slot]));
    entity->SetTextures(textures);
    return entity;
}

CModelsManager& getModelsManager()
{
    static CModelsManager manager;
    return manager;
}
