// SDL's events turned into the window messages the game's procedure reads.
#include "platform/win32_fixture.h"

#include <string>

namespace win32test {
namespace {

using Kind = std::pair<UINT, WPARAM>;

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
        {SDL_SCANCODE_MUTE, SDLK_MUTE, 0}, // no Windows code: not passed on
    };
    for (const Case& c : cases)
        PushKey(window, c.code, c.sym, true);
    for (const Case& c : cases) {
        MSG m{};
        if (c.vk == 0)
            continue;
        ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
        EXPECT_EQ(m.hwnd, window);
        EXPECT_EQ(m.wParam, c.vk) << SDL_GetScancodeName(c.code);
    }
    // The keys that type control characters follow with WM_CHAR, as Windows does.
    EXPECT_EQ(Kinds(), (std::vector<Kind>{{WM_CHAR, 13}, {WM_CHAR, 13}, {WM_CHAR, 27}}));
}

TEST_F(Win32Test, HeldBackspaceTypesARuboutWithEachPressAndRepeat)
{
    // The console's rubout is character 8; the release types nothing.
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true);
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true, true);
    PushKey(window, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, false);
    EXPECT_EQ(Kinds(), (std::vector<Kind>{
                           {WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8}, {WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8}, {WM_KEYUP, VK_BACK}}));
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
        for (const MSG& c : All())
            got += c.message == WM_CHAR ? static_cast<char>(c.wParam) : '?';
        return got;
    };
    // Beyond Latin-1 (the euro sign, a CJK character, an emoji) nothing is sent.
    EXPECT_EQ(chars("\xC3\xA9\xE2\x82\xAC\xC3\xB1\xE4\xB8\xAD\xF0\x9F\x98\x80N"), "\xE9\xF1N");
    // Broken UTF-8 loses only its own bytes, never the characters after it.
    EXPECT_EQ(chars("\xC3" "A" "\xFF" "B" "\x80" "C" "\xE2\x82"), "ABC");
}

TEST_F(Win32Test, MouseButtonsArriveForTheirWindow)
{
    PushMouse(window, SDL_BUTTON_LEFT, true, 12, 34);
    PushMouse(window, SDL_BUTTON_LEFT, false, 13, 35);
    PushMouse(window, SDL_BUTTON_RIGHT, true, 1, 2);
    PushMouse(window, SDL_BUTTON_RIGHT, false, 1, 2);
    PushMouse(window, SDL_BUTTON_MIDDLE, true, 300, 199);
    PushMouse(window, SDL_BUTTON_X1, true, 0, 0); // no Win32 message of ours
    PushMouse(window, SDL_BUTTON_LEFT, true, 5, 6); // second click of a double click

    const UINT expected[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN,
                             WM_LBUTTONDOWN};
    const std::vector<MSG> got = All();
    ASSERT_EQ(got.size(), std::size(expected));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].message, expected[i]) << i;
        EXPECT_EQ(got[i].hwnd, window);
    }
}

TEST_F(Win32Test, MouseMovesMergeButKeepTheirPlaceAroundClicks)
{
    for (int i = 1; i <= 50; ++i)
        PushMouse(window, 0, false, i, 2 * i);
    PushMouse(window, SDL_BUTTON_LEFT, true, 2, 2);
    PushMouse(window, 0, false, 3, 3);
    PushMouse(window, 0, false, 4, 4);
    const std::vector<MSG> got = All();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(got[0].lParam), 50);
    EXPECT_EQ(GET_Y_LPARAM(got[0].lParam), 100);
    EXPECT_EQ(got[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(got[2].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(got[2].lParam), 4);
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

    const std::vector<MSG> rest = All();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(rest[0].hwnd, nullptr);
    EXPECT_EQ(static_cast<int>(rest[0].wParam), 3);
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
