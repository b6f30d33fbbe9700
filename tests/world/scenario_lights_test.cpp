// The rooms' spot lights: the light files and the choice of lights near a point.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/LightCamera.h"
#include "world/Scenario.h"
#include "world/scenario_files.h"

namespace {

using namespace worldtest;

// Ground Manhattan distances are measured from here; heights never count.
const D3DXVECTOR3 kPoint(5.0f, 0.0f, 5.0f);

D3DXVECTOR3 EyeAt(float distance)
{
    return D3DXVECTOR3(kPoint.x + distance * 0.25f, 80.0f, kPoint.z - distance * 0.75f);
}

CLightCamera* LightAt(float distance)
{
    auto* light = new CLightCamera;
    light->SetLookAt(EyeAt(distance), EyeAt(distance) + D3DXVECTOR3(0, -80, 1));
    return light;
}

class ScenarioLights : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteLevel(Room("hangares", "") + Room("isla", ""));
        testing::internal::CaptureStderr(); // no light files yet
        m_Scenario.Load("data/XML/instances.xml");
        testing::internal::GetCapturedStderr();
        ASSERT_NE(m_Scenario.GetCurrentRoom(), nullptr);
    }

    // The current room's lights at these distances from kPoint, in order.
    const std::vector<CLightCamera*>& PlaceLights(const std::vector<float>& distances)
    {
        std::vector<CLightCamera*> lights;
        for (float d : distances)
            lights.push_back(LightAt(d));
        m_Scenario.GetCurrentRoom()->SetLights(lights);
        return m_Scenario.GetCurrentRoom()->GetLights();
    }

    drawtest::ScratchFolder m_Folder{"scenario_lights"};
    CScenario m_Scenario;
};

TEST_F(ScenarioLights, EachRoomReadsItsOwnLightFile)
{
    WriteFile("data/XML/init_configuration.xml", R"(<CONFIG><PROPERTIES width="1600" height="600"/></CONFIG>)");
    WriteSpots(1, 2,
               Spot("1 2 3", "4 5 6") + Spot("-10 200 30", "0 0 0") +
                   // Beyond the count: not read.
                   Spot("7 7 7", "8 8 8"));
    // Fewer spots than announced: no empty light is left in the list.
    WriteSpots(2, 3, Spot("100 100 100", "0 0 0"));
    CScenario scenario;
    scenario.Load("data/XML/instances.xml");

    const std::vector<CLightCamera*>& hangares = scenario.GetCurrentRoom()->GetLights();
    ASSERT_EQ(hangares.size(), 2u);
    EXPECT_EQ(hangares[0]->eye, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(hangares[0]->target, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(hangares[1]->eye, D3DXVECTOR3(-10, 200, 30));
    // The spot lights' tuned projection, at 1600 / 600 in whole numbers.
    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovRH(&expected, 1000.04f, 2.0f, 0.0f, 1500.0f);
    EXPECT_TRUE(hangares[0]->projection == expected);

    scenario.SelectScenario("isla");
    ASSERT_EQ(scenario.GetCurrentRoom()->GetLights().size(), 1u);
    EXPECT_EQ(scenario.GetCurrentRoom()->GetLights()[0]->eye, D3DXVECTOR3(100, 100, 100));
}

TEST_F(ScenarioLights, TheAspectIsAWholeNumberAndNeverZero)
{
    struct Case {
        const char* size;
        float aspect;
    } cases[] = {
        {R"(width="800" height="600")", 1.0f},  {R"(width="1600" height="600")", 2.0f},
        {R"(width="1800" height="600")", 3.0f}, {R"(width="640" height="0")", 1.0f},
        {R"(width="600" height="800")", 1.0f},  {"", 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        WriteFile("data/XML/init_configuration.xml", std::string("<C><PROPERTIES ") + c.size + "/></C>");
        EXPECT_FLOAT_EQ(CRoom::CLightsParser(nullptr).GetAspect(), c.aspect);
    }
}

TEST_F(ScenarioLights, NearestLightPrefersOneWithin1000ThenWithin5000ThenTheFirst)
{
    const float clampedWeight = 0.01f;
    struct Case {
        std::vector<float> distances;
        int best, runnerUp;
        float weight;
    } cases[] = {
        {{1200, 800}, 1, 0, clampedWeight},
        // The runner-up starts as the first light, and here stays it.
        {{800, 1200}, 0, 0, clampedWeight},
        {{1200, 3000}, 0, 0, clampedWeight},
        {{300, 100, 2000}, 1, 0, 1.0f - 100.0f / 350.0f + 0.01f},
        {{100}, 0, 0, 1.0f - 100.0f / 350.0f + 0.01f},
        // Nothing nearer than 5000: the first light, weighed where it is.
        {{6000, 5500}, 0, 0, clampedWeight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.distances));
        const std::vector<CLightCamera*>& lights = PlaceLights(c.distances);
        CLightCamera* best = m_Scenario.GetNearestLight(kPoint);
        ASSERT_EQ(best, lights[c.best]);
        EXPECT_EQ(m_Scenario.GetCurrentRoom()->secondLight, lights[c.runnerUp]);
        EXPECT_NEAR(best->influence, c.weight, 1e-5f);
        EXPECT_FLOAT_EQ(best->range, c.distances[c.best]);
    }

    PlaceLights({});
    EXPECT_EQ(m_Scenario.GetNearestLight(kPoint), nullptr);
}

TEST_F(ScenarioLights, TwoNearestFillsTheFirstTwoSlotsWithCopiesHeavierFirst)
{
    const std::vector<CLightCamera*>& lights = PlaceLights({300, 50, 200});
    CLightCamera slots[4];
    slots[0].SetLookAt(EyeAt(9000), kPoint);
    slots[1].SetLookAt(EyeAt(8000), kPoint);
    slots[2].SetLookAt(EyeAt(10), kPoint);
    slots[3].influence = 0.5f;
    const CLightCamera third = slots[2];
    for (int call = 0; call < 2; ++call) {
        SCOPED_TRACE(call);
        m_Scenario.GetTwoNearestLights(kPoint, &slots[0], &slots[1], &slots[2], &slots[3]);
        EXPECT_EQ(slots[0].eye, lights[1]->eye);
        EXPECT_TRUE(slots[0].view == lights[1]->view);
        EXPECT_NEAR(slots[0].influence, 1.0f - 50.0f / 350.0f, 1e-5f);
        EXPECT_EQ(slots[1].eye, lights[2]->eye);
        EXPECT_NEAR(slots[1].influence, 1.0f - 200.0f / 350.0f, 1e-5f);
    }
    EXPECT_EQ(slots[2].eye, third.eye);
    EXPECT_EQ(slots[2].influence, third.influence);
    EXPECT_EQ(slots[3].influence, 0.5f);

    // A light already in a slot is never copied into the other.
    const std::vector<CLightCamera*>& two = PlaceLights({300, 50});
    slots[0] = *two[1];
    slots[1].SetLookAt(EyeAt(9000), kPoint);
    m_Scenario.GetTwoNearestLights(kPoint, &slots[0], &slots[1], &slots[2], &slots[3]);
    EXPECT_EQ(slots[0].eye, two[1]->eye);
    EXPECT_EQ(slots[1].eye, two[0]->eye);

    // Without room lights the slots are reweighed and ordered; out of reach
    // weighs almost nothing (never below zero).
    PlaceLights({});
    slots[0].SetLookAt(EyeAt(1000), kPoint);
    slots[1].SetLookAt(EyeAt(100), kPoint);
    m_Scenario.GetTwoNearestLights(kPoint, &slots[0], &slots[1], &slots[2], &slots[3]);
    EXPECT_EQ(slots[0].eye, EyeAt(100));
    EXPECT_NEAR(slots[0].influence, 1.0f - 100.0f / 350.0f, 1e-5f);
    EXPECT_EQ(slots[1].eye, EyeAt(1000));
    EXPECT_FLOAT_EQ(slots[1].influence, 0.001f);
}

} // namespace
