// What a restart, the level switch and the cut-scenes do to the hero between
// his own moves: drop what his controller was doing, put him back in free
// movement, and give his body a standing pose.
#pragma once

class CPlayer;

// The current controller forgets that it was ready to shoot, that fire was
// held and what its free-movement update had found.
void ClearHeroActionFlags(CPlayer& hero);
// The current controller forgets a held fire button, so a shot held into a
// cut-scene does not go on firing after it.
void ForgetHeroFireHeld(CPlayer& hero);
// His flags cleared, his running action stopped, free movement away from any
// parapet.
void ReleaseHeroToFree(CPlayer& hero);
// Every cycle off at once, then standing with the pistol.
void BlendHeroIdle(CPlayer& hero);
// The crouched idle of his current weapon ("pBajo_escopeta_idle",
// "pBajo_thompson_idle", else "pBajo_ostrel_idle"); when asked, his running
// action and every cycle go first.
void BlendHeroLowCoverIdle(CPlayer& hero, float weight, float delay, bool clearFirst);
