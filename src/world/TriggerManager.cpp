#include "world/TriggerManager.h"

#include <cmath>

#include "platform/bounded.h"
#include "player/Player.h"
#include "script/ScriptHost.h"

namespace {

const char kTriggerFile[] = "data/XML/trigger_instances.xml";

bool Finite(const D3DXVECTOR3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Larger than both levels put together.
constexpr float kMaxTriggerSize = 100000.0f;

} // namespace

void CTriggerManager::CTriggerManagerParser::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name != "trigger")
        return;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    const std::string volumeName = attributes.GetString("name", "");
    const D3DXMATRIX transform = attributes.GetMatrix("transform", identity);
    TriggerVolume volume;
    // Rotation and scale are not used: the boxes stay axis-aligned.
    volume.centre = D3DXVECTOR3(transform._41, transform._42, transform._43);
    volume.width = attributes.GetFloat("width", 0.0f);
    volume.height = attributes.GetFloat("height", 0.0f);
    volume.length = attributes.GetFloat("length", 0.0f);
    volume.zone = ZoneOfName(volumeName);
    // An infinite bound would hold the hero everywhere and a NaN nowhere;
    // neither is a box anyone drew.
    if (!Finite(volume.centre) || !std::isfinite(volume.width) || !std::isfinite(volume.height) ||
        !std::isfinite(volume.length)) {
        RefuseFile("trigger \"" + bounded::Echoed(volumeName) + "\" has a size or place that is not a finite number");
        return;
    }
    // A negative size holds nothing, and one past any level's span is a
    // damaged number, not a box.
    for (const float size : {volume.width, volume.height, volume.length})
        if (size < 0.0f || size > kMaxTriggerSize || std::fabs(volume.centre.x) > kMaxTriggerSize ||
            std::fabs(volume.centre.y) > kMaxTriggerSize || std::fabs(volume.centre.z) > kMaxTriggerSize) {
            RefuseFile("trigger \"" + bounded::Echoed(volumeName) + "\" has a size or place outside 0.." +
                       std::to_string(int(kMaxTriggerSize)));
            return;
        }
    // The first of a name is kept.
    if (m_Manager->m_Volumes.count(volumeName))
        return;
    if (m_Manager->m_Volumes.size() >= kMaxVolumes) {
        RefuseFile("more than " + std::to_string(kMaxVolumes) + " triggers");
        return;
    }
    m_Manager->m_Volumes.emplace(volumeName, std::make_unique<TriggerVolume>(volume));
    m_Added.push_back(volumeName);
}

// The scripts start in getTriggerManager, once the manager exists: a
// script's top level may already reach it.
CTriggerManager::CTriggerManager() = default;

CTriggerManager::~CTriggerManager() = default;

void CTriggerManager::StartScripts()
{
    CScriptHost& host = getScriptHost();
    host.Init();
    host.DoFile("sala1.lua");
    host.DoFile("botScripts.lua");
    host.DoFile("sala2.lua");
}

void CTriggerManager::Reset()
{
    StartScripts();
    m_Timer = 0.0f;
    currentZone = 1;
    m_Interval = 0.1f;
    // Emptied after the scripts have run: logics their top level created are
    // dropped with the rest, and come back when their functions run.
    ++m_ResetCount;
    if (m_Ticking) {
        m_RetiredLogics.push_back(std::move(m_Logics));
        m_RetiredVolumes.push_back(std::move(m_Volumes));
    }
    m_Logics.clear();
    m_Volumes.clear();
    LoadTriggers(kTriggerFile);
}

void CTriggerManager::LoadTriggers(const char* file)
{
    if (!file)
        return;
    CTriggerManagerParser parser(this);
    parser.LoadXMLSaying(file);
    // A file refused for breaking the readers' bounds counts as missing; one
    // that is merely cut short keeps what was read before the fault.
    if (parser.GetErrorText().find(": refused: ") != std::string::npos) {
        for (const std::string& name : parser.Added())
            m_Volumes.erase(name);
    }
}

void CTriggerManager::Update(float dt)
{
    const D3DXVECTOR3 p = getPlayer()->GetPosition().GetPosition();
    m_Timer += dt;
    if (!(m_Timer > m_Interval))
        return;

    CScriptHost& host = getScriptHost();
    const unsigned resets = m_ResetCount;
    m_Ticking = true;
    for (auto& [name, logic] : m_Logics) {
        if (logic->active) {
            std::string failure;
            host.RunCommand(name, &failure);
            // A logic the budget stopped would be stopped again at every
            // tick, each taking the whole budget: the game would crawl.
            if (!failure.empty() && host.StoppedByBudget()) {
                if (m_ResetCount == resets)
                    logic->active = false;
                host.Report(failure + "; the trigger logic \"" + bounded::Echoed(name) + "\" is switched off");
            } else if (!failure.empty()) {
                host.Report(failure);
            }
        }
        if (m_ResetCount != resets)
            break;
    }
    if (m_ResetCount == resets) {
        for (auto& [name, volume] : m_Volumes) {
            TriggerVolume& v = *volume;
            if (!v.enabled || v.zone != currentZone)
                continue;
            const float hx = 0.5f * v.width, hy = 0.5f * v.height, hz = 0.5f * v.length;
            const bool in = v.centre.x - hx <= p.x && p.x <= v.centre.x + hx && v.centre.y - hy <= p.y &&
                            p.y <= v.centre.y + hy && v.centre.z - hz <= p.z && p.z <= v.centre.z + hz;
            const int now = in ? 2 : 1;
            if (v.inside == 1 && now == 2)
                host.RunCommand("OnEnter_" + name);
            else if (v.inside == 2 && now == 1)
                host.RunCommand("OnExit_" + name);
            else if (v.inside == 2 && now == 2)
                host.RunCommand("OnStay_" + name);
            // Written after the call, whatever the callback did to the volume.
            v.inside = now;
            if (m_ResetCount != resets)
                break;
        }
    }
    m_Ticking = false;
    m_RetiredLogics.clear();
    m_RetiredVolumes.clear();
    // A tick that restarted the level leaves the fresh timer alone.
    if (m_ResetCount == resets)
        m_Timer = 0.0f;
}

CTriggerLogic* CTriggerManager::getTriggerLogicByName(const std::string& name)
{
    std::unique_ptr<CTriggerLogic>& logic = m_Logics[name];
    if (!logic)
        logic = std::make_unique<CTriggerLogic>();
    return logic.get();
}

void CTriggerManager::setEnableTrigger(const std::string& name, bool enabled)
{
    auto logic = m_Logics.find(name);
    if (logic != m_Logics.end())
        logic->second->active = enabled;
    auto volume = m_Volumes.find(name);
    if (volume != m_Volumes.end())
        volume->second->enabled = enabled;
}

bool CTriggerManager::getEnabledTrigger(const std::string& name)
{
    auto logic = m_Logics.find(name);
    if (logic != m_Logics.end())
        return logic->second->active;
    auto volume = m_Volumes.find(name);
    return volume != m_Volumes.end() && volume->second->enabled;
}

void CTriggerManager::setCheckPointTrigger(int n)
{
    checkpoint = n;
}

const TriggerVolume* CTriggerManager::FindVolume(const std::string& name) const
{
    auto volume = m_Volumes.find(name);
    return volume == m_Volumes.end() ? nullptr : volume->second.get();
}

int CTriggerManager::ZoneOfName(const std::string& name)
{
    // Bounds-checked: a name shorter than five characters has no digit and
    // counts as zone 1, like a 0 would.
    if (name.size() < 5)
        return 1;
    const char c = name[4];
    if (c < '1' || c > '9')
        return 1;
    return c - '0';
}

CTriggerManager& getTriggerManager()
{
    static CTriggerManager manager;
    // A plain flag, not a second guarded static: the scripts run below may
    // call back in here, and must find the manager ready.
    static bool scriptsStarted = false;
    if (!scriptsStarted) {
        scriptsStarted = true;
        manager.StartScripts();
    }
    return manager;
}

std::vector<std::string> CTriggerManager::ActiveLogicNames() const
{
    std::vector<std::string> names;
    for (const auto& entry : m_Logics)
        if (entry.second && entry.second->active)
            names.push_back(entry.first);
    return names;
}
