// A Cal3D-animated character: one instance of a model type, played by
// animation name, skinned on the GPU from its bone palette.
#pragma once

#include <map>
#include <string>

#include "platform/d3dx9math.h"
#include "scene/Entity3D.h"

class CalModel;
class CalMixer;
class CalAnimationAction;
struct TCoreModelInfo;

class CCharacterEntity : public IEntidad3D {
public:
    // Takes the model over; the record stays the library's.
    CCharacterEntity(CalModel* model, TCoreModelInfo* info);
    ~CCharacterEntity() override;

    CalModel* GetCalModel() const { return m_Model; }
    TCoreModelInfo* GetCoreModelInfo() const { return m_Info; }

    // Cycles: an unknown name is reported ("Anim not found: ") and false.
    bool BlendCycle(std::string name, float weight, float delay);
    bool ClearCycle(std::string name, float delay);
    void ClearAllCycles(float delay);
    // Plays the animation once and returns its own length in seconds, which
    // callers keep as the action's time left; -1 for an unknown name, a
    // refused start, or the same action while it still runs (not restarted).
    float ExecuteAction(std::string name, float delayIn, float delayOut, float weightTarget, bool autoLock);
    // Stops the running action, if any.
    void RemoveAction();
    int GetActionCount() const;
    int GetCycleCount() const;

    // The anchor bone's rotation and position in model space; identity (with
    // a message) for an anchor the model lacks.
    D3DXMATRIX GetBoneMatrix(std::string anchorName) const;

    // Advances the animations and collects the ground travel of the running
    // actions; the drawn pose stays where the character stands.
    void Update(float seconds);
    // The ground travel (x, 0, z in the model's frame) since the last take.
    D3DXVECTOR3 TakeDisplacement();

    void Render(bool debugDraw) override;
    void Init(const std::string& name) override {}
    void UploadBones() override;

    // The palette rows as UploadBones sends them (12 floats per bone).
    void BuildBoneRows(std::vector<float>& rows) const;

private:
    // Root-track position of the action's animation at a time (clamped).
    D3DXVECTOR3 RootAt(CalAnimationAction* action, float time) const;
    void TakeRootOutOfPose();

    CalModel* m_Model;
    TCoreModelInfo* m_Info;
    int m_LastAction = 0;
    int m_RootBone = -1;
    // Each running action's time when its travel was last counted.
    std::map<CalAnimationAction*, float> m_ActionTimes;
    D3DXVECTOR3 m_Displacement{0.0f, 0.0f, 0.0f};
};

// The root travel the character's animations made since the last call, then
// zero. Writes zeros for a mixer that belongs to no living character.
void TakeAnimationDisplacement(CalMixer* mixer, float out[3]);
