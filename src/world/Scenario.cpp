#include "world/Scenario.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "app/Startup.h"
#include "math/VectorMath.h"
#include "platform/bounded.h"
#include "platform/win32.h"
#include "render/TextureManager.h"
#include "scene/LightCamera.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/RigidEntity.h"

namespace {

const char* const kHangares = "hangares";
const char* const kIsla = "isla";
const char* const kConfigurationFile = "data/XML/init_configuration.xml";

// Nearest-light search bounds: a light nearer than the first is taken at
// once, otherwise the nearest one within the second.
constexpr float kNearLight = 1000.0f;
constexpr float kFarLight = 5000.0f;
// Added to the nearest light's weight so that even one at the edge of its
// reach lights a little.
constexpr float kNearestWeightFloor = 0.01f;
// What a slot light out of reach weighs.
constexpr float kOutOfReachWeight = 0.001f;

constexpr float kSpotFar = 1500.0f;
// The spot lights' field of view as the lighting was tuned with it; it is
// not an angle a perspective would normally get.
constexpr float kSpotFov = 1000.04f;

// A count read from a file is only a limit on the entries taken: it is never
// allocated up front, so a count far past the children costs nothing. A
// negative one means nothing.
std::size_t CountOf(const CXMLAttributes& attributes, const char* name, int def)
{
    return bounded::Limit(attributes.GetInt(name, def), static_cast<std::size_t>(INT_MAX));
}

// A count past the entries given is no fault (only a limit), but worth a line:
// the level holds less than its file claims.
void NoteShortList(const std::string& file, const char* list, std::size_t count, std::size_t given)
{
    if (count > given)
        OutputDebugStringA((file + ": " + list + " count " + std::to_string(count) + " but " +
                            std::to_string(given) + " given\n")
                               .c_str());
}

// Only these two rooms have a slot.
constexpr std::size_t kRoomSlots = 2;

D3DXVECTOR3 TranslationOf(const D3DXMATRIX& m)
{
    return D3DXVECTOR3(m._41, m._42, m._43);
}

char LetterAt(const std::string& name, std::size_t index)
{
    return index < name.size() ? name[index] : '\0';
}

D3DXMATRIX Identity()
{
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return identity;
}

IDirect3DTexture9* TextureNamed(const std::string& name)
{
    // A material without one of its maps names none; the cache is not asked,
    // so no missing file is reported for it.
    return name.empty() ? nullptr : getTextureManager().GetTexture(name);
}

} // namespace

// --- parapets --------------------------------------------------------------------------

TParapet MakeParapet(const std::string& name, const D3DXMATRIX& transform, const D3DXVECTOR3& ptIni,
                     const D3DXVECTOR3& ptFin)
{
    TParapet parapet;
    parapet.transform.SetPosition(TranslationOf(transform));
    const D3DXVECTOR3 axisZ(transform._31, transform._32, transform._33);
    parapet.transform.SetYaw(YawFromDirection(axisZ));
    parapet.transform.SetMatrix(transform);

    parapet.pt_ini = ptIni;
    parapet.pt_fin = ptFin;
    if (parapet.pt_fin.x == parapet.pt_ini.x)
        parapet.pt_ini.x -= 0.1f;
    if (parapet.pt_fin.z == parapet.pt_ini.z)
        parapet.pt_ini.z -= 0.1f;

    parapet.facing = DirectionFromYaw(parapet.transform.GetYaw());
    parapet.high = LetterAt(name, 2) == 'a';
    parapet.jumpable = LetterAt(name, 4) == 's';
    parapet.free = true;
    parapet.kind = LetterAt(name, 8);
    parapet.zone = LetterAt(name, 6);
    parapet.name = name;

    parapet.length = ManhattanDistanceXZ(parapet.pt_ini, parapet.pt_fin);
    parapet.direction = NormalizeVector(parapet.pt_fin - parapet.pt_ini);
    const std::pair<float, float> line = LineXZFromPoints(parapet.pt_ini, parapet.pt_fin);
    parapet.line = D3DXVECTOR2(line.first, line.second);
    return parapet;
}

// --- CRoom -----------------------------------------------------------------------------

CRoom::CRoom(std::vector<CRigidEntity*> withParapets, std::vector<CRigidEntity*> withoutParapets)
    : m_WithParapets(std::move(withParapets)), m_WithoutParapets(std::move(withoutParapets))
{
}

CRoom::~CRoom()
{
    for (CRigidEntity* object : m_WithParapets)
        delete object;
    for (CRigidEntity* object : m_WithoutParapets)
        delete object;
    for (CLightCamera* light : m_Lights)
        delete light;
}

void CRoom::LoadLights(const std::string& file)
{
    // The room's lights change only at the list's end: a broken file gives
    // none of its spots, and says so.
    CLightsParser parser(this);
    parser.LoadXMLSaying(file);
}

void CRoom::SetLights(std::vector<CLightCamera*> lights)
{
    for (CLightCamera* light : m_Lights)
        delete light;
    m_Lights.clear();
    secondLight = nullptr;
    for (CLightCamera* light : lights) {
        if (light)
            m_Lights.push_back(light);
    }
}

CRoom::CLightsParser::CLightsParser(CRoom* room) : m_Room(room), m_Aspect(1.0f)
{
    CConfiguration configuration;
    configuration.LoadXML(kConfigurationFile);
    // Whole-number division, as the lights were tuned with; a window too
    // narrow or too flat for that to give a usable aspect gets 1.
    if (configuration.height > 0) {
        const int ratio = configuration.width / configuration.height;
        if (ratio > 0)
            m_Aspect = static_cast<float>(ratio);
    }
}

CRoom::CLightsParser::~CLightsParser()
{
    for (CLightCamera* light : m_Lights)
        delete light;
}

void CRoom::CLightsParser::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name == "spots") {
        for (CLightCamera* light : m_Lights)
            delete light;
        m_Lights.clear();
        m_Limit = CountOf(attributes, "count", 0);
    } else if (name == "spot") {
        if (m_Lights.size() >= m_Limit)
            return;
        auto* light = new CLightCamera;
        light->SetProjection(0.0f, kSpotFar, m_Aspect);
        light->SetFov(kSpotFov);
        light->SetLookAt(attributes.GetVect3f("position", 0.0f, 0.0f, 0.0f),
                         attributes.GetVect3f("target", 0.0f, 0.0f, 0.0f));
        m_Lights.push_back(light);
    }
}

void CRoom::CLightsParser::OnEndElement(const std::string& name)
{
    if (name == "spots")
        NoteShortList(GetStreamName(), "spots", m_Limit, m_Lights.size());
    if (name == "spots" && m_Room) {
        m_Room->SetLights(std::move(m_Lights));
        m_Lights.clear();
    }
}

// --- CScenario::CScenarioParser ----------------------------------------------------------

CScenario::CScenarioParser::CScenarioParser(CScenario* owner)
    : m_Owner(owner),
      m_ObjectTransform(Identity()),
      m_ParapetTransform(Identity()),
      m_ParapetIni(0.0f, 0.0f, 0.0f),
      m_ParapetFin(0.0f, 0.0f, 0.0f)
{
}

CScenario::CScenarioParser::~CScenarioParser()
{
    // Objects of a room that never closed (a broken file) go with the parser.
    for (CRigidEntity* object : m_WithParapets)
        delete object;
    for (CRigidEntity* object : m_WithoutParapets)
        delete object;
}

void CScenario::CScenarioParser::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name == "rooms") {
        m_Rooms.clear();
        m_Rooms.resize(std::min(CountOf(attributes, "count", 1), kRoomSlots));
        m_Parapets.clear();
    } else if (name == "room") {
        const std::string roomName = attributes.GetString("name", "");
        if (roomName == kHangares) {
            m_RoomSlot = 0;
            m_LightFile = "data/XML/light_instances_1.xml";
        } else if (roomName == kIsla) {
            m_RoomSlot = 1;
            m_LightFile = "data/XML/light_instances_2.xml";
        } else {
            m_RoomSlot = -1;
            m_LightFile.clear();
        }
    } else if (name == "object") {
        m_ObjectName = attributes.GetString("name", "");
        m_ObjectTransform = attributes.GetMatrix("transform", Identity());
        m_ObjectRadius = attributes.GetFloat("radio", 5000.0f);
        if (m_ObjectName.compare(0, 6, "Farola") == 0) {
            // The lamp's light sits above its base.
            const D3DXVECTOR3 base = TranslationOf(m_ObjectTransform);
            getParticleManager().AddLampPosition(base.x, 2.0f * base.y - 25.0f, base.z);
        } else {
            getRigid()->SetStartMatrix(m_ObjectName, m_ObjectTransform);
        }
    } else if (name == "materials") {
        m_MaterialLimit = CountOf(attributes, "count", 0);
        if (m_Materials.size() > m_MaterialLimit)
            m_Materials.resize(m_MaterialLimit);
        m_MaterialIndex = -1;
    } else if (name == "material") {
        ++m_MaterialIndex;
        if (static_cast<std::size_t>(m_MaterialIndex) < m_MaterialLimit &&
            static_cast<std::size_t>(m_MaterialIndex) >= m_Materials.size())
            m_Materials.resize(m_MaterialIndex + 1);
        m_MaterialNames[0] = attributes.GetString("diffusemap", "");
        m_MaterialNames[1] = attributes.GetString("lightmap", "");
        m_MaterialNames[2] = attributes.GetString("normalmap", "");
    } else if (name == "parapets") {
        m_ParapetCount = std::max(0, attributes.GetInt("count", 0));
        m_Parapets.clear();
        m_ParapetIndex = -1;
    } else if (name == "parapet") {
        ++m_ParapetIndex;
        m_ParapetName = attributes.GetString("name", "");
        m_ParapetTransform = attributes.GetMatrix("transform", Identity());
        m_ParapetIni = attributes.GetVect3f("pt_ini", 0.0f, 0.0f, 0.0f);
        m_ParapetFin = attributes.GetVect3f("pt_fin", 0.0f, 0.0f, 0.0f);
    }
}

void CScenario::CScenarioParser::OnEndElement(const std::string& name)
{
    if (name == "rooms") {
        m_Owner->m_CurrentRoom = nullptr;
        m_Owner->m_Rooms = std::move(m_Rooms);
        m_Rooms.clear();
    } else if (name == "room") {
        EndRoom();
    } else if (name == "object") {
        EndObject();
    } else if (name == "materials") {
        NoteShortList(GetStreamName(), "materials", m_MaterialLimit, static_cast<std::size_t>(m_MaterialIndex + 1));
    } else if (name == "parapets") {
        NoteShortList(GetStreamName(), "parapets", static_cast<std::size_t>(m_ParapetCount), m_Parapets.size());
    } else if (name == "material") {
        if (m_MaterialIndex >= 0 && static_cast<std::size_t>(m_MaterialIndex) < m_Materials.size()) {
            TMaterial& material = m_Materials[m_MaterialIndex];
            material.diffuse = TextureNamed(m_MaterialNames[0]);
            material.lightmap = TextureNamed(m_MaterialNames[1]);
            material.normalmap = TextureNamed(m_MaterialNames[2]);
        }
    } else if (name == "parapet") {
        // Only parapets the file really has: a count past them adds none.
        if (m_ParapetIndex >= 0 && m_ParapetIndex < m_ParapetCount &&
            static_cast<std::size_t>(m_ParapetIndex) == m_Parapets.size())
            m_Parapets.push_back(MakeParapet(m_ParapetName, m_ParapetTransform, m_ParapetIni, m_ParapetFin));
    }
}

void CScenario::CScenarioParser::EndObject()
{
    auto* object = new CRigidEntity;
    object->SetObjectName(m_ObjectName);
    object->SetRadius(m_ObjectRadius);
    object->GetTransform().SetPosition(TranslationOf(m_ObjectTransform));
    object->GetTransform().SetMatrix(m_ObjectTransform);
    object->Init(m_ObjectName);

    // The effect manager reads each material as three consecutive slots:
    // diffuse, lightmap, normal map.
    std::vector<IDirect3DTexture9*> textures;
    textures.reserve(m_Materials.size() * 3);
    for (const TMaterial& material : m_Materials) {
        textures.push_back(material.diffuse);
        textures.push_back(material.lightmap);
        textures.push_back(material.normalmap);
    }
    object->SetTextures(std::move(textures));
    object->SetParapets(m_Parapets);

    if (m_ParapetCount > 0)
        m_WithParapets.push_back(object);
    else
        m_WithoutParapets.push_back(object);

    m_ParapetCount = 0;
    m_ParapetIndex = -1;
    m_MaterialIndex = -1;
    m_Parapets.clear();
}

void CScenario::CScenarioParser::EndRoom()
{
    std::vector<CRigidEntity*> withParapets = std::move(m_WithParapets);
    std::vector<CRigidEntity*> withoutParapets = std::move(m_WithoutParapets);
    m_WithParapets.clear();
    m_WithoutParapets.clear();

    auto room = std::make_unique<CRoom>(std::move(withParapets), std::move(withoutParapets));
    if (m_RoomSlot < 0 || static_cast<std::size_t>(m_RoomSlot) >= m_Rooms.size()) {
        OutputDebugStringA("Scenario: a room with no slot of its own is skipped\n");
        return; // its objects go with it
    }
    room->LoadLights(m_LightFile);
    m_Rooms[m_RoomSlot] = std::move(room);
}

// --- CScenario ---------------------------------------------------------------------------

CScenario::CScenario() = default;
CScenario::~CScenario() = default;

void CScenario::Load(const char* file)
{
    // A second start of the game in one process loads the level again: its
    // lamps would be listed twice, and twice the mosquitoes swarm round them.
    getParticleManager().ClearLampPositions();
    {
        CScenarioParser parser(this);
        parser.LoadXMLSaying(file ? file : "");
    }
    scenarioName = kHangares;
    m_CurrentRoom = RoomInSlot(0);
}

void CScenario::SelectScenario(std::string name)
{
    if (name == kHangares)
        m_CurrentRoom = RoomInSlot(0);
    else if (name == kIsla)
        m_CurrentRoom = RoomInSlot(1);
    scenarioName = std::move(name);
}

CRoom* CScenario::RoomInSlot(std::size_t slot) const
{
    return slot < m_Rooms.size() ? m_Rooms[slot].get() : nullptr;
}

CRoom* CScenario::GetCurrentRoom()
{
    return m_CurrentRoom;
}

std::vector<TParapet*> CScenario::GetParapets()
{
    std::vector<TParapet*> parapets;
    if (!m_CurrentRoom)
        return parapets;
    for (CRigidEntity* object : m_CurrentRoom->GetObjectsWithParapets()) {
        const std::vector<TParapet*> own = object->GetParapets();
        parapets.insert(parapets.end(), own.begin(), own.end());
    }
    return parapets;
}

void CScenario::ResetParapets()
{
    for (TParapet* parapet : GetParapets())
        parapet->free = true;
}

std::vector<IEntidad3D*> CScenario::GetRoomObjects()
{
    std::vector<IEntidad3D*> objects;
    if (!m_CurrentRoom)
        return objects;
    for (CRigidEntity* object : m_CurrentRoom->GetObjectsWithParapets())
        objects.push_back(object);
    for (CRigidEntity* object : m_CurrentRoom->GetObjectsWithoutParapets())
        objects.push_back(object);
    return objects;
}

bool CScenario::HasObject(const std::string& name) const
{
    if (m_Rooms.empty())
        return true;
    for (const auto& room : m_Rooms) {
        if (!room)
            continue;
        for (const auto* objects : {&room->GetObjectsWithParapets(), &room->GetObjectsWithoutParapets()})
            for (const CRigidEntity* object : *objects)
                if (object && object->GetName() == name)
                    return true;
    }
    return false;
}

// On CLightCamera: range is the distance last measured, influence the weight,
// spread how far the light reaches.
CLightCamera* CScenario::GetNearestLight(D3DXVECTOR3 position)
{
    if (!m_CurrentRoom || m_CurrentRoom->GetLights().empty())
        return nullptr;
    const std::vector<CLightCamera*>& lights = m_CurrentRoom->GetLights();

    float bestDistance = kNearLight;
    float secondDistance = kFarLight;
    CLightCamera* best = lights.front();
    CLightCamera* runnerUp = nullptr;
    for (CLightCamera* light : lights) {
        const float d = ManhattanDistanceXZ(light->eye, position);
        if (d < bestDistance) {
            secondDistance = bestDistance;
            runnerUp = best;
            bestDistance = d;
            best = light;
            light->range = d;
        } else if (d < secondDistance) {
            secondDistance = d;
            light->range = d;
            runnerUp = light;
        }
    }
    if (bestDistance == kNearLight) {
        if (runnerUp) {
            bestDistance = secondDistance;
            best = runnerUp;
        } else {
            // Nothing within reach of the search: the first light, weighed
            // from where it really is (and standing in as its own runner-up).
            best = lights.front();
            bestDistance = ManhattanDistanceXZ(best->eye, position);
            best->range = bestDistance;
            runnerUp = best;
        }
    }
    bestDistance = std::min(bestDistance, best->spread);
    best->influence = 1.0f - bestDistance / best->spread + kNearestWeightFloor;
    m_CurrentRoom->secondLight = runnerUp;
    return best;
}

void CScenario::GetTwoNearestLights(D3DXVECTOR3 position, CLightCamera* first, CLightCamera* second,
                                    CLightCamera* /*third*/, CLightCamera* /*fourth*/)
{
    if (!first || !second)
        return;
    for (CLightCamera* slot : {first, second}) {
        slot->range = ManhattanDistanceXZ(slot->eye, position);
        slot->influence = slot->spread < slot->range ? kOutOfReachWeight : 1.0f - slot->range / slot->spread;
    }
    if (m_CurrentRoom) {
        for (CLightCamera* light : m_CurrentRoom->GetLights()) {
            light->range = ManhattanDistanceXZ(light->eye, position);
            if (light->eye == first->eye || light->eye == second->eye)
                continue;
            light->influence = 1.0f - light->range / light->spread;
            if (first->influence < light->influence) {
                *second = *first;
                *first = *light;
            } else if (second->influence < light->influence) {
                *second = *light;
            }
        }
    }
    if (first->influence < second->influence)
        std::swap(*first, *second);
}

CScenario* getScenario()
{
    static CScenario scenario;
    return &scenario;
}
