-- Commands for the debug console (the key left of "1"). A typed line's first
-- word names a function here, which gets the next six words as strings ("" when
-- not typed). Every command returns nothing, so the line is not run again as a
-- chunk. A new game starts a fresh Lua state without these; the level scripts
-- run this file again at their end, so the commands stay in play. Type
--   Reload
-- after editing it.

-- A typed word as a number, or the default when it was not typed. A word
-- that is no number stops the command with an answer under the line.
local function number(word, default)
    if word == nil or word == "" then
        return default
    end
    local value = tonumber(word)
    if value == nil then
        error("\"" .. word .. "\" is not a number", 0)
    end
    return value
end

local function flag(word)
    return word == "1" or word == "on" or word == "true"
end

-- Shows mission text n (default 0).
function ChangeMission(n)
    getMissionText():setMission(number(n, 0))
end

-- Places the first light camera: eye x y z, then target x y z.
function SetLightPos(x, y, z, tx, ty, tz)
    getSceneManager():getActiveLight():dum(x, y, z, tx, ty, tz)
end

-- Puts the first light camera where the game camera is.
function SetLightToCamPos()
    getSceneManager():getActiveLight():dum2()
end

-- Takes life from the hero (default 50).
function FuckPlayer(amount)
    getPlayer():reduceLife(number(amount, 50))
end

-- Starts a room's wave: Zone room01 wave_01
function Zone(room, wave)
    getEnemyManager():setNewZone(room, wave)
end

function EndWave(wave)
    getEnemyManager():killThisWave(wave)
end

function ResetWaves()
    getEnemyManager():resetBots()
end

function getHangarOpenLastWave()
    getEnemyManager():getHangarOpenLastWave()
end

function playPaletaVoladoresHangarExplosivo()
    getEnemyManager():playPaletaVoladoresHangarExplosivo()
end

function gui_reload()
    getGUI():reload()
end

-- Starts a rigid animation: startRigid name [loop]
function startRigid(name, loop)
    getRigid():play(name, flag(loop))
end

-- Starts a camera sequence by name.
function startCam(name)
    getRigid():playCam(name)
end

-- Reads the particle types again (default file "data/XML/particleTypes.xml").
function Particle_Update(file)
    if file == "" then
        file = "data/XML/particleTypes.xml"
    end
    getParticleManager():update_XML(file)
end

-- The shot sparks at a point: addChispazo x y z
function addChispazo(x, y, z)
    getParticleManager():addShootf(number(x, 0), number(y, 0), number(z, 0))
end

-- Flips a main-configuration switch: Config blurRender on
function Config(name, value)
    setMainConfig(name, flag(value))
end

function Sound(key)
    getSoundManager():play(key)
end

function Subtitle(key)
    getSubtitulos():showSubtitulo(key)
end

-- Runs this file again, or another one: Reload [file]
function Reload(file)
    if file == "" then
        file = "console.lua"
    end
    updateLuaFile(file)
end

-- Slides mission banner n in: Mission 1
function Mission(n)
    getGUI():showMission(number(n, 0))
end

-- Makes checkpoint n the one to go back to (1 and 2 in the hangars, 3 to 5
-- on the island) and lets the hero fall: the use key (space, the pad's A)
-- revives him there, as after any death. No script call restarts a level.
-- During a flight the key first ends the flight. Checkpoint 3
function Checkpoint(n)
    local checkpoint = number(n, 1)
    -- Any other number would revive him at the first checkpoint, silently.
    if checkpoint < 1 or checkpoint > 5 or checkpoint % 1 ~= 0 then
        error("Checkpoint " .. n .. ": there is no such checkpoint; they are 1 to 5", 0)
    end
    getTriggerManager():setCheckPointTrigger(checkpoint)
    local hero = getPlayer()
    hero:reduceLife(hero:getLife())
end
