// The final composite: its frame-to-frame rules and the frame it draws with
// the shipped effect and overlay images, read back from the back buffer.
#include <gtest/gtest.h>

#include <filesystem>

#include "player/Player.h"
#include "render/Composite.h"
#include "render/effectmanager_fixture.h"

namespace {

using drawtest::kSize;

TEST(CompositeState, EachHitDirectionLightsItsOwnMarkThatFadesOverTenFrames)
{
    // The mark lit: 0 front, 1 back, 2 one side, 3 the other.
    const std::pair<float, int> cases[] = {{0, 0},   {45, 0},  {-45, 0},  {45.5f, 2}, {119, 2},    {120, 1},
                                           {180, 1}, {-180, 1}, {-120, 1}, {-119, 3}, {-45.5f, 3}};
    for (const auto& [degrees, mark] : cases) {
        CompositeState state;
        state.StepHits(true, degrees);
        const float marks[4] = {state.hits.x, state.hits.y, state.hits.z, state.hits.w};
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(marks[i], i == mark ? 1.0f : 0.0f) << degrees << " degrees, mark " << i;
    }
    CompositeState state;
    state.StepHits(true, 180.0f);
    for (int frame = 1; frame <= 9; ++frame)
        state.StepHits(false, 0.0f);
    EXPECT_GT(state.hits.y, 0.05f);
    for (int frame = 10; frame <= 12; ++frame)
        state.StepHits(false, 0.0f);
    EXPECT_EQ(state.hits.y, 0.0f); // at rest, not a little off zero
}

TEST(CompositeInputs, AHeroWithoutAMaximumLifeYetCountsAsUnhurt)
{
    CPlayer* hero = getPlayer();
    const short life = hero->GetLife();
    const std::uint16_t top = hero->GetTopLife();
    hero->SetLifeAndTopLife(0, 0);
    EXPECT_FLOAT_EQ(GatherCompositeInputs().lifeFraction, 1.0f);
    hero->SetLifeAndTopLife(life, top);
}

class CompositeDraw : public fxtest::EffectDrawTest {};

TEST_F(CompositeDraw, BloodCoversTheBordersAtLowLifeAndTheSideAHitCameFrom)
{
    // The overlays are the game's own images, found from its working folder.
    std::filesystem::current_path(fxtest::kWorkdir);
    IDirect3DTexture9* scene = Texture(kSize, kSize, std::vector<D3DCOLOR>(kSize * kSize, 0xFF808080));
    auto draw = [&](const CompositeInputs& inputs) {
        ClearTo(drawtest::kBlack);
        RenderCompositeWith(getEffectManager(), scene, nullptr, nullptr, inputs);
    };
    auto redness = [](D3DCOLOR c) { return Red(c) - Green(c); };

    const CompositeInputs healthy;
    draw(healthy);
    const int middleHealthy = Brightness(Pixel(kSize / 2, kSize / 2));
    EXPECT_LT(std::abs(redness(Pixel(1, 1))), 8);
    EXPECT_GT(middleHealthy, 300);

    CompositeInputs dying = healthy;
    dying.lifeFraction = 0.05f;
    draw(dying);
    EXPECT_GT(redness(Pixel(1, 1)), 40);
    EXPECT_LT(std::abs(Brightness(Pixel(kSize / 2, kSize / 2)) - middleHealthy), 12);

    // A hit from behind marks the bottom edge alone.
    CompositeInputs hit = healthy;
    hit.wasHit = true;
    hit.hitAngleDegrees = 180.0f;
    draw(hit);
    EXPECT_GT(redness(Pixel(kSize / 2, kSize - 2)), 40);
    EXPECT_LT(std::abs(redness(Pixel(kSize / 2, 1))), 8);
    EXPECT_LT(std::abs(redness(Pixel(1, kSize / 2))), 8);
    getEffectManager().GetCompositeState() = CompositeState();
}

} // namespace
