#include "world/TriggerManager.h"

#include "script/ScriptHost.h"

CTriggerManager::CTriggerManager()
{
    StartScripts();
}

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
    m_Interval = 0.1f;
    currentZone = 1;
    m_Logics.clear();
    LoadTriggers("data/XML/trigger_instances.xml");
}

void CTriggerManager::LoadTriggers(const char* file)
{
    // Placeholder until the trigger volumes are built.
}

void CTriggerManager::Update(float dt)
{
    // Placeholder until the trigger volumes are built.
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
    auto found = m_Logics.find(name);
    if (found != m_Logics.end())
        found->second->active = enabled;
}

bool CTriggerManager::getEnabledTrigger(const std::string& name)
{
    auto found = m_Logics.find(name);
    return found != m_Logics.end() && found->second->active;
}

void CTriggerManager::setCheckPointTrigger(int n)
{
    checkpoint = n;
}

CTriggerManager& getTriggerManager()
{
    static CTriggerManager manager;
    return manager;
}
