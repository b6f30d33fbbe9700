// The trigger tick on the shipped data: the level scripts loaded, the shipped
// enemy lists in a wave of each level, every volume of the shipped trigger
// file enabled, every logic the game itself switches on active, the hero
// standing in a volume so that its callback runs each tick. Reports the median microseconds of one tick in each level's
// zone, and the share of it spent calling Lua (against the same tick with no
// logic active and the hero away from every volume).
//
// Runs in the game's working folder: VANTOREL_WORKDIR, else "build/game".
// Usage: trigger_tick_bench [ticks]
#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "enemies/EnemyManager.h"
#include "player/Player.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleType.h"
#include "world/TriggerManager.h"

namespace {

// The logics the game's own code switches on by name.
const char* const kEngineLogics[] = {
    "enemiesTravellingCamera", "ene1_2",   "OnEnter_trg_031", "ene7_1",  "Wave5",   "ene10_1", "ene25_1",
    "checkPoint1",             "checkPoint2", "enemiesTravellingCameraIsla", "Wave31", "ene31_0", "ene33_0",
    "ene33_1",                 "ene37_1",  "ene42_0",         "ene47_1", "Wave36",  "checkPoint3", "checkPoint4",
    "checkPoint5",
};

const char* const kVolumes[] = {"trg_01", "trg_031", "trg_02", "trg_03", "trg_06", "trg_07", "trg_08", "trg_236"};

double MedianTickMicroseconds(int ticks, bool logics, const D3DXVECTOR3& hero)
{
    CTriggerManager& manager = getTriggerManager();
    getPlayer()->GetPosition().SetPosition(hero);
    const auto rearm = [&] {
        // Logics switch themselves off once done: switched on again, untimed.
        for (const char* name : kEngineLogics)
            manager.getTriggerLogicByName(name)->active = logics;
        // And the volumes they switch off.
        for (const char* name : kVolumes)
            manager.setEnableTrigger(name, true);
    };
    return MedianNanoseconds(ticks, rearm, [&] { manager.Update(0.2f); }) / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!EnterWorkFolder(argv[0]))
        return 1;
    const int ticks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    getModelsManager().LoadCoreModels("Data/XML/CoreModels.xml");
    getParticleTypes().Load("data/XML/particleTypes.xml");
    CEnemyManager& enemies = *getEnemyManager();
    enemies.ResetWaves();
    CTriggerManager& manager = getTriggerManager();
    manager.Reset();
    std::printf("volumes: %zu, engine logics: %zu\n", manager.VolumeCount(), std::size(kEngineLogics));

    struct Zone {
        const char* level;
        int zone;
        const char* volume;
        const char* room;
        const char* wave;
    };
    for (const Zone& zone : {Zone{"hangares", 1, "trg_01", "room01", "wave_01"},
                             Zone{"isla", 2, "trg_236", "room3", "wave_36"}}) {
        manager.currentZone = zone.zone;
        enemies.setNewZone(zone.room, zone.wave);
        const TriggerVolume* inside = manager.FindVolume(zone.volume);
        if (!inside) {
            std::fprintf(stderr, "the shipped trigger file has no %s\n", zone.volume);
            return 1;
        }
        const double busy = MedianTickMicroseconds(ticks, true, inside->centre);
        const double quiet = MedianTickMicroseconds(ticks, false, D3DXVECTOR3(1e6f, 1e6f, 1e6f));
        std::printf("%-8s tick: %8.2f us  (no Lua call: %6.2f us, Lua calls' share %5.1f%%)\n", zone.level, busy,
                    quiet, busy > 0 ? 100.0 * (busy - quiet) / busy : 0.0);
    }
    return 0;
}
