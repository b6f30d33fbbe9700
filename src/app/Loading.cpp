#include "app/Loading.h"

#include "app/GameStateFlags.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "input/InputManager.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "render/TextureManager.h"
#include "scene/Camera.h"
#include "scene/ModelsManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "script/Console.h"
#include "sound/SoundManager.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"

std::string LoadingImageName(const std::string& image, bool english)
{
    return "GUI/LOADING/" + image + (english ? "_ing.jpg" : ".jpg");
}

int LoadGame()
{
    return LoadGame(DrawLoadingImage);
}

int LoadGame(const std::function<void(const std::string&)>& showImage)
{
    getGSF().resetStates();
    getSubtitulos().Init(D3DDevice, debug_font, width, height);

    // The death screens, in both languages and for pad and keyboard.
    CTextureManager& textures = getTextureManager();
    textures.GetTexture("GUI/EpicFail_mando.jpg");
    textures.GetTexture("GUI/EpicFail_teclado.jpg");
    textures.GetTexture("GUI/EpicFail_mando_ing.jpg");
    textures.GetTexture("GUI/EpicFail_teclado_ing.jpg");

    getGUI().Init(width, height);

    const bool english = getSubtitulos().english;
    auto image = [&](const char* name) { showImage(LoadingImageName(name, english)); };

    image("loading_mando_2");
    getModelsManager().LoadCoreModels("Data/XML/CoreModels.xml");
    image("loading_mando_3");
    getPlayer()->Init();
    image("loading_mando_4");
    getProfiler().Enable(true);
    getProfiler().Open("data/log.txt");
    getScenario()->Load("data/XML/instances.xml");
    image("loading_mando_5");
    image("loading_teclado_1");
    getConsole();
    getInputManager()->WithholdWhile([] { return getConsole()->IsVisible(); });
    image("loading_teclado_2");
    getInputManager()->LoadActions("data/XML/actionsInputs.xml");
    getSceneManager().Setup();
    image("loading_teclado_3");
    getProjectileManager().Reset();
    getMissionText().Init(D3DDevice, debug_font_size, debug_font, width, height);
    getConsole()->Init(D3DDevice, debug_font_size, debug_font, width, height);
    image("loading_teclado_4");
    getRigid()->Load();
    image("loading_teclado_5");
    const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
    getCamera().ForgetHeading();
    getCamera().LoadValues(hero.x, hero.y, hero.z, D3DDevice);
    // The world a start before this one in the process left is not stepped
    // on: its leftover step time and its bodies' order would move the same
    // enemies a little otherwise, and the same play would come out another.
    getCollisionManager().ReleasePhysicsWorld();
    getCollisionManager().InitPhysicsWorld();
    getCollisionManager().Init();
    getSoundManager().Init(MainWindow);
    getAchievementStats().ResetForNewGame();

    GameTimeScale = 1.0f;
    return 0;
}
