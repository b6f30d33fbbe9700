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
--
-- The way through the level:
--   the intro flight       wave_00, the ghost wave, walks for the camera
--   trg_01                 wave_01 at the first barrier
--   the barrier            jumped (the cover code switches OnEnter_trg_031
--                          on) or walked round through trg_031: wave_02
--   trg_02, trg_03         wave_02 (for one who went round everything), wave_03
--   Wave4, avionetaLlega   once wave_03 is down the plane takes off, comes
--                          back with wave_04 and circles (the engine's flights)
--   the plane shot down    the enemy manager: the second comic, wave_05
--   trg_06 to trg_08       mission 4, waves 06 to 08
--   Wave9                  once wave_08 is down the hangar door opens on
--                          wave_09; the hangar wall shot ends the level

-- The console's commands live in their own file; each new state gets them
-- back from here.
updateLuaFile("console.lua")

-- Shared with botScripts.lua and sala2.lua, which run after this file.
function switchOff(name)
    getTriggerManager():setEnableTrigger(name, false)
end

function switchOn(name)
    getTriggerManager():getTriggerLogicByName(name)
    getTriggerManager():setEnableTrigger(name, true)
end

function missionBanner(n)
    getGUI():showMission(n)
    getSoundManager():playThisSampleOnce("data/sound/mission.wav", 0.4)
end

-- The mission line at the bottom left, for its ten seconds. The game keeps
-- every text a script adds for the rest of the run: each one is added once
-- per script state, and chosen again each time it is to show.
local missionLines = {}
function missionLine(text)
    local texts = getMissionText()
    if not missionLines[text] then
        texts:addText(text)
        missionLines[text] = texts:getLastMission()
    end
    texts:setMission(missionLines[text])
end

-- A line on the radio, heard and, with subtitles on, read.
function radioLine(key)
    getSoundManager():playThisSampleOnce("data/sound/" .. key .. ".ogg", 1.0)
    getSubtitulos():showSubtitulo(key)
end

-- The first list without the names of the second.
function without(list, left)
    local kept = {}
    for i = 1, #list do
        local keep = true
        for j = 1, #left do
            if list[i] == left[j] then
                keep = false
            end
        end
        if keep then
            kept[#kept + 1] = list[i]
        end
    end
    return kept
end

-- What a checkpoint does before its stretch is played again: the logics of
-- both levels that a restart may have left on are switched off, except those
-- the game switches on together with that checkpoint (the checkpoint's logic
-- may run after them); the volumes behind the stretch are switched off and
-- those of the stretch on.
function rearmStretch(volumes, behind, keep)
    local stale = without(hangarLogics, keep)
    if islandLogics then
        local island = without(islandLogics, keep)
        for i = 1, #island do
            stale[#stale + 1] = island[i]
        end
    end
    for i = 1, #stale do
        switchOff(stale[i])
    end
    for i = 1, #behind do
        switchOff(behind[i])
    end
    for i = 1, #volumes do
        getTriggerManager():setEnableTrigger(volumes[i], true)
    end
end

local off = switchOff
local on = switchOn

local function hangarWave(wave)
    getEnemyManager():setNewZone("room01", wave)
end

-- The hangar's logics that a checkpoint may find on (sala2.lua adds the
-- island's).
hangarLogics = {"enemiesTravellingCamera", "OnEnter_trg_031", "ene1_2", "ene5_2", "Wave4", "avionetaLlega", "ene7_1",
                "Wave5", "avionetaAviso", "ene10_1", "Wave9", "ene25_1"}

-- The intro flight: the ghost wave walks while the camera travels.
function enemiesTravellingCamera()
    getEnemyManager():configureFirstGhostWave()
    local enemies = getEnemyManager()
    local names = {"ene_003", "ene_004", "ene_005"}
    for i = 1, #names do
        local enemy = enemies:getThisBotOfCurrentWave(names[i])
        if enemy then
            enemy:getIA():setTrackerScript(true, "IDLE_STATE")
        end
    end
    off("enemiesTravellingCamera")
end

function OnEnter_trg_01()
    off("trg_01")
    hangarWave("wave_01")
end

-- Wave 01's barrier: the hero jumped it, or walked round it into this
-- volume. Either way wave 02 waits until nobody of wave 01 stands.
function OnEnter_trg_031()
    if not getEnemyManager():isThisWaveActive("wave_01") then
        -- Too early (wave 01 not met yet) or too late (already past it).
        off("OnEnter_trg_031")
        return
    end
    if getEnemyManager():anyBotAlive() then
        on("OnEnter_trg_031")
        return
    end
    off("OnEnter_trg_031")
    off("trg_031")
    off("trg_02")
    hangarWave("wave_02")
end

-- For a hero who went round the barrier and its volume.
function OnEnter_trg_02()
    off("trg_02")
    off("trg_031")
    off("OnEnter_trg_031")
    hangarWave("wave_02")
end

function OnEnter_trg_03()
    off("trg_03")
    off("trg_02")
    off("trg_031")
    hangarWave("wave_03")
    on("Wave4")
end

-- Once wave 03 is down the plane takes off; it comes back after a while.
function Wave4()
    local enemies = getEnemyManager()
    if not enemies:isThisWaveActive("wave_03") then
        off("Wave4")
        return
    end
    if enemies:anyBotAlive() then
        return
    end
    off("Wave4")
    getGSF():setRigidasHangaresDespegueAvion()
    getRigid():play("avion_despega", false)
    getRigid():setWaitToPlayAvioneta(6)
    on("avionetaLlega")
end

-- The plane is back with wave 04 aboard and round it: its arrival flight,
-- then the engine's own flights set it circling over the yard.
function avionetaLlega()
    if not getRigid():canPlayWaitEnded() then
        return
    end
    off("avionetaLlega")
    hangarWave("wave_04")
    getGSF():setRigidasHangaresLlegadaAvion()
    getGSF():setPlayingCamHangaresLlegadaAvion()
    getRigid():play("avion_llegada", false)
    getRigid():playCam("camara_avioneta_llegada")
    getSoundManager():playThisAvionetaArrive()
end

-- The plane circles: the hero hears his own answer to it. Wave 05 comes
-- from the enemy manager once the plane is down.
function Wave5()
    off("Wave5")
    getSoundManager():playVrekAgainstNextWave()
    planeTicks = 0
    on("avionetaAviso")
end

-- Nothing but the plane, or its fuel tank blown, ends this stretch, and its
-- soldiers are soon down: the player is told so once its last flight has
-- given him the view back (about nine seconds on; a logic runs at most ten
-- times a second), by the radio a little later, and again while it keeps
-- circling. The tank is painted red so that the words can name it by that.
local kPlaneLine = "Derriba la avioneta o vuela su depósito rojo de combustible."
function avionetaAviso()
    if not getEnemyManager():isThisWaveActive("wave_04") then
        off("avionetaAviso")
        return
    end
    planeTicks = (planeTicks or 0) + 1
    if planeTicks >= 90 and (planeTicks - 90) % 400 == 0 then
        missionLine(kPlaneLine)
    end
    if planeTicks == 190 then
        radioLine("mcAvioneta")
    end
end

-- The way up to the hangar waits for the plane to be down. Only the end of
-- wave 04 brings the comic and wave 05, and Wave4 takes off only from wave
-- 03: a later wave entered by a hero who walks up here first would leave the
-- plane circling, or never taking off, for good. These volumes stay on till
-- then; one he still stands in when it falls counts only once he walks into
-- it again, so the pier's fight that follows the comic is not skipped.
local function tooEarly()
    local enemies = getEnemyManager()
    for i = 0, 4 do
        if enemies:isThisWaveActive("wave_0" .. i) then
            return true
        end
    end
    return false
end

function OnEnter_trg_06()
    if tooEarly() then
        return
    end
    off("trg_06")
    missionBanner(4)
    hangarWave("wave_06")
end

function OnEnter_trg_07()
    if tooEarly() then
        return
    end
    off("trg_07")
    off("trg_06")
    hangarWave("wave_07")
end

function OnEnter_trg_08()
    if tooEarly() then
        return
    end
    off("trg_08")
    off("trg_07")
    off("trg_06")
    hangarWave("wave_08")
    on("Wave9")
end

-- Once wave 08 is down the hangar door opens on the last wave.
function Wave9()
    local enemies = getEnemyManager()
    if not enemies:isThisWaveActive("wave_08") then
        off("Wave9")
        return
    end
    if enemies:anyBotAlive() then
        return
    end
    off("Wave9")
    enemies:getHangarOpenLastWave()
end

-- The start of the level.
function checkPoint1()
    off("checkPoint1")
    rearmStretch({"trg_01", "trg_031", "trg_02", "trg_03", "trg_06", "trg_07", "trg_08"}, {}, {})
end

-- Past the plane: the hangar's way up from wave 05.
function checkPoint2()
    off("checkPoint2")
    rearmStretch({"trg_06", "trg_07", "trg_08"}, {"trg_01", "trg_031", "trg_02", "trg_03"}, {"ene10_1"})
end
