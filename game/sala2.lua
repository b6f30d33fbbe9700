-- The island ("isla"): the second level's trigger callbacks and trigger
-- logics, called by name as in sala1.lua, under the same rules: the top level
-- only defines functions, nothing returns a value, and a logic switches
-- itself off once its job, or the condition it waits for, is done.
--
-- The way through the level: the arrival flight (ene_51 to ene_53 walk it),
-- then the enemy manager moves wave 31 on to wave 36 by itself; the logics
-- of botScripts.lua start each wave's docker and flight. In wave 36 the boss
-- waits out of reach until the hero walks into the square (trg_236), where
-- the last comic and the final fight begin.

local off = switchOff

-- The island's logics that a checkpoint may find on (see rearmStretch).
islandLogics = {"enemiesTravellingCameraIsla", "Wave31", "ene31_0", "ene33_0", "ene33_1", "ene37_1", "ene42_0",
                "ene47_1", "Wave36", "dockersLeft"}
local islandVolumes = {"trg_236"}

-- The walkers of the arrival flight.
local function walkTheIntro()
    local names = {"ene_51", "ene_52", "ene_53"}
    for i = 1, #names do
        local enemy = getEnemyManager():getThisBotOfCurrentWave(names[i])
        if enemy then
            enemy:getIA():setTrackerScript(true, "IDLE_STATE")
        end
    end
end

-- The arrival on the island at a restart: the walkers walk the flight again.
function enemiesTravellingCameraIsla()
    off("enemiesTravellingCameraIsla")
    walkTheIntro()
end

-- The arrival from the hangars: the same walk under the first flight.
function Wave31()
    off("Wave31")
    walkTheIntro()
end

-- The enemy manager switches this on when a square wave's soldiers are
-- down and its docker still stands: the wave ends only once he has been
-- hit, and he stands far off on the plateau. The player is told so at once,
-- by the radio too (one shot is enough), and again while the wave waits,
-- with the way up: the ramp, and the yellow marks painted from the square.
local dockerWaves = {"wave_32", "wave_33", "wave_34"}
local dockerLines = {"Queda el estibador de la meseta: sube por la rampa tras las marcas amarillas.",
                     "Queda otro estibador en la meseta: sube por la rampa tras las marcas.",
                     "Queda el estibador junto al andamio: sube por la rampa tras las marcas."}
function dockersLeft()
    local enemies = getEnemyManager()
    if dockerWave and not enemies:isThisWaveActive(dockerWaves[dockerWave]) then
        dockerWave = nil
        off("dockersLeft")
        return
    end
    if not dockerWave then
        for i = 1, #dockerWaves do
            if enemies:isThisWaveActive(dockerWaves[i]) then
                dockerWave = i
            end
        end
        if not dockerWave then
            off("dockersLeft")
            return
        end
        dockerTicks = 0
        radioLine("mcEstibador")
    end
    if dockerTicks % 400 == 0 then
        missionLine(dockerLines[dockerWave])
    end
    dockerTicks = dockerTicks + 1
end

-- The last fight: the boss stays out of reach, waiting, until the hero
-- walks into the square before the town hall. The dockers' last wave down,
-- the banner names the square, the hero says where to go and the mission
-- line says it too, again while the boss waits; the painted marks show the
-- way there.
local squareLine = "Dockers espera en la plaza: baja por la rampa y sigue las marcas amarillas."
function Wave36()
    if not getTriggerManager():getEnabledTrigger("trg_236") then
        off("Wave36")
        return
    end
    if not squareAnnounced then
        squareAnnounced = true
        squareTicks = 0
        missionBanner(11)
        radioLine("zvDockersPlaza")
    end
    if squareTicks % 400 == 0 then
        missionLine(squareLine)
    end
    squareTicks = squareTicks + 1
    local boss = getEnemyManager():getThisBotOfCurrentWave("ene_50")
    if boss and boss:getIA():botIsInAction() then
        boss:getIA():setWaitingState(0, "")
    end
end

-- The square: it starts the last comic and the final fight, in wave 36
-- only (the hero crosses it earlier on his way).
local function square()
    if not getEnemyManager():isThisWaveActive("wave_36") then
        return
    end
    off("trg_236")
    off("Wave36")
    getGSF():setReadyCamIslaVinyetasIntroLucha()
end

function OnEnter_trg_236()
    square()
end

-- Already standing in the square when wave 36 began.
function OnStay_trg_236()
    square()
end

-- Back on the beach: the arrival.
function checkPoint3()
    off("checkPoint3")
    squareAnnounced = nil
    rearmStretch(islandVolumes, {}, {"enemiesTravellingCameraIsla", "ene31_0"})
end

-- The square.
function checkPoint4()
    off("checkPoint4")
    squareAnnounced = nil
    -- Read (and dropped) by ene33_0, which the restart switched on with this.
    restartedAtSquare = true
    rearmStretch(islandVolumes, {}, {"ene33_0", "ene33_1"})
    -- The restart puts him up on the plateau at once: the square's soldiers
    -- hold their posts below, in the open, instead of running to the foot
    -- of the cliff right under him.
    local posts = {"ene_33", "ene_34", "ene_35"}
    for i = 1, #posts do
        local enemy = getEnemyManager():getThisBotOfCurrentWave(posts[i])
        if enemy then
            enemy:getIA():becomeATorretGuy()
        end
    end
end

-- Past the scaffold, the dockers fled.
function checkPoint5()
    off("checkPoint5")
    squareAnnounced = nil
    rearmStretch(islandVolumes, {}, {"ene47_1"})
end
