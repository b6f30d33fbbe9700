#include "render/Bloom.h"

#include <cmath>
#include <cstdio>

#include "app/Startup.h"
#include "platform/d3dx9effect.h"
#include "render/DrawHelper.h"
#include "render/EffectManager.h"
#include "render/FrameShortcuts.h"

TBloomEffect BloomEffect;

namespace {

const char* const kCutoffTechnique = "BloomCutoffTech";
const char* const kBlurTechnique = "BloomBlurTech";
// Every stage added in one pass; up to four at a time, the rest in more passes.
const char* const kCompositeTechnique = "BloomCompositeTech";
// The stages summed into one target for the frame's composite to read.
const char* const kSumTechnique = "BloomSumTech";
constexpr size_t kStagesPerPass = 4;
const char* const kStageSamplers[kStagesPerPass] = {"BloomStage0", "BloomStage1", "BloomStage2", "BloomStage3"};
const char* const kStageSwitches[kStagesPerPass] = {nullptr, "bloom_stage1", "bloom_stage2", "bloom_stage3"};

// The quad size the bloom passes hand the draw helper: only its half-texel
// shift depends on it, and the effect passes always shift by a 512 texture's.
const int kPassQuadSize = 512;

// A chain is a handful of small targets; these leave ample room and keep a
// hostile file from asking for gigabytes of render targets or a chain that
// takes the frame.
constexpr size_t kMaxStages = 32;
constexpr int kMaxStageSide = 2048;

// One texel of a stage's target, as a fraction of the texture; a stage whose
// size is not usable gives the whole texture rather than a division by zero.
float TexelStep(int resolution)
{
    return resolution > 0 ? 1.0f / static_cast<float>(resolution) : 1.0f;
}

// The blur's weights from its centre out, as the effect's gaussian has them.
const double kBlurGauss[5] = {1.0, 0.8825, 0.6065, 0.3247, 0.1353};

// The folded taps of both axes for the blur into stage `index`, or false to
// leave the blur its nine by nine.
bool SetFoldedTaps(ID3DXEffect* effect, const std::vector<TBloomEffect::TStage>& stages, int index)
{
    if (!FrameShortcuts() || index < 1 || static_cast<size_t>(index) >= stages.size())
        return false;
    const FoldedBlurTaps x = FoldBlurTaps(stages[index - 1].xres, stages[index].xres);
    const FoldedBlurTaps y = FoldBlurTaps(stages[index - 1].yres, stages[index].yres);
    D3DXHANDLE taps = effect->GetParameterByName(nullptr, "bloom_taps");
    if (!x.folded || !y.folded || !taps)
        return false;
    D3DXVECTOR4 packed[7];
    for (int i = 0; i < 7; ++i)
        packed[i] = D3DXVECTOR4(x.offset[i], x.weight[i], y.offset[i], y.weight[i]);
    return SUCCEEDED(effect->SetVectorArray(taps, packed, 7));
}

void SetFloatIfPresent(ID3DXEffect* effect, const char* name, float value)
{
    if (D3DXHANDLE handle = effect->GetParameterByName(nullptr, name))
        effect->SetFloat(handle, value);
}

// The stages with a texture added in passes of the effect, each laying the
// sum of its stages' squares once instead of one blended quad per stage.
// False, having drawn nothing, when the effect lacks the technique.
bool CompositeInPasses(const std::vector<TBloomEffect::TStage>& stages)
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    if (!effect)
        return false;
    D3DXHANDLE tech = effect->GetTechniqueByName(kCompositeTechnique);
    if (!tech || FAILED(effect->SetTechnique(tech)))
        return false;
    std::vector<IDirect3DTexture9*> textures;
    for (const TBloomEffect::TStage& stage : stages)
        if (stage.target.texture)
            textures.push_back(stage.target.texture);
    for (size_t first = 0; first < textures.size(); first += kStagesPerPass) {
        for (size_t slot = 0; slot < kStagesPerPass; ++slot) {
            const bool used = first + slot < textures.size();
            effect->SetTexture(kStageSamplers[slot], used ? textures[first + slot] : nullptr);
            if (kStageSwitches[slot])
                effect->SetBool(kStageSwitches[slot], used ? TRUE : FALSE);
        }
        UINT passes = 0;
        if (FAILED(effect->Begin(&passes, 0)))
            return true;
        for (UINT pass = 0; pass < passes; ++pass) {
            if (SUCCEEDED(effect->BeginPass(pass))) {
                getDrawHelper().DrawScreenQuad(kPassQuadSize, kPassQuadSize, false);
                effect->EndPass();
            }
        }
        effect->End();
    }
    // The effect keeps references to what it was given: let the stages go.
    for (const char* sampler : kStageSamplers)
        effect->SetTexture(sampler, nullptr);
    return true;
}

} // namespace

FoldedBlurTaps FoldBlurTaps(int sourceSize, int targetSize)
{
    FoldedBlurTaps taps;
    if (sourceSize <= 0 || targetSize <= 0 || sourceSize % targetSize != 0)
        return taps;
    // The first pixel's place among the source texels (texel n's centre at
    // n), shifted as the pass's quad shifts it; every pixel has the same
    // fraction when the sizes divide.
    const double place = (0.5 / targetSize - 0.5 / kPassQuadSize) * sourceSize - 0.5;
    const double phase = place - std::floor(place);
    // Weights of the texels from six below the pixel's texel up: the nine
    // taps reach no further than six and a half texels either way.
    constexpr int kFirst = -6;
    double texel[14] = {};
    for (int k = -4; k <= 4; ++k) {
        const double at = phase + 1.5 * k;
        const int lower = static_cast<int>(std::floor(at));
        const double f = at - lower;
        const double g = kBlurGauss[k < 0 ? -k : k];
        texel[lower - kFirst] += g * (1.0 - f);
        if (f > 0.0)
            texel[lower + 1 - kFirst] += g * f;
    }
    double total = 0.0;
    for (double w : texel)
        total += w;
    for (int pair = 0; pair < 7; ++pair) {
        const double a = texel[2 * pair], b = texel[2 * pair + 1];
        const double between = a + b > 0.0 ? b / (a + b) : 0.0;
        taps.offset[pair] = static_cast<float>((kFirst + 2 * pair + between - phase) / sourceSize);
        taps.weight[pair] = static_cast<float>((a + b) / total);
    }
    taps.folded = true;
    return taps;
}

TBloomEffect::~TBloomEffect()
{
    Release();
}

void TBloomEffect::Release()
{
    for (TStage& stage : stages)
        stage.target.Release();
    stages.clear();
    sum.Release();
    sumTried = false;
    summed = false;
}

void TBloomEffect::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name == "bloom") {
        Release();
        cutoff = attributes.GetFloat("cutoff", 200.0f) / 255.0f;
        clear_bg = attributes.GetBool("clear_bg", false);
        dumped = false;
    } else if (name == "stage") {
        TStage stage;
        stage.xres = attributes.GetInt("xres", 16);
        stage.yres = attributes.GetInt("yres", 16);
        stage.weight = attributes.GetFloat("weight", 1.0f);
        // Refused whole, as if there were no file: no glow rather than half a chain.
        if (stages.size() >= kMaxStages || stage.xres > kMaxStageSide || stage.yres > kMaxStageSide ||
            !std::isfinite(stage.weight)) {
            const bool tooMany = stages.size() >= kMaxStages;
            Release();
            char fault[96];
            if (tooMany)
                std::snprintf(fault, sizeof fault, "more than %d stages", static_cast<int>(kMaxStages));
            else
                std::snprintf(fault, sizeof fault, "stage %dx%d (at most %d a side, a finite weight)", stage.xres,
                              stage.yres, kMaxStageSide);
            RefuseFile(fault);
            return;
        }
        // A failed target is kept (and reported by the target itself): the
        // stage indices of the file must not shift.
        stage.target.Create(D3DDevice, stage.xres, stage.yres, D3DFMT_A8R8G8B8, D3DFMT_UNKNOWN);
        stages.push_back(stage);
    }
}

void TBloomEffect::RenderPass(const std::string& technique, IDirect3DTexture9* source, int index, float weight)
{
    ID3DXEffect* effect = getEffectManager().GetEffect();
    if (!effect)
        return;
    D3DXHANDLE tech = effect->GetTechniqueByName(technique.c_str());
    if (!tech || FAILED(effect->SetTechnique(tech)))
        return;

    if (D3DXHANDLE handle = effect->GetParameterByName(nullptr, "DiffuseTexture"))
        effect->SetTexture(handle, source);
    SetFloatIfPresent(effect, "bloom_cutoff_level", cutoff);
    // A blur reads the stage before it, so it steps by that stage's texels.
    float offsetX = 1.0f;
    float offsetY = 1.0f;
    if (index >= 1 && static_cast<size_t>(index) <= stages.size()) {
        offsetX = TexelStep(stages[index - 1].xres);
        offsetY = TexelStep(stages[index - 1].yres);
    }
    SetFloatIfPresent(effect, "bloom_offset_x", offsetX);
    SetFloatIfPresent(effect, "bloom_offset_y", offsetY);
    SetFloatIfPresent(effect, "stage_weight", weight);
    const bool folded = technique == kBlurTechnique && SetFoldedTaps(effect, stages, index);
    if (D3DXHANDLE handle = effect->GetParameterByName(nullptr, "bloom_folded"))
        effect->SetBool(handle, folded ? TRUE : FALSE);

    UINT passes = 0;
    if (FAILED(effect->Begin(&passes, 0)))
        return;
    for (UINT pass = 0; pass < passes; ++pass) {
        if (SUCCEEDED(effect->BeginPass(pass))) {
            getDrawHelper().DrawScreenQuad(kPassQuadSize, kPassQuadSize, true);
            effect->EndPass();
        }
    }
    effect->End();
}

void TBloomEffect::RenderStages(IDirect3DTexture9* sceneTexture, bool clearFrame, bool sumForComposite)
{
    summed = false;
    if (!D3DDevice)
        return;
    if (clearFrame)
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);

    for (size_t i = 0; i < stages.size(); ++i) {
        TStage& stage = stages[i];
        if (stage.target.Begin()) {
            if (i == 0)
                RenderPass(kCutoffTechnique, sceneTexture, 0, stage.weight);
            else
                RenderPass(kBlurTechnique, stages[i - 1].target.texture, static_cast<int>(i), stages[i - 1].weight);
            stage.target.End();
        }
        if (!dumped) {
            char name[32];
            std::snprintf(name, sizeof name, "Stage%02d", static_cast<int>(i));
            stage.target.SaveBmp(name);
        }
    }
    dumped = true;
    D3DDevice->SetTexture(0, nullptr);
    if (sumForComposite)
        summed = SumStages();
}

bool TBloomEffect::SumStages()
{
    std::vector<IDirect3DTexture9*> textures;
    // The sum saves reads only when it stands for two stages or more.
    if (!ShortcutOn(Shortcut::SummedBloom) || !StagesForComposite(textures) || textures.size() < 3)
        return false;
    textures.erase(textures.begin());
    ID3DXEffect* effect = getEffectManager().GetEffect();
    D3DXHANDLE tech = effect ? effect->GetTechniqueByName(kSumTechnique) : nullptr;
    if (!tech)
        return false;
    if (!sumTried) {
        sumTried = true;
        // At the first stage's size, the largest: summed at the second's,
        // the sharper stages' glow would spread visibly.
        for (const TStage& stage : stages)
            if (stage.target.texture) {
                sum.Create(D3DDevice, stage.xres, stage.yres, D3DFMT_A8R8G8B8, D3DFMT_UNKNOWN);
                break;
            }
    }
    if (!sum.Begin())
        return false;
    bool drawn = false;
    if (SUCCEEDED(effect->SetTechnique(tech))) {
        for (size_t slot = 0; slot < kStagesPerPass; ++slot) {
            effect->SetTexture(kStageSamplers[slot], slot < textures.size() ? textures[slot] : nullptr);
            if (kStageSwitches[slot])
                effect->SetBool(kStageSwitches[slot], slot < textures.size() ? TRUE : FALSE);
        }
        UINT passes = 0;
        if (SUCCEEDED(effect->Begin(&passes, 0))) {
            for (UINT pass = 0; pass < passes; ++pass) {
                if (SUCCEEDED(effect->BeginPass(pass))) {
                    // Unshifted: each pixel reads the texel of a stage of its size whole.
                    getDrawHelper().DrawScreenQuad(kPassQuadSize, kPassQuadSize, false);
                    effect->EndPass();
                    drawn = true;
                }
            }
            effect->End();
        }
        for (const char* sampler : kStageSamplers)
            effect->SetTexture(sampler, nullptr);
    }
    sum.End();
    return drawn;
}

bool TBloomEffect::SummedForComposite(std::vector<IDirect3DTexture9*>& textures) const
{
    textures.clear();
    if (!summed || !StagesForComposite(textures) || textures.empty())
        return false;
    textures.resize(1);
    textures.push_back(sum.texture);
    return true;
}

bool TBloomEffect::StagesForComposite(std::vector<IDirect3DTexture9*>& textures) const
{
    textures.clear();
    if (clear_bg)
        return false;
    for (const TStage& stage : stages)
        if (stage.target.texture)
            textures.push_back(stage.target.texture);
    return textures.size() <= kStagesPerPass;
}

void TBloomEffect::Composite()
{
    if (!D3DDevice)
        return;
    if (clear_bg)
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    // Each stage adds its colour times itself: faint glow fades faster than
    // the bright core.
    D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    D3DDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
    D3DDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    D3DDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    D3DDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);

    if (!FrameShortcuts() || !CompositeInPasses(stages)) {
        for (TStage& stage : stages) {
            if (!stage.target.texture)
                continue;
            D3DDevice->SetTexture(0, stage.target.texture);
            getDrawHelper().DrawScreenQuad(stage.xres, stage.yres, false);
        }
    }
    D3DDevice->SetTexture(0, nullptr);
    D3DDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}
