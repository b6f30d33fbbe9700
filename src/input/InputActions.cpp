// Named actions: the bindings of "data/XML/actionsInputs.xml" and when they fire.

#include "input/InputManager.h"

#include "platform/bounded.h"

namespace {

enum Mode { kNoMode, kPressed, kReleased, kJustPressed };

Mode ModeOf(const std::string& mode)
{
    if (mode == "pressed")
        return kPressed;
    if (mode == "released")
        return kReleased;
    if (mode == "just_pressed")
        return kJustPressed;
    return kNoMode;
}

// A direction of an axis: sign > 0 fires on positive values, sign < 0 on negative ones.
bool HasSign(float value, int sign)
{
    return sign > 0 ? value > 0.0f : value < 0.0f;
}

// The common rule for inputs that are either held or not.
bool Edge(int mode, bool now, bool before)
{
    switch (mode) {
    case kPressed: return now;
    case kReleased: return before && !now;
    case kJustPressed: return now && !before;
    default: return false;
    }
}

bool IsBindingType(const std::string& type)
{
    return type == "K" || type == "k" || type == "M" || type == "m" || type == "C" || type == "c";
}

} // namespace

void CInputManager::LoadActions(const std::string& file)
{
    LoadXMLSaying(file);
}

void CInputManager::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name != "ACTION")
        return;
    ActionBinding binding{attributes.GetString("type", ""), attributes.GetString("key", ""),
                          attributes.GetString("mode", "")};
    const std::string action = attributes.GetString("name", "");
    // Such a binding stays in the table and never fires; a mistyped name
    // would otherwise leave a control dead without a word.
    std::string fault;
    if (!IsBindingType(binding.type))
        fault = "unknown type \"" + bounded::Echoed(binding.type) + "\"";
    else if (!m_KeyNames.count(binding.key))
        fault = "unknown key name \"" + bounded::Echoed(binding.key) + "\"";
    else if (ModeOf(binding.mode) == kNoMode)
        fault = "unknown mode \"" + bounded::Echoed(binding.mode) + "\"";
    if (!fault.empty())
        bounded::SayOnce(bounded::Echoed(GetStreamName()) + ": action \"" + bounded::Echoed(action) + "\": " +
                         fault + ", the binding never fires");
    m_Actions.insert({action, binding});
}

bool CInputManager::IsAction(const std::string& name) const
{
    if (Withheld())
        return false;
    auto range = m_Actions.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) {
        if (Fires(it->second))
            return true;
    }
    return false;
}

bool CInputManager::Fires(const ActionBinding& binding) const
{
    const int mode = ModeOf(binding.mode);
    if (mode == kNoMode)
        return false;
    const int code = GetKeyCode(binding.key);
    if (binding.type == "K" || binding.type == "k")
        return KeyboardFires(code, mode);
    if (binding.type == "M" || binding.type == "m")
        return MouseFires(code, mode);
    if (binding.type == "C" || binding.type == "c")
        return PadFires(code, mode);
    return false;
}

bool CInputManager::KeyboardFires(int code, int mode) const
{
    switch (mode) {
    case kPressed: return m_Keyboard.IsKeyDown(code);
    case kReleased: return m_Keyboard.IsKeyReleased(code);
    case kJustPressed: return m_Keyboard.IsKeyJustPressed(code);
    default: return false;
    }
}

bool CInputManager::MouseFires(int code, int mode) const
{
    const DIMOUSESTATE& now = m_Mouse.GetCurrentState();
    const DIMOUSESTATE& before = m_Mouse.GetPreviousState();
    if (code >= 1 && code <= 3) {
        const int button = code - 1;
        return Edge(mode, (now.rgbButtons[button] & 0x80) != 0, (before.rgbButtons[button] & 0x80) != 0);
    }
    LONG v, p;
    int sign;
    switch (code) {
    case 4: v = now.lY; p = before.lY; sign = -1; break; // move_up
    case 5: v = now.lY; p = before.lY; sign = 1; break;  // move_down
    case 6: v = now.lX; p = before.lX; sign = -1; break; // move_left
    case 7: v = now.lX; p = before.lX; sign = 1; break;  // move_right
    case 8: v = now.lZ; p = before.lZ; sign = 1; break;  // wheel_up
    case 9: v = now.lZ; p = before.lZ; sign = -1; break; // wheel_down
    default: return false;
    }
    // Movement "just pressed" compares the two counts, whatever their signs:
    // the mouse sped up in that direction.
    if (mode == kJustPressed && code <= 7)
        return sign < 0 ? v < p : v > p;
    return Edge(mode, HasSign(float(v), sign), HasSign(float(p), sign));
}

bool CInputManager::PadFires(int code, int mode) const
{
    static const WORD kButtons[] = {
        XINPUT_GAMEPAD_A, XINPUT_GAMEPAD_B, XINPUT_GAMEPAD_X, XINPUT_GAMEPAD_Y,
        XINPUT_GAMEPAD_DPAD_UP, XINPUT_GAMEPAD_DPAD_DOWN, XINPUT_GAMEPAD_DPAD_LEFT, XINPUT_GAMEPAD_DPAD_RIGHT,
        XINPUT_GAMEPAD_START, XINPUT_GAMEPAD_BACK, XINPUT_GAMEPAD_LEFT_SHOULDER, XINPUT_GAMEPAD_RIGHT_SHOULDER,
        XINPUT_GAMEPAD_RIGHT_THUMB, XINPUT_GAMEPAD_LEFT_THUMB,
    };
    const CGamepad& pad = m_Gamepad;
    if (code >= 10 && code <= 23) {
        const WORD bit = kButtons[code - 10];
        return Edge(mode, (pad.GetCurrentState().Gamepad.wButtons & bit) != 0,
                    (pad.GetPreviousState().Gamepad.wButtons & bit) != 0);
    }
    float v, p;
    int sign;
    switch (code) {
    case 24: v = pad.GetRightStickY(); p = pad.GetPrevRightStickY(); sign = 1; break;
    case 25: v = pad.GetRightStickY(); p = pad.GetPrevRightStickY(); sign = -1; break;
    case 26: v = pad.GetRightStickX(); p = pad.GetPrevRightStickX(); sign = 1; break;
    case 27: v = pad.GetRightStickX(); p = pad.GetPrevRightStickX(); sign = -1; break;
    case 28: v = pad.GetLeftStickY(); p = pad.GetPrevLeftStickY(); sign = 1; break;
    case 29: v = pad.GetLeftStickY(); p = pad.GetPrevLeftStickY(); sign = -1; break;
    case 30: v = pad.GetLeftStickX(); p = pad.GetPrevLeftStickX(); sign = 1; break;
    case 31: v = pad.GetLeftStickX(); p = pad.GetPrevLeftStickX(); sign = -1; break;
    case 32: v = pad.GetLeftTrigger(); p = pad.GetPrevLeftTrigger(); sign = 1; break;
    case 33: v = pad.GetRightTrigger(); p = pad.GetPrevRightTrigger(); sign = 1; break;
    default: return false;
    }
    return Edge(mode, HasSign(v, sign), HasSign(p, sign));
}
