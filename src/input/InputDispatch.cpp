// The fixed action codes: keys, mouse buttons and pad inputs turned into
// pressed and released events for the hero's current controller.

#include "input/InputManager.h"

#include "player/IController.h"

void CInputManager::Press(int code)
{
    if (m_Controller)
        m_Controller->OnActionPressed(code);
}

void CInputManager::Release(int code)
{
    if (m_Controller)
        m_Controller->OnActionReleased(code);
}

bool CInputManager::StickMayStopHero() const
{
    // Entering, jumping over and reloading in cover (and state 46) play out by
    // themselves: a resting stick must not cut them short.
    const int state = CurrentStateCode();
    return state != 38 && state != 37 && state != 46 && state != 63;
}

void CInputManager::ReleaseMovement()
{
    Release(ACTION_FORWARD);
    Release(ACTION_BACK);
    Release(ACTION_LEFT);
    Release(ACTION_RIGHT);
}

bool CInputManager::DispatchCommands()
{
    const bool keyboard = m_Keyboard.HasChanged();
    const bool mouse = m_Mouse.HasChanged();
    const bool pad = m_Gamepad.HasChanged();
    if (keyboard)
        DispatchKeyboard();
    if (mouse)
        DispatchMouse();
    if (pad)
        DispatchPad();

    // Every frame, not only when the pad changed: a pad whose stick rests
    // keeps the hero from walking on a key released meanwhile.
    CGamepad again = m_Gamepad;
    if (again.PollState() && StickMayStopHero() && m_Gamepad.GetLeftStickX() == 0.0f &&
        m_Gamepad.GetLeftStickY() == 0.0f)
        ReleaseMovement();

    return keyboard || mouse || pad;
}

void CInputManager::DispatchKeyboard()
{
    const CKeyboard& k = m_Keyboard;
    if (k.IsKeyJustPressed(DIK_W)) Press(ACTION_FORWARD);
    if (k.IsKeyJustPressed(DIK_S)) Press(ACTION_BACK);
    if (k.IsKeyJustPressed(DIK_D)) Press(ACTION_RIGHT);
    if (k.IsKeyJustPressed(DIK_A)) Press(ACTION_LEFT);

    if (k.IsKeyReleased(DIK_W)) Release(ACTION_FORWARD);
    if (k.IsKeyReleased(DIK_S)) Release(ACTION_BACK);
    if (k.IsKeyReleased(DIK_D)) Release(ACTION_RIGHT);
    if (k.IsKeyReleased(DIK_A)) Release(ACTION_LEFT);

    if (k.IsKeyJustPressed(DIK_R)) Press(ACTION_RELOAD);

    if (k.IsKeyJustPressed(DIK_Q)) Press(ACTION_TARGET);
    if (k.IsKeyReleased(DIK_Q)) Release(ACTION_TARGET);

    if (k.IsKeyJustPressed(DIK_E)) Press(ACTION_E);

    if (k.IsKeyJustPressed(DIK_SPACE)) Press(ACTION_USE);
}

void CInputManager::DispatchMouse()
{
    const CMouse& m = m_Mouse;
    if (m.IsLeftButtonJustPressed()) Press(ACTION_FIRE);
    if (m.IsRightButtonJustPressed()) Press(ACTION_AIM);
    // One change of weapon per frame, however far and whichever way it turned.
    if (m.IsWheelMoved()) Press(ACTION_CHANGE_WEAPON);
    if (m.IsLeftButtonReleased()) Release(ACTION_FIRE);
    if (m.IsRightButtonReleased()) Release(ACTION_AIM);
}

void CInputManager::DispatchPad()
{
    const CGamepad& g = m_Gamepad;
    const float y = g.GetLeftStickY(), py = g.GetPrevLeftStickY();
    const float x = g.GetLeftStickX(), px = g.GetPrevLeftStickX();

    if (StickMayStopHero() && y == 0.0f && x == 0.0f)
        ReleaseMovement();

    // A stick that crosses from one side to the other between two polls,
    // without a resting poll, sends nothing.
    if (y > 0.0f && py == 0.0f) Press(ACTION_FORWARD);
    if (y < 0.0f && py == 0.0f) Press(ACTION_BACK);
    if (y == 0.0f) {
        if (py > 0.0f) Release(ACTION_FORWARD);
        if (py < 0.0f) Release(ACTION_BACK);
    }
    if (x > 0.0f && px == 0.0f) Press(ACTION_RIGHT);
    if (x < 0.0f && px == 0.0f) Press(ACTION_LEFT);
    if (x == 0.0f) {
        if (px > 0.0f) Release(ACTION_RIGHT);
        if (px < 0.0f) Release(ACTION_LEFT);
    }

    if (g.IsRightShoulderJustPressed()) Press(ACTION_TARGET);
    if (g.IsRightShoulderReleased()) Release(ACTION_TARGET);
    if (g.IsLeftShoulderJustPressed()) Press(ACTION_TARGET);
    if (g.IsLeftShoulderReleased()) Release(ACTION_TARGET);

    if (g.IsBJustPressed()) Press(ACTION_RELOAD);
    if (g.IsAJustPressed()) Press(ACTION_USE);

    // Held triggers are sent again in every changed frame.
    if (g.GetRightTrigger() > 0) Press(ACTION_FIRE);
    if (g.GetLeftTrigger() > 0) Press(ACTION_AIM);

    if (g.IsDpadDownJustPressed() || g.IsDpadLeftJustPressed() || g.IsDpadRightJustPressed() ||
        g.IsDpadUpJustPressed())
        Press(ACTION_CHANGE_WEAPON);

    if (g.GetPrevRightTrigger() > 0 && g.GetRightTrigger() == 0) Release(ACTION_FIRE);
    if (g.GetPrevLeftTrigger() > 0 && g.GetLeftTrigger() == 0) Release(ACTION_AIM);

    if (g.IsXJustPressed()) Press(ACTION_COMBO_X);
    if (g.IsYJustPressed()) Press(ACTION_COMBO_Y);
}
