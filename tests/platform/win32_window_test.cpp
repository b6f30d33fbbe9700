#include "platform/win32_fixture.h"

namespace win32test {
namespace {

TEST_F(Win32Test, WindowOpensHiddenWithItsClientSizeAndTitle)
{
    SDL_Window* sdl = platform::SdlWindowOf(window);
    ASSERT_NE(sdl, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "The Vantorel");
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    RECT client{-1, -1, -1, -1};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);

    ShowWindow(window, SW_SHOWDEFAULT);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    ShowWindow(window, SW_HIDE);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
}

TEST_F(Win32Test, WindowsNeedARegisteredClass)
{
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_TRUE(UnregisterClassA(kClass, nullptr));
    EXPECT_EQ(Open(0, 0, 10, 10), nullptr);
}

TEST_F(Win32Test, DestroyedWindowSeesWmDestroyWhileAliveThenStaysDead)
{
    SetCapture(window);
    ASSERT_TRUE(DestroyWindow(window));
    ASSERT_EQ(g_Log.size(), 1u);
    EXPECT_EQ(g_Log[0].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_TRUE(g_Log[0].sdlWindowAlive) << "the device is released from WM_DESTROY and needs its window";

    EXPECT_EQ(platform::SdlWindowOf(window), nullptr);
    RECT r{};
    POINT p{};
    EXPECT_FALSE(GetClientRect(window, &r));
    EXPECT_FALSE(ClientToScreen(window, &p));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SetCapture(window), nullptr);

    // Neither a second destroy nor a message for the dead window reaches the procedure.
    EXPECT_FALSE(DestroyWindow(window));
    MSG m{window, WM_CLOSE, 0, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&m), 0);
    EXPECT_EQ(g_Log.size(), 1u);
}

TEST_F(Win32Test, CursorShowsWhileTheDisplayCounterIsNotNegative)
{
    const int start = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    ASSERT_EQ(start, 0) << "the counter starts at 0 with a mouse present";

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

} // namespace
} // namespace win32test
