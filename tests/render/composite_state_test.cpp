// The composite's frame-to-frame rules: hit marks, lightning, rain drift and
// the choice of damage images.
#include <gtest/gtest.h>

#include <string>

#include "player/Player.h"
#include "render/Composite.h"
#include "world/Scenario.h"

namespace {

TEST(CompositeHits, EachDirectionLightsItsOwnMark)
{
    struct Case {
        float degrees;
        int mark; // 0 front, 1 back, 2 one side, 3 the other
    };
    const Case cases[] = {{0, 0},     {45, 0},    {-45, 0},    {45.5f, 2}, {119, 2},   {120, 1},
                          {180, 1},   {-180, 1},  {-120, 1},   {-119, 3},  {-45.5f, 3}};
    for (const Case& c : cases) {
        CompositeState state;
        state.StepHits(true, c.degrees);
        const float marks[4] = {state.hits.x, state.hits.y, state.hits.z, state.hits.w};
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(marks[i], i == c.mark ? 1.0f : 0.0f) << c.degrees << " degrees, mark " << i;
        EXPECT_FLOAT_EQ(state.hitFlag, 1.0f);
    }
}

TEST(CompositeHits, AHitFromBehindFadesOverTenFrames)
{
    CompositeState state;
    state.StepHits(true, 180.0f);
    for (int frame = 1; frame <= 9; ++frame) {
        state.StepHits(false, 0.0f);
        EXPECT_NEAR(state.hits.y, 1.0f - 0.1f * frame, 1e-5f) << frame;
    }
    state.StepHits(false, 0.0f);
    EXPECT_NEAR(state.hits.y, 0.0f, 1e-5f);
    // Whatever is left after the tenth frame is gone after the next two.
    state.StepHits(false, 0.0f);
    state.StepHits(false, 0.0f);
    EXPECT_EQ(state.hits.y, 0.0f);
    EXPECT_EQ(state.hits.x, 0.0f);
    EXPECT_EQ(state.hits.z, 0.0f);
    EXPECT_EQ(state.hits.w, 0.0f);
}

TEST(CompositeLightning, StrikeRisesPastTenThenFallsBackAndStops)
{
    CompositeState state;
    EXPECT_NEAR(state.StepLightning(50), 1.0f, 1e-4f); // no strike: stays at 1
    EXPECT_FALSE(state.lightningActive);
    EXPECT_NEAR(state.StepLightning(99), 1.0f, 1e-4f);
    EXPECT_TRUE(state.lightningActive);
    // Draws below 50 climb by 2.7, the others by 1.9.
    EXPECT_NEAR(state.StepLightning(10), 3.7f, 1e-4f);
    EXPECT_NEAR(state.StepLightning(60), 5.6f, 1e-4f);
    EXPECT_NEAR(state.StepLightning(10), 8.3f, 1e-4f);
    EXPECT_NEAR(state.StepLightning(10), 11.0f, 1e-4f);
    EXPECT_FALSE(state.lightningFading);
    // 10 or more: it turns and falls, whatever the draws say.
    EXPECT_NEAR(state.StepLightning(10), 8.3f, 1e-4f);
    EXPECT_TRUE(state.lightningFading);
    EXPECT_NEAR(state.StepLightning(10), 5.6f, 1e-4f);
    EXPECT_NEAR(state.StepLightning(10), 2.9f, 1e-4f);
    EXPECT_NEAR(state.StepLightning(10), 1.0f, 1e-4f);
    EXPECT_FALSE(state.lightningActive);
    EXPECT_FALSE(state.lightningFading);
    EXPECT_NEAR(state.lightningBrightness, 1.0f, 1e-4f);
}

TEST(CompositeLightning, HighDrawsFlickerBackToOne)
{
    CompositeState state;
    state.StepLightning(99);
    // 1.0 + 1.9 = 2.9, but a draw above 85 shows a dark frame.
    EXPECT_NEAR(state.StepLightning(90), 1.0f, 1e-4f);
    EXPECT_NEAR(state.lightningBrightness, 2.9f, 1e-4f);
    EXPECT_NEAR(state.StepLightning(85), 4.8f, 1e-4f);
}

TEST(CompositeRain, DriftCreepsToItsTargetAndTheCameraPushesIt)
{
    CompositeState state;
    state.previousYaw = 0.0f;
    // At its target (0): a new target (r - 50) / 100.
    EXPECT_FLOAT_EQ(state.StepRain(60, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(state.rainTarget, 0.1f);
    EXPECT_FLOAT_EQ(state.StepRain(1, 0.0f), 0.001f);
    EXPECT_FLOAT_EQ(state.StepRain(1, 0.0f), 0.002f);
    EXPECT_FLOAT_EQ(state.rainTarget, 0.1f);
    // Turning the camera by 0.5 rad pushes the drift by 0.05, once.
    EXPECT_NEAR(state.StepRain(1, 0.5f), 0.053f, 1e-6f);
    EXPECT_NEAR(state.StepRain(1, 0.5f), 0.054f, 1e-6f);
    EXPECT_FLOAT_EQ(state.previousYaw, 0.5f);
}

TEST(CompositeRain, NinetyTwoDrawsAStrongerTarget)
{
    CompositeState state;
    state.previousYaw = 0.0f;
    state.StepRain(92, 0.0f);
    EXPECT_FLOAT_EQ(state.rainTarget, 0.42f * 1.2f);
    CompositeState other;
    other.previousYaw = 0.0f;
    other.StepRain(20, 0.0f);
    EXPECT_FLOAT_EQ(other.rainTarget, -0.3f);
}

TEST(CompositeDamageImages, LaterRangesWinWhereTheyOverlap)
{
    auto order = [](float t) {
        const auto names = DamageTexturesFor(t);
        std::string digits;
        for (const char* name : names)
            digits += std::string(name).substr(std::string("GUI/damage").size(), 1);
        return digits;
    };
    EXPECT_EQ(order(0.0f), "123");
    EXPECT_EQ(order(0.33f), "123");
    EXPECT_EQ(order(0.34f), "213");
    EXPECT_EQ(order(0.5f), "213");
    EXPECT_EQ(order(0.64f), "321");
    EXPECT_EQ(order(12.0f), "321");
}

TEST(CompositeInputsFromTheGame, LifeIsAShareOfTheMaximumAndTheLevelPicksTheWeather)
{
    CPlayer* hero = getPlayer();
    const short life = hero->GetLife();
    const std::uint16_t top = hero->GetTopLife();
    const std::string level = getScenario()->scenarioName;

    hero->SetLifeAndTopLife(35, 350);
    EXPECT_NEAR(GatherCompositeInputs().lifeFraction, 0.1f, 1e-6f);
    // A hero without a maximum yet counts as unhurt, not as a division by 0.
    hero->SetLifeAndTopLife(0, 0);
    EXPECT_FLOAT_EQ(GatherCompositeInputs().lifeFraction, 1.0f);

    getScenario()->scenarioName = "isla";
    EXPECT_TRUE(GatherCompositeInputs().isla);
    getScenario()->scenarioName = "hangares";
    EXPECT_FALSE(GatherCompositeInputs().isla);

    hero->SetLifeAndTopLife(life, top);
    getScenario()->scenarioName = level;
}

} // namespace
