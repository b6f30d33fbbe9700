#include "world/Scenario.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "app/Startup.h"
#include "math/VectorMath.h"
#include "platform/bounded.h"
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

// Wide enough that an object whose radius is unusable is never culled by mistake.
constexpr float kDefaultRadius = 5000.0f;

// A count read from a file is only a limit on the entries taken: it is never
// allocated up front, so a count far past the children costs nothing. A
// negative one means nothing.
std::size_t CountOf(const CXMLAttributes& attributes, const char* name, int def)
{
    return bounded::Limit(attributes.GetInt(name, def), static_cast<std::size_t>(INT_MAX));
}

// A count past the entries given is no fault (only a limit), but worth a line:
// the level holds less than its file claims. Entries past the count are not
// taken, and say so.
void NoteCount(bounded::FaultTally& tally, const char* list, std::size_t count, std::size_t given,
               const std::string& entry)
{
    if (count > given)
        tally.Add(std::string(list) + " count " + std::to_string(count) + " but " + std::to_string(given) + " given",
                  entry);
    else if (given > count)
        tally.Add(std::to_string(given) + " " + list + " where its count says " + std::to_string(count) +
                      ": the first " + std::to_string(count) + " are used",
                  entry);
}

// Only these two rooms have a slot.
constexpr std::size_t kRoomSlots = 2;

// A room of either level draws a few hundred objects and a few hundred
// spots; a file of many times more is not one of ours, and would take the
// game seconds a frame.
constexpr std::size_t kMaxRoomObjects = 1024;
constexpr std::size_t kMaxSpots = 1024;

// Further from the origin than either level reaches, or turned and scaled
// beyond any object of ours: no place an object can be drawn at.
constexpr double kFarthestPlace = 1.0e6;
constexpr double kLargestScale = 1000.0;

// Twelve numbers: the turn and scale rows, then the place; one left out is
// the identity.
bool ReadTransform(const CXMLAttributes& attributes, D3DXMATRIX* transform)
{
    float numbers[12];
    D3DXMatrixIdentity(transform);
    if (!attributes.count("transform"))
        return true;
    if (!attributes.ReadNumbers("transform", numbers, 12, kFarthestPlace, 9, kLargestScale))
        return false;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            transform->m[row][column] = numbers[row * 3 + column];
    return true;
}

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
    parser.SayFaults(file);
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
        m_Seen = 0;
    } else if (name == "spot") {
        ++m_Seen;
        if (m_Lights.size() >= std::min(m_Limit, kMaxSpots))
            return;
        // A spot at no place lights nothing and casts its shadows nowhere.
        D3DXVECTOR3 position, target;
        if (!attributes.ReadNumbers("position", &position.x, 3, kFarthestPlace) ||
            !attributes.ReadNumbers("target", &target.x, 3, kFarthestPlace)) {
            m_Faults.Add("a spot whose position or target is not 3 numbers within 1e6 is left out",
                         "spot " + std::to_string(m_Seen));
            return;
        }
        auto* light = new CLightCamera;
        light->SetProjection(0.0f, kSpotFar, m_Aspect);
        light->SetFov(kSpotFov);
        light->SetLookAt(position, target);
        m_Lights.push_back(light);
    }
}

void CRoom::CLightsParser::OnEndElement(const std::string& name)
{
    if (name == "spots") {
        const std::size_t used = std::min(m_Limit, kMaxSpots);
        if (m_Limit > m_Seen)
            bounded::SayOnce(GetStreamName() + ": spots count " + std::to_string(m_Limit) + " but " +
                             std::to_string(m_Seen) + " given");
        else if (m_Seen > m_Limit)
            bounded::SayOnce(GetStreamName() + ": " + std::to_string(m_Seen) + " spots where its count says " +
                             std::to_string(m_Limit) + ": the first " + std::to_string(used) + " are used");
        else if (m_Seen > kMaxSpots)
            bounded::SayOnce(GetStreamName() + ": " + std::to_string(m_Seen) + " spots, far more than the " +
                             std::to_string(kMaxSpots) + " the game lights with: the first " +
                             std::to_string(kMaxSpots) + " are used");
    }
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
        m_RoomName = roomName;
        m_RoomObjects = 0;
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
        m_ObjectLeftOut = ++m_RoomObjects > kMaxRoomObjects;
        if (m_ObjectLeftOut)
            return;
        const std::string entry = "object \"" + bounded::Echoed(m_ObjectName) + "\"";
        // An object no scale or place can draw is left out, as one the file
        // did not have: a floor scaled past any float leaves the level
        // without one all the same, but says so.
        if (!ReadTransform(attributes, &m_ObjectTransform)) {
            m_Faults.Add("a transform that is not 12 numbers (turned and scaled within 1000, placed within 1e6): the "
                         "object is left out",
                         entry);
            m_ObjectLeftOut = true;
            return;
        }
        // The radius only culls: a wrong one keeps the default's, which culls
        // nothing by mistake.
        m_ObjectRadius = kDefaultRadius;
        const auto radius = attributes.find("radio");
        double read;
        if (radius != attributes.end() && !bounded::ParseFloat(radius->second, 0.0, kFarthestPlace, &read))
            m_Faults.Add("radio \"" + bounded::Echoed(radius->second) + "\" is not a number from 0 to 1e6: 5000 is used",
                         entry);
        else if (radius != attributes.end())
            m_ObjectRadius = static_cast<float>(read);
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
        if (!m_ObjectLeftOut)
            EndObject();
        m_ObjectLeftOut = false;
        m_ParapetCount = 0;
        m_ParapetIndex = -1;
        m_MaterialIndex = -1;
        m_Parapets.clear();
    } else if (name == "materials" && !m_ObjectLeftOut) {
        NoteCount(m_Faults, "materials", m_MaterialLimit, static_cast<std::size_t>(m_MaterialIndex + 1),
                  "object \"" + bounded::Echoed(m_ObjectName) + "\"");
    } else if (name == "parapets" && !m_ObjectLeftOut) {
        NoteCount(m_Faults, "parapets", static_cast<std::size_t>(m_ParapetCount),
                  static_cast<std::size_t>(m_ParapetIndex + 1), "object \"" + bounded::Echoed(m_ObjectName) + "\"");
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
    if (m_RoomObjects > kMaxRoomObjects)
        bounded::SayOnce(GetStreamName() + ": room \"" + bounded::Echoed(m_RoomName) + "\" holds " +
                         std::to_string(m_RoomObjects) + " objects, far more than the " +
                         std::to_string(kMaxRoomObjects) + " the game draws: the first " +
                         std::to_string(kMaxRoomObjects) + " are kept");
    std::vector<CRigidEntity*> withParapets = std::move(m_WithParapets);
    std::vector<CRigidEntity*> withoutParapets = std::move(m_WithoutParapets);
    m_WithParapets.clear();
    m_WithoutParapets.clear();

    auto room = std::make_unique<CRoom>(std::move(withParapets), std::move(withoutParapets));
    if (m_RoomSlot < 0 || static_cast<std::size_t>(m_RoomSlot) >= m_Rooms.size()) {
        m_Faults.Add("a room without a slot of its own (only \"hangares\" and \"isla\" have one) is left out",
                     "room \"" + bounded::Echoed(m_RoomName) + "\"");
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
        parser.SayFaults(file ? file : "");
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
