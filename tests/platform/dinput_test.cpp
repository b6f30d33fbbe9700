// Our DirectInput: creation, the device protocol, focus, and the mouse fed by
// SDL's events.
#include "platform/dinput.h"

#include "win32_fixture.h"

#include <cstring>
#include <set>
#include <utility>

namespace win32test {
namespace {

class DirectInputTest : public Win32Test {
protected:
    void SetUp() override
    {
        Win32Test::SetUp();
        void* object = nullptr;
        ASSERT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &object, nullptr), DI_OK);
        di = static_cast<IDirectInput8A*>(object);
        platform::SetDirectInputSource(&fake);
    }
    void TearDown() override
    {
        for (IDirectInputDevice8A* d : devices)
            d->Release();
        if (di)
            di->Release();
        platform::SetDirectInputSource(nullptr);
        Win32Test::TearDown();
    }

    // A device on the test window, not yet acquired; `format` null leaves it unset.
    IDirectInputDevice8A* Device(bool mouse, bool format = true)
    {
        IDirectInputDevice8A* d = nullptr;
        EXPECT_EQ(di->CreateDevice(mouse ? GUID_SysMouse : GUID_SysKeyboard, &d, nullptr), DI_OK);
        if (d)
            devices.push_back(d);
        if (d && format) {
            EXPECT_EQ(d->SetDataFormat(mouse ? &c_dfDIMouse : &c_dfDIKeyboard), DI_OK);
            EXPECT_EQ(d->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        }
        return d;
    }

    static DIMOUSESTATE Read(IDirectInputDevice8A* mouse)
    {
        DIMOUSESTATE s{};
        EXPECT_EQ(mouse->GetDeviceState(sizeof(s), &s), DI_OK);
        return s;
    }

    IDirectInput8A* di = nullptr;
    std::vector<IDirectInputDevice8A*> devices;
    platform::FakeDirectInput fake;
};

// Each step of the protocol is checked; a foreground device reads only while its
// window has the focus, and leaves the caller's buffer alone when it cannot.
TEST_F(DirectInputTest, TheProtocolIsCheckedStepByStepAndTheFocusHoldsTheKeyboard)
{
    IDirectInputDevice8A* k = Device(false, false);
    ASSERT_NE(k, nullptr);
    fake.SetKey(DIK_W, true);
    BYTE keys[256];
    EXPECT_EQ(k->Acquire(), DIERR_INVALIDPARAM); // no data format yet
    EXPECT_EQ(k->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
    EXPECT_EQ(k->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(k->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(k->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    SetFocus(nullptr);
    EXPECT_EQ(k->Acquire(), DIERR_OTHERAPPHASPRIO);
    std::memset(keys, 0x11, sizeof(keys));
    EXPECT_EQ(k->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keys[DIK_W], 0x11);

    SetFocus(window);
    EXPECT_EQ(k->Acquire(), DI_OK);
    EXPECT_EQ(k->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(k->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM); // not while acquired
    EXPECT_EQ(k->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    ASSERT_EQ(k->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_W], 0x80);
    EXPECT_EQ(keys[DIK_S], 0);

    // Another window takes the focus: the input is lost and stays lost.
    SetFocus(Open(200, 10, 32, 32));
    std::memset(keys, 0x11, sizeof(keys));
    EXPECT_EQ(k->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    EXPECT_EQ(keys[DIK_W], 0x11);
    EXPECT_EQ(k->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(k->Acquire(), DIERR_OTHERAPPHASPRIO);

    EXPECT_EQ(di->Release(), 1u) << "the device still holds its DirectInput object";
    di = nullptr;
}

TEST_F(DirectInputTest, EachMouseCountsTheMovementSinceItsOwnLastRead)
{
    SetFocus(window);
    IDirectInputDevice8A* a = Device(true);
    IDirectInputDevice8A* b = Device(true);
    platform::FeedMouseInput(100, 100, 120); // before any acquisition: lost
    ASSERT_EQ(a->Acquire(), DI_OK);
    platform::FeedMouseInput(3, -2, 0);
    ASSERT_EQ(b->Acquire(), DI_OK);
    platform::FeedMouseInput(1, 1, -240);
    fake.SetButton(1, true);

    DIMOUSESTATE s = Read(a);
    EXPECT_TRUE(s.lX == 4 && s.lY == -1 && s.lZ == -240) << s.lX << " " << s.lY << " " << s.lZ;
    EXPECT_EQ(s.rgbButtons[0], 0);
    EXPECT_EQ(s.rgbButtons[1], 0x80);
    s = Read(a);
    EXPECT_TRUE(s.lX == 0 && s.lZ == 0);
    EXPECT_EQ(s.rgbButtons[1], 0x80); // buttons are as they are now
    s = Read(b);
    EXPECT_TRUE(s.lX == 1 && s.lY == 1 && s.lZ == -240) << s.lX << " " << s.lY << " " << s.lZ;

    // An unacquired mouse gathers nothing, and forgets what it had not read.
    platform::FeedMouseInput(9, 9, 0);
    ASSERT_EQ(b->Unacquire(), DI_OK);
    platform::FeedMouseInput(5, 5, 0);
    ASSERT_EQ(b->Acquire(), DI_OK);
    EXPECT_EQ(Read(b).lX, 0);
    EXPECT_EQ(Read(a).lX, 14);
}

// SDL's motion and wheel events move an acquired mouse, which lets go as soon
// as its own window loses the focus.
TEST_F(DirectInputTest, SdlEventsMoveTheMouseAndItsWindowsFocusHoldsIt)
{
    SetFocus(window);
    IDirectInputDevice8A* m = Device(true);
    ASSERT_EQ(m->Acquire(), DI_OK);
    SDL_Event e{};
    e.motion = SDL_MouseMotionEvent{SDL_MOUSEMOTION, 0, IdOf(window), 0, 0, 0, 0, -7, 9};
    Push(e);
    Push(e);
    e.motion.which = SDL_TOUCH_MOUSEID; // touch screens send their own mouse events; they are not the mouse
    Push(e);
    e.wheel = SDL_MouseWheelEvent{SDL_MOUSEWHEEL, 0, IdOf(window), 0, 0, 2, SDL_MOUSEWHEEL_NORMAL};
    Push(e);
    // "Natural" scrolling: the finger moved down.
    e.wheel = SDL_MouseWheelEvent{SDL_MOUSEWHEEL, 0, IdOf(window), 0, 0, 1, SDL_MOUSEWHEEL_FLIPPED};
    Push(e);
    PushWindowEvent(Open(200, 10, 32, 32), SDL_WINDOWEVENT_FOCUS_LOST); // another window's business
    Drain();
    const DIMOUSESTATE s = Read(m);
    EXPECT_EQ(s.lX, -14);
    EXPECT_EQ(s.lY, 18);
    EXPECT_EQ(s.lZ, 120); // 2 notches up, 1 down

    PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    DIMOUSESTATE lost{};
    EXPECT_EQ(m->GetDeviceState(sizeof(lost), &lost), DIERR_NOTACQUIRED) << "no read was needed to notice";
    Drain();
}

TEST(DikFromSdlScancode, KeysKeepTheirPositions)
{
    // The numbers DirectInput gives these keys, whatever the names say; 0 for
    // keys it has no code for and for numbers that are no scancode.
    const std::pair<int, int> cases[] = {{SDL_SCANCODE_W, 0x11},     {SDL_SCANCODE_UP, 200},
                                         {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_KP_PLUS, 0x4E},
                                         {SDL_SCANCODE_AC_BACK, 0},  {-1, 0},
                                         {SDL_NUM_SCANCODES, 0}};
    for (const auto& [scancode, dik] : cases)
        EXPECT_EQ(platform::DikFromSdlScancode(scancode), dik) << scancode;

    // Two keys share a code only where two keyboards put one key in one place.
    std::set<int> seen;
    int shared = 0;
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        const int dik = platform::DikFromSdlScancode(sc);
        shared += dik && !seen.insert(dik).second;
    }
    EXPECT_EQ(shared, 1); // the ISO '#' key and the US backslash
    EXPECT_GE(seen.size(), 100u);
}

} // namespace
} // namespace win32test
