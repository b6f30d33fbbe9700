#include "input/InputManager.h"

#include "player/IController.h"
#include "player/Player.h"

CInputManager::CInputManager() : m_Gamepad(1) {}

CInputManager::~CInputManager()
{
    m_Keyboard.Release();
    m_Mouse.Release();
}

void CInputManager::Init(HINSTANCE instance, HWND window)
{
    // A start in a process that already played reads every key, button and
    // stick at rest: the hero's controllers ask what is held when they begin.
    m_Keyboard.Create(instance, window);
    m_Mouse.Create(instance, window);
    m_Gamepad = CGamepad(m_Gamepad.GetUserIndex() + 1);
    FillKeyNames();
    m_GamepadConnected = false;
}

CKeyboard CInputManager::GetKeyboardState() const
{
    CKeyboard keyboard = m_Keyboard;
    if (Withheld())
        keyboard.LetGo();
    return keyboard;
}

CMouse CInputManager::GetMouseState() const
{
    CMouse mouse = m_Mouse;
    if (Withheld())
        mouse.LetGo();
    return mouse;
}

CGamepad CInputManager::GetGamepadState() const
{
    CGamepad pad = m_Gamepad;
    if (Withheld())
        pad.LetGo();
    return pad;
}

bool CInputManager::Update()
{
    m_Controller = CurrentController();
    m_Keyboard.Poll();
    m_Mouse.Poll();
    m_GamepadConnected = m_Gamepad.Poll();
    // Keys typed into the console send the hero nothing.
    return !Withheld() && DispatchCommands();
}

IController* CInputManager::CurrentController() const
{
    if (m_ControllerSource)
        return m_ControllerSource();
    return getPlayer()->GetController();
}

int CInputManager::CurrentStateCode() const
{
    // Asked afresh: a code sent earlier in this dispatch may have switched the
    // hero to another controller.
    IController* controller = CurrentController();
    return controller ? controller->GetStateCode() : -1;
}

int CInputManager::GetKeyCode(const std::string& name) const
{
    auto it = m_KeyNames.find(name);
    return it == m_KeyNames.end() ? 0 : it->second;
}

void CInputManager::FillKeyNames()
{
    static const struct {
        const char* name;
        int code;
    } kNames[] = {
        {"DIK_A", DIK_A}, {"DIK_B", DIK_B}, {"DIK_C", DIK_C}, {"DIK_D", DIK_D}, {"DIK_E", DIK_E},
        {"DIK_F", DIK_F}, {"DIK_G", DIK_G}, {"DIK_H", DIK_H}, {"DIK_I", DIK_I}, {"DIK_J", DIK_J},
        {"DIK_K", DIK_K}, {"DIK_L", DIK_L}, {"DIK_M", DIK_M}, {"DIK_N", DIK_N}, {"DIK_O", DIK_O},
        {"DIK_P", DIK_P}, {"DIK_Q", DIK_Q}, {"DIK_R", DIK_R}, {"DIK_S", DIK_S}, {"DIK_T", DIK_T},
        {"DIK_U", DIK_U}, {"DIK_V", DIK_V}, {"DIK_W", DIK_W}, {"DIK_X", DIK_X}, {"DIK_Y", DIK_Y},
        {"DIK_Z", DIK_Z},
        {"DIK_0", DIK_0}, {"DIK_1", DIK_1}, {"DIK_2", DIK_2}, {"DIK_3", DIK_3}, {"DIK_4", DIK_4},
        {"DIK_5", DIK_5}, {"DIK_6", DIK_6}, {"DIK_7", DIK_7}, {"DIK_8", DIK_8}, {"DIK_9", DIK_9},
        {"DIK_F1", DIK_F1}, {"DIK_F2", DIK_F2}, {"DIK_F3", DIK_F3}, {"DIK_F4", DIK_F4},
        {"DIK_F5", DIK_F5}, {"DIK_F6", DIK_F6}, {"DIK_F7", DIK_F7}, {"DIK_F8", DIK_F8},
        {"DIK_F9", DIK_F9},
        {"DIK_UP", DIK_UP}, {"DIK_DOWN", DIK_DOWN}, {"DIK_LEFT", DIK_LEFT}, {"DIK_RIGHT", DIK_RIGHT},
        {"DIK_TAB", DIK_TAB}, {"DIK_ADD", DIK_ADD}, {"DIK_SUBTRACT", DIK_SUBTRACT},
        {"DIK_ESCAPE", DIK_ESCAPE}, {"DIK_TAB", DIK_TAB}, {"DIK_RETURN", DIK_RETURN},
        {"DIK_RCONTROL", DIK_RCONTROL}, {"DIK_LCONTROL", DIK_LCONTROL}, {"DIK_LSHIFT", DIK_LSHIFT},
        {"DIK_RSHIFT", DIK_RSHIFT}, {"DIK_BACKSLASH", DIK_BACKSLASH}, {"DIK_COMMA", DIK_COMMA},
        {"DIK_SPACE", DIK_SPACE},
        // Mouse pseudo-codes.
        {"button_1", 1}, {"button_2", 2}, {"button_3", 3}, {"move_left", 6}, {"move_right", 7},
        {"move_up", 4}, {"move_down", 5}, {"wheel_up", 8}, {"wheel_down", 9},
        // Pad pseudo-codes.
        {"button_A", 10}, {"button_B", 11}, {"button_X", 12}, {"button_Y", 13},
        {"button_start", 18}, {"button_back", 19}, {"dpad_up", 14}, {"dpad_down", 15},
        {"dpad_left", 16}, {"dpad_right", 17}, {"thumb_right_push", 22}, {"thumb_left_push", 23},
        {"shoulder_left", 20}, {"shoulder_right", 21}, {"thumb_right_right", 26},
        {"thumb_right_left", 27}, {"thumb_right_up", 24}, {"thumb_right_down", 25},
        {"thumb_left_right", 30}, {"thumb_left_left", 31}, {"thumb_left_up", 28},
        {"thumb_left_down", 29}, {"left_trigger", 32}, {"right_trigger", 33},
    };
    for (const auto& entry : kNames)
        m_KeyNames.insert({entry.name, entry.code});
}

CInputManager* getInputManager()
{
    static CInputManager manager;
    return &manager;
}
