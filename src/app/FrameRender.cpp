#include "app/FrameRender.h"

#include "app/DebugText.h"
#include "app/GameStateFlags.h"
#include "app/LevelLists.h"
#include "app/MainConfig.h"
#include "app/Profiler.h"
#include "app/Startup.h"
#include "gui/GUIManager.h"
#include "gui/MissionText.h"
#include "gui/Subtitles.h"
#include "input/InputManager.h"
#include "player/Player.h"
#include "render/Bloom.h"
#include "render/DrawHelper.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "render/RenderTarget.h"
#include "render/TextureManager.h"
#include "scene/Camera.h"
#include "scene/ParticleManager.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "script/Console.h"
#include "world/CollisionManager.h"
#include "world/Scenario.h"
#include "world/TriggerManager.h"

namespace {

// 65 degrees: the second comic movie is framed wider than the game camera.
constexpr float kSecondMovieFov = 1.134464f;
// DirectInput's code for Escape.
constexpr int kEscapeKey = 1;

const char* DeathScreenImage(bool padConnected, bool english)
{
    if (padConnected)
        return english ? "GUI/EpicFail_mando_ing.jpg" : "GUI/EpicFail_mando.jpg";
    return english ? "GUI/EpicFail_teclado_ing.jpg" : "GUI/EpicFail_teclado.jpg";
}

// The enemy plane's loop ends once either of its hit counters has gone below
// 0 (its final stage played, which ends its wave) while a sequence plays over
// it; a counter at exactly 0 is one pistol hit short of that.
void EndShotDownPlane(bool sequenceRunning)
{
    CGameStateFlagsManager& gsf = getGSF();
    const CCollisionManager& collisions = getCollisionManager();
    const bool planeStillFlying = collisions.planeHits >= 0 && collisions.tankHits >= 0;
    if (planeStillFlying || !gsf.isPlayingRigidaEneAvioneta() || !sequenceRunning)
        return;
    gsf.setRigidaEneAvionetaDone();
    for (const auto& emitter : collisions.smokeEmitters)
        getParticleManager().RemoveEmitter(emitter.get());
}

// Panels of the running cut-scene through the scene and velocity passes.
void RenderComicStage(CSceneMngr& scene, CProfiler& profiler, const std::string& level)
{
    CGameStateFlagsManager& gsf = getGSF();
    scene.SaveDepthStencil();
    if (gsf.isPlayingSecondMovie())
        getCamera().SetFov(kSecondMovieFov);
    CSceneMarks marks(scene);
    MarkComicPanels(level, gsf, marks, profiler);

    profiler.StartTimer();
    scene.RenderScenePass(SceneTarget, true);
    profiler.StopTimer("vinyetas: ");
    profiler.StartTimer();
    scene.RenderMotionBlurPass(VelocityTarget, true);
    profiler.StopTimer("vinyetasBlur: ");
    scene.ReleaseDepthStencil();
}

// The level's passes draw with the scene's depth texture as the depth
// buffer, so that the composite can read it; the device's own comes back after.
class SceneDepthInUse {
public:
    explicit SceneDepthInUse(IDirect3DDevice9* device) : m_Device(device)
    {
        if (!SceneDepth.surface || FAILED(device->GetDepthStencilSurface(&m_Saved)) || !m_Saved)
            return;
        m_Swapped = SUCCEEDED(device->SetDepthStencilSurface(SceneDepth.surface));
    }
    ~SceneDepthInUse()
    {
        if (m_Swapped)
            m_Device->SetDepthStencilSurface(m_Saved);
        if (m_Saved)
            m_Saved->Release();
    }
    SceneDepthInUse(const SceneDepthInUse&) = delete;
    SceneDepthInUse& operator=(const SceneDepthInUse&) = delete;

private:
    IDirect3DDevice9* m_Device;
    IDirect3DSurface9* m_Saved = nullptr;
    bool m_Swapped = false;
};

// The bloom and the particles for the composite to lay in its own pass,
// with the frame's shortcuts: both or neither, since the bloom goes first.
CompositeOverlays OverlaysForComposite(bool sequenceRunning)
{
    CompositeOverlays overlays;
    if (!ShortcutOn(Shortcut::OverlaysInComposite) || sequenceRunning)
        return overlays;
    if (getMainConfig("bloomRender")) {
        if (BloomEffect.SummedForComposite(overlays.bloom))
            overlays.bloomSummed = true;
        else if (!BloomEffect.StagesForComposite(overlays.bloom))
            return overlays;
    }
    if (getMainConfig("particlesRender") && !ParticleTargetIsEmpty()) {
        overlays.particles = getParticleManager().GetTarget().texture;
        overlays.particleTiles = &getParticleManager().GetCoveredTiles();
    }
    overlays.merge = true;
    return overlays;
}

// Shadow map, the level's objects, the particles and, with motion blur, the
// velocity pass over the objects once more.
void RenderLevelStage(CSceneMngr& scene, CProfiler& profiler, const std::string& level)
{
    SceneDepthInUse depth(D3DDevice);
    const CGameStateFlagsManager& gsf = getGSF();
    const CRigidAnimManager& rigid = *getRigid();
    CSceneMarks marks(scene);

    scene.SaveDepthStencil();
    profiler.StartTimer();
    scene.RenderShadowPass(ShadowMapTarget, true);
    profiler.StopTimer("shadowmap: ");

    // Nothing of the level is handed over before a new game's first panels.
    if (getMainConfig("scenarioRender") && !gsf.isReadyVinyetasIntro1()) {
        if (getMainConfig("playerRender"))
            scene.SetVisible("Character", true);
        MarkLevelObjects(level, gsf, rigid, marks, profiler);
    }
    profiler.StartTimer();
    scene.RenderScenePass(SceneTarget, true);
    profiler.StopTimer("scene: ");
    scene.ReleaseDepthStencil();

    if (getMainConfig("particlesRender")) {
        profiler.StartTimer();
        getParticleManager().Render();
        profiler.StopTimer("particles2Tex: ");
    }

    if (getMainConfig("blurRender") && getMainConfig("scenarioRender")) {
        scene.SaveDepthStencil();
        MarkLevelObjects(level, gsf, rigid, marks, profiler);
        profiler.StartTimer();
        scene.RenderMotionBlurPass(VelocityTarget, true);
        profiler.StopTimer("motionBlur: ");
        scene.ReleaseDepthStencil();
    }
}

// The death image over everything but the console, presented at once; Escape
// or the pad's Back goes back to the main menu from the first checkpoint.
void ShowDeathScreen(IDirect3DDevice9* device)
{
    CInputManager& input = *getInputManager();
    // The image comes in the language the game was started in.
    const char* image = DeathScreenImage(input.IsGamepadConnected(), getSubtitulos().english);
    getDrawHelper().DrawFullScreenTexture(getTextureManager().GetTexture(image), 1.0f);
    // An open console stays in sight: hidden, it would take the keys that the
    // image asks for.
    getConsole()->Render();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);

    if (input.GetKeyboardState().IsKeyJustPressed(kEscapeKey) || input.GetGamepadState().IsBackJustPressed()) {
        CGUIManager& gui = getGUI();
        gui.mainMenuActive = true;
        // Off Exit, so that a Return pressed in a hurry does not quit.
        gui.itemExit = false;
        getGSF().resetStates();
        getTriggerManager().checkpoint = 1;
    }
}

// A dead hero's frame ends on the death image instead of the composite.
bool DeathScreenShows()
{
    return getPlayer()->getLife() <= 0 && !getGUI().mainMenuActive && !getGSF().isReadyVinyetasIntro1();
}

// The composite lays every pixel of the frame, unblended, when it is switched
// on and its technique is there, unless the death image takes its place: the
// frame's clear before it would show nowhere.
bool CompositeCoversFrame()
{
    if (!ShortcutOn(Shortcut::FrameClearSkipped) || !getMainConfig("applyOld") || DeathScreenShows())
        return false;
    ID3DXEffect* effect = getEffectManager().GetEffect();
    return effect && effect->GetTechniqueByName(kCompositeTechnique);
}

} // namespace

void RenderFrame(float dt)
{
    IDirect3DDevice9* device = D3DDevice;
    if (!device)
        return;
    CSceneMngr& scene = getSceneManager();
    CProfiler& profiler = getProfiler();
    CGameStateFlagsManager& gsf = getGSF();
    CGUIManager& gui = getGUI();
    const std::string level = getScenario()->scenarioName;

    platform::DrawBackBufferInWindow(device, ShortcutOn(Shortcut::BackBufferInWindow));
    scene.drawnCount = 0;
    scene.culledCount = 0;
    LARGE_INTEGER frameStart{};
    profiler.MarkFrameStart(&frameStart);
    profiler.Write("RENDER\t");

    const bool sequenceRunning = getRigid()->scriptedSequenceRunning;
    EndShotDownPlane(sequenceRunning);

    if (sequenceRunning)
        RenderComicStage(scene, profiler, level);
    else
        RenderLevelStage(scene, profiler, level);

    if (getMainConfig("bloomRender")) {
        profiler.StartTimer();
        BloomEffect.RenderStages(SceneTarget.texture, !CompositeCoversFrame(),
                                 !sequenceRunning && ShortcutOn(Shortcut::OverlaysInComposite));
        profiler.StopTimer("bloom2Tex: ");
    }

    if (SUCCEEDED(device->BeginScene())) {
        if (DeathScreenShows()) {
            // The frame ends on the death image: its log line gets no total.
            ShowDeathScreen(device);
            return;
        }

        profiler.StartTimer();
        bool overlaysLaid = false;
        if (!getMainConfig("applyOld")) {
            getDrawHelper().DrawFullScreenTexture(SceneTarget.texture, 1.0f);
        } else {
            const bool plainScene = sequenceRunning || !getMainConfig("blurRender");
            overlaysLaid = scene.RenderFinalComposite(plainScene ? SceneTarget.texture : VelocityTarget.texture,
                                                      OverlaysForComposite(sequenceRunning));
        }
        profiler.StopTimer("printScene: ");

        if (getMainConfig("bloomRender")) {
            profiler.StartTimer();
            if (!sequenceRunning && !overlaysLaid)
                BloomEffect.Composite();
            profiler.StopTimer("applyBloom: ");
        }

        profiler.StartTimer();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        profiler.StopTimer("setRenderState: ");

        if (getMainConfig("particlesRender") && !sequenceRunning) {
            profiler.StartTimer();
            device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
            if (!overlaysLaid && (!FrameShortcuts() || !ParticleTargetIsEmpty()))
                getDrawHelper().DrawFullScreenTexture(getParticleManager().GetTarget().texture, 1.0f);
            profiler.StopTimer("applyParticles: ");
        }

        const bool guiRender = getMainConfig("guiRender");
        if (!guiRender || !gui.DrawsSubtitles())
            getSubtitulos().Render(dt);

        if (guiRender) {
            profiler.StartTimer();
            device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            gui.Render(dt);
            profiler.StopTimer("gui: ");
        }

        profiler.StartTimer();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        profiler.StopTimer("setRenderState: ");

        if (getMainConfig("luaMsgRender")) {
            profiler.StartTimer();
            if (!sequenceRunning)
                getMissionText().Render();
            profiler.StopTimer("luaMsg: ");
        }

        if (getMainConfig("textdebugRender")) {
            profiler.StartTimer();
            getDebugText().Draw();
            profiler.StopTimer("printTextDebug:");
        }

        profiler.StartTimer();
        getConsole()->Render();
        profiler.StopTimer("console: ");

        profiler.StartTimer();
        device->EndScene();
        profiler.StopTimer("endScene: ");
    }

    profiler.StartTimer();
    // Nothing of the level is shown before a new game's first panels start.
    if (gui.mainMenuActive || !gsf.isReadyVinyetasIntro1())
        device->Present(nullptr, nullptr, nullptr, nullptr);
    profiler.StopTimer("present: ");
    profiler.StopTimerFrom("TOTAL_RENDER: ", &frameStart);
}
