// Trigger volumes and named trigger logics. Each tick it runs the Lua
// function of every active logic and the "OnEnter_", "OnStay_" and "OnExit_"
// callbacks of the volumes the hero crosses. It also keeps the checkpoint
// number that a restart returns to.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx9math.h"
#include "xml/XMLParser.h"

// A named flag: while active, the trigger manager runs the Lua function of
// the same name on every tick.
class CTriggerLogic {
public:
    bool active = false;
};

// An axis-aligned box the hero walks through.
struct TriggerVolume {
    // Only enabled volumes are tested.
    bool enabled = true;
    D3DXVECTOR3 centre{0.0f, 0.0f, 0.0f};
    // Full extents along x, y and z.
    float width = 0.0f;
    float height = 0.0f;
    float length = 0.0f;
    // 1: the hero was outside at the last test; 2: inside.
    int inside = 1;
    // Only volumes of the manager's current zone are tested.
    int zone = 1;
};

class CTriggerManager {
public:
    // Reads every "trigger" element, at any depth, into its manager's volume
    // table; other elements are ignored. A name already there keeps its first
    // definition.
    class CTriggerManagerParser : public CXMLParser {
    public:
        explicit CTriggerManagerParser(CTriggerManager* manager) : m_Manager(manager) {}
        void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
        // The names this parse added, in file order.
        const std::vector<std::string>& Added() const { return m_Added; }

    private:
        CTriggerManager* m_Manager;
        std::vector<std::string> m_Added;
    };

    // No level has more than a few dozen volumes; a file announcing more is
    // refused before it can make every tick crawl.
    static constexpr std::size_t kMaxVolumes = 4096;

    // A fresh Lua state with the level scripts; zone 1, checkpoint 1. The
    // volumes are read by the first Reset.
    CTriggerManager();
    ~CTriggerManager();
    CTriggerManager(const CTriggerManager&) = delete;
    CTriggerManager& operator=(const CTriggerManager&) = delete;

    // A fresh Lua state with the level scripts run again, empty tables, zone
    // 1, the volumes read again. The checkpoint number stays.
    void Reset();
    // Adds the file's volumes to the table; a missing or broken file leaves
    // those read so far.
    void LoadTriggers(const char* file);
    // Acts once more than 0.1 s has gathered: the active logics' functions
    // first, then the callbacks of the enabled volumes of the current zone.
    // A logic whose function the instruction budget stops is switched off,
    // and said so in the line that names the stop.
    void Update(float dt);

    // The logic of that name, created inactive on first request; never null.
    CTriggerLogic* getTriggerLogicByName(const std::string& name);
    // Sets the active flag of the logic and the enabled flag of the volume of
    // that name, each only if it exists.
    void setEnableTrigger(const std::string& name, bool enabled);
    // The logic's active flag, else the volume's enabled flag, else false.
    bool getEnabledTrigger(const std::string& name);
    void setCheckPointTrigger(int n);

    // The volume of that name, or null.
    const TriggerVolume* FindVolume(const std::string& name) const;
    std::size_t VolumeCount() const { return m_Volumes.size(); }
    std::size_t LogicCount() const { return m_Logics.size(); }
    // The names of the logics that run on the next tick.
    std::vector<std::string> ActiveLogicNames() const;

    // A volume's zone: the digit at index 4 of its name, 1 when that is 0,
    // not a digit, or past the end of the name.
    static int ZoneOfName(const std::string& name);

    // Only volumes of this zone are tested: 1 for "hangares", 2 for "isla".
    int currentZone = 1;
    // Where a restart puts the hero back (1 and 2 in "hangares", 3 to 5 in "isla").
    int checkpoint = 1;

private:
    using LogicTable = std::map<std::string, std::unique_ptr<CTriggerLogic>>;
    using VolumeTable = std::map<std::string, std::unique_ptr<TriggerVolume>>;

    void StartScripts();
    friend CTriggerManager& getTriggerManager();

    LogicTable m_Logics;
    VolumeTable m_Volumes;
    float m_Timer = 0.0f;
    float m_Interval = 0.1f;
    // A callback may restart the level, and with it this manager: the tick
    // notices by the count changing and stops walking the emptied tables,
    // whose entries are kept alive until the tick is over.
    unsigned m_ResetCount = 0;
    bool m_Ticking = false;
    std::vector<LogicTable> m_RetiredLogics;
    std::vector<VolumeTable> m_RetiredVolumes;
};

CTriggerManager& getTriggerManager();
