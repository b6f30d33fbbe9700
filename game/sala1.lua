-- The hangars ("hangares"): the first level's trigger callbacks and trigger
-- logics.
--
-- The trigger manager calls "OnEnter_" .. name, "OnStay_" .. name and
-- "OnExit_" .. name for the hero crossing a trigger volume, and every active
-- trigger logic by its own name, each with six string arguments. A function
-- that returns true also has its name run as a Lua chunk, so nothing here
-- returns a value.
--
-- The top level only defines functions: a restart builds a fresh state and
-- runs these files again, and anything done here would happen once more. A
-- logic switches itself off once its job, or the condition it waits for, is
-- done; every checkPointN switches off what a restart may have left on, so a
-- restart plays the same whether or not the old state survived it.

-- The console's commands live in their own file; each new state gets them
-- back from here.
updateLuaFile("console.lua")

-- Shared with sala2.lua, which runs after this file.
function switchOff(name)
    getTriggerManager():setEnableTrigger(name, false)
end

local off = switchOff

local function on(name)
    getTriggerManager():getTriggerLogicByName(name)
    getTriggerManager():setEnableTrigger(name, true)
end

local function hangarWave(wave)
    getEnemyManager():setNewZone("room01", wave)
end

-- The volumes of the hangar, in the order the hero meets them.
local hangarVolumes = {"trg_01", "trg_031", "trg_02", "trg_03", "trg_06", "trg_07", "trg_08"}
-- The hangar's own logics that a checkpoint finds stale.
local hangarLogics = {"OnEnter_trg_031", "Wave4", "ene1_2", "ene7_1", "Wave5", "ene10_1", "ene25_1",
                      "enemiesTravellingCamera"}

-- What a checkpoint does before its stretch is played again: the logics a
-- restart may have left on are switched off, its volumes on. Shared with
-- sala2.lua.
function rearmStretch(volumes, logics)
    for i = 1, #logics do
        off(logics[i])
    end
    for i = 1, #volumes do
        getTriggerManager():setEnableTrigger(volumes[i], true)
    end
end

-- The intro flight: the ghost wave walks while the camera travels.
function enemiesTravellingCamera()
    getEnemyManager():configureFirstGhostWave()
    off("enemiesTravellingCamera")
end

function OnEnter_trg_01()
    off("trg_01")
    hangarWave("wave_01")
end

-- Wave 01's barrier: the hero jumped it, or walked round it into this
-- volume. Either way wave 02 waits until nobody of wave 01 stands.
function OnEnter_trg_031()
    if getEnemyManager():anyBotAlive() then
        on("OnEnter_trg_031")
        return
    end
    off("OnEnter_trg_031")
    off("trg_031")
    off("trg_02")
    hangarWave("wave_02")
end

function OnEnter_trg_02()
    off("trg_02")
    off("trg_031")
    off("OnEnter_trg_031")
    hangarWave("wave_02")
end

function OnEnter_trg_03()
    off("trg_03")
    hangarWave("wave_03")
    getRigid():setWaitToPlayAvioneta(1)
    on("Wave4")
end

-- After wave 03 the plane comes: once its wait is over, wave 04 holds it.
function Wave4()
    if not getRigid():canPlayWaitEnded() then
        return
    end
    off("Wave4")
    getGSF():setRigidasHangaresDespegueAvion()
    hangarWave("wave_04")
    getGSF():setRigidasHangaresLlegadaAvion()
    getGSF():setPlayingCamHangaresLlegadaAvion()
end

-- The plane is down: the second comic panels, then wave 05.
function Wave5()
    off("Wave5")
    getEnemyManager():secondMovieOn()
    hangarWave("wave_05")
end

function OnEnter_trg_06()
    off("trg_06")
    hangarWave("wave_06")
end

function OnEnter_trg_07()
    off("trg_07")
    hangarWave("wave_07")
end

function OnEnter_trg_08()
    off("trg_08")
    hangarWave("wave_08")
    getEnemyManager():getHangarOpenLastWave()
end

-- Single enemies' moments, switched on by the enemies' own states.
function ene1_2()
    off("ene1_2")
end

function ene7_1()
    off("ene7_1")
end

function ene10_1()
    off("ene10_1")
end

function ene25_1()
    off("ene25_1")
end

-- The start of the level.
function checkPoint1()
    off("checkPoint1")
    rearmStretch(hangarVolumes, hangarLogics)
end

-- Past the plane: the hangar's way up from wave 05.
function checkPoint2()
    off("checkPoint2")
    rearmStretch({"trg_06", "trg_07", "trg_08"}, hangarLogics)
    for i = 1, 4 do
        off(hangarVolumes[i])
    end
end
