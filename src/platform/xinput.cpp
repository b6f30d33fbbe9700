// XInput's pads over SDL2's game controllers.

#include "platform/xinput.h"

#include <SDL.h>

namespace {

// SDL ends a rumble after at most this long; a vibration that must last until
// changed is sent again well before.
constexpr Uint32 kRumbleMs = 0xFFFF;
constexpr Uint32 kRumbleRefreshMs = 30000;

struct Slot {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    XINPUT_GAMEPAD last{};
    DWORD packet = 0;
    WORD lowMotor = 0, highMotor = 0;
    Uint32 rumbleSentAt = 0;
};

struct Pads {
    int state = 0; // 0 not started, 1 started, -1 cannot start or shut at exit
    Slot slots[XUSER_MAX_COUNT];
    platform::PadSource* source = nullptr;
};

void Close(Slot& slot)
{
    if (slot.controller)
        SDL_GameControllerClose(slot.controller); // also stops its motors
    slot = Slot{};
}

// Gives the pads back to the system at exit. The table itself is never freed,
// so a static destructor that still asks for a pad gets "not connected".
struct Shutdown {
    ~Shutdown();
};

Pads& P()
{
    static Pads* pads = new Pads;
    static Shutdown shutdown;
    return *pads;
}

Shutdown::~Shutdown()
{
    Pads& pads = P();
    if (pads.state == 1) {
        for (Slot& slot : pads.slots)
            Close(slot);
    }
    pads.state = -1;
}

bool Started()
{
    Pads& pads = P();
    if (pads.state == 0) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
            // We read the pads ourselves; their events would only pile up in a
            // queue nobody reads for them.
            SDL_GameControllerEventState(SDL_IGNORE);
            SDL_JoystickEventState(SDL_IGNORE);
            pads.state = 1;
        } else {
            pads.state = -1;
        }
    }
    return pads.state == 1;
}

bool HeldByAnotherSlot(SDL_JoystickID id, const Slot& self)
{
    for (const Slot& slot : P().slots) {
        if (&slot != &self && slot.controller && slot.id == id)
            return true;
    }
    return false;
}

// The pad of a user index, opening the next free game controller when the
// slot's own pad is gone; null when there is none.
Slot* Attach(DWORD userIndex)
{
    Slot& slot = P().slots[userIndex];
    if (slot.controller && SDL_GameControllerGetAttached(slot.controller))
        return &slot;
    Close(slot);
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        if (!SDL_IsGameController(i))
            continue;
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
        if (HeldByAnotherSlot(id, slot))
            continue;
        if (SDL_GameController* controller = SDL_GameControllerOpen(i)) {
            slot.controller = controller;
            slot.id = id;
            return &slot;
        }
    }
    return nullptr;
}

SHORT Flipped(Sint16 v)
{
    // SDL's sticks grow downwards, XInput's upwards; -32768 has no opposite.
    return v == -32768 ? SHORT(32767) : SHORT(-v);
}

BYTE TriggerByte(Sint16 v)
{
    return v <= 0 ? BYTE(0) : BYTE(v * 255 / 32767);
}

XINPUT_GAMEPAD Read(SDL_GameController* c)
{
    static const struct {
        SDL_GameControllerButton button;
        WORD bit;
    } kButtons[] = {
        {SDL_CONTROLLER_BUTTON_DPAD_UP, XINPUT_GAMEPAD_DPAD_UP},
        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, XINPUT_GAMEPAD_DPAD_DOWN},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, XINPUT_GAMEPAD_DPAD_LEFT},
        {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, XINPUT_GAMEPAD_DPAD_RIGHT},
        {SDL_CONTROLLER_BUTTON_START, XINPUT_GAMEPAD_START},
        {SDL_CONTROLLER_BUTTON_BACK, XINPUT_GAMEPAD_BACK},
        {SDL_CONTROLLER_BUTTON_LEFTSTICK, XINPUT_GAMEPAD_LEFT_THUMB},
        {SDL_CONTROLLER_BUTTON_RIGHTSTICK, XINPUT_GAMEPAD_RIGHT_THUMB},
        {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, XINPUT_GAMEPAD_LEFT_SHOULDER},
        {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, XINPUT_GAMEPAD_RIGHT_SHOULDER},
        {SDL_CONTROLLER_BUTTON_A, XINPUT_GAMEPAD_A},
        {SDL_CONTROLLER_BUTTON_B, XINPUT_GAMEPAD_B},
        {SDL_CONTROLLER_BUTTON_X, XINPUT_GAMEPAD_X},
        {SDL_CONTROLLER_BUTTON_Y, XINPUT_GAMEPAD_Y},
    };
    XINPUT_GAMEPAD g{};
    for (const auto& b : kButtons) {
        if (SDL_GameControllerGetButton(c, b.button))
            g.wButtons |= b.bit;
    }
    g.bLeftTrigger = TriggerByte(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
    g.bRightTrigger = TriggerByte(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
    g.sThumbLX = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
    g.sThumbLY = Flipped(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY));
    g.sThumbRX = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTX);
    g.sThumbRY = Flipped(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTY));
    return g;
}

bool Same(const XINPUT_GAMEPAD& a, const XINPUT_GAMEPAD& b)
{
    return a.wButtons == b.wButtons && a.bLeftTrigger == b.bLeftTrigger &&
           a.bRightTrigger == b.bRightTrigger && a.sThumbLX == b.sThumbLX && a.sThumbLY == b.sThumbLY &&
           a.sThumbRX == b.sThumbRX && a.sThumbRY == b.sThumbRY;
}

void Rumble(Slot& slot)
{
    SDL_GameControllerRumble(slot.controller, slot.lowMotor, slot.highMotor, kRumbleMs);
    slot.rumbleSentAt = SDL_GetTicks();
}

DWORD SdlGetState(DWORD userIndex, XINPUT_STATE* state)
{
    if (!Started())
        return ERROR_DEVICE_NOT_CONNECTED;
    SDL_GameControllerUpdate();
    Slot* slot = Attach(userIndex);
    if (!slot)
        return ERROR_DEVICE_NOT_CONNECTED;
    const XINPUT_GAMEPAD now = Read(slot->controller);
    if (!Same(now, slot->last))
        ++slot->packet;
    slot->last = now;
    state->dwPacketNumber = slot->packet;
    state->Gamepad = now;
    if ((slot->lowMotor || slot->highMotor) && SDL_GetTicks() - slot->rumbleSentAt > kRumbleRefreshMs)
        Rumble(*slot);
    return ERROR_SUCCESS;
}

DWORD SdlSetState(DWORD userIndex, const XINPUT_VIBRATION& vibration)
{
    if (!Started())
        return ERROR_DEVICE_NOT_CONNECTED;
    Slot* slot = Attach(userIndex);
    if (!slot)
        return ERROR_DEVICE_NOT_CONNECTED;
    slot->lowMotor = vibration.wLeftMotorSpeed;
    slot->highMotor = vibration.wRightMotorSpeed;
    Rumble(*slot);
    return ERROR_SUCCESS;
}

} // namespace

namespace platform {

void SetPadSource(PadSource* source)
{
    P().source = source;
}

} // namespace platform

DWORD XInputGetState(DWORD userIndex, XINPUT_STATE* state)
{
    if (!state || userIndex >= XUSER_MAX_COUNT)
        return ERROR_BAD_ARGUMENTS;
    *state = XINPUT_STATE{};
    if (platform::PadSource* source = P().source)
        return source->GetState(userIndex, state);
    return SdlGetState(userIndex, state);
}

DWORD XInputSetState(DWORD userIndex, XINPUT_VIBRATION* vibration)
{
    if (!vibration || userIndex >= XUSER_MAX_COUNT)
        return ERROR_BAD_ARGUMENTS;
    if (platform::PadSource* source = P().source)
        return source->SetState(userIndex, *vibration);
    return SdlSetState(userIndex, *vibration);
}
