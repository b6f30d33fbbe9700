// A hero controller: the one that is current receives the input layer's action
// codes and runs once per frame. The free-movement, aiming, cover, fighting and
// camera controllers implement it.
#pragma once

// What the input layer sends to the current controller, pressed and released.
// The keys, buttons and sticks behind each code are fixed in the input manager.
enum ControllerActionCode : int {
    ACTION_FORWARD = 100,
    ACTION_BACK = 101,
    ACTION_LEFT = 102,
    ACTION_RIGHT = 103,
    ACTION_RELOAD = 104,
    ACTION_CHANGE_WEAPON = 105,
    ACTION_USE = 106,           // roll or take cover
    ACTION_FIRE = 107,          // also combo button X while fighting
    ACTION_AIM = 108,           // also combo button Y while fighting
    ACTION_COMBO_X = 109,       // the pad's X
    ACTION_COMBO_Y = 110,       // the pad's Y
    ACTION_E = 111,             // sent on press only; no controller acts on it
    ACTION_TARGET = 112,        // pick the aim target
};

class IController {
public:
    virtual ~IController() = default;
    virtual void OnActionPressed(int code) = 0;
    virtual void OnActionReleased(int code) = 0;
    virtual void Update(float seconds) = 0;
    virtual int GetStateCode() = 0;
    // True in the frame in which the controller's update took a pending hit.
    virtual bool WasHit() = 0;
    // Forgets the held and ready flags of its moves, so that whatever takes
    // the hero over (a restart, the level switch, a cut-scene) finds none
    // still set. Controllers without such flags keep this one.
    virtual void ClearActionFlags() {}
};
