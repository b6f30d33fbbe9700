#include "render/Composite.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/Startup.h"
#include "gui/GUIManager.h"
#include "math/VectorMath.h"
#include "platform/crt.h"
#include "player/IController.h"
#include "player/Player.h"
#include "render/DrawCallCounter.h"
#include "render/DrawHelper.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"
#include "render/TextureManager.h"
#include "render/VertexTypes.h"
#include "scene/Camera.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"
#include "world/Scenario.h"

namespace {

constexpr float kRadiansToDegrees = 57.2957763671875f;
constexpr float kPi = 3.1415927f;
const char kDamagePass[] = "Damage";
const char kScenePass[] = "Scene";
const char kDamageFromLife[] = "damage_from_life";
const char kRaining[] = "raining";
const char kMovingOnly[] = "moving_only";
const char kCameraMoved[] = "camera_moved";
const char kInverseViewProjection[] = "inverse_view_projection";
const char kPreviousViewProjection[] = "previous_view_projection";

// The depth texture the composite samples must not stay bound as the depth
// buffer it draws with; it is let go for the draw and put back after.
class DepthDetached {
public:
    explicit DepthDetached(IDirect3DTexture9* sampled)
    {
        IDirect3DSurface9* level = nullptr;
        if (!sampled || !D3DDevice || FAILED(sampled->GetSurfaceLevel(0, &level)))
            return;
        if (SUCCEEDED(D3DDevice->GetDepthStencilSurface(&m_Saved)) && m_Saved == level)
            D3DDevice->SetDepthStencilSurface(nullptr);
        else if (m_Saved) {
            m_Saved->Release();
            m_Saved = nullptr;
        }
        level->Release();
    }
    ~DepthDetached()
    {
        if (m_Saved) {
            D3DDevice->SetDepthStencilSurface(m_Saved);
            m_Saved->Release();
        }
    }
    DepthDetached(const DepthDetached&) = delete;
    DepthDetached& operator=(const DepthDetached&) = delete;

private:
    IDirect3DSurface9* m_Saved = nullptr;
};

// Controller states in which the hero aims: the frame takes the aiming tint.
bool IsAimingState(int code)
{
    return code == 35 || code == 41 || code == 64 || code == 52 || code == 48;
}

// Hero life over his maximum life. A hero whose maximum is still 0 (not yet
// built) counts as unhurt rather than dividing by it.
float HeroLifeFraction()
{
    const CPlayer* hero = getPlayer();
    if (hero->GetTopLife() == 0)
        return 1.0f;
    return static_cast<float>(hero->GetLife()) / static_cast<float>(hero->GetTopLife());
}

// The composite's own bloom and particle overlays switched on with their
// textures, or (null) off with the textures let go.
void SetOverlays(ID3DXEffect* effect, const CompositeOverlays* overlays)
{
    static const char* const kStages[4] = {"BloomStage0", "BloomStage1", "BloomStage2", "BloomStage3"};
    static const char* const kSwitches[4] = {nullptr, "bloom_stage1", "bloom_stage2", "bloom_stage3"};
    const size_t stages = overlays ? overlays->bloom.size() : 0;
    effect->SetBool("bloom_over", stages > 0 ? TRUE : FALSE);
    effect->SetBool("bloom_summed", stages == 2 && overlays->bloomSummed ? TRUE : FALSE);
    for (size_t i = 0; i < 4; ++i) {
        effect->SetTexture(kStages[i], i < stages ? overlays->bloom[i] : nullptr);
        if (kSwitches[i] && stages > 0)
            effect->SetBool(kSwitches[i], i < stages ? TRUE : FALSE);
    }
    IDirect3DTexture9* particles = overlays ? overlays->particles : nullptr;
    effect->SetBool("particles_over", particles ? TRUE : FALSE);
    effect->SetTexture("ParticleLayer", particles);
}

// The frame's size: that of the target the composite draws into, false
// unless the viewport covers it whole (the tiles are laid out over it).
bool TargetSize(int& width, int& height)
{
    IDirect3DSurface9* target = nullptr;
    if (!D3DDevice || FAILED(D3DDevice->GetRenderTarget(0, &target)) || !target)
        return false;
    D3DSURFACE_DESC desc{};
    const bool known = SUCCEEDED(target->GetDesc(&desc));
    target->Release();
    D3DVIEWPORT9 view{};
    if (!known || FAILED(D3DDevice->GetViewport(&view)) || view.X != 0 || view.Y != 0 || view.Width != desc.Width ||
        view.Height != desc.Height)
        return false;
    width = static_cast<int>(desc.Width);
    height = static_cast<int>(desc.Height);
    return width > 0 && height > 0;
}

// The rectangles of a frame of that size as quads of the composite's pass,
// in one draw.
void DrawScreenRects(const std::vector<ScreenRect>& rects, int width, int height)
{
    if (rects.empty())
        return;
    std::vector<DOUBLE_TEXTURED_VERTEX> vertices;
    vertices.reserve(rects.size() * 6);
    // As the full-screen quad has them: clip space y up, texture v down.
    auto at = [&](int x, int y) {
        const float u = static_cast<float>(x) / static_cast<float>(width);
        const float v = static_cast<float>(y) / static_cast<float>(height);
        return DOUBLE_TEXTURED_VERTEX{u * 2.0f - 1.0f, 1.0f - v * 2.0f, 0.0f, u, v, u * 1.5f, v * 1.5f};
    };
    for (const ScreenRect& r : rects) {
        const DOUBLE_TEXTURED_VERTEX topLeft = at(r.left, r.top), topRight = at(r.right, r.top),
                                     bottomLeft = at(r.left, r.bottom), bottomRight = at(r.right, r.bottom);
        vertices.insert(vertices.end(), {bottomLeft, bottomRight, topLeft, topLeft, bottomRight, topRight});
    }
    D3DDevice->SetFVF(DOUBLE_TEXTURED_VERTEX::FVF);
    D3DDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(rects.size() * 2), vertices.data(),
                               sizeof(DOUBLE_TEXTURED_VERTEX));
    CountDrawCall();
}

// The tiles of a frame of that size where the picture of that name, stretched
// over it, is not wholly transparent; worked out once for each (again when
// the name comes to stand for another texture).
const ScreenTiles& OpaqueTilesOf(const char* name, int width, int height)
{
    static std::map<std::string, std::pair<IDirect3DTexture9*, ScreenTiles>> known;
    IDirect3DTexture9* texture = getTextureManager().GetTexture(name);
    auto& entry = known[std::string(name) + "@" + std::to_string(width) + "x" + std::to_string(height)];
    if (entry.first != texture || entry.second.Width() != width || entry.second.Height() != height) {
        entry.first = texture;
        entry.second.Reset(width, height, false);
        MarkOpaqueTexels(texture, entry.second);
    }
    return entry.second;
}

constexpr size_t kBloodSlots = 6;

// Which of the blood's later slot pairs the scene pass reads for that many
// layers: none for a draw that lays no blood, so that its variant is one
// whatever the blood's count.
void SetBloodPairs(ID3DXEffect* effect, size_t count)
{
    effect->SetBool("blood_pair1", count > 2 ? TRUE : FALSE);
    effect->SetBool("blood_pair2", count > 4 ? TRUE : FALSE);
}

// The composite's scene pass over the frame's tiles in up to eight draws,
// each with only the overlays its tiles show switched on. False, having
// drawn nothing, when every tile shows every overlay laid (one quad does it
// then). `overlays` null: none laid; `blood`: the blood's layers laid here.
bool DrawByOverlays(ID3DXEffect* effect, const CompositeOverlays* overlays, const std::vector<const char*>& blood)
{
    int width = 0, height = 0;
    if (!TargetSize(width, height))
        return false;
    const CompositeOverlays none;
    const CompositeOverlays& laid = overlays ? *overlays : none;
    ScreenTiles bloodTiles;
    bloodTiles.Reset(width, height, false);
    for (const char* layer : blood)
        bloodTiles.Add(OpaqueTilesOf(layer, width, height));
    const std::vector<int> tiles = OverlaysByTile(laid, width, height, blood.empty() ? nullptr : &bloodTiles);
    const int all = (laid.bloom.empty() ? 0 : 1) | (laid.particles ? 2 : 0) | (blood.empty() ? 0 : 4);
    if (std::all_of(tiles.begin(), tiles.end(), [all](int shown) { return shown == all; }))
        return false;
    const std::vector<std::vector<ScreenRect>> groups = TileRuns(width, height, 8, tiles);
    for (int shown = 0; shown < 8; ++shown) {
        if (groups[static_cast<size_t>(shown)].empty())
            continue;
        effect->SetBool("bloom_over", (shown & 1) ? TRUE : FALSE);
        effect->SetBool("particles_over", (shown & 2) ? TRUE : FALSE);
        effect->SetBool("damage_over", (shown & 4) ? TRUE : FALSE);
        SetBloodPairs(effect, (shown & 4) ? blood.size() : 0);
        effect->CommitChanges();
        DrawScreenRects(groups[static_cast<size_t>(shown)], width, height);
    }
    return true;
}

// The blood over the frame as life runs low, and the hit marks by the side
// a shot came from: front, back, left, right.
const char kBloodInfo[] = "sangre_GUI.tga";
const char* const kHitMarks[4] = {"GUI/sangre_arriba.tga", "GUI/sangre_abajo.tga", "GUI/sangre_izq.tga",
                                  "GUI/sangre_der.tga"};

// The blood's layers that weigh something this frame, in the damage pass's
// order, with their weights, for the composite to lay them itself: false
// (and nothing handed over) when more than it has room for show, or the
// life or the threshold leave the weights to the damage pass.
const char* const kBloodSlotNames[kBloodSlots] = {"BloodLayer0", "BloodLayer1", "BloodLayer2",
                                                  "BloodLayer3", "BloodLayer4", "BloodLayer5"};
bool SetBloodLayers(ID3DXEffect* effect, float lifeFraction, float sceneTime, const D3DXVECTOR4& hits,
                    std::vector<const char*>& names)
{
    FLOAT threshold = 0.0f;
    if (FAILED(effect->GetFloat(kDamageFromLife, &threshold)) || !(threshold > 0.0f) || lifeFraction != lifeFraction)
        return false;
    auto saturate = [](float v) { return std::min(std::max(v, 0.0f), 1.0f); };
    const float hurt = saturate((threshold - saturate(lifeFraction)) / threshold);
    const float pulse = 0.8f + 0.2f * std::sin(sceneTime * (5.0f + 6.0f * hurt));
    const std::array<const char*, 3> deep = DamageTexturesFor(sceneTime);
    const std::pair<const char*, float> layers[] = {
        {kBloodInfo, hurt * pulse},                {deep[0], saturate(hurt * 3.0f)},
        {deep[1], saturate(hurt * 3.0f - 1.0f)},   {deep[2], saturate(hurt * 3.0f - 2.0f)},
        {kHitMarks[0], saturate(hits.x)},          {kHitMarks[1], saturate(hits.y)},
        {kHitMarks[2], saturate(hits.z)},          {kHitMarks[3], saturate(hits.w)}};
    std::vector<std::pair<const char*, float>> shown;
    for (const auto& layer : layers)
        if (layer.second > 0.0f)
            shown.push_back(layer);
    if (shown.empty() || shown.size() > kBloodSlots)
        return false;
    float weights[8] = {};
    // The slots are read two at a time: one left over in a pair repeats the
    // first layer at no weight, which lays exactly nothing. So the pass has
    // three variants for the six counts of layers, fewer to build in a fight.
    for (size_t i = 0; i < kBloodSlots; ++i) {
        const bool used = i < shown.size();
        effect->SetTexture(kBloodSlotNames[i], getTextureManager().GetTexture(shown[used ? i : 0].first));
        weights[i] = used ? shown[i].second : 0.0f;
    }
    SetBloodPairs(effect, shown.size());
    for (const auto& layer : shown)
        names.push_back(layer.first);
    const D3DXVECTOR4 a(weights[0], weights[1], weights[2], weights[3]), b(weights[4], weights[5], 0.0f, 0.0f);
    effect->SetVector("blood_weights_a", &a);
    effect->SetVector("blood_weights_b", &b);
    return true;
}

// The blood's textures let go once the composite has drawn with them.
void ClearBloodLayers(ID3DXEffect* effect)
{
    for (const char* slot : kBloodSlotNames)
        effect->SetTexture(slot, nullptr);
    SetBloodPairs(effect, 0);
}

} // namespace

// --- CompositeState -------------------------------------------------------------------------

void CompositeState::StepHits(bool wasHit, float angleDegrees)
{
    for (float* mark : {&hits.x, &hits.y, &hits.z, &hits.w}) {
        if (*mark > 0.0f)
            *mark -= 0.1f;
        else
            *mark = 0.0f;
    }
    if (!wasHit)
        return;
    hitFlag = 1.0f;
    const float a = angleDegrees;
    if (a >= -45.0f && a <= 45.0f)
        hits.x = 1.0f;
    else if (a >= 120.0f || a <= -120.0f)
        hits.y = 1.0f;
    else if (a > 45.0f && a < 120.0f)
        hits.z = 1.0f;
    else if (a > -120.0f && a < -45.0f)
        hits.w = 1.0f;
}

float CompositeState::StepLightning(int r)
{
    const float step = r < 50 ? 2.7f : 1.9f;
    if (!lightningActive) {
        if (r == 99) {
            lightningActive = true;
            lightningBrightness = 1.0f;
        }
    } else if (!lightningFading && lightningBrightness < 10.0f) {
        lightningBrightness += step;
    } else {
        lightningFading = true;
        lightningBrightness -= step;
    }
    if (lightningBrightness < 1.0f) {
        lightningBrightness = 1.0f;
        lightningActive = false;
        lightningFading = false;
    }
    if (lightningBrightness == 1.0f || r <= 85)
        return lightningBrightness;
    return 1.0f;
}

float CompositeState::StepRain(int r, float yaw)
{
    currentYaw = yaw;
    if (std::fabs(rainDrift - rainTarget) <= 0.002f) {
        rainTarget = static_cast<float>((r - 50) / 100.0);
        if (r == 92)
            rainTarget *= 1.2f;
    } else {
        rainDrift += rainTarget > rainDrift ? 0.001f : -0.001f;
    }
    rainDrift += (currentYaw - previousYaw) * 0.1f;
    previousYaw = currentYaw;
    return rainDrift;
}

bool DamageShows(ID3DXEffect* effect, float lifeFraction, const D3DXVECTOR4& hits)
{
    if (hits.x > 0.0f || hits.y > 0.0f || hits.z > 0.0f || hits.w > 0.0f)
        return true;
    FLOAT threshold = 0.0f;
    if (!effect || FAILED(effect->GetFloat(kDamageFromLife, &threshold)) || !(threshold > 0.0f))
        return true;
    // The overlay reads the life clamped to [0, 1]; NaN shows.
    return !(std::min(std::max(lifeFraction, 0.0f), 1.0f) >= threshold);
}

std::array<const char*, 3> DamageTexturesFor(float t)
{
    std::array<const char*, 3> names = {"GUI/damage1.dds", "GUI/damage2.dds", "GUI/damage3.dds"};
    if (t < 0.35f)
        names = {"GUI/damage1.dds", "GUI/damage2.dds", "GUI/damage3.dds"};
    if (t > 0.33f && t < 0.66f)
        names = {"GUI/damage2.dds", "GUI/damage1.dds", "GUI/damage3.dds"};
    if (t > 0.63f)
        names = {"GUI/damage3.dds", "GUI/damage2.dds", "GUI/damage1.dds"};
    return names;
}

CameraSmear CameraSmearFor(const D3DXMATRIX& viewProjection, const D3DXMATRIX& previousViewProjection,
                           IDirect3DTexture9* moving, IDirect3DTexture9* depth)
{
    CameraSmear smear;
    smear.moving = moving;
    smear.depth = depth;
    smear.previousViewProjection = previousViewProjection;
    smear.cameraMoved = std::memcmp(&viewProjection, &previousViewProjection, sizeof(D3DXMATRIX)) != 0;
    // A projection that cannot be undone cannot place a pixel in the world:
    // the camera's smear is left out then.
    smear.on = moving && depth && D3DXMatrixInverse(&smear.inverseViewProjection, nullptr, &viewProjection);
    return smear;
}

// --- the pass -----------------------------------------------------------------------------------

std::vector<int> OverlaysByTile(const CompositeOverlays& overlays, int width, int height, const ScreenTiles* blood)
{
    ScreenTiles bloom;
    bloom.Reset(width, height, false);
    // Filtered up from the stages' smaller sizes: black texels add exactly nothing.
    for (IDirect3DTexture9* stage : overlays.bloom)
        MarkLitTexels(stage, bloom);
    const ScreenTiles* drawn = overlays.particleTiles;
    const bool fits = drawn && drawn->Width() == width && drawn->Height() == height;
    std::vector<int> shown(static_cast<size_t>(bloom.Columns()) * bloom.Rows());
    for (int row = 0; row < bloom.Rows(); ++row)
        for (int column = 0; column < bloom.Columns(); ++column)
            shown[static_cast<size_t>(row) * bloom.Columns() + column] =
                (!overlays.bloom.empty() && bloom.Marked(column, row) ? 1 : 0) |
                (overlays.particles && (fits ? drawn->Marked(column, row) : true) ? 2 : 0) |
                (blood && (blood->Width() != width || blood->Height() != height || blood->Marked(column, row)) ? 4
                                                                                                               : 0);
    return shown;
}

CompositeInputs GatherCompositeInputs()
{
    CompositeInputs in;
    // The scene time only grows; the damage images rotate with its fraction
    // of a second, or the third order would show for good after 40 frames.
    const float sceneTime = getSceneManager().GetSceneTime();
    in.sceneTime = sceneTime - std::floor(sceneTime);
    in.lifeFraction = HeroLifeFraction();
    if (IController* controller = getPlayer()->GetController()) {
        in.stateCode = controller->GetStateCode();
        in.wasHit = controller->WasHit();
    }
    const CPlayer* hero = getPlayer();
    in.hitAngleDegrees = AngleDifference(hero->hitYaw, hero->hitDistance) * kRadiansToDegrees;
    in.isla = getScenario()->scenarioName == "isla";
    const CCamera& camera = getCamera();
    in.cameraYaw = camera.GetYaw();
    in.cameraPitch = camera.GetPitch();
    in.scriptedSequence = getRigid()->scriptedSequenceRunning;
    // Switched on the options screen and read here every frame; nothing else
    // needs to hear of it.
    in.depthOfField = getGUI().depthOfFieldOn;
    return in;
}

bool RenderCompositeWith(CEffectManager& manager, IDirect3DTexture9* scene, IDirect3DTexture9* currentVelocity,
                         IDirect3DTexture9* previousVelocity, const CompositeInputs& in)
{
    if (!manager.SelectTechnique(kCompositeTechnique))
        return false;
    ID3DXEffect* effect = manager.GetEffect();
    CompositeState& state = manager.GetCompositeState();
    CTextureManager& textures = getTextureManager();
    auto handle = [&manager](int slot) { return manager.GetHandle(slot); };
    auto texture = [&](int slot, const char* name) { effect->SetTexture(handle(slot), textures.GetTexture(name)); };

    effect->SetFloat(handle(EP_WORLD_TIME), in.sceneTime);
    effect->SetFloat(handle(EP_PLAYER_LIFE), in.lifeFraction);

    const std::array<const char*, 3> damage = DamageTexturesFor(in.sceneTime);
    texture(EP_DAMAGE1_TEXTURE, damage[0]);
    texture(EP_DAMAGE2_TEXTURE, damage[1]);
    texture(EP_DAMAGE3_TEXTURE, damage[2]);
    texture(EP_DAMAGED_INFO_TEXTURE, kBloodInfo);
    texture(EP_DAMAGE_FRONT, kHitMarks[0]);
    texture(EP_DAMAGE_BACK, kHitMarks[1]);
    texture(EP_DAMAGE_LEFT, kHitMarks[2]);
    texture(EP_DAMAGE_RIGHT, kHitMarks[3]);

    state.StepHits(in.wasHit, in.hitAngleDegrees);
    effect->SetValue(handle(EP_DAMAGE_COLOR), &state.hits, sizeof(D3DXVECTOR4));

    texture(EP_DIRT_TEXTURE1, "Noise/GrainScratchNoise.tga");
    texture(EP_RAIN_TEXTURE, "rainTest.tga");
    effect->SetTexture(handle(EP_SCENE_TEXTURE), scene);
    effect->SetTexture(handle(EP_CURR_VELOCITY_TEXTURE), currentVelocity);
    effect->SetTexture(handle(EP_LAST_VELOCITY_TEXTURE), previousVelocity);
    effect->SetFloat(handle(EP_APUNTANDO), IsAimingState(in.stateCode) ? 1.0f : 0.0f);

    if (in.isla) {
        const int r = crt::rand() % 100 + 1;
        effect->SetFloat(handle(EP_FLASH), state.StepLightning(r));
        effect->SetFloat(handle(EP_RAIN_DIR), state.StepRain(r, in.cameraYaw));
        state.currentPitch = in.cameraPitch;
        effect->SetFloat(handle(EP_CAM_PITCH), state.currentPitch / kPi * 3.0f);
        state.previousPitch = state.currentPitch;
        effect->SetFloat(handle(EP_CAM_YAW), 1.0f);
    } else {
        effect->SetFloat(handle(EP_FLASH), 1.0f);
        effect->SetFloat(handle(EP_CAM_YAW), 0.0f);
    }
    // Away from the island the rain is compiled out of the shader.
    effect->SetBool(kRaining, !FrameShortcuts() || in.isla ? TRUE : FALSE);
    effect->SetBool(handle(EP_VINYETAS), in.scriptedSequence ? TRUE : FALSE);
    effect->SetBool(handle(EP_APPLY_DOF), in.depthOfField ? TRUE : FALSE);
    const CameraSmear& smear = in.smear;
    effect->SetBool(kMovingOnly, smear.on ? TRUE : FALSE);
    if (smear.on) {
        effect->SetTexture(handle(EP_CURR_VELOCITY_TEXTURE), smear.moving);
        effect->SetTexture(handle(EP_DEPTH_TEXTURE), smear.depth);
        effect->SetBool(kCameraMoved, smear.cameraMoved ? TRUE : FALSE);
        effect->SetMatrix(kInverseViewProjection, &smear.inverseViewProjection);
        effect->SetMatrix(kPreviousViewProjection, &smear.previousViewProjection);
    }
    DepthDetached detached(smear.on ? smear.depth : nullptr);

    // The damage overlay lays nothing over the frame while the hero's life
    // stands at or above the effect's blood threshold and no hit mark shows;
    // when it shows, the composite can lay it itself, just as blended.
    const bool blood = DamageShows(effect, in.lifeFraction, state.hits);
    std::vector<const char*> bloodLayers;
    const bool bloodHere = blood && ShortcutOn(Shortcut::DamageInComposite) &&
                           SetBloodLayers(effect, in.lifeFraction, in.sceneTime, state.hits, bloodLayers);
    effect->SetBool("damage_over", bloodHere ? TRUE : FALSE);
    D3DXHANDLE skipped = nullptr;
    if ((FrameShortcuts() && !blood) || bloodHere)
        skipped = effect->GetPassByName(effect->GetCurrentTechnique(), kDamagePass);

    const CompositeOverlays& overlays = in.overlays;
    const bool lay = overlays.merge && ShortcutOn(Shortcut::OverlaysInComposite) && overlays.bloom.size() <= 4 &&
                     (!blood || bloodHere);
    SetOverlays(effect, lay ? &overlays : nullptr);

    UINT passes = 0;
    if (FAILED(effect->Begin(&passes, 0))) {
        if (bloodHere)
            ClearBloodLayers(effect);
        SetOverlays(effect, nullptr);
        return false;
    }
    const D3DXHANDLE scenePass = effect->GetPassByName(effect->GetCurrentTechnique(), kScenePass);
    const bool tiled = (lay || bloodHere) && ShortcutOn(Shortcut::OverlayTiles);
    if (!bloodHere)
        bloodLayers.clear();
    for (UINT pass = 0; pass < passes; ++pass) {
        const D3DXHANDLE current = effect->GetPass(effect->GetCurrentTechnique(), pass);
        if (skipped && current == skipped)
            continue;
        if (SUCCEEDED(effect->BeginPass(pass))) {
            if (!tiled || current != scenePass || !DrawByOverlays(effect, lay ? &overlays : nullptr, bloodLayers))
                getDrawHelper().DrawFullScreenQuad();
            effect->EndPass();
        }
    }
    effect->End();
    // The effect keeps a reference to what it was given.
    if (bloodHere)
        ClearBloodLayers(effect);
    if (smear.on)
        effect->SetTexture(handle(EP_DEPTH_TEXTURE), nullptr);
    SetOverlays(effect, nullptr);
    return lay;
}
