-- Scripted behaviour of single enemies (talk, acting, waiting, cover moves),
-- reached through getEnemyManager():getThisBotOfCurrentWave(name):getIA().
-- Runs between sala1.lua and sala2.lua, so both levels can use what it defines.
-- Like the level scripts, the top level only defines functions and nothing
-- returns a value.

-- The enemy of the current wave with that name, or nil when it is not there.
local function bot(name)
    local enemy = getEnemyManager():getThisBotOfCurrentWave(name)
    if enemy then
        return enemy:getIA()
    end
    return nil
end

-- ene_5 taunts from behind its cover once it has reached it.
function ene5_2()
    getTriggerManager():setEnableTrigger("ene5_2", false)
    local ia = bot("ene_5")
    if ia then
        ia:setTalkScript("ene5_2", 0)
    end
end
