// The running game keeps the memory its frames free for the frames after
// them: a page the system hands out anew costs a fault and its zeroing, and a
// wave's frame once took hundreds of them.
#include "loop_fixture.h"

#include "app/WinMain.h"
#include "platform/crt.h"
#include "platform/heap_figures.h"
#include "platform/page_faults.h"

namespace looptest {
namespace {

// Leaves the main menu at once and ends the game after a few frames of play.
class ShortPlayer : public CGameCalls {
public:
    void UpdateMainMenu(float dt) override
    {
        CGameCalls::UpdateMainMenu(dt);
        getGUI().mainMenuActive = false;
    }
    void RenderFrame(float dt) override
    {
        CGameCalls::RenderFrame(dt);
        if (!getGUI().mainMenuActive && ++frames == 3)
            getGUI().exitRequested = true;
    }

    platform::FakeDirectInput keys;
    int frames = 0;
};

class FramePagesTest : public ShippedRun<ShortPlayer> {
protected:
    FramePagesTest() : ShippedRun("frame_pages") {}
};

TEST_F(FramePagesTest, TheGameKeepsWhatAFrameFreesForTheNextFrame)
{
    // The C library's own setting, as a new process starts with.
    crt::KeepHeapTopForReuse(128 * 1024);
    ASSERT_EQ(VantorelMain(), 0);
    EXPECT_EQ(player.frames, 3);
    // A sanitizer's allocator takes no such setting, and its heap is not the
    // C library's: there is nothing to weigh.
    if (!kHeapMeasured)
        return;
    EXPECT_EQ(crt::HeapTopKept(), crt::kHeapTopKept);
    // What a frame frees at the top of the heap is taken again from there.
    FaultsOfOneHeapRound(20);
    EXPECT_LT(FaultsOfOneHeapRound(20), 100) << "pages faulted in again";
}

} // namespace
} // namespace looptest
