#pragma once
// The poses the character motions are built from: turns about the standing
// body's axes, legs bent with the pelvis lowered to match, arms holding or
// aiming a weapon, the crouch of low cover, the stance at a high wall, lying
// on the back or front; and motions keyed from pose to pose.
#include <vector>

#include "datagen/CharacterMotions.h"

namespace datagen::posing {

inline constexpr float kPi = 3.14159265f;
inline constexpr float kHalfPi = kPi / 2;
// The standing skeleton's measures, in loaded units.
inline constexpr float kPelvisHeight = 44.0f, kThigh = 22.0f, kCalf = 15.0f, kAnkleHeight = 7.0f;
// Where the pelvis rests when the body lies on its back or front.
inline constexpr float kLyingLift = 6.0f - kPelvisHeight;

// Turns about x (pitching forward), y (turning right) and z (leaning left).
// The body's right is -x, so the last two turn the other way round their
// axes from the right-hand rule.
CalQuaternion Rx(float a);
CalQuaternion Ry(float a);
CalQuaternion Rz(float a);
// a, then b.
CalQuaternion Then(CalQuaternion a, const CalQuaternion& b);

BodyPose Mix(const BodyPose& a, const BodyPose& b, float t);
// Adds a turn after the bone's own.
void Add(BodyPose& pose, int bone, const CalQuaternion& q);
// The pelvis height of a bent leg, the ankle where it stands.
float LegLift(float thigh, float calf);
// Both legs bent alike, feet flat, the pelvis lowered to match.
void Legs(BodyPose& pose, float thigh, float calf);
void Leg(BodyPose& pose, int thighBone, float thigh, float calf);
void Arm(BodyPose& pose, int upperBone, const CalQuaternion& upper, const CalQuaternion& fore);
// The same pose seen in a mirror down the middle of the body.
BodyPose Mirror(const BodyPose& pose);

// How far down a carried weapon's barrel points ahead, in radians.
inline constexpr float kCarryPitch = 0.35f;
// The weapon in the right hand, its barrel pitched down by pitch from the
// body's ahead (0: level), whatever the chest's and the right arm's turns so
// far.
void GripWeapon(BodyPose& pose, float pitch);
void HoldArms(BodyPose& pose, bool twoHanded);
void AimArms(BodyPose& pose, bool twoHanded);
BodyPose Stand(bool twoHanded);
BodyPose Aiming(bool twoHanded);
// Crouched low behind cover, and half risen to aim over it.
BodyPose Crouch(bool twoHanded);
BodyPose RiseOver(bool twoHanded);
// Back to a high wall, and leant out past its edge (side -1 the left, +1 the right).
BodyPose Wall(bool twoHanded);
BodyPose LeanOut(float side, bool twoHanded);
BodyPose LieBack();
BodyPose LieFront(float spin);
// The pelvis height of a straight body tipped by angle, feet on the ground.
float TipLift(float angle);

struct Key {
    float phase;
    BodyPose pose;
};
// Eased from key to key.
BodyPose Along(const std::vector<Key>& keys, float phase);
Motion Keyed(std::vector<Key> keys);
// A held pose that breathes.
Motion Breathing(BodyPose pose, float depth);

} // namespace datagen::posing
