#pragma once
// How each character clip moves, told by its name: deaths fall and lie, hits
// flinch away from the struck side, rolls roll, cover crouches or leans out,
// fights strike with the limb their name says. A name added to a model's list
// later gets the motion of the family its words belong to.
#include <functional>
#include <string>

#include <cal3d/quaternion.h>
#include <cal3d/vector.h>

namespace datagen {

// The bones of every character skeleton, in the skeleton's own order.
enum CharacterBone {
    kRoot, kPelvis, kSpine, kHead, kRUpperArm, kRForearm, kRHand, kLUpperArm, kLForearm, kLHand,
    kRThigh, kRCalf, kRFoot, kLThigh, kLCalf, kLFoot, kWeapon, kCharacterBoneCount
};

// Rotations in Cal3D's own convention (v *= q), turning by the right-hand rule
// about the axis: a quarter turn about +z takes +x to +y.
CalQuaternion AxisAngle(const CalVector& axis, float angle);

// A pose: each bone's own turn about its joint, in the axes of the standing
// body (x the left hand, y up, z forward: the game's world is right-handed,
// so a body facing +z has its right on -x), applied before its parent's; and
// how far the pelvis is raised (negative: lowered) from where it stands.
struct BodyPose {
    CalQuaternion turn[kCharacterBoneCount];
    float lift = 0.0f;
};

enum class MotionFamily {
    Idle, Stride, Aim, AimWalk, Fall, Lie, Hit, Roll, LowCover, HighCover, Jump, Reload, Shot, Strike,
    Combo, TakeCombo, Point, Sidestep, Gesture
};

MotionFamily FamilyOf(const std::string& name, bool hero);

// When the boss fight's prompt opens in this clip (either fighter's), in
// seconds from its start; negative for a clip outside that fight.
float FinisherPromptAt(const std::string& name);

// The pose of the clip at a phase from 0 (start) to 1 (end); cycles end where
// they start. length is the clip's length in seconds.
using Motion = std::function<BodyPose(float phase)>;
Motion MotionOf(const std::string& name, bool hero, float length);

} // namespace datagen
