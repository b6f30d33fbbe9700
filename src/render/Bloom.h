// The bloom glow: a chain of small render targets described by
// "data/fx/bloom.xml", cut from the bright parts of the scene and blurred.
#pragma once

#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "render/RenderTarget.h"
#include "xml/XMLParser.h"

// The blur's nine taps along one axis, one and a half texels of the stage
// before apart, as seven bilinear reads that weigh the same texels by the
// same amounts: two neighbouring texels meet in one read placed between them
// by their weights. Only a stage whose size divides the one before's has
// every pixel at the same place among the source texels; the others keep the
// nine taps (`folded` false). Offsets are in the source's texture coordinates
// from the pixel's own, weights sum to one.
struct FoldedBlurTaps {
    bool folded = false;
    float offset[7] = {};
    float weight[7] = {};
};
FoldedBlurTaps FoldBlurTaps(int sourceSize, int targetSize);

// Texels [x0, x1) x [y0, y1) of a stage; empty when either span is.
struct TexelBox {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
// The blocks of kLitBlock x kLitBlock texels of a stage's target holding a
// texel that is not black (alpha not counted), read back, as boxes of
// neighbouring blocks; the whole target when it cannot be read.
constexpr int kLitBlock = 8;
std::vector<TexelBox> LitTexelBlocks(IDirect3DTexture9* texture);
// The texels of a stage of `width` x `height` that its blur can light, from a
// source of `sourceWidth` x `sourceHeight` whose lit texels lie in `lit`: the
// blur's taps reach no more than seven source texels (and the next one for
// the filtering) from a pixel's own place.
TexelBox BlurReach(const TexelBox& lit, int sourceWidth, int sourceHeight, int width, int height);
// The same for each of the boxes, as boxes of the blocks they reach.
std::vector<TexelBox> BlurReaches(const std::vector<TexelBox>& lit, int sourceWidth, int sourceHeight, int width,
                                  int height);

class TBloomEffect : public CXMLParser {
public:
    // One link of the chain. The target stays in the list even when it could
    // not be made; such a stage has no texture and draws nothing.
    struct TStage {
        int xres = 16;
        int yres = 16;
        float weight = 1.0f;
        CRenderTarget target;
    };

    TBloomEffect() = default;
    // The stage targets hold textures of the device; they are let go here
    // when nobody did it earlier (safe after the device itself is gone).
    ~TBloomEffect() override;
    TBloomEffect(const TBloomEffect&) = delete;
    TBloomEffect& operator=(const TBloomEffect&) = delete;

    // "bloom" starts a fresh chain (old targets released, images to be written
    // again); each "stage" adds a target of its size on the game's device.
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;

    // Cuts the scene's bright parts into stage 0 and blurs each later stage
    // from the one before. The first run after a load also writes every stage
    // as "StageNN.bmp" into the working folder. Clears the current target
    // first, so call it outside the device scene that draws the frame.
    // `clearFrame`: the device's current target (the frame) is cleared first,
    // as it always was; left alone when what follows draws every pixel of it.
    // `sumForComposite`: the composite is to add the stages in its own pass;
    // with the frame's shortcuts they are then also summed into one target.
    void RenderStages(IDirect3DTexture9* sceneTexture, bool clearFrame = true, bool sumForComposite = false);
    // Adds every stage over the current render target.
    void Composite();
    // The stage textures when the composite can add them itself in its one
    // pass: at most four stages with a texture, and no background to clear
    // first. False otherwise (Composite must add them).
    bool StagesForComposite(std::vector<IDirect3DTexture9*>& textures) const;
    // The first stage, then the later ones of this frame each times itself
    // summed in one target, for the composite to add with two reads. False,
    // with nothing handed over, when the last RenderStages did not sum them.
    bool SummedForComposite(std::vector<IDirect3DTexture9*>& textures) const;
    // One pass of the effect technique over the current target, reading
    // source; index picks the texel offsets (those of the stage before it).
    void RenderPass(const std::string& technique, IDirect3DTexture9* source, int index, float weight);

    // Releases every stage's target and empties the chain; the device's owner
    // calls it before letting the device go.
    void Release();

    std::vector<TStage> stages;
    float cutoff = 0.0f; // 0..1: the file's 0..255 over 255
    bool dumped = false; // the stage images of this load are on disk
    bool clear_bg = false;
    // The stages after the first, summed at the first's size: made at the
    // first frame that sums them (once: a failure is not tried again until
    // the chain is loaded anew).
    CRenderTarget sum;
    bool sumTried = false;
    bool summed = false;

    // With the frame's shortcuts, the parts of each stage of the last
    // RenderStages that can have been lit (the whole of a stage otherwise).
    std::vector<std::vector<TexelBox>> litParts;

private:
    bool SumStages();
    // One blur into the current target over only `parts` of it, the rest
    // cleared to the black the blur gives there.
    void BlurWithin(const std::vector<TexelBox>& parts, int index, float weight);
};

// The one bloom object; loaded at device creation and again by the ':' key.
extern TBloomEffect BloomEffect;
