#include "platform/win32_fixture.h"

#include <string>

namespace win32test {
namespace {

TEST_F(Win32Test, KeysArriveAsVirtualKeyCodes)
{
    struct Case {
        SDL_Scancode code;
        SDL_Keycode sym;
        UINT vk;
    };
    const Case cases[] = {
        {SDL_SCANCODE_A, SDLK_a, 'A'},
        {SDL_SCANCODE_Q, SDLK_a, 'A'}, // "A" where a French keyboard has it
        {SDL_SCANCODE_0, SDLK_0, '0'},
        {SDL_SCANCODE_UP, SDLK_UP, VK_UP},
        {SDL_SCANCODE_F1, SDLK_F1, VK_F1},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, VK_RETURN},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, VK_RETURN},
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, VK_ESCAPE},
        {SDL_SCANCODE_KP_9, SDLK_KP_9, VK_NUMPAD0 + 9},
        {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, VK_SHIFT},
        {SDL_SCANCODE_PERIOD, SDLK_PERIOD, VK_OEM_PERIOD},
    };
    for (const Case& c : cases)
        PushKey(window, c.code, c.sym, true);
    for (const Case& c : cases) {
        MSG m{};
        ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
        EXPECT_EQ(m.hwnd, window);
        EXPECT_EQ(m.wParam, c.vk) << SDL_GetScancodeName(c.code);
    }
    // The keys that type control characters follow with WM_CHAR, as Windows does.
    for (WPARAM control : {13, 13, 27}) {
        MSG m = Next();
        EXPECT_EQ(m.message, static_cast<UINT>(WM_CHAR));
        EXPECT_EQ(m.wParam, control);
    }
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_NULL));

    // A key with no Windows code is not passed on.
    PushKey(window, SDL_SCANCODE_MUTE, SDLK_MUTE, true);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_NULL));
}

TEST_F(Win32Test, KeyRepeatsAndReleasesCarryTheirStateBits)
{
    // Held Backspace: each press and repeat also types a character 8 (the
    // console's rubout); the release types nothing.
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true);
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true, true);
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, false);

    const LPARAM previousState = LPARAM(1) << 30, released = LPARAM(1) << 31;
    MSG first = Next(), char1 = Next(), repeat = Next(), char2 = Next(), up = Next();
    EXPECT_EQ(first.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(first.lParam & 0xFFFF, 1);
    EXPECT_EQ(first.lParam & (previousState | released), 0);
    EXPECT_EQ(char1.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(char1.wParam, 8u);
    EXPECT_EQ(repeat.message, static_cast<UINT>(WM_KEYDOWN)) << "repeats are key presses too";
    EXPECT_EQ(repeat.wParam, static_cast<WPARAM>(VK_BACK));
    EXPECT_EQ(repeat.lParam & (previousState | released), previousState);
    EXPECT_EQ(char2.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(up.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(up.wParam, static_cast<WPARAM>(VK_BACK));
    EXPECT_EQ(up.lParam & (previousState | released), previousState | released);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_NULL));
}

TEST_F(Win32Test, TypedTextArrivesAsLatin1CharactersOnePerCall)
{
    PushText(window, "a\xC2\xBA"); // the console key's character
    MSG first{}, second{}, none{};
    ASSERT_TRUE(PeekMessageA(&first, nullptr, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&second, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(first.wParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(second.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(second.hwnd, window);
    EXPECT_EQ(second.wParam, 0xBAu);

    auto chars = [&](const char* text) {
        PushText(window, text);
        std::string got;
        for (MSG c = Next(); c.message == WM_CHAR; c = Next())
            got += static_cast<char>(c.wParam);
        return got;
    };
    // Beyond Latin-1 (the euro sign, a CJK character, an emoji) nothing is sent.
    EXPECT_EQ(chars("\xC3\xA9\xE2\x82\xAC\xC3\xB1\xE4\xB8\xAD\xF0\x9F\x98\x80N"), "\xE9\xF1N");
    // Broken UTF-8 loses only its own bytes, never the characters after it.
    EXPECT_EQ(chars("\xC3" "A" "\xFF" "B" "\x80" "C" "\xE2\x82"), "ABC");
}

TEST_F(Win32Test, MouseButtonsArriveWithTheirPosition)
{
    PushMouse(window, SDL_BUTTON_LEFT, true, 12, 34);
    PushMouse(window, SDL_BUTTON_LEFT, false, 13, 35);
    PushMouse(window, SDL_BUTTON_RIGHT, true, 1, 2);
    PushMouse(window, SDL_BUTTON_MIDDLE, true, 300, 199);
    PushMouse(window, SDL_BUTTON_MIDDLE, false, 300, 199);
    PushMouse(window, SDL_BUTTON_X1, true, 0, 0); // no Win32 message of ours
    PushMouse(window, SDL_BUTTON_LEFT, true, 5, 6); // second click of a double click

    const UINT expected[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MBUTTONUP,
                             WM_LBUTTONDOWN};
    std::vector<MSG> got;
    for (MSG m = Next(); m.message != WM_NULL; m = Next())
        got.push_back(m);
    ASSERT_EQ(got.size(), std::size(expected));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].message, expected[i]) << i;
        EXPECT_EQ(got[i].hwnd, window);
    }
    EXPECT_EQ(GET_X_LPARAM(got[3].lParam), 300);
    EXPECT_EQ(GET_Y_LPARAM(got[3].lParam), 199);
    EXPECT_TRUE(got[0].wParam & MK_LBUTTON);
    EXPECT_FALSE(got[1].wParam & MK_LBUTTON);
    // The message's pointer position is in screen coordinates (window at 10, 10).
    EXPECT_EQ(got[0].pt.x, 22);
    EXPECT_EQ(got[0].pt.y, 44);
}

TEST_F(Win32Test, MouseMovesMergeButKeepTheirPlaceAroundClicks)
{
    for (int i = 1; i <= 50; ++i)
        PushMouse(window, 0, false, i, 2 * i);
    MSG m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(m.lParam), 50);
    EXPECT_EQ(GET_Y_LPARAM(m.lParam), 100);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_NULL));

    PushMouse(window, 0, false, 1, 1);
    PushMouse(window, SDL_BUTTON_LEFT, true, 2, 2);
    PushMouse(window, 0, false, 3, 3);
    PushMouse(window, 0, false, 4, 4);
    MSG a = Next(), b = Next(), c = Next();
    EXPECT_EQ(a.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(a.lParam), 1);
    EXPECT_EQ(b.message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(c.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(c.lParam), 4);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_NULL));
}

TEST_F(Win32Test, CloseButtonDestroysTheWindowAndEndsWithQuit)
{
    g_QuitCodeOnDestroy = 3;
    PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    MSG m = Next();
    ASSERT_EQ(m.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(m.hwnd, window);
    DispatchMessageA(&m);

    ASSERT_EQ(g_Log.size(), 2u);
    EXPECT_EQ(g_Log[0].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(g_Log[1].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(platform::SdlWindowOf(window), nullptr);

    m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(static_cast<int>(m.wParam), 3);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_NULL));
}

TEST_F(Win32Test, PeekFiltersByWindowAndRangeAndCanLeaveTheMessage)
{
    HWND other = Open(400, 10, 32, 32);
    ASSERT_NE(other, nullptr);
    Drain();
    PushKey(window, SDL_SCANCODE_A, SDLK_a, true);
    PushText(window, "a");
    PushKey(other, SDL_SCANCODE_B, SDLK_b, true);

    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, other, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.hwnd, other);
    ASSERT_TRUE(PeekMessageA(&m, other, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>('B'));
    EXPECT_FALSE(PeekMessageA(&m, other, 0, 0, PM_REMOVE));

    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_CHAR));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE));

    // WM_QUIT passes any range but belongs to no window.
    PostQuitMessage(0);
    EXPECT_FALSE(PeekMessageA(&m, other, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));

    EXPECT_EQ(Next().wParam, static_cast<WPARAM>('A'));
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
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
    MSG m = Next();
    EXPECT_EQ(m.hwnd, other);
    EXPECT_EQ(m.wParam, static_cast<WPARAM>('C'));
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_NULL));
}

} // namespace
} // namespace win32test
