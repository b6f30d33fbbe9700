// A level's own big pictures are filled while the level is set up and kept
// while it is played, so that no frame of play waits for one to be read from
// its file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/FrameRender.h"
#include "app/shipped_folder.h"
#include "app/shipped_game.h"
#include "platform/gl_device.h"
#include "render/TextureManager.h"
#include "scene/Entity3D.h"

namespace {

// The first texture of the level's object of that name, with a reference of
// the caller's own (null when the level has no such object).
IDirect3DTexture9* TextureOfObject(const std::string& name)
{
    for (IEntidad3D* entity : getScenario()->GetRoomObjects())
        if (entity && entity->GetName() == name && entity->GetTexture(0)) {
            entity->GetTexture(0)->AddRef();
            return entity->GetTexture(0);
        }
    return nullptr;
}

// More than ten seconds of frames that draw none of the level's objects.
void LongWhileUndrawn()
{
    for (int i = 0; i < 2; ++i)
        platform::GiveBackIdleTexels(0);
}

void OneFrame()
{
    GetGameCalls().UpdateFrame(1.0f / 30.0f);
    getRigid()->scriptedSequenceRunning = false;
    RenderFrame(1.0f / 30.0f);
}

TEST(LevelPictures, TheLevelsBigPicturesAreFilledAsItIsSetUpAndKeptWhileItIsPlayed)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    shippedgame::LinkedFolder folder;
    ASSERT_TRUE(shippedgame::Start(400, 300));
    // Whatever an earlier start in this process held is let go.
    platform::HoldTexelsOf({});
    LongWhileUndrawn();

    shippedgame::EnterLevel("isla");
    // A banner over the island's path: 768x768, a picture filled on demand.
    IDirect3DTexture9* banner = TextureOfObject("isla_banderolas");
    ASSERT_NE(banner, nullptr);
    EXPECT_TRUE(platform::TexelsResident(banner)) << "filled before the level's first frame";
    OneFrame();
    LongWhileUndrawn();
    EXPECT_TRUE(platform::TexelsResident(banner)) << "kept while undrawn";

    shippedgame::EnterLevel("hangares");
    OneFrame();
    // A comic panel of the level is no object of its play: filled only when drawn.
    IDirect3DTexture9* panel = getTextureManager().GetTexture("vinyetas/hangares/vinyeta1_escena.jpg");
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(platform::TexelsResident(panel));
    LongWhileUndrawn();
    EXPECT_FALSE(platform::TexelsResident(banner)) << "the other level's pictures are given back";
    banner->Release();

    // A new game's set-up holds the hangars' own: the floor's light map (875x938).
    platform::HoldTexelsOf({});
    LongWhileUndrawn();
    IDirect3DTexture9* floor = getTextureManager().GetTexture("lightmaps/hangares_suelo.jpg");
    ASSERT_NE(floor, nullptr);
    EXPECT_FALSE(platform::TexelsResident(floor));
    GetGameCalls().ResetManagers();
    EXPECT_TRUE(platform::TexelsResident(floor));
    shippedgame::Stop();
}

} // namespace
