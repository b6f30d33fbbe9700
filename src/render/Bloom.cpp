#include "render/Bloom.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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

namespace {

// A stage cut into blocks of kLitBlock texels, each marked where a lit texel
// may be; read out as boxes of neighbouring marked blocks.
class BlockGrid {
public:
    BlockGrid(int width, int height)
        : m_Width(std::max(width, 0)), m_Height(std::max(height, 0)), m_Columns((m_Width + kLitBlock - 1) / kLitBlock),
          m_Rows((m_Height + kLitBlock - 1) / kLitBlock), m_Marks(static_cast<size_t>(m_Columns) * m_Rows, 0)
    {
    }
    void Mark(const TexelBox& box)
    {
        const int x0 = std::max(box.x0, 0), x1 = std::min(box.x1, m_Width);
        const int y0 = std::max(box.y0, 0), y1 = std::min(box.y1, m_Height);
        if (x0 >= x1 || y0 >= y1)
            return;
        for (int row = y0 / kLitBlock; row <= (y1 - 1) / kLitBlock; ++row)
            for (int column = x0 / kLitBlock; column <= (x1 - 1) / kLitBlock; ++column)
                m_Marks[static_cast<size_t>(row) * m_Columns + column] = 1;
    }
    // Runs of marked blocks along each row, a run carried down while the
    // rows below have the very same one.
    std::vector<TexelBox> Boxes() const
    {
        std::vector<TexelBox> boxes;
        for (int row = 0; row < m_Rows; ++row) {
            const size_t rowFrom = boxes.size();
            const int top = row * kLitBlock, bottom = std::min(top + kLitBlock, m_Height);
            for (int column = 0; column < m_Columns;) {
                if (!m_Marks[static_cast<size_t>(row) * m_Columns + column]) {
                    ++column;
                    continue;
                }
                int end = column + 1;
                while (end < m_Columns && m_Marks[static_cast<size_t>(row) * m_Columns + end])
                    ++end;
                const int left = column * kLitBlock, right = std::min(end * kLitBlock, m_Width);
                bool carried = false;
                for (size_t i = 0; i < rowFrom && !carried; ++i)
                    if (boxes[i].x0 == left && boxes[i].x1 == right && boxes[i].y1 == top) {
                        boxes[i].y1 = bottom;
                        carried = true;
                    }
                if (!carried)
                    boxes.push_back({left, top, right, bottom});
                column = end;
            }
        }
        return boxes;
    }
    void MarkTexel(int x, int y) { m_Marks[static_cast<size_t>(y / kLitBlock) * m_Columns + x / kLitBlock] = 1; }

private:
    int m_Width, m_Height, m_Columns, m_Rows;
    std::vector<unsigned char> m_Marks;
};

} // namespace

std::vector<TexelBox> LitTexelBlocks(IDirect3DTexture9* texture)
{
    D3DSURFACE_DESC desc{};
    // No texture reads as black.
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)))
        return {};
    const int width = static_cast<int>(desc.Width), height = static_cast<int>(desc.Height);
    D3DLOCKED_RECT locked{};
    if (desc.Format != D3DFMT_A8R8G8B8 || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
        return {TexelBox{0, 0, width, height}};
    BlockGrid blocks(width, height);
    const auto* bytes = static_cast<const unsigned char*>(locked.pBits);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bytes + static_cast<size_t>(y) * static_cast<size_t>(locked.Pitch);
        for (int x = 0; x < width; ++x) {
            uint32_t texel = 0;
            std::memcpy(&texel, row + static_cast<size_t>(x) * 4, 4);
            if ((texel & 0x00FFFFFFu) != 0)
                blocks.MarkTexel(x, y);
        }
    }
    texture->UnlockRect(0);
    return blocks.Boxes();
}

std::vector<TexelBox> BlurReaches(const std::vector<TexelBox>& lit, int sourceWidth, int sourceHeight, int width,
                                  int height)
{
    BlockGrid blocks(width, height);
    for (const TexelBox& box : lit)
        blocks.Mark(BlurReach(box, sourceWidth, sourceHeight, width, height));
    return blocks.Boxes();
}

TexelBox BlurReach(const TexelBox& lit, int sourceWidth, int sourceHeight, int width, int height)
{
    if (lit.Empty() || sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0)
        return {};
    // A pixel's place among the source texels is off its own by at most
    // half a texel and the pass's half-texel shift (under two source texels
    // for any stage the file may ask for): twelve texels each way hold the
    // taps' eight with room to spare.
    auto span = [](int low, int high, int source, int size, int& from, int& to) {
        const double scale = static_cast<double>(size) / static_cast<double>(source);
        from = std::max(0, static_cast<int>(std::floor((low - 12) * scale)) - 1);
        to = std::min(size, static_cast<int>(std::ceil((high + 12) * scale)) + 1);
    };
    TexelBox reach;
    span(lit.x0, lit.x1, sourceWidth, width, reach.x0, reach.x1);
    span(lit.y0, lit.y1, sourceHeight, height, reach.y0, reach.y1);
    return reach.Empty() ? TexelBox{} : reach;
}

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

    // Each blur draws only where the lit texels of the stage before reach;
    // those of the first stage are read back once it is drawn.
    const bool boxes = ShortcutOn(Shortcut::BloomLitBoxes);
    litParts.clear();
    for (size_t i = 0; i < stages.size(); ++i) {
        TStage& stage = stages[i];
        const std::vector<TexelBox> whole = {TexelBox{0, 0, stage.xres, stage.yres}};
        std::vector<TexelBox> reach = whole;
        if (boxes && i > 0)
            reach = BlurReaches(litParts[i - 1], stages[i - 1].xres, stages[i - 1].yres, stage.xres, stage.yres);
        const bool drawn = stage.target.Begin();
        if (drawn) {
            if (i == 0)
                RenderPass(kCutoffTechnique, sceneTexture, 0, stage.weight);
            else if (boxes)
                BlurWithin(reach, static_cast<int>(i), stages[i - 1].weight);
            else
                RenderPass(kBlurTechnique, stages[i - 1].target.texture, static_cast<int>(i), stages[i - 1].weight);
            stage.target.End();
        }
        if (!stage.target.texture)
            litParts.push_back({});
        else if (!boxes || !drawn)
            litParts.push_back(whole);
        else
            litParts.push_back(i == 0 ? LitTexelBlocks(stage.target.texture) : reach);
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

void TBloomEffect::BlurWithin(const std::vector<TexelBox>& parts, int index, float weight)
{
    const TStage& stage = stages[static_cast<size_t>(index)];
    const bool whole = parts.size() == 1 && parts[0].x0 <= 0 && parts[0].y0 <= 0 && parts[0].x1 >= stage.xres &&
                       parts[0].y1 >= stage.yres;
    if (whole) {
        RenderPass(kBlurTechnique, stages[static_cast<size_t>(index) - 1].target.texture, index, weight);
        return;
    }
    D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    // The whole quad cut by the scissor: every pixel inside gets the very
    // value the whole blur gives it.
    for (const TexelBox& part : parts) {
        const RECT within = {part.x0, part.y0, part.x1, part.y1};
        D3DDevice->SetScissorRect(&within);
        D3DDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
        RenderPass(kBlurTechnique, stages[static_cast<size_t>(index) - 1].target.texture, index, weight);
        D3DDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    }
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
    // Later stages all black sum to black (the alpha saturated), as a clear gives it.
    if (litParts.size() == stages.size() &&
        std::all_of(litParts.begin() + 1, litParts.end(), [](const std::vector<TexelBox>& parts) {
            return parts.empty();
        })) {
        D3DDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        sum.End();
        return true;
    }
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
