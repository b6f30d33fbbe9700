// Which of the level's scene objects the frame render hands to the scene
// manager each frame: the comic panels of the running sequence, or the
// objects of the level being played, by name and in a fixed order. The
// lists are the whole of it; nothing here keeps state between frames.
//
// A name listed twice is marked twice, so the scene manager draws it twice.
// Level marks go through SetVisible, so a name whose condition fails is also
// stored as not visible; comic marks go through AddVisible.
#pragma once

#include <string>
#include <vector>

class CGameStateFlagsManager;
class CProfiler;
class CRigidAnimManager;
class CSceneMngr;

// Where the marks go. The frame render hands over the scene manager; tests
// may record the calls themselves.
class IVisibilityMarks {
public:
    virtual ~IVisibilityMarks() = default;
    virtual void AddVisible(const std::string& name) = 0;
    virtual void SetVisible(const std::string& name, bool visible) = 0;
};

// The scene manager as a mark sink.
class CSceneMarks : public IVisibilityMarks {
public:
    explicit CSceneMarks(CSceneMngr& scene) : m_Scene(scene) {}
    void AddVisible(const std::string& name) override;
    void SetVisible(const std::string& name, bool visible) override;

private:
    CSceneMngr& m_Scene;
};

// --- comic-panel stage ---------------------------------------------------------
// Each sequence's panels, marked with AddVisible. Timing, where a list has
// any, is in MarkComicPanels.
void MarkVinyetasIntro1(IVisibilityMarks& marks);
void MarkVinyetasIntro2(IVisibilityMarks& marks);
void MarkSecondMovie(IVisibilityMarks& marks);
void MarkVinyetasFinalHangares(IVisibilityMarks& marks);
void MarkCreditos(IVisibilityMarks& marks);
void MarkVinyetasDockersHuye(IVisibilityMarks& marks);
void MarkMemoriam(IVisibilityMarks& marks);
void MarkVinyetasPredockers(IVisibilityMarks& marks);

// The comic stage's hand-over: the level chooses the group ("hangares" tests
// `sequence`, "isla" tests `islaSequence`), the first matching code chooses
// the list; with no match, or another level name, nothing is marked. The two
// intro lists start the profiler's timer and log nothing; the second movie
// logs "sendToRender: " against whatever timer ran before; the final hangar
// panels, the credits and the dockers' flight start the timer and log
// "sendToRender: "; the memorial and the pre-dockers panels do neither.
// The field of view of the second movie is the caller's to set.
// Returns whether a list ran.
bool MarkComicPanels(const std::string& level, const CGameStateFlagsManager& gsf, IVisibilityMarks& marks,
                     CProfiler& profiler);

// --- level stage -----------------------------------------------------------------
// The first level's objects: the pier standing or broken, the plane arriving,
// looping or taking off, the crates whole or in pieces, the hangar standing
// or blown apart.
void MarkHangaresObjects(const CGameStateFlagsManager& gsf, const CRigidAnimManager& rigid,
                         IVisibilityMarks& marks);
// The island's objects, with the scaffold whole, in pieces or broken.
void MarkIslaObjects(const CRigidAnimManager& rigid, IVisibilityMarks& marks);
// The last fight's arena, marked only while the story stands at that fight.
void MarkFinalArena(const CGameStateFlagsManager& gsf, IVisibilityMarks& marks);

// The level stage's hand-over for the level name: starts the timer, marks the
// level's list and logs "sendToRender: "; any other name marks nothing and
// logs nothing. ("Character" is the caller's, marked before this.)
void MarkLevelObjects(const std::string& level, const CGameStateFlagsManager& gsf,
                      const CRigidAnimManager& rigid, IVisibilityMarks& marks, CProfiler& profiler);

// Every name any list of the level may mark, in no particular order; the
// comic panels of the level's sequences included. Empty for other names.
std::vector<std::string> LevelListNames(const std::string& level);
