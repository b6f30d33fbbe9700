#include "player/HeroPoses.h"

#include <string>

#include "gui/GUIManager.h"
#include "player/ControllerSelector.h"
#include "player/Controllers.h"
#include "player/ParapetedController.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "scene/CharacterEntity.h"

void ClearHeroActionFlags(CPlayer& hero)
{
    CControllerSelector* selector = hero.GetControllerSelector();
    if (!selector)
        return;
    if (IController* current = selector->GetCurrent())
        current->ClearActionFlags();
}

void ForgetHeroFireHeld(CPlayer& hero)
{
    CControllerSelector* selector = hero.GetControllerSelector();
    if (!selector || !selector->GetCurrent())
        return;
    if (selector->GetCurrent() == selector->GetAimingController())
        selector->GetAimingController()->ForgetFireHeld();
    else if (selector->GetCurrent() == selector->GetParapetedController())
        selector->GetParapetedController()->ForgetFireHeld();
}

void ReleaseHeroToFree(CPlayer& hero)
{
    ClearHeroActionFlags(hero);
    // A restart or a cut-scene leaves no lost fight to explain.
    getGUI().ShowFightLoss(CGUIManager::FightLoss::None);
    if (CCharacterEntity* body = hero.GetEntity())
        body->RemoveAction();
    if (CControllerSelector* selector = hero.GetControllerSelector()) {
        selector->SwitchToFree(false, false);
        selector->LeaveParapet();
    }
}

void BlendHeroIdle(CPlayer& hero)
{
    CCharacterEntity* body = hero.GetEntity();
    if (!body)
        return;
    body->ClearAllCycles(0.0f);
    body->BlendCycle("idle_ostrel", 1.0f, 0.0f);
}

void BlendHeroLowCoverIdle(CPlayer& hero, float weight, float delay, bool clearFirst)
{
    CCharacterEntity* body = hero.GetEntity();
    if (!body)
        return;
    if (clearFirst) {
        body->RemoveAction();
        body->ClearAllCycles(0.0f);
    }
    const IWeapon* weapon = hero.GetCurrentWeapon();
    const std::string name = weapon ? weapon->GetName() : "";
    const char* cycle = name == "SHOTGUN" ? "pBajo_escopeta_idle"
                        : name == "THOMPSON" ? "pBajo_thompson_idle"
                                             : "pBajo_ostrel_idle";
    body->BlendCycle(cycle, weight, delay);
}
