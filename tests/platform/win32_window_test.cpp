// Windows over SDL: their life, focus and cursor, and SDL's events turned
// into the window messages the game's procedure reads.
#include "platform/win32_fixture.h"

#include <sched.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace win32test {
namespace {

using Kind = std::pair<UINT, WPARAM>;

TEST_F(Win32Test, WindowOpensHiddenWithItsClientSizeAndTitleOnlyOfARegisteredClass)
{
    SDL_Window* sdl = platform::SdlWindowOf(window);
    ASSERT_NE(sdl, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "The Vantorel");
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    RECT client{-1, -1, -1, -1};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_TRUE(client.left == 0 && client.top == 0 && client.right == 320 && client.bottom == 200);
    ShowWindow(window, SW_SHOWDEFAULT);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    ShowWindow(window, SW_HIDE);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);

    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_TRUE(UnregisterClassA(kClass, nullptr));
    EXPECT_EQ(Open(0, 0, 10, 10), nullptr);
}

TEST_F(Win32Test, CursorShowsWhileTheDisplayCounterIsNotNegative)
{
    ASSERT_EQ(ShowCursor(TRUE), 1) << "the counter starts at 0 with a mouse present";
    EXPECT_EQ(ShowCursor(FALSE), 0);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE) << "one show does not undo two hides";
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(Win32Test, FocusFollowsFocusEventsAndSetFocus)
{
    HWND other = Open(400, 10, 32, 32);
    ASSERT_NE(other, nullptr);
    Drain();
    PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
    MSG m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_SETFOCUS));
    EXPECT_EQ(m.hwnd, window);
    EXPECT_EQ(GetFocus(), window);

    // Focus lost by a window that no longer has it changes nothing.
    PushWindowEvent(other, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(GetFocus(), window);
    PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(m.hwnd, window);
    EXPECT_EQ(GetFocus(), nullptr);

    EXPECT_EQ(SetFocus(other), nullptr);
    EXPECT_EQ(GetFocus(), other);
    EXPECT_EQ(SetFocus(window), other);
    DestroyWindow(window);
    EXPECT_EQ(GetFocus(), nullptr);
}

// Keys that type control characters follow with WM_CHAR, as Windows does: the
// console's rubout with each press and repeat, nothing with the release.
TEST_F(Win32Test, KeysArriveAsVirtualKeyCodes)
{
    const std::pair<SDL_Scancode, SDL_Keycode> keys[] = {
        {SDL_SCANCODE_Q, SDLK_a}, // "A" where a French keyboard has it
        {SDL_SCANCODE_0, SDLK_0}, {SDL_SCANCODE_UP, SDLK_UP}, {SDL_SCANCODE_F1, SDLK_F1},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER}, {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE}, {SDL_SCANCODE_KP_9, SDLK_KP_9},
        {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT}, {SDL_SCANCODE_MUTE, SDLK_MUTE}, // no Windows code: not passed on
        {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE}};
    for (const auto& [code, sym] : keys)
        PushKey(window, code, sym, true);
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true, true);
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, false);
    std::vector<Kind> kinds;
    for (const MSG& m : All())
        kinds.emplace_back(m.message, m.wParam);
    EXPECT_EQ(kinds, (std::vector<Kind>{
                           {WM_KEYDOWN, 'A'}, {WM_KEYDOWN, '0'}, {WM_KEYDOWN, VK_UP}, {WM_KEYDOWN, VK_F1},
                           {WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 13}, {WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 27},
                           {WM_KEYDOWN, VK_NUMPAD0 + 9}, {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8},
                           {WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8}, {WM_KEYUP, VK_BACK}}));
}

// A key message carries the key's place as Windows gives it: its scan code in
// bits 16-23, bit 24 for an extended key, bits 30 and 31 for repeat and release.
TEST_F(Win32Test, KeyMessagesCarryTheKeysScanCode)
{
    PushKey(window, SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, true);
    PushKey(window, SDL_SCANCODE_RCTRL, SDLK_RCTRL, true, true);
    PushKey(window, SDL_SCANCODE_RCTRL, SDLK_RCTRL, false);
    std::vector<LPARAM> flags;
    for (const MSG& m : All())
        flags.push_back(m.lParam);
    EXPECT_EQ(flags, (std::vector<LPARAM>{1 | (LPARAM(0x29) << 16), 1 | (LPARAM(0x11D) << 16) | (LPARAM(1) << 30),
                                          1 | (LPARAM(0x11D) << 16) | (LPARAM(3) << 30)}));
}

TEST_F(Win32Test, TypedTextArrivesAsLatin1CharactersOnePerCall)
{
    PushText(window, "a\xC2\xBA"); // the console key's character
    const std::vector<MSG> typed = All();
    ASSERT_EQ(typed.size(), 2u);
    EXPECT_EQ(typed[0].wParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(typed[1].message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(typed[1].hwnd, window);
    EXPECT_EQ(typed[1].wParam, 0xBAu);

    auto chars = [&](const char* text) {
        PushText(window, text);
        std::string got;
        for (const MSG& c : All())
            got += c.message == WM_CHAR ? static_cast<char>(c.wParam) : '?';
        return got;
    };
    // Beyond Latin-1 (the euro sign, a CJK character, an emoji) nothing is sent.
    EXPECT_EQ(chars("\xC3\xA9\xE2\x82\xAC\xC3\xB1\xE4\xB8\xAD\xF0\x9F\x98\x80N"), "\xE9\xF1N");
    // Broken UTF-8 loses only its own bytes, never the characters after it.
    EXPECT_EQ(chars("\xC3" "A" "\xFF" "B" "\x80" "C" "\xE2\x82"), "ABC");
}

// Buttons arrive for their window; moves merge but keep their place around clicks.
TEST_F(Win32Test, MouseButtonsAndMovesArriveInOrder)
{
    for (int i = 1; i <= 50; ++i)
        PushMouse(window, 0, false, i, 2 * i);
    PushMouse(window, SDL_BUTTON_LEFT, true, 12, 34);
    PushMouse(window, SDL_BUTTON_LEFT, false, 13, 35);
    PushMouse(window, SDL_BUTTON_RIGHT, true, 1, 2);
    PushMouse(window, SDL_BUTTON_RIGHT, false, 1, 2);
    PushMouse(window, SDL_BUTTON_MIDDLE, true, 300, 199);
    PushMouse(window, SDL_BUTTON_X1, true, 0, 0); // no Win32 message of ours
    PushMouse(window, 0, false, 3, 3);
    PushMouse(window, 0, false, 4, 4);
    PushMouse(window, SDL_BUTTON_LEFT, true, 5, 6); // second click of a double click

    const UINT expected[] = {WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                             WM_RBUTTONUP,   WM_MBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN};
    const std::vector<MSG> got = All();
    ASSERT_EQ(got.size(), std::size(expected));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].message, expected[i]) << i;
        EXPECT_EQ(got[i].hwnd, window);
    }
    EXPECT_EQ(GET_X_LPARAM(got[0].lParam), 50);
    EXPECT_EQ(GET_Y_LPARAM(got[0].lParam), 100);
    EXPECT_EQ(GET_X_LPARAM(got[6].lParam), 4);
}

// The close button's WM_CLOSE destroys the window through DefWindowProc; the
// procedure sees WM_DESTROY while the window still lives, and then nothing.
TEST_F(Win32Test, CloseButtonDestroysTheWindowWhichThenStaysDead)
{
    g_QuitCodeOnDestroy = 3;
    SetCapture(window);
    PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    MSG m = Next();
    ASSERT_EQ(m.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(m.hwnd, window);
    DispatchMessageA(&m);
    ASSERT_EQ(g_Log.size(), 2u);
    EXPECT_EQ(g_Log[0].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(g_Log[1].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_TRUE(g_Log[1].sdlWindowAlive) << "the device is released from WM_DESTROY and needs its window";
    const std::vector<MSG> rest = All();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(rest[0].hwnd, nullptr);
    EXPECT_EQ(static_cast<int>(rest[0].wParam), 3);

    EXPECT_EQ(platform::SdlWindowOf(window), nullptr);
    RECT r{};
    POINT p{};
    EXPECT_FALSE(GetClientRect(window, &r));
    EXPECT_FALSE(ClientToScreen(window, &p));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SetCapture(window), nullptr);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(DispatchMessageA(&m), 0);
    EXPECT_EQ(g_Log.size(), 2u);
}

TEST_F(Win32Test, DestroyingAWindowDropsItsPendingMessages)
{
    HWND other = Open(400, 10, 32, 32);
    ASSERT_NE(other, nullptr);
    Drain();
    PushKey(window, SDL_SCANCODE_A, SDLK_a, true);
    PushKey(window, SDL_SCANCODE_B, SDLK_b, true);
    PushKey(other, SDL_SCANCODE_C, SDLK_c, true);
    EXPECT_EQ(Next().wParam, static_cast<WPARAM>('A')); // the rest is translated by now
    PushKey(window, SDL_SCANCODE_D, SDLK_d, true);      // and this still waits in SDL

    DestroyWindow(window);
    const std::vector<MSG> rest = All();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].hwnd, other);
    EXPECT_EQ(rest[0].wParam, static_cast<WPARAM>('C'));
}

} // namespace
} // namespace win32test

namespace win32test {
namespace {

// The software renderer's drawing threads: one more than the cores this
// process may run on, and never over a count the user asked for.
TEST(SoftwareDrawingThreads, OneMoreThanTheCoresWeMayRunOnUnlessAlreadyAsked)
{
    const char* before = std::getenv("LP_NUM_THREADS");
    const std::string kept = before ? before : "";
    cpu_set_t all, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof(all), &all), 0);
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    unsetenv("LP_NUM_THREADS");
    platform::PlanSoftwareDrawingThreads();
    const char* planned = std::getenv("LP_NUM_THREADS");
    EXPECT_STREQ(planned ? planned : "", "2");
    setenv("LP_NUM_THREADS", "7", 1);
    platform::PlanSoftwareDrawingThreads();
    EXPECT_STREQ(std::getenv("LP_NUM_THREADS"), "7");
    sched_setaffinity(0, sizeof(all), &all);
    if (before)
        setenv("LP_NUM_THREADS", kept.c_str(), 1);
    else
        unsetenv("LP_NUM_THREADS");
}

} // namespace
} // namespace win32test
