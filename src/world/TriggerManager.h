// Trigger volumes and named trigger logics. Each tick it runs the Lua
// function of every active logic and the "OnEnter_", "OnStay_" and "OnExit_"
// callbacks of the volumes the hero crosses. It also keeps the checkpoint
// number that a restart returns to.
#pragma once

#include <map>
#include <memory>
#include <string>

// A named flag: while active, the trigger manager runs the Lua function of
// the same name on every tick.
class CTriggerLogic {
public:
    bool active = false;
};

class CTriggerManager {
public:
    // A fresh Lua state with the level scripts; zone 1, checkpoint 1.
    CTriggerManager();
    ~CTriggerManager();
    CTriggerManager(const CTriggerManager&) = delete;
    CTriggerManager& operator=(const CTriggerManager&) = delete;

    // A fresh Lua state with the level scripts run again, empty tables, zone
    // 1, the volumes read again. The checkpoint number stays.
    void Reset();
    void LoadTriggers(const char* file);
    // Acts once every 0.1 s of accumulated time.
    void Update(float dt);

    // The logic of that name, created inactive on first request; never null.
    CTriggerLogic* getTriggerLogicByName(const std::string& name);
    // Sets the active flag of the logic and the enabled flag of the volume of
    // that name, each only if it exists.
    void setEnableTrigger(const std::string& name, bool enabled);
    // The logic's active flag, else the volume's enabled flag, else false.
    bool getEnabledTrigger(const std::string& name);
    void setCheckPointTrigger(int n);

    // Only volumes of this zone are tested: 1 for "hangares", 2 for "isla".
    int currentZone = 1;
    // Where a restart puts the hero back (1 and 2 in "hangares", 3 to 5 in "isla").
    int checkpoint = 1;

private:
    void StartScripts();

    std::map<std::string, std::unique_ptr<CTriggerLogic>> m_Logics;
    float m_Timer = 0.0f;
    float m_Interval = 0.1f;
};

CTriggerManager& getTriggerManager();
