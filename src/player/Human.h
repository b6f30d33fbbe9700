// The base of every character, the hero and the enemies. So far it carries only
// what the input layer asks of the hero: the controller that steers him.
#pragma once

class IController;
class CControllerSelector;

class IHuman {
public:
    virtual ~IHuman() = default;

    // The controller that the character's selector holds now; null while the
    // character has no selector (the hero gets his when he is built).
    IController* GetController() const;
    // The character's controller selector, or null before it is built.
    CControllerSelector* GetControllerSelector() const { return m_ControllerSelector; }

protected:
    CControllerSelector* m_ControllerSelector = nullptr;
};
