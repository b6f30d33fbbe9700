// The bloom blur's nine taps per axis folded into seven bilinear reads: each
// source texel must weigh what the nine taps gave it.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "render/Bloom.h"

namespace {

// Texel weights of bilinear reads at positions given in source texels from
// the first pixel's place (texel n's centre at n), as the sampler lays them.
void Splat(std::map<int, double>& texels, double at, double weight)
{
    const int lower = static_cast<int>(std::floor(at));
    texels[lower] += weight * (1.0 - (at - lower));
    texels[lower + 1] += weight * (at - lower);
}

// The first pixel's place among the source texels: the blur quad shifts its
// texture coordinates by half a texel of a 512 texture.
double FirstPlace(int source, int target)
{
    return (0.5 / target - 0.5 / 512.0) * source - 0.5;
}

TEST(BloomBlurFold, SevenReadsWeighEachTexelAsTheNineTapsDo)
{
    const double gauss[5] = {1.0, 0.8825, 0.6065, 0.3247, 0.1353};
    const double total = gauss[0] + 2.0 * (gauss[1] + gauss[2] + gauss[3] + gauss[4]);
    // The shipped chain's halvings of both axes, a third, and a stage as
    // large as the one before.
    const int sizes[][2] = {{256, 128}, {128, 64}, {64, 32}, {192, 96}, {96, 48}, {48, 24}, {96, 32}, {40, 40}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + " to " + std::to_string(size[1]));
        const FoldedBlurTaps taps = FoldBlurTaps(size[0], size[1]);
        ASSERT_TRUE(taps.folded);
        const double place = FirstPlace(size[0], size[1]);
        std::map<int, double> nine, seven;
        for (int k = -4; k <= 4; ++k)
            Splat(nine, place + 1.5 * k, gauss[k < 0 ? -k : k] / total);
        double sum = 0.0;
        for (int i = 0; i < 7; ++i) {
            Splat(seven, place + taps.offset[i] * size[0], taps.weight[i]);
            sum += taps.weight[i];
        }
        EXPECT_NEAR(sum, 1.0, 1e-6);
        for (const auto& texel : nine)
            EXPECT_NEAR(seven[texel.first], texel.second, 1e-5) << "texel " << texel.first;
        for (const auto& texel : seven)
            EXPECT_NEAR(nine[texel.first], texel.second, 1e-5) << "texel " << texel.first;
    }
}

TEST(BloomBlurFold, StagesWhosePixelsFallUnevenlyKeepTheNineTaps)
{
    EXPECT_FALSE(FoldBlurTaps(800, 256).folded);
    EXPECT_FALSE(FoldBlurTaps(100, 64).folded);
    EXPECT_FALSE(FoldBlurTaps(65, 32).folded) << "one texel more than twice";
    EXPECT_FALSE(FoldBlurTaps(32, 64).folded) << "a stage larger than the one before";
    EXPECT_FALSE(FoldBlurTaps(0, 16).folded);
    EXPECT_FALSE(FoldBlurTaps(16, 0).folded);
}

} // namespace
