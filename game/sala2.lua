-- The island ("isla"): the second level's trigger callbacks and trigger
-- logics, called by name as in sala1.lua, under the same rules: the top level
-- only defines functions, nothing returns a value, and a logic switches
-- itself off once its job, or the condition it waits for, is done.

local off = switchOff

local function islandWave(wave)
    getEnemyManager():setNewZone("room3", wave)
end

local islandLogics = {"enemiesTravellingCameraIsla", "Wave31", "ene31_0", "ene33_0", "ene33_1", "ene37_1",
                      "ene42_0", "ene47_1", "Wave36"}

-- The arrival on the island: ene_51 to ene_53 walk the intro flight.
function enemiesTravellingCameraIsla()
    off("enemiesTravellingCameraIsla")
end

function Wave31()
    off("Wave31")
    islandWave("wave_31")
end

function ene31_0()
    off("ene31_0")
end

function ene33_0()
    off("ene33_0")
end

function ene33_1()
    off("ene33_1")
end

function ene37_1()
    off("ene37_1")
end

function ene42_0()
    off("ene42_0")
end

function ene47_1()
    off("ene47_1")
end

-- The last fight: the boss stays out of reach until the hero walks into the
-- square before the town hall.
function Wave36()
    if not getTriggerManager():getEnabledTrigger("trg_236") then
        off("Wave36")
    end
end

function OnEnter_trg_236()
    off("trg_236")
    off("Wave36")
end

function checkPoint3()
    off("checkPoint3")
    rearmStretch({}, islandLogics)
end

function checkPoint4()
    off("checkPoint4")
    rearmStretch({}, islandLogics)
end

function checkPoint5()
    off("checkPoint5")
    rearmStretch({"trg_236"}, islandLogics)
end
