// The script API: every name a Lua script can reach. Classes are bound with
// member functions only (no constructors, properties or base classes), so
// scripts work on the game's own objects and cannot make new ones.
#include "script/ScriptHost.h"

extern "C" {
#include <lua.h>
}
#include <luabind/luabind.hpp>

#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/GUIManager.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "player/Player.h"
#include "scene/LightCamera.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/TriggerManager.h"

void RegisterScriptApi(lua_State* L)
{
    using luabind::class_;
    using luabind::def;

    luabind::module(L)[
        def("updateLuaFile", &updateLuaFile),
        def("setMainConfig", &setMainConfig),
        def("getSubtitulos", &getSubtitulos),
        def("getGSF", &getGSF),
        def("getCollisionManager", &getCollisionManager),
        def("getParticleManager", &getParticleManager),
        def("getRigid", &getRigid),
        def("getGUI", &getGUI),
        def("getSceneManager", &getSceneManager),
        def("getSoundManager", &getSoundManager),
        def("getTriggerManager", &getTriggerManager),
        def("getMissionText", &getMissionText),
        def("getEnemyManager", &getEnemyManager),
        def("getPlayer", &getPlayer)
    ];

    luabind::module(L)[
        class_<CIAEnemyCover>("CIAEnemyCover")
            .def("setTalkScript", &CIAEnemyCover::setTalkScript)
            .def("setAnimScript", &CIAEnemyCover::setAnimScript)
            .def("setDockersState", &CIAEnemyCover::setDockersState)
            .def("setTrackerScript", &CIAEnemyCover::setTrackerScript)
            .def("setWaitingState", &CIAEnemyCover::setWaitingState)
            .def("setSearchingState", &CIAEnemyCover::setSearchingState)
            .def("setMoveToCoverState", &CIAEnemyCover::setMoveToCoverState)
            .def("UpdateView", &CIAEnemyCover::UpdateView)
            .def("setKamikazeState", &CIAEnemyCover::setKamikazeState)
            .def("setYawFromScript", &CIAEnemyCover::setYawFromScript)
            .def("botIsInAction", &CIAEnemyCover::botIsInAction)
            .def("becomeATorretGuy", &CIAEnemyCover::becomeATorretGuy)
            .def("destroyThisGuy", &CIAEnemyCover::destroyThisGuy),
        class_<CEnemy>("CEnemy")
            .def("getIA", &CEnemy::getIA),
        class_<CTriggerLogic>("CTriggerLogic"),
        class_<CParticleManager>("CParticleManager")
            .def("update_XML", &CParticleManager::update_XML)
            .def("addShootf", &CParticleManager::addShootf),
        class_<CGameStateFlagsManager>("CGameStateFlagsManager")
            .def("setRigidasHangaresDespegueAvion", &CGameStateFlagsManager::setRigidasHangaresDespegueAvion)
            .def("setRigidasHangaresLlegadaAvion", &CGameStateFlagsManager::setRigidasHangaresLlegadaAvion)
            .def("setPlayingCamHangaresLlegadaAvion", &CGameStateFlagsManager::setPlayingCamHangaresLlegadaAvion)
            .def("setPlayingCamIslaLlegadaPlaza", &CGameStateFlagsManager::setPlayingCamIslaLlegadaPlaza)
            .def("setReadyCamIslaVinyetasIntroLucha", &CGameStateFlagsManager::setReadyCamIslaVinyetasIntroLucha)
            .def("setPlayingCamIslaOleadaAndamio", &CGameStateFlagsManager::setPlayingCamIslaOleadaAndamio)
            .def("setPlayingCamIslaSegundaOleadaPlaza",
                 &CGameStateFlagsManager::setPlayingCamIslaSegundaOleadaPlaza),
        class_<CCollisionManager>("CCollisionManager")
            .def("setNewPlayerPosition", &CCollisionManager::setNewPlayerPosition)
            .def("setNewEnemyPosition", &CCollisionManager::setNewEnemyPosition)
            .def("LoadNewScenario", &CCollisionManager::LoadNewScenario),
        class_<CRigidAnimManager>("CRigidAnimManager")
            .def("play", &CRigidAnimManager::play)
            .def("setWaitToPlayAvioneta", &CRigidAnimManager::setWaitToPlayAvioneta)
            .def("canPlayWaitEnded", &CRigidAnimManager::canPlayWaitEnded)
            .def("setCameraSpeedModifier", &CRigidAnimManager::setCameraSpeedModifier)
            .def("playCam", &CRigidAnimManager::playCam),
        class_<CSubtitleManager>("CSubtitleManager")
            .def("showSubtitulo", &CSubtitleManager::showSubtitulo),
        class_<CGUIManager>("CGUIManager")
            .def("showMission", &CGUIManager::showMission)
            .def("reload", &CGUIManager::reload),
        class_<CSoundManager>("CSoundManager")
            .def("playVrekAgainstNextWave", &CSoundManager::playVrekAgainstNextWave)
            .def("playThisSampleOnce", &CSoundManager::playThisSampleOnce)
            .def("pauseAllTypical", &CSoundManager::pauseAllTypical)
            .def("playThisAvionetaArrive", &CSoundManager::playThisAvionetaArrive)
            .def("playThisSceneSound", &CSoundManager::playThisSceneSound)
            .def("everybodyShutUp", &CSoundManager::everybodyShutUp)
            .def("play", &CSoundManager::play),
        class_<CTriggerManager>("CTriggerManager")
            .def("getTriggerLogicByName", &CTriggerManager::getTriggerLogicByName)
            .def("setCheckPointTrigger", &CTriggerManager::setCheckPointTrigger)
            .def("setEnableTrigger", &CTriggerManager::setEnableTrigger)
            .def("getEnabledTrigger", &CTriggerManager::getEnabledTrigger),
        class_<CMissionText>("CMissionText")
            .def("setMission", &CMissionText::setMission)
            .def("addText", &CMissionText::addText)
            .def("getLastMission", &CMissionText::getLastMission),
        class_<CEnemyManager>("CEnemyManager")
            .def("anyBotAlive", &CEnemyManager::anyBotAlive)
            .def("FinalBattle", &CEnemyManager::FinalBattle)
            .def("setNewZone", &CEnemyManager::setNewZone)
            .def("configureFirstGhostWave", &CEnemyManager::configureFirstGhostWave)
            .def("freezeIA", &CEnemyManager::freezeIA)
            .def("resumeIA", &CEnemyManager::resumeIA)
            .def("getHangarOpenLastWave", &CEnemyManager::getHangarOpenLastWave)
            .def("playPaletaVoladoresHangarExplosivo", &CEnemyManager::playPaletaVoladoresHangarExplosivo)
            .def("resetBots", &CEnemyManager::resetBots)
            .def("killThisWave", &CEnemyManager::killThisWave)
            .def("firstMovieOn", &CEnemyManager::firstMovieOn)
            .def("secondMovieOn", &CEnemyManager::secondMovieOn)
            .def("isThisWaveActive", &CEnemyManager::isThisWaveActive)
            .def("putB1LookingToB2", &CEnemyManager::putB1LookingToB2)
            .def("onlyDockersAliveAndKilled", &CEnemyManager::onlyDockersAliveAndKilled)
            .def("getThisBotOfCurrentWave", &CEnemyManager::getThisBotOfCurrentWave),
        class_<CLightCamera>("CLightCamera")
            .def("dum", &CLightCamera::dum)
            .def("dum2", &CLightCamera::dum2),
        class_<CSceneMngr>("CSceneMngr")
            .def("getActiveLight", &CSceneMngr::getActiveLight),
        class_<CPlayer>("CPlayer")
            .def("reduceLife", &CPlayer::reduceLife)
            .def("storeForCHECKPOINT", &CPlayer::storeForCHECKPOINT)
            .def("getLife", &CPlayer::getLife)
    ];
}
