// The level's own big pictures kept filled while it is played.
#pragma once

#include <string>

class CGameStateFlagsManager;
class CRigidAnimManager;
class CSceneMngr;

// Fills now, and keeps however long they go undrawn, the pictures of every
// object the level's lists may hand over in play (its comic panels left out);
// what it held for another level is let go. Called as the scene is set up for
// a level (a new game, a switch, a restart), while the game loads: filled at
// the first frame that sees them, each would cost that frame of play tens of
// milliseconds (a sign coming into view, the floor's light map after ten
// seconds away). Another level name lets everything go.
void HoldLevelPictures(const std::string& level, const CGameStateFlagsManager& gsf, const CRigidAnimManager& rigid,
                       CSceneMngr& scene);
// The same for the level selected now, as the game's state stands.
void HoldCurrentLevelPictures();
