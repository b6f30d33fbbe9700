// A new game in the shipped harbour: an enemy of wave_03 brought up to the
// hero hands him a fight, which the player wins with the mouse buttons the
// prompts show, or loses by pressing nothing.
#include "loop_fixture.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/MainConfig.h"
#include "app/WinMain.h"
#include "enemies/Enemy.h"
#include "enemies/EnemyManager.h"
#include "gui/Achievements.h"
#include "gui/GUIManager.h"
#include "platform/dinput.h"
#include "platform/offscreen_device_fixture.h"
#include "platform/sdl_window.h"
#include "render/EffectManager.h"
#include "player/ControllerSelector.h"
#include "player/FightingController.h"
#include "player/IController.h"
#include "player/Player.h"
#include "scene/CharacterEntity.h"
#include "script/ScriptHost.h"
#include "world/CollisionManager.h"

namespace looptest {
namespace {

// What the end of the fight left, read back the frame it ended.
struct FightEnd {
    int frame = 0;
    int heroState = -1;
    std::string selector;
    float timeScale = 0.0f;
    bool frozen = true;
    bool hintShown = true;
    int life = 0;
    std::uint16_t enemyState = 0;
    bool enemyDying = false, enemyPartner = true, enemyVisible = false, knockedOut = false;
    D3DXVECTOR3 hero{0, 0, 0}, enemy{0, 0, 0}, heroBack{0, 0, 0}, enemyBack{0, 0, 0};
};

// Only this cycle is blended on the entity.
bool OnlyCycle(CCharacterEntity* entity, const std::string& name)
{
    if (entity->GetCycleCount() == 0 || !entity->ClearCycle(name, 0.0f))
        return false;
    entity->Update(0.0f);
    const bool only = entity->GetCycleCount() == 0;
    entity->BlendCycle(name, 1.0f, 0.0f);
    return only;
}

const char* KnockOutCycle(int kind)
{
    switch (kind) {
    case 49: return "combo3_KO_idle";
    case 50: return "combo2_KO_idle";
    case 51: return "combo3_bofetadaygolf_death00";
    default: return "combo2_patadaycodazo_death00";
    }
}

class FightingPlayer : public NewGamePlayer {
public:
    explicit FightingPlayer(bool answer) : m_Answer(answer) {}

    void UpdateFrame(float dt) override
    {
        const int frame = frames + 1;
        keys.SetKey(DIK_SPACE, frame == 2 || frame == 4);
        if (frame == kZoneFrame)
            getScriptHost().RunCommand("Zone room01 wave_03");
        if (frame == kRunUpFrame) {
            const D3DXVECTOR3 hero = getPlayer()->GetPosition().GetPosition();
            getCollisionManager().setNewEnemyPosition("ene_10", hero + D3DXVECTOR3(0, 0, 110));
        }
        // The prompt's sign on screen is answered with its button: the left
        // mouse button for X, the right one for Y, down for one frame.
        const CGUIManager& gui = getGUI();
        const bool x = m_Answer && gui.comboHintActive && gui.comboHintX && !m_Down;
        const bool y = m_Answer && gui.comboHintActive && gui.comboHintY && !m_Down;
        keys.SetButton(0, x);
        keys.SetButton(1, y);
        m_Down = x || y;
        presses += m_Down ? 1 : 0;

        CGameCalls::UpdateFrame(dt);
        ++frames;
        Watch();
        if (frames == closeAt || frames == kLastFrame)
            PushWindowClose();
    }

    // The first frame that shows a prompt is drawn again without it: the sign
    // is what differs, inside the rectangle of the element the HUD drew it
    // with. The composite's state and the sign's blink are put back first: a
    // hit a moment before fades a step at every draw.
    void RenderFrame(float dt) override
    {
        CGUIManager& gui = getGUI();
        const bool prompt = !signCompared && gui.comboHintActive && (gui.comboHintX || gui.comboHintY);
        if (!prompt) {
            CGameCalls::RenderFrame(dt);
            return;
        }
        signCompared = true;
        const CompositeState composite = getEffectManager().GetCompositeState();
        const int blinkCell = gui.comboBlinkCell;
        const float blinkTimer = gui.comboBlinkTimer;
        std::vector<std::string> drawn;
        gui.drawLog = &drawn;
        CGameCalls::RenderFrame(dt);
        gui.drawLog = nullptr;
        std::vector<D3DCOLOR> with, without;
        devicetest::ReadBackBuffer(D3DDevice, &with);

        const bool x = gui.comboHintX, y = gui.comboHintY;
        gui.comboHintX = gui.comboHintY = false;
        getEffectManager().GetCompositeState() = composite;
        gui.comboBlinkCell = blinkCell;
        gui.comboBlinkTimer = blinkTimer;
        CGameCalls::RenderFrame(dt);
        devicetest::ReadBackBuffer(D3DDevice, &without);
        gui.comboHintX = x;
        gui.comboHintY = y;

        const auto sign = std::find_if(drawn.begin(), drawn.end(),
                                       [](const std::string& name) { return name.rfind("COMBO_", 0) == 0; });
        if (sign == drawn.end() || with.size() != without.size() ||
            with.size() != static_cast<size_t>(width) * height)
            return;
        signElement = sign->substr(0, sign->find(':'));
        const GUIElement& element = gui.GetElement(signElement);
        const float halfHeight = element.alto * 0.5f * height;
        const float halfWidth = element.alto * element.aspect * 0.5f * height;
        const int x0 = static_cast<int>(element.posX * width - halfWidth);
        const int x1 = static_cast<int>(element.posX * width + halfWidth) + 1;
        const int y0 = static_cast<int>(element.posY * height - halfHeight);
        const int y1 = static_cast<int>(element.posY * height + halfHeight) + 1;
        for (int py = 0; py < height; ++py)
            for (int px = 0; px < width; ++px) {
                if (with[py * width + px] == without[py * width + px])
                    continue;
                const bool inside = px >= x0 && px < x1 && py >= y0 && py < y1;
                (inside ? signPixels : otherPixels) += 1;
            }
    }

    void Watch()
    {
        CEnemy* enemy = getEnemyManager()->getThisBotOfCurrentWave("ene_10");
        IController* controller = getPlayer()->GetController();
        const int state = controller ? controller->GetStateCode() : -1;
        if (state == 43 && !began) {
            began = frames;
            kind = getPlayer()->GetControllerSelector()->GetFightingController()->GetKind();
            lifeBefore = getPlayer()->GetLife();
        }
        if (state == 43) {
            slowed = slowed || GameTimeScale < 0.1f;
            signShown = signShown || getGUI().comboHintX || getGUI().comboHintY;
        }
        if (began && state != 43 && !end.frame && enemy) {
            CIAEnemyCover* ai = enemy->getIA();
            end.frame = frames;
            end.heroState = state;
            end.selector = getPlayer()->GetControllerSelector()->GetStateName();
            end.timeScale = GameTimeScale;
            end.frozen = getEnemyManager()->IsFrozen();
            end.hintShown = getGUI().comboHintActive;
            end.life = getPlayer()->GetLife();
            end.enemyState = ai->GetState();
            end.enemyDying = ai->IsDying();
            end.enemyPartner = ai->IsFightingPartner();
            end.enemyVisible = enemy->GetEntity()->IsVisible();
            end.knockedOut = OnlyCycle(enemy->GetEntity(), KnockOutCycle(kind));
            end.heroBack = ai->GetLastSeenPlayerPosition();
            end.enemyBack = ai->GetLastSeenOwnPosition();
            closeAt = frames + 2;
        }
        if (end.frame && frames == end.frame + 1) {
            end.hero = getPlayer()->GetPosition().GetPosition();
            end.enemy = enemy->GetPosition().GetPosition();
        }
    }


    static constexpr int kZoneFrame = 8;
    static constexpr int kRunUpFrame = 11;
    static constexpr int kLastFrame = 900;
    int frames = 0, began = 0, kind = 0, presses = 0, closeAt = -1, lifeBefore = 0;
    bool slowed = false, signShown = false, signCompared = false;
    int signPixels = 0, otherPixels = 0;
    std::string signElement;
    FightEnd end;

private:
    bool m_Answer;
    bool m_Down = false;
};

class MeleeFightRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ResetGameState();
        platform::SetClock(&clock);
        LinkShippedGame();
    }
    void TearDown() override
    {
        platform::SetDirectInputSource(nullptr);
        platform::SetClock(nullptr);
        ResetGameState();
    }
    void Play(FightingPlayer& player)
    {
        platform::SetDirectInputSource(&player.keys);
        SetGameCalls(&player);
        ASSERT_EQ(VantorelMain(), 0);
        ASSERT_GT(player.began, 0) << "the enemy handed the hero a fight";
        ASSERT_GT(player.end.frame, 0) << "the fight ended";
    }
    static void ExpectHeroFree(const FightEnd& end)
    {
        EXPECT_EQ(end.selector, "FREE");
        EXPECT_TRUE(end.heroState == 30 || end.heroState == 31) << end.heroState;
        EXPECT_FLOAT_EQ(end.timeScale, 1.0f);
        EXPECT_FALSE(end.frozen);
        EXPECT_FALSE(end.hintShown);
        EXPECT_FALSE(end.enemyPartner);
    }

    drawtest::ScratchFolder folder{"meleefight"};
    // Each read of the clock moves it 10 ms: a frame of the game loop takes a few.
    SteppingClock clock{0.01};
};

TEST_F(MeleeFightRun, AnsweringEveryPromptWithItsButtonWinsAndTheEnemyLiesKnockedOut)
{
    FightingPlayer player(true);
    Play(player);
    EXPECT_TRUE(player.slowed) << "time slowed at the prompts";
    EXPECT_TRUE(player.signShown);
    ASSERT_TRUE(player.signCompared);
    EXPECT_EQ(player.signElement.rfind("COMBO_X", 0) == 0 || player.signElement.rfind("COMBO_Y", 0) == 0, true)
        << player.signElement;
    EXPECT_GT(player.signPixels, 300) << "the X or Y sign on screen, where its element stands";
    EXPECT_EQ(player.otherPixels, 0) << "nothing but the sign differs";
    const int hits = player.kind == 49 || player.kind == 51 ? 3 : 2;
    EXPECT_EQ(player.presses, hits);
    const FightEnd& end = player.end;
    ExpectHeroFree(end);
    EXPECT_EQ(end.life, player.lifeBefore);
    EXPECT_TRUE(end.enemyDying);
    EXPECT_EQ(end.enemyState, CIAEnemyCover::DEAD);
    EXPECT_TRUE(end.enemyVisible) << "its body lies there";
    EXPECT_TRUE(end.knockedOut) << KnockOutCycle(player.kind);
    // A new game counts its fights won from none, whatever a run before won.
    EXPECT_EQ(getAchievementStats().meleeWins, 1);
}

TEST_F(MeleeFightRun, PressingNothingLosesTwentyLifeAndPutsBothBack)
{
    FightingPlayer player(false);
    Play(player);
    EXPECT_EQ(player.presses, 0);
    const FightEnd& end = player.end;
    ExpectHeroFree(end);
    EXPECT_EQ(end.life, player.lifeBefore - 20);
    EXPECT_FALSE(end.enemyDying);
    EXPECT_EQ(end.enemyState, CIAEnemyCover::SEARCHING);
    // The frame after, both stand where they were when the hero came near.
    EXPECT_NEAR(end.hero.x, end.heroBack.x, 1.0f);
    EXPECT_NEAR(end.hero.z, end.heroBack.z, 1.0f);
    EXPECT_NEAR(end.enemy.x, end.enemyBack.x, 1.0f);
    EXPECT_NEAR(end.enemy.z, end.enemyBack.z, 1.0f);
}

} // namespace
} // namespace looptest
