#include "scene/RigidAnimManager.h"

#include "platform/bounded.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <vector>

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

namespace {

// The words of a track file: a tag ("<Name>") or a run of anything up to the
// next blank or tag; blanks between them do not count.
class TrackWords {
public:
    explicit TrackWords(const std::string& text) : m_Text(text) {}
    std::string Next()
    {
        m_At = std::min(m_Text.find_first_not_of(" \t\r\n\f\v", m_At), m_Text.size());
        const size_t start = m_At;
        if (m_At < m_Text.size() && m_Text[m_At] == '<')
            m_At = std::min(m_Text.find('>', m_At), m_Text.size() - 1) + 1;
        else
            m_At = std::min(m_Text.find_first_of(" \t\r\n\f\v<", m_At), m_Text.size());
        return m_Text.substr(start, m_At - start);
    }
    bool Expect(const char* tag) { return Next() == tag; }
    // The next word between a tag and its end ("<Duration> 6 </Duration>").
    bool Between(const char* open, const char* close, std::string& word)
    {
        if (!Expect(open))
            return false;
        word = Next();
        return Expect(close);
    }

private:
    const std::string& m_Text;
    size_t m_At = 0;
};

// A track file is a few hundred samples; one that claims more than this
// many bytes is no track of ours.
constexpr std::size_t kMaxTrackBytes = 16u << 20;

} // namespace

std::string RigidAnimTrack::Read(const std::string& text)
{
    Clear();
    TrackWords words(text);
    std::string name, countText, durationText;
    if (!words.Expect("<RigidAnimation>"))
        return "it is not a rigid animation track (it does not begin with <RigidAnimation>)";
    if (!words.Between("<Name>", "</Name>", name) || name.empty() || name[0] == '<')
        return "it has no <Name>";
    if (name.size() > 127)
        return "its name is longer than 127 characters";
    if (!words.Between("<NumSamples>", "</NumSamples>", countText))
        return "it has no <NumSamples>";
    // Every sample is seven numbers of at least one digit and a blank each:
    // a count the file cannot hold is refused before anything is allocated.
    long long count = 0;
    if (!bounded::ParseInt(countText, 1, std::max<long long>(1, static_cast<long long>(text.size() / 14)), &count))
        return "sample count \"" + bounded::Echoed(countText) + "\" is not a count from 1 to what the file holds";
    if (!words.Between("<Duration>", "</Duration>", durationText))
        return "it has no <Duration>";
    double length = 0.0;
    if (!bounded::ParseFloat(durationText, 0.0, 1.0e6, &length))
        return "duration \"" + bounded::Echoed(durationText) + "\" is not a number of seconds from 0 to 1e6";
    if (!words.Expect("<Position>"))
        return "it has no <Position>";

    const auto number = [&words](float& out) {
        double value;
        if (!bounded::ParseFloat(words.Next(), -1.0e30, 1.0e30, &value))
            return false;
        out = static_cast<float>(value);
        return true;
    };
    const float scale = IsComboFinal(name) ? kComboFinalScale : 1.0f;
    const auto fault = [this](const std::string& why) {
        Clear();
        return why;
    };
    Allocate(static_cast<float>(length), static_cast<unsigned>(count), static_cast<unsigned>(count));
    for (long long k = 0; k < count; ++k) {
        D3DXVECTOR3& p = positions[k];
        if (!number(p.x) || !number(p.y) || !number(p.z))
            return fault("position " + std::to_string(k + 1) + " of " + std::to_string(count) +
                         " is missing or not a finite number");
        p *= scale;
    }
    if (!words.Expect("</Position>") || !words.Expect("<Orientation>"))
        return fault("more positions than announced, or no <Orientation>");
    for (long long k = 0; k < count; ++k) {
        D3DXQUATERNION& q = orientations[k];
        if (!number(q.x) || !number(q.y) || !number(q.z) || !number(q.w))
            return fault("orientation " + std::to_string(k + 1) + " of " + std::to_string(count) +
                         " is missing or not a finite number");
        if (q.x == 0.0f && q.y == 0.0f && q.z == 0.0f && q.w == 0.0f)
            return fault("orientation " + std::to_string(k + 1) + " has length 0");
    }
    return {};
}

bool RigidAnimTrack::Load(const char* path)
{
    std::vector<unsigned char> bytes;
    if (!platform::ReadWholeFile(path, bytes, kMaxTrackBytes))
        return false;
    const std::string fault = Read(std::string(bytes.begin(), bytes.end()));
    if (!fault.empty())
        bounded::SayOnce("Rigid animation " + bounded::Echoed(path) + ": " + fault + "; it is not played");
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
    m_Faults.SayAll(file);
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
    const std::string entry = "part \"" + bounded::Echoed(partName) + "\" of \"" + bounded::Echoed(currentAnimName) + "\"";
    const std::string track = std::string(kTrackFolder) + partName;
    // A file there that cannot be read has said why.
    if (!slot->Load(track.c_str()) && !platform::FileExists(track))
        m_Faults.Add("its track file in " + std::string(kTrackFolder) + " is missing: the part plays nothing", entry);
    // The levels' objects are all read before the list is: a part whose
    // mesh is in none of them would move nothing when played.
    if (malla != "cam_pos" && malla != "cam_look" && !World().HasMesh(malla))
        m_Faults.Add("names a mesh that is in no level: the part moves nothing",
                     entry + " (mesh \"" + bounded::Echoed(malla) + "\")");
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
    comboFraming = ComboFraming();
    if (comboCameraSequence)
        FitComboCamera();
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
