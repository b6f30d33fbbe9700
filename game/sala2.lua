-- The island ("isla"): the second level's trigger callbacks and trigger
-- logics, called by name as in sala1.lua.
--
-- The level flow of the island is not scripted yet.

-- A new game's fresh Lua state would lose the debug console's commands.
updateLuaFile("console.lua")
