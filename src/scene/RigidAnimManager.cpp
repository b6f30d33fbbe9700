#include "scene/RigidAnimManager.h"

#include "platform/bounded.h"

#include <cmath>
#include <sstream>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "app/GameStateFlags.h"
#include "platform/files.h"
#include "scene/LightCamera.h"
#include "scene/Location.h"

const char* const CRigidAnimManager::StartMatrixNames[kStartMatrixCount] = {
    "maderitas3_ROTO_1", "maderitas3_ROTO_2", "maderitas3_ROTO_3",
    "maderitas3_ROTO_4", "maderitas3_ROTO_5", "maderitas2_ROTO_1",
    "maderitas2_ROTO_2", "maderitas2_ROTO_3", "maderitas2_ROTO_4",
    "isla_madera_andamio_EXPLO_10", "isla_madera_andamio_EXPLO_06", "Hangar_PUERTA_DER",
    "Hangar_PUERTA_IZQ",
};

namespace {

// Three numbers, each finite, and nothing else: the attribute reader stops
// quietly at the first word that is not a number.
bool ThreeFiniteNumbers(const std::string& text)
{
    std::istringstream in(text);
    std::string word;
    int count = 0;
    double value;
    while (in >> word) {
        if (++count > 3 || !bounded::ParseFloat(word, -1e30, 1e30, &value))
            return false;
    }
    return count == 3;
}

int StartMatrixSlot(const std::string& name)
{
    for (std::size_t i = 0; i < CRigidAnimManager::kStartMatrixCount; ++i) {
        if (name == CRigidAnimManager::StartMatrixNames[i])
            return static_cast<int>(i);
    }
    return -1;
}

// Tracks of the fight's final combo were modelled at a smaller scale than the
// world they play in.
constexpr float kComboFinalScale = 4.2f;

bool IsComboFinal(const std::string& name) { return name.find("Combo_final") != std::string::npos; }

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

bool Finite(float value) { return std::isfinite(value); }

// Clamped position along the track: the sample index and the blend towards
// the next one.
void SampleIndex(float t, float duration, unsigned count, unsigned& index, float& fraction)
{
    float u = (duration == 0.0f && t == 0.0f) ? 0.0f : t / duration;
    if (u >= 1.0f)
        u = 1.0f;
    else if (!(u >= 0.0f))
        u = 0.0f;
    const float x = static_cast<float>(count - 1) * u;
    const float i = std::floor(x);
    index = static_cast<unsigned>(i);
    fraction = x - i;
    if (index >= count - 1) {
        index = count - 1;
        fraction = 0.0f;
    }
}

} // namespace

D3DXQUATERNION QuatMultiply(const D3DXQUATERNION& a, const D3DXQUATERNION& b)
{
    return D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
}

D3DXVECTOR3 QuatRotateVector(const D3DXQUATERNION& q, const D3DXVECTOR3& v)
{
    const D3DXQUATERNION conjugate(-q.x, -q.y, -q.z, q.w);
    const D3DXQUATERNION turned = QuatMultiply(QuatMultiply(q, D3DXQUATERNION(v.x, v.y, v.z, 0.0f)), conjugate);
    return D3DXVECTOR3(turned.x, turned.y, turned.z);
}

// --- track -------------------------------------------------------------------

void RigidAnimTrack::Allocate(float newDuration, unsigned newPositionCount, unsigned newOrientationCount)
{
    positions.reset();
    orientations.reset();
    duration = newDuration;
    positionCount = newPositionCount;
    orientationCount = newOrientationCount;
    if (positionCount)
        positions.reset(new D3DXVECTOR3[positionCount]);
    if (orientationCount)
        orientations.reset(new D3DXQUATERNION[orientationCount]);
}

void RigidAnimTrack::Clear()
{
    positions.reset();
    orientations.reset();
    duration = 0.0f;
    positionCount = 0;
    orientationCount = 0;
}

bool RigidAnimTrack::Load(const char* path)
{
    std::unique_ptr<FILE, FileCloser> file(platform::OpenFile(path, "rb"));
    if (!file)
        return false;
    FILE* in = file.get();
    std::fseek(in, 0, SEEK_END);
    const long size = std::ftell(in);
    std::fseek(in, 0, SEEK_SET);

    auto refuse = [&](const char* fault) {
        Clear();
        bounded::SayOnce("Rigid animation " + bounded::Echoed(path) + ": " + fault);
        return true;
    };

    char name[128] = {};
    int count = 0;
    float length = 0.0f;
    if (std::fscanf(in, " <RigidAnimation> <Name> %127s", name) != 1)
        return refuse("no name");
    // A name of 128 characters or more is not a name this game writes.
    const int next = std::fgetc(in);
    if (next != EOF && !std::isspace(next) && next != '<')
        return refuse("name longer than 127 characters");
    if (next == '<')
        std::ungetc(next, in);
    if (std::fscanf(in, " </Name> <NumSamples> %d </NumSamples> <Duration> %f </Duration> <Position>", &count,
                    &length) != 2)
        return refuse("no sample count or duration");
    if (count <= 0)
        return refuse("no samples");
    // Every sample is seven numbers of at least one digit and a blank each:
    // a count the file cannot hold is refused before anything is allocated.
    if (static_cast<long>(count) > size / 14)
        return refuse("fewer samples than announced");
    if (!Finite(length) || length < 0.0f)
        return refuse("bad duration");

    const float scale = IsComboFinal(name) ? kComboFinalScale : 1.0f;
    Allocate(length, static_cast<unsigned>(count), static_cast<unsigned>(count));
    for (int k = 0; k < count; ++k) {
        D3DXVECTOR3& p = positions[k];
        if (std::fscanf(in, " %f %f %f", &p.x, &p.y, &p.z) != 3 || !Finite(p.x) || !Finite(p.y) || !Finite(p.z))
            return refuse("fewer positions than announced");
        p *= scale;
    }
    if (std::fscanf(in, " </Position> <Orientation>") != 0)
        return refuse("no orientations");
    for (int k = 0; k < count; ++k) {
        D3DXQUATERNION& q = orientations[k];
        if (std::fscanf(in, " %f %f %f %f", &q.x, &q.y, &q.z, &q.w) != 4 || !Finite(q.x) || !Finite(q.y) ||
            !Finite(q.z) || !Finite(q.w))
            return refuse("fewer orientations than announced");
        if (q.x == 0.0f && q.y == 0.0f && q.z == 0.0f && q.w == 0.0f)
            return refuse("an orientation of length 0");
    }
    return true;
}

void RigidAnimTrack::SamplePosition(float t, D3DXVECTOR3& out) const
{
    unsigned i = 0;
    float f = 0.0f;
    SampleIndex(t, duration, positionCount, i, f);
    if (f == 0.0f) {
        out = positions[i];
        return;
    }
    const float a = 1.0f - f;
    const float b = 1.0f - a;
    out = positions[i] * a + positions[i + 1] * b;
}

void RigidAnimTrack::SampleOrientation(float t, D3DXQUATERNION& out) const
{
    unsigned i = 0;
    float f = 0.0f;
    SampleIndex(t, duration, orientationCount, i, f);
    if (f == 0.0f) {
        out = orientations[i];
    } else {
        const float a = 1.0f - f;
        const float b = 1.0f - a;
        const D3DXQUATERNION& p = orientations[i];
        const D3DXQUATERNION& q = orientations[i + 1];
        const float d = p.x * q.x + p.y * q.y + p.z * q.z + p.w * q.w;
        const float s = d <= 0.0f ? -b : b;
        out = D3DXQUATERNION(a * p.x + s * q.x, a * p.y + s * q.y, a * p.z + s * q.z, a * p.w + s * q.w);
    }
    const float length = std::sqrt(out.x * out.x + out.y * out.y + out.z * out.z + out.w * out.w);
    if (length > 0.0f)
        out /= length;
}

// --- animation object ----------------------------------------------------------

CKeyframedRAO::CKeyframedRAO(RigidAnimTrack* animTrack) : track(animTrack)
{
    if (HasSamples())
        track->SamplePosition(0.0f, pivot);
    Update(0.0f);
}

void CKeyframedRAO::Update(float dt)
{
    time += speed * dt;
    if (!HasSamples())
        return;
    D3DXVECTOR3 p;
    D3DXQUATERNION q;
    track->SamplePosition(time, p);
    track->SampleOrientation(time, q);
    position = QuatRotateVector(baseRotation, p) - pivot + basePosition;
    orientation = QuatMultiply(baseRotation, q);
}

bool CKeyframedRAO::IsFinished()
{
    return !HasSamples() || time >= track->duration;
}

void CKeyframedRAO::RestartFrom(const D3DXVECTOR3& P, const D3DXQUATERNION& Q)
{
    time = 0.0f;
    position = P;
    orientation = Q;
    if (!HasSamples())
        return;
    D3DXVECTOR3 p0;
    D3DXQUATERNION q0;
    track->SamplePosition(0.0f, p0);
    track->SampleOrientation(0.0f, q0);
    baseRotation = QuatMultiply(Q, D3DXQUATERNION(-q0.x, -q0.y, -q0.z, q0.w));
    // The pivot is taken off every later pose, so it is added back here.
    basePosition = P - QuatRotateVector(baseRotation, p0) + pivot;
}

// --- manager -----------------------------------------------------------------

CRigidAnimManager::CRigidAnimManager() : tracks(new RigidAnimTrack[kMaxTracks])
{
    D3DXMatrixIdentity(&comboCameraMatrix);
}

IRigidAnimWorld& CRigidAnimManager::World()
{
    return m_World ? *m_World : getGameRigidAnimWorld();
}

void CRigidAnimManager::Load()
{
    LoadList(kListFile);
}

void CRigidAnimManager::LoadList(const std::string& file)
{
    waitToPlayAvioneta = 0.0f;
    creditsRadioTimer = 0.0f;
    trackCount = 0;
    oneShotAnims.clear();
    finishedAnims.clear();
    loopAnims.clear();
    camPosTemplates.clear();
    camLookTemplates.clear();
    camPosOffsets.clear();
    camLookOffsets.clear();
    pendingParts.clear();
    m_TooManyReported = false;
    m_ListFile = file;
    LoadXMLSaying(file, true);
    // A game closed in the middle of a sequence leaves none running for the
    // next start: the camera would follow the hero's heading, not the player.
    scriptedSequenceRunning = false;
    camSequenceRunning = false;
    comboCameraSequence = false;
    cameraStopRequested = false;
    comboCameraEndRequested = false;
    cameraTracksEnded = false;
    crateBroken2 = false;
    crateBroken3 = false;
    currentAnimName.clear();
    dockersEscapeStage = 0;
    dockersTimer = 0.0f;
    cameraSpeedModifier = 1.0f;
    D3DXMatrixIdentity(&comboCameraMatrix);
    explosionTeleportArmed = true;
    crateHits2 = 1;
    crateHits3 = 1;
}

void CRigidAnimManager::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name == "ANIMACION") {
        currentAnimName = attributes.GetString("name", "");
        return;
    }
    if (name != "PARTE")
        return;
    const std::string partName = attributes.GetString("name", "");
    const std::string malla = attributes.GetString("malla", "");
    D3DXVECTOR3 start = attributes.GetVect3f("pos_inicial", 0.0f, 0.0f, 0.0f);
    const std::string part = m_ListFile + ": part \"" + bounded::Echoed(partName) + "\" of \"" +
                             bounded::Echoed(currentAnimName) + "\"";
    // A part that moves nothing would play unseen; a start that is no number
    // would send the camera nowhere.
    if (malla.empty()) {
        bounded::SayOnce(part + " names no mesh and is left out");
        return;
    }
    if (!ThreeFiniteNumbers(attributes.GetString("pos_inicial", "0 0 0"))) {
        bounded::SayOnce(part + ": its start is not a number; the origin is used");
        start = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    }
    if (trackCount >= kMaxTracks) {
        if (!m_TooManyReported)
            std::cerr << m_ListFile << ": more than " << kMaxTracks << " parts, the rest are not played\n";
        m_TooManyReported = true;
        return;
    }
    if (IsComboFinal(partName))
        start *= kComboFinalScale;
    RigidAnimTrack* slot = &tracks[trackCount];
    slot->Clear();
    slot->Load((std::string(kTrackFolder) + partName).c_str());
    const CKeyframedRAO anim(slot);
    if (malla == "cam_pos") {
        camPosTemplates.emplace(currentAnimName, anim);
        camPosOffsets.emplace(currentAnimName, start);
    } else if (malla == "cam_look") {
        camLookTemplates.emplace(currentAnimName, anim);
        camLookOffsets.emplace(currentAnimName, start);
    } else {
        pendingParts.push_back(AnimationPart{anim, slot, malla});
    }
    ++trackCount;
}

void CRigidAnimManager::OnEndElement(const std::string& name)
{
    if (name != "ANIMACION")
        return;
    animations.emplace(currentAnimName, pendingParts);
    pendingParts.clear();
}

void CRigidAnimManager::Clear()
{
    loopAnims.clear();
    oneShotAnims.clear();
    finishedAnims.clear();
    cameraStopRequested = true;
}

void CRigidAnimManager::Reset()
{
    currentAnimName.clear();
    camSequenceRunning = false;
    cameraStopRequested = false;
    comboCameraSequence = false;
    comboCameraEndRequested = false;
    dockersEscapeStage = 0;
    D3DXMatrixIdentity(&comboCameraMatrix);
    explosionTeleportArmed = true;
    dockersTimer = 0.0f;
    waitToPlayAvioneta = 0.0f;
    creditsRadioTimer = 0.0f;
    crateHits2 = 2;
    crateHits3 = 2;
}

void CRigidAnimManager::play(std::string name, bool loop)
{
    const std::vector<AnimationPart> parts = animations[name];
    std::map<std::string, RunningAnimation>& running = loop ? loopAnims : oneShotAnims;
    for (const AnimationPart& part : parts) {
        if (!part.anim.HasSamples())
            continue;
        running.emplace(part.entityName, RunningAnimation{part.anim, World().FindEntity(part.entityName)});
    }
}

void CRigidAnimManager::playCam(std::string name)
{
    IRigidAnimWorld& world = World();
    if (name == "camara_isla_dockers1") {
        const D3DXVECTOR3 spot(-1104.39f, 374.71f, -491.279f);
        world.SetHeroBody(spot);
        world.SetHeroEntity(spot, -1.18f);
        world.SwitchToParapeted(21, D3DXVECTOR3(-1143.27f, 374.71f, -495.921f));
        world.BlendLowCoverIdle(0.1f, 0.1f, false);
    }
    cameraSpeedModifier = 1.0f;
    world.ForgetFireHeld();
    if (getGSF().sequence != CGameStateFlagsManager::ReadyVinyetasIntro2) {
        if (name.compare(0, 8, "Memoriam") == 0 || name.compare(0, 8, "creditos") == 0)
            world.FadeOutToBlack(3.0f);
        else if (world.IsFinisherUnderWay())
            world.FadeOutToWhite(0.5f);
        else
            world.FadeOutToBlack(1.0f);
    }
    const auto pos = camPosTemplates.find(name);
    const auto look = camLookTemplates.find(name);
    comboCameraEndRequested = false;
    cameraTracksEnded = false;
    if (pos == camPosTemplates.end() || look == camLookTemplates.end()) {
        // A group without its two camera parts has no flight: the sequence is
        // ended at the next update and the camera stays where it is.
        camPosAnim = CKeyframedRAO();
        camLookAnim = CKeyframedRAO();
        camSequenceRunning = false;
        cameraStopRequested = true;
        comboCameraSequence = false;
        return;
    }
    camSequenceRunning = true;
    camPosAnim = pos->second;
    camLookAnim = look->second;
    cameraStopRequested = false;
    world.SetFreeCamera(true);
    if (name.find("_combo_") == 6) {
        comboCameraSequence = true;
    } else {
        comboCameraSequence = false;
        world.RefillLife();
    }
    camPosOffset = camPosOffsets[name];
    camLookOffset = camLookOffsets[name];
    CLightCamera& camera = world.FlightCamera();
    camera.eye = camPosOffset;
    camera.target = camLookOffset;
    camera.cameraUp = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
}

void CRigidAnimManager::SetComboCamera()
{
    comboCameraEndRequested = true;
}

void CRigidAnimManager::setWaitToPlayAvioneta(float seconds)
{
    waitToPlayAvioneta = seconds;
}

bool CRigidAnimManager::canPlayWaitEnded()
{
    return waitToPlayAvioneta < 0.0f;
}

void CRigidAnimManager::setCameraSpeedModifier(float value)
{
    cameraSpeedModifier = value;
}

const CKeyframedRAO* CRigidAnimManager::GetCamPosTemplate(const std::string& name) const
{
    const auto found = camPosTemplates.find(name);
    return found == camPosTemplates.end() ? nullptr : &found->second;
}

const CKeyframedRAO* CRigidAnimManager::GetCamLookTemplate(const std::string& name) const
{
    const auto found = camLookTemplates.find(name);
    return found == camLookTemplates.end() ? nullptr : &found->second;
}

D3DXVECTOR3 CRigidAnimManager::GetCamPosOffset(const std::string& name) const
{
    const auto found = camPosOffsets.find(name);
    return found == camPosOffsets.end() ? D3DXVECTOR3(0.0f, 0.0f, 0.0f) : found->second;
}

D3DXVECTOR3 CRigidAnimManager::GetCamLookOffset(const std::string& name) const
{
    const auto found = camLookOffsets.find(name);
    return found == camLookOffsets.end() ? D3DXVECTOR3(0.0f, 0.0f, 0.0f) : found->second;
}

void CRigidAnimManager::SetStartMatrix(const std::string& name, const D3DXMATRIX& matrix)
{
    const int slot = StartMatrixSlot(name);
    if (slot < 0)
        return;
    m_StartMatrices[slot] = matrix;
    m_StartMatrixSet[slot] = true;
}

const D3DXMATRIX* CRigidAnimManager::GetStartMatrix(const std::string& name) const
{
    const int slot = StartMatrixSlot(name);
    if (slot < 0 || !m_StartMatrixSet[slot])
        return nullptr;
    return &m_StartMatrices[slot];
}

CRigidAnimManager* getRigid()
{
    static CRigidAnimManager manager;
    return &manager;
}
