-- Scripted behaviour of single enemies (talk, acting, waiting, cover moves,
-- the dockers), reached through getEnemyManager():getThisBotOfCurrentWave(name):getIA().
-- The logics here are named after the enemy they start with ("ene7_1":
-- enemy 7's first moment); the enemies' states, the waves and the cut-scene
-- sequencer switch them on. Runs between sala1.lua and sala2.lua, so both
-- levels can use what it defines. Like the level scripts, the top level
-- only defines functions, nothing returns a value, and a logic switches
-- itself off once its job is done. An enemy a wave does not hold (dead,
-- removed, or the wave already over) is left alone.

local off = switchOff

-- The enemy of the current wave with that name, or nil when it is not there.
local function bot(name)
    local enemy = getEnemyManager():getThisBotOfCurrentWave(name)
    if enemy then
        return enemy:getIA()
    end
    return nil
end

local function say(file, key)
    getSoundManager():playThisSampleOnce(file, 1.0)
    getSubtitulos():showSubtitulo(key)
end

-- Faces the hero and goes for the nearest cover.
local function toCover(name)
    local ia = bot(name)
    if ia then
        ia:UpdateView()
        ia:setMoveToCoverState("")
    end
end

-- --- the hangars ---------------------------------------------------------

-- Wave 01 saw or heard the hero: its alarm and its search only switch this
-- on. The lookout shouts, ene_5 acts out its moment (and then taunts,
-- through its own script "ene5_2"), ene_6 runs for cover.
function ene1_2()
    off("ene1_2")
    local lookout = bot("ene_1")
    if lookout then
        lookout:UpdateView()
        lookout:setTalkScript("data/sound/b1QuienEsEse.ogg", 2)
    end
    local taunting = bot("ene_5")
    if taunting then
        taunting:UpdateView()
        taunting:setAnimScript("pasolateral_derecho", 1)
    end
    toCover("ene_6")
end

-- ene_5 taunts from behind its cover once it has reached it.
function ene5_2()
    off("ene5_2")
    local ia = bot("ene_5")
    if ia then
        ia:setTalkScript("data/sound/b1TVoyAMachacar.ogg", 2)
    end
end

-- Wave 04 with the plane: its gunner stays aboard, the others take cover.
function ene7_1()
    off("ene7_1")
    local gunner = bot("ene_Avioneta")
    if gunner then
        gunner:becomeATorretGuy()
    end
    toCover("ene_12")
end

-- Wave 05, after the second comic: the pier's guards come for the hero.
function ene10_1()
    off("ene10_1")
    toCover("ene_13")
    toCover("ene_15")
    local runner = bot("ene_14")
    if runner then
        runner:UpdateView()
        runner:setKamikazeState()
    end
end

-- Wave 09 behind the opened hangar door.
function ene25_1()
    off("ene25_1")
    local names = {"ene_25", "ene_26", "ene_27", "ene_28", "ene_29"}
    for i = 1, #names do
        toCover(names[i])
    end
    say("data/sound/bMierdaEsVrek.ogg", "bMierdaEsVrek")
end

-- --- the island -----------------------------------------------------------

-- Wave 31 on the beach: the shotgun holds his post.
function ene31_0()
    off("ene31_0")
    local guard = bot("ene_31")
    if guard then
        guard:becomeATorretGuy()
    end
    toCover("ene_30")
end

-- Wave 32 in the square: its docker starts his routine and the camera
-- shows the square; the dockers' own look follows once the flight is over.
-- After a restart at the square (checkPoint4 runs first, in the same tick)
-- the square's flight is not shown again.
function ene33_0()
    off("ene33_0")
    local docker = bot("ene_Dockers1")
    if docker then
        docker:setDockersState()
    end
    toCover("ene_33")
    if restartedAtSquare then
        restartedAtSquare = nil
        getRigid():setWaitToPlayAvioneta(1)
    else
        getGSF():setPlayingCamIslaLlegadaPlaza()
        getRigid():playCam("camara_isla_plaza")
        getRigid():setWaitToPlayAvioneta(7)
    end
    switchOn("ene33_1")
end

-- Waits for the square's flight to end, then looks at the dockers on the
-- plateau. The docker's taunt was his own, when ene33_0 started him.
function ene33_1()
    if not getRigid():canPlayWaitEnded() then
        return
    end
    off("ene33_1")
    if not getEnemyManager():isThisWaveActive("wave_32") then
        return
    end
    getRigid():playCam("camara_isla_dockers1")
end

-- Wave 33, the square's second wave, with the second docker (who taunts
-- as his routine starts).
function ene37_1()
    off("ene37_1")
    local docker = bot("ene_Dockers2")
    if docker then
        docker:setDockersState()
    end
    toCover("ene_37")
    getGSF():setPlayingCamIslaSegundaOleadaPlaza()
    getRigid():playCam("camara_isla_segunda_oleada")
end

-- Wave 34 at the scaffold, with the third docker (who taunts as his
-- routine starts).
function ene42_0()
    off("ene42_0")
    local docker = bot("ene_Dockers3")
    if docker then
        docker:setDockersState()
    end
    toCover("ene_42")
    toCover("ene_43")
    getGSF():setPlayingCamIslaOleadaAndamio()
    getRigid():playCam("camara_isla_andamio")
end

-- Wave 35, past the scaffold once the dockers have fled: its two hold the
-- plateau's east end, the way down to the square, at their posts, and let
-- the hero come to them.
function ene47_1()
    off("ene47_1")
    local names = {"ene_47", "ene_46"}
    for i = 1, #names do
        local guard = bot(names[i])
        if guard then
            guard:UpdateView()
            guard:becomeATorretGuy()
        end
    end
end
