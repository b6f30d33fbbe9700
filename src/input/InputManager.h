// The one owner of the keyboard, the mouse and the first pad. Each frame it
// polls them, keeping this poll and the one before; it answers named actions
// bound in "data/XML/actionsInputs.xml", and turns fixed keys, buttons and
// sticks into the action codes of the hero's current controller.
#pragma once

#include "input/Gamepad.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "xml/XMLParser.h"

#include <functional>
#include <map>
#include <string>

class IController;

// One physical input of a named action, as an "ACTION" element gives it.
struct ActionBinding {
    std::string type; // "K"/"k" keyboard, "M"/"m" mouse, "C"/"c" pad
    std::string key;  // a name of the key-name table ("DIK_W", "button_1", "thumb_left_up"...)
    std::string mode; // "pressed", "released" or "just_pressed"
};

class CInputManager : public CXMLParser {
public:
    CInputManager();
    // Gives the keyboard and mouse devices back.
    ~CInputManager() override;

    // Creates the keyboard and mouse devices for the window (a device that
    // cannot be made is reported and reads as never pressed), fills the
    // key-name table, and reads the pad as not connected until the next poll.
    void Init(HINSTANCE instance, HWND window);

    // The frame's poll: takes the hero's current controller, polls keyboard,
    // mouse and pad, then sends the action codes. True when a device changed.
    bool Update();

    // Adds the bindings of every "ACTION" element of the file (name, type, key,
    // mode; a missing attribute reads as empty). A file that cannot be read
    // leaves the bindings read so far; each load adds to the table.
    void LoadActions(const std::string& file);
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;

    // True when one of the action's bindings fires in the last poll; false for
    // an action without bindings. A binding with an unknown type, mode or key
    // never fires.
    bool IsAction(const std::string& name) const;

    // Sends the action codes of the last poll to the controller taken by the
    // poll (nothing when there is none). True when a device changed.
    bool DispatchCommands();

    // Copies of the device wrappers, to ask as of the last poll; untouched
    // while the keys are withheld.
    CKeyboard GetKeyboardState() const;
    CMouse GetMouseState() const;
    CGamepad GetGamepadState() const;

    // Whether the last poll found a pad; false until the first poll.
    bool IsGamepadConnected() const { return m_GamepadConnected; }

    // The code of a key name (a DIK code, or a mouse or pad pseudo-code), 0 for
    // a name the table lacks.
    int GetKeyCode(const std::string& name) const;
    const std::map<std::string, int>& GetKeyNames() const { return m_KeyNames; }

    // For tests: where each poll takes the controller that gets the action
    // codes, and whose state code decides the centred-stick releases. Null
    // restores the hero's current controller.
    void SetControllerSource(std::function<IController*()> source) { m_ControllerSource = std::move(source); }
    // While this says so the keys are someone else's (the console's, as it is
    // typed into): the devices read as untouched and no named action fires, so
    // neither a menu, nor the death screen, nor a cut-scene takes a typed key
    // or one pressed before and never polled since. Null withholds nothing.
    void WithholdWhile(std::function<bool()> withheld) { m_Withheld = std::move(withheld); }

private:
    bool Withheld() const { return m_Withheld && m_Withheld(); }
    void FillKeyNames();
    IController* CurrentController() const;
    int CurrentStateCode() const;
    bool StickMayStopHero() const;

    bool Fires(const ActionBinding& binding) const;
    bool KeyboardFires(int code, int mode) const;
    bool MouseFires(int code, int mode) const;
    bool PadFires(int code, int mode) const;

    void DispatchKeyboard();
    void DispatchMouse();
    void DispatchPad();
    void ReleaseMovement();
    void Press(int code);
    void Release(int code);

    IController* m_Controller = nullptr;
    CKeyboard m_Keyboard;
    CMouse m_Mouse;
    CGamepad m_Gamepad;
    std::multimap<std::string, ActionBinding> m_Actions;
    std::map<std::string, int> m_KeyNames;
    bool m_GamepadConnected = false;
    std::function<IController*()> m_ControllerSource;
    std::function<bool()> m_Withheld;
};

// The process-wide input manager, built on first use.
CInputManager* getInputManager();
