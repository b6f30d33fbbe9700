#include "datagen/CharacterPoses.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace datagen::posing {

CalQuaternion Rx(float a) { return AxisAngle(CalVector(1, 0, 0), a); }
CalQuaternion Ry(float a) { return AxisAngle(CalVector(0, 1, 0), -a); }
CalQuaternion Rz(float a) { return AxisAngle(CalVector(0, 0, 1), -a); }

CalQuaternion Then(CalQuaternion a, const CalQuaternion& b)
{
    a *= b;
    return a;
}

// --- building poses ------------------------------------------------------------------------

BodyPose Mix(const BodyPose& a, const BodyPose& b, float t)
{
    BodyPose mixed = a;
    for (int i = 0; i < kCharacterBoneCount; ++i)
        mixed.turn[i].blend(t, b.turn[i]);
    mixed.lift = a.lift + (b.lift - a.lift) * t;
    return mixed;
}

// Adds a turn after the bone's own.
void Add(BodyPose& pose, int bone, const CalQuaternion& q) { pose.turn[bone] = Then(pose.turn[bone], q); }

// The pelvis height of a bent leg, the thigh turned by thigh and the calf by
// calf more, the ankle where it stands.
float LegLift(float thigh, float calf)
{
    return kAnkleHeight + kThigh * std::cos(thigh) + kCalf * std::cos(thigh + calf) - kPelvisHeight;
}

// Both legs bent alike, feet flat, the pelvis lowered to match.
void Legs(BodyPose& pose, float thigh, float calf)
{
    for (int bone : {kRThigh, kLThigh}) {
        pose.turn[bone] = Rx(thigh);
        pose.turn[bone + 1] = Rx(calf);
        pose.turn[bone + 2] = Rx(-(thigh + calf));
    }
    pose.lift = LegLift(thigh, calf);
}

void Leg(BodyPose& pose, int thighBone, float thigh, float calf)
{
    pose.turn[thighBone] = Rx(thigh);
    pose.turn[thighBone + 1] = Rx(calf);
    pose.turn[thighBone + 2] = Rx(-(thigh + calf) * 0.5f);
}

void Arm(BodyPose& pose, int upperBone, const CalQuaternion& upper, const CalQuaternion& fore)
{
    pose.turn[upperBone] = upper;
    pose.turn[upperBone + 1] = fore;
}

// The same pose seen in a mirror down the middle of the body: left and right
// change places, turns about y and z change their sense.
BodyPose Mirror(const BodyPose& pose)
{
    BodyPose mirrored = pose;
    auto flip = [](CalQuaternion q) { return CalQuaternion(q.x, -q.y, -q.z, q.w); };
    for (int i = 0; i < kCharacterBoneCount; ++i)
        mirrored.turn[i] = flip(pose.turn[i]);
    for (int k = 0; k < 3; ++k) {
        std::swap(mirrored.turn[kRUpperArm + k], mirrored.turn[kLUpperArm + k]);
        std::swap(mirrored.turn[kRThigh + k], mirrored.turn[kLThigh + k]);
    }
    return mirrored;
}

CalQuaternion Undone(CalQuaternion q)
{
    q.conjugate();
    return q;
}

void GripWeapon(BodyPose& pose, float pitch)
{
    // The hand goes on along the forearm; the weapon turns in it against the
    // chest's and the arm's own turns, so its barrel keeps the pitch whatever
    // they do. Turns given to them later carry it along.
    pose.turn[kRHand] = CalQuaternion(0.0f, 0.0f, 0.0f, 1.0f);
    CalQuaternion weapon = Rx(pitch);
    for (int bone : {kSpine, kRUpperArm, kRForearm})
        weapon = Then(weapon, Undone(pose.turn[bone]));
    pose.turn[kWeapon] = weapon;
}

void HoldArms(BodyPose& pose, bool twoHanded)
{
    Arm(pose, kRUpperArm, Then(Rx(-0.25f), Rz(0.1f)), Rx(-0.9f));
    GripWeapon(pose, kCarryPitch);
    if (twoHanded)
        Arm(pose, kLUpperArm, Then(Rx(-0.45f), Rz(-0.05f)), Then(Rx(-1.0f), Ry(0.5f)));
    else
        Arm(pose, kLUpperArm, Rz(-0.12f), Rx(-0.2f));
}

void AimArms(BodyPose& pose, bool twoHanded)
{
    Arm(pose, kRUpperArm, Rx(-1.5f), Rx(-0.05f));
    GripWeapon(pose, 0.0f);
    if (twoHanded)
        Arm(pose, kLUpperArm, Then(Rx(-1.35f), Ry(0.55f)), Then(Rx(-0.3f), Ry(0.3f)));
    else
        Arm(pose, kLUpperArm, Rz(-0.12f), Rx(-0.2f));
    pose.turn[kHead] = Rx(0.05f);
}

BodyPose Stand(bool twoHanded)
{
    BodyPose pose;
    HoldArms(pose, twoHanded);
    return pose;
}

BodyPose Aiming(bool twoHanded)
{
    BodyPose pose;
    AimArms(pose, twoHanded);
    return pose;
}

// Crouched low, leaning over the knees: the head well below a crate's top.
BodyPose Crouch(bool twoHanded)
{
    BodyPose pose;
    Legs(pose, -1.5f, 2.2f);
    pose.turn[kSpine] = Rx(0.7f);
    pose.turn[kHead] = Rx(-0.45f);
    Arm(pose, kRUpperArm, Rx(-0.5f), Rx(-1.1f));
    GripWeapon(pose, kCarryPitch);
    if (twoHanded)
        Arm(pose, kLUpperArm, Rx(-0.5f), Then(Rx(-1.2f), Ry(0.6f)));
    else
        Arm(pose, kLUpperArm, Then(Rx(-0.3f), Rz(-0.1f)), Rx(-0.6f));
    return pose;
}

// Half risen from the crouch, aiming over the cover.
BodyPose RiseOver(bool twoHanded)
{
    BodyPose pose;
    Legs(pose, -0.8f, 1.2f);
    pose.turn[kSpine] = Rx(0.15f);
    AimArms(pose, twoHanded);
    return pose;
}

// Back to a high wall, knees soft, the weapon held ready at the chest.
BodyPose Wall(bool twoHanded)
{
    BodyPose pose;
    Legs(pose, -0.15f, 0.3f);
    Arm(pose, kRUpperArm, Then(Rx(-0.35f), Rz(0.15f)), Rx(-1.2f));
    GripWeapon(pose, kCarryPitch);
    if (twoHanded)
        Arm(pose, kLUpperArm, Then(Rx(-0.35f), Rz(-0.1f)), Then(Rx(-1.2f), Ry(0.5f)));
    else
        Arm(pose, kLUpperArm, Rz(-0.15f), Rx(-0.3f));
    return pose;
}

// Leant out past the wall's edge, side -1 the left, +1 the right, aiming.
BodyPose LeanOut(float side, bool twoHanded)
{
    BodyPose pose = Wall(twoHanded);
    pose.turn[kSpine] = Rz(-side * 0.55f);
    AimArms(pose, twoHanded);
    pose.turn[kHead] = Rz(side * 0.2f);
    // The leg on that side steps out to carry the lean.
    Add(pose, side > 0 ? kRThigh : kLThigh, Rz(side * 0.2f));
    return pose;
}

// Lying on the back (head behind, face up) or on the front, turned about the
// vertical by spin.
BodyPose LieBack()
{
    BodyPose pose;
    pose.turn[kRoot] = Rx(-kHalfPi);
    pose.lift = kLyingLift;
    pose.turn[kHead] = Ry(0.5f);
    Arm(pose, kRUpperArm, Rz(0.9f), Rx(-0.3f));
    Arm(pose, kLUpperArm, Rz(-1.1f), Rx(-0.2f));
    Leg(pose, kLThigh, -0.35f, 0.7f);
    return pose;
}

BodyPose LieFront(float spin)
{
    BodyPose pose;
    pose.turn[kRoot] = Then(Rx(kHalfPi), Ry(spin));
    pose.lift = kLyingLift;
    pose.turn[kHead] = Ry(-0.9f);
    Arm(pose, kRUpperArm, Rz(1.2f), Rx(0.5f));
    Arm(pose, kLUpperArm, Rz(-1.5f), Rx(0.4f));
    Leg(pose, kRThigh, 0.3f, 0.3f);
    return pose;
}

// The pelvis height of a straight body tipped by angle, feet on the ground.
float TipLift(float angle) { return std::max(6.0f, 42.0f * std::cos(angle)) - kPelvisHeight; }

// --- keyed motions -------------------------------------------------------------------------

// Eased from key to key, so every pose is reached and left without a jolt.
BodyPose Along(const std::vector<Key>& keys, float phase)
{
    if (phase <= keys.front().phase)
        return keys.front().pose;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (phase <= keys[i].phase) {
            const float span = keys[i].phase - keys[i - 1].phase;
            float t = span > 0 ? (phase - keys[i - 1].phase) / span : 1.0f;
            t = t * t * (3 - 2 * t);
            return Mix(keys[i - 1].pose, keys[i].pose, t);
        }
    }
    return keys.back().pose;
}

Motion Keyed(std::vector<Key> keys)
{
    return [keys = std::move(keys)](float phase) { return Along(keys, phase); };
}

// A held pose that breathes: cycles of standing, aiming, crouching, lying.
Motion Breathing(BodyPose pose, float depth)
{
    return [pose, depth](float phase) {
        BodyPose p = pose;
        const float wave = std::sin(2 * kPi * phase);
        Add(p, kSpine, Rx(0.03f * depth * wave));
        p.lift += 0.4f * depth * wave;
        return p;
    };
}

} // namespace datagen::posing
