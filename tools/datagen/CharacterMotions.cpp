#include "datagen/CharacterMotions.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "datagen/CharacterPoses.h"

namespace datagen {

namespace {

using namespace posing;

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
bool Starts(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

// Shotguns and Thompsons are held with both hands; the pistol with one.
bool TwoHanded(const std::string& name)
{
    for (const char* word : {"escopet", "shotgun", "thompson", "FireS", "FireT"})
        if (Has(name, word))
            return true;
    return false;
}

// --- deaths --------------------------------------------------------------------------------

enum class FallKind { Back, Blown, Knees, Head, Spin, Thrown };

bool FallsOnFront(const std::string& name) { return Has(name, "knees") || Starts(name, "vuelta"); }

// Where a fall ends: the spinning fall lies face down, turned half round.
BodyPose LyingOf(const std::string& name)
{
    return FallsOnFront(name) ? LieFront(Starts(name, "vuelta") ? kPi : 0.0f) : LieBack();
}

std::vector<Key> FallKeys(FallKind kind, const BodyPose& stand)
{
    std::vector<Key> keys = {{0.0f, stand}};
    BodyPose p;
    switch (kind) {
    case FallKind::Back: {
        p = stand;
        p.turn[kSpine] = Rx(-0.35f);
        p.turn[kHead] = Rx(-0.35f);
        Arm(p, kRUpperArm, Then(Rx(-0.9f), Rz(0.5f)), Rx(-0.4f));
        Arm(p, kLUpperArm, Then(Rx(-0.9f), Rz(-0.5f)), Rx(-0.4f));
        Legs(p, -0.3f, 0.6f);
        keys.push_back({0.18f, p});
        p = BodyPose();
        Legs(p, -0.7f, 1.1f);
        p.turn[kRoot] = Rx(-0.6f);
        p.turn[kSpine] = Rx(-0.2f);
        Arm(p, kRUpperArm, Rz(1.0f), Rx(-0.3f));
        Arm(p, kLUpperArm, Rz(-1.0f), Rx(-0.3f));
        p.lift = TipLift(0.6f);
        keys.push_back({0.45f, p});
        Legs(p, -0.5f, 0.6f);
        p.turn[kRoot] = Rx(-1.25f);
        p.lift = TipLift(1.25f);
        keys.push_back({0.7f, p});
        keys.push_back({0.84f, LieBack()});
        break;
    }
    case FallKind::Blown:
    case FallKind::Thrown: {
        const bool thrown = kind == FallKind::Thrown;
        p = stand;
        Legs(p, -0.5f, 0.9f);
        p.turn[kSpine] = Rx(0.25f);
        keys.push_back({0.12f, p});
        p = BodyPose();
        p.turn[kRoot] = Rx(thrown ? -0.8f : -0.5f);
        Arm(p, kRUpperArm, Rx(thrown ? -2.0f : -1.2f), Rx(-0.3f));
        Arm(p, kLUpperArm, Rx(thrown ? -1.8f : -1.2f), Rx(-0.3f));
        Leg(p, kRThigh, -0.9f, 0.5f);
        Leg(p, kLThigh, -1.1f, 0.9f);
        p.lift = thrown ? 30.0f : 10.0f;
        keys.push_back({0.32f, p});
        p.turn[kRoot] = Rx(-1.2f);
        p.lift = thrown ? 8.0f : -6.0f;
        keys.push_back({0.56f, p});
        keys.push_back({0.74f, LieBack()});
        break;
    }
    case FallKind::Knees: {
        p = stand;
        p.turn[kSpine] = Rx(0.35f);
        p.turn[kHead] = Rx(0.3f);
        Arm(p, kRUpperArm, Rx(-0.5f), Rx(-1.4f));
        Arm(p, kLUpperArm, Rx(-0.5f), Rx(-1.4f));
        Legs(p, -0.3f, 0.6f);
        keys.push_back({0.15f, p});
        // Kneeling: thighs upright, shins along the ground behind.
        p = BodyPose();
        for (int bone : {kRThigh, kLThigh}) {
            p.turn[bone + 1] = Rx(1.57f);
            p.turn[bone + 2] = Rx(1.0f);
        }
        p.lift = 3.0f + kThigh - kPelvisHeight;
        p.turn[kSpine] = Rx(0.25f);
        p.turn[kHead] = Rx(0.3f);
        Arm(p, kRUpperArm, Rz(0.1f), Rx(-0.3f));
        Arm(p, kLUpperArm, Rz(-0.1f), Rx(-0.3f));
        keys.push_back({0.4f, p});
        p.turn[kSpine] = Rx(0.5f);
        p.turn[kHead] = Rx(0.4f);
        keys.push_back({0.55f, p});
        p.turn[kRoot] = Rx(0.8f);
        p.turn[kRThigh] = Rx(-0.8f);
        p.turn[kLThigh] = Rx(-0.8f);
        p.turn[kSpine] = Rx(0.2f);
        Arm(p, kRUpperArm, Rx(-1.0f), Rx(-0.2f));
        Arm(p, kLUpperArm, Rx(-1.0f), Rx(-0.2f));
        p.lift = -24.0f;
        keys.push_back({0.72f, p});
        keys.push_back({0.86f, LieFront(0.0f)});
        break;
    }
    case FallKind::Head: {
        p = stand;
        p.turn[kHead] = Rx(-0.8f);
        p.turn[kSpine] = Rx(-0.25f);
        Arm(p, kRUpperArm, Then(Rx(-0.3f), Rz(0.6f)), Rx(-0.2f));
        Arm(p, kLUpperArm, Then(Rx(-0.3f), Rz(-0.6f)), Rx(-0.2f));
        keys.push_back({0.1f, p});
        Legs(p, -1.1f, 1.9f);
        p.turn[kSpine] = Rx(0.1f);
        p.turn[kHead] = Rx(-0.4f);
        keys.push_back({0.35f, p});
        p.turn[kRoot] = Rx(-0.9f);
        Legs(p, -1.2f, 1.8f);
        p.lift = -26.0f;
        keys.push_back({0.6f, p});
        keys.push_back({0.8f, LieBack()});
        break;
    }
    case FallKind::Spin: {
        p = stand;
        p.turn[kRoot] = Ry(1.1f);
        p.turn[kSpine] = Rx(-0.3f);
        p.turn[kHead] = Rx(-0.3f);
        Arm(p, kRUpperArm, Rz(1.0f), Rx(-0.2f));
        Arm(p, kLUpperArm, Rz(-1.0f), Rx(-0.2f));
        keys.push_back({0.18f, p});
        p.turn[kRoot] = Ry(2.3f);
        Legs(p, -0.4f, 0.7f);
        p.turn[kSpine] = Rx(0.2f);
        keys.push_back({0.42f, p});
        p.turn[kRoot] = Then(Rx(0.7f), Ry(kPi));
        Legs(p, -0.6f, 0.9f);
        p.lift = -12.0f;
        Arm(p, kRUpperArm, Rx(-1.2f), Rx(-0.2f));
        Arm(p, kLUpperArm, Rx(-1.2f), Rx(-0.2f));
        keys.push_back({0.62f, p});
        keys.push_back({0.8f, LieFront(kPi)});
        break;
    }
    }
    // A small bounce on landing, then still.
    BodyPose lying = keys.back().pose;
    BodyPose bounce = lying;
    bounce.lift += 3.0f;
    // The chest rises off the ground: up is the body's front on the back, its back on the front.
    const bool onFront = kind == FallKind::Knees || kind == FallKind::Spin;
    Add(bounce, kSpine, Rx(onFront ? -0.12f : 0.12f));
    const float landed = keys.back().phase;
    keys.push_back({landed + (1.0f - landed) * 0.45f, bounce});
    keys.push_back({1.0f, lying});
    return keys;
}

FallKind FallKindOf(const std::string& name)
{
    if (Starts(name, "paletavolador"))
        return FallKind::Thrown;
    if (Has(name, "death_jump"))
        return FallKind::Blown;
    if (Has(name, "knees"))
        return FallKind::Knees;
    if (Starts(name, "headdead"))
        return FallKind::Head;
    if (Starts(name, "vuelta"))
        return FallKind::Spin;
    return FallKind::Back;
}

// --- hits ----------------------------------------------------------------------------------

// The flinch of a blow on the right side (the left is its mirror), the front
// (the torso thrown back) or the back (thrown forward).
BodyPose Flinch(const std::string& name, const BodyPose& stand)
{
    const bool left = Has(name, "left") || Has(name, "izq");
    BodyPose p = stand;
    if (Starts(name, "arm")) {
        p.turn[kSpine] = Then(Rz(0.32f), Ry(0.3f));
        Arm(p, kRUpperArm, Then(Rx(0.5f), Rz(0.6f)), Rx(-0.3f));
        p.turn[kHead] = Rz(0.15f);
    } else if (Starts(name, "leg")) {
        Leg(p, kRThigh, 0.3f, 0.9f);
        Leg(p, kLThigh, -0.2f, 0.4f);
        p.lift = -4.0f;
        p.turn[kSpine] = Then(Rz(0.3f), Rx(0.15f));
        Arm(p, kRUpperArm, Rz(0.4f), Rx(-0.5f));
    } else if (name == "torax2") {
        p.turn[kSpine] = Rx(0.45f);
        p.turn[kHead] = Rx(0.3f);
        Arm(p, kRUpperArm, Rx(0.4f), Rx(-0.2f));
        Arm(p, kLUpperArm, Rx(0.4f), Rx(-0.2f));
    } else if (Has(name, "estomago")) {
        // Doubled over the blow to the belly.
        Legs(p, -0.45f, 0.8f);
        p.turn[kSpine] = Rx(0.7f);
        p.turn[kHead] = Rx(-0.2f);
        Arm(p, kRUpperArm, Rx(-0.4f), Rx(-1.5f));
        Arm(p, kLUpperArm, Rx(-0.4f), Rx(-1.5f));
    } else {
        // From the front: torax1, and the blows of the fights.
        const float hard = Has(name, "spartakick") ? 1.4f : 1.0f;
        Legs(p, -0.25f, 0.5f);
        p.turn[kSpine] = Rx(-0.4f * hard);
        p.turn[kHead] = Rx(-0.35f * hard);
        Arm(p, kRUpperArm, Then(Rx(-0.5f), Rz(0.3f)), Rx(-0.3f));
        Arm(p, kLUpperArm, Then(Rx(-0.5f), Rz(-0.3f)), Rx(-0.3f));
        if (Has(name, "gancho"))
            Add(p, kHead, Rz(left ? -0.35f : 0.35f));
        return p;
    }
    return left ? Mirror(p) : p;
}

std::vector<Key> HitKeys(const std::string& name, const BodyPose& stand)
{
    const BodyPose flinch = Flinch(name, stand);
    return {{0.0f, stand}, {0.17f, flinch}, {0.36f, Mix(stand, flinch, 0.75f)}, {0.8f, stand}, {1.0f, stand}};
}

// --- fights --------------------------------------------------------------------------------

enum class Blow { Jab, Hook, Uppercut, Body, Overhead, Push, Kick, HighKick, Knee, Slap, Elbow, Golf };

struct Strike {
    Blow blow;
    bool left; // struck with the left limb
    float at;  // seconds into the clip
};

BodyPose Guard()
{
    BodyPose p;
    Legs(p, -0.2f, 0.4f);
    Arm(p, kRUpperArm, Then(Rx(-0.6f), Rz(0.2f)), Rx(-1.8f));
    Arm(p, kLUpperArm, Then(Rx(-0.7f), Rz(-0.2f)), Rx(-1.9f));
    return p;
}

// The wind-up and the blow landing, struck with the right; the left mirrors it.
std::pair<BodyPose, BodyPose> BlowPoses(Blow blow)
{
    BodyPose windup = Guard(), hit = Guard();
    switch (blow) {
    case Blow::Jab:
        Arm(windup, kRUpperArm, Rx(-0.5f), Rx(-2.0f));
        windup.turn[kSpine] = Ry(0.25f);
        Arm(hit, kRUpperArm, Rx(-1.5f), Rx(-0.1f));
        hit.turn[kSpine] = Ry(-0.35f);
        break;
    case Blow::Hook:
        Arm(windup, kRUpperArm, Then(Rz(1.2f), Ry(0.4f)), Rx(-1.5f));
        windup.turn[kSpine] = Ry(0.45f);
        Arm(hit, kRUpperArm, Then(Rz(1.4f), Ry(-0.8f)), Rx(-1.5f));
        hit.turn[kSpine] = Ry(-0.6f);
        break;
    case Blow::Uppercut:
        Arm(windup, kRUpperArm, Rx(0.3f), Rx(-1.6f));
        Legs(windup, -0.6f, 1.1f);
        windup.turn[kSpine] = Rx(0.3f);
        Arm(hit, kRUpperArm, Rx(-1.2f), Rx(-1.9f));
        Legs(hit, 0.0f, 0.0f);
        hit.turn[kSpine] = Then(Rx(-0.2f), Ry(-0.3f));
        break;
    case Blow::Body:
        Arm(windup, kRUpperArm, Rx(-0.3f), Rx(-2.0f));
        windup.turn[kSpine] = Ry(0.3f);
        Arm(hit, kRUpperArm, Rx(-1.0f), Rx(-0.5f));
        Legs(hit, -0.5f, 0.9f);
        hit.turn[kSpine] = Then(Rx(0.35f), Ry(-0.35f));
        break;
    case Blow::Overhead:
        Arm(windup, kRUpperArm, Rx(-2.8f), Rx(-1.0f));
        windup.turn[kSpine] = Rx(-0.2f);
        Arm(hit, kRUpperArm, Rx(-1.0f), Rx(-0.2f));
        hit.turn[kSpine] = Rx(0.45f);
        break;
    case Blow::Push:
        Arm(windup, kRUpperArm, Rx(-0.7f), Rx(-1.6f));
        Arm(windup, kLUpperArm, Rx(-0.7f), Rx(-1.6f));
        windup.turn[kSpine] = Rx(-0.1f);
        Arm(hit, kRUpperArm, Rx(-1.5f), Rx(-0.15f));
        Arm(hit, kLUpperArm, Rx(-1.5f), Rx(-0.15f));
        hit.turn[kSpine] = Rx(0.3f);
        break;
    case Blow::Kick:
        Leg(windup, kRThigh, -0.8f, 1.6f);
        windup.turn[kSpine] = Rx(-0.15f);
        Leg(hit, kRThigh, -1.2f, 0.15f);
        hit.turn[kSpine] = Rx(-0.3f);
        break;
    case Blow::HighKick:
        Leg(windup, kRThigh, -1.5f, 2.0f);
        windup.turn[kSpine] = Rx(-0.2f);
        Leg(hit, kRThigh, -1.6f, 0.05f);
        hit.turn[kSpine] = Rx(-0.45f);
        break;
    case Blow::Knee:
        Arm(windup, kRUpperArm, Rx(-1.2f), Rx(-0.6f));
        Arm(windup, kLUpperArm, Rx(-1.2f), Rx(-0.6f));
        Leg(windup, kRThigh, 0.4f, 0.6f);
        Arm(hit, kRUpperArm, Rx(-0.9f), Rx(-1.3f));
        Arm(hit, kLUpperArm, Rx(-0.9f), Rx(-1.3f));
        Leg(hit, kRThigh, -1.9f, 2.3f);
        hit.turn[kSpine] = Rx(0.3f);
        break;
    case Blow::Slap:
        Arm(windup, kRUpperArm, Then(Rz(1.3f), Ry(0.6f)), Rx(-0.4f));
        windup.turn[kSpine] = Ry(0.4f);
        Arm(hit, kRUpperArm, Then(Rz(1.3f), Ry(-1.0f)), Rx(-0.3f));
        hit.turn[kSpine] = Ry(-0.5f);
        break;
    case Blow::Elbow:
        Arm(windup, kRUpperArm, Then(Rz(1.4f), Ry(0.5f)), Rx(-2.7f));
        windup.turn[kSpine] = Ry(0.4f);
        Arm(hit, kRUpperArm, Then(Rz(1.4f), Ry(-0.9f)), Rx(-2.7f));
        hit.turn[kSpine] = Ry(-0.6f);
        break;
    case Blow::Golf:
        // Both hands together: back up over the right shoulder, through low, up on the left.
        Arm(windup, kRUpperArm, Rz(1.6f), Rx(-0.3f));
        Arm(windup, kLUpperArm, Then(Rx(-1.0f), Ry(1.2f)), Rx(-0.3f));
        windup.turn[kSpine] = Ry(0.7f);
        Arm(hit, kRUpperArm, Then(Rx(-1.0f), Ry(-1.2f)), Rx(-0.3f));
        Arm(hit, kLUpperArm, Rz(-1.6f), Rx(-0.3f));
        hit.turn[kSpine] = Ry(-0.7f);
        break;
    }
    return {windup, hit};
}

// The blows a name speaks of, in the order it names them.
std::vector<Strike> StrikesNamed(const std::string& name)
{
    struct Word {
        const char* word;
        Blow blow;
        bool left;
    };
    // Longer words first, so "ganchobajofacial" is not read as "ganchobajo".
    static const Word words[] = {
        {"spartakick", Blow::HighKick, false}, {"patada", Blow::Kick, false}, {"rodillazo", Blow::Knee, false},
        {"empujon", Blow::Push, false},        {"ganchoarribabajo", Blow::Overhead, false},
        {"ganchobajofacial", Blow::Uppercut, false}, {"ganchobajo", Blow::Body, false},
        {"ganchoizq", Blow::Hook, true},       {"gancho", Blow::Hook, false}, {"estomago", Blow::Body, false},
        {"bofetada", Blow::Slap, false},       {"golf", Blow::Golf, false},   {"codazo", Blow::Elbow, false}};
    std::vector<Strike> strikes;
    if (Has(name, "izqderech")) {
        strikes.push_back({Blow::Jab, true, 0.3f});
        strikes.push_back({Blow::Jab, false, 0.55f});
        return strikes;
    }
    std::size_t from = 0;
    while (from < name.size()) {
        std::size_t best = std::string::npos;
        const Word* found = nullptr;
        for (const Word& w : words) {
            const std::size_t at = name.find(w.word, from);
            if (at != std::string::npos && (at < best || (at == best && found && std::string(w.word).size() >
                                                                                   std::string(found->word).size()))) {
                best = at;
                found = &w;
            }
        }
        if (!found)
            break;
        strikes.push_back({found->blow, found->left, 0.0f});
        from = best + std::string(found->word).size();
    }
    // A slap answered by the backhand.
    if (strikes.size() >= 2 && strikes[0].blow == Blow::Slap && strikes[1].blow == Blow::Golf)
        strikes.insert(strikes.begin() + 1, Strike{Blow::Slap, true, 0.0f});
    return strikes;
}

// The boss fight's moves in order: the hero's clip, the enemy's, and when
// the move's prompt opens.
struct FinisherClip {
    const char* hero;
    const char* enemy;
    float promptAt;
};
const FinisherClip kFinisherClips[] = {
    {"estomago", "recibe_estomago", 1.6f},
    {"ganchoizq", "recibe_ganchoizq", 1.0f},
    {"ganchobajofacial", "pega_ganchobajofacial", 0.4f},
    {"izqderechrapido", "recibe_izqderechrapido", 0.8f},
    {"empujon", "pega_empujon", 0.2f},
    {"patadahuevers", "pega_patadahuevers", 0.5f},
    {"rodillazo", "pega_rodillazo", 0.6f},
    {"ganchoarribabajo", "recibe_ganchoarribaabajo", 0.35f},
    {"ganchobajo", "recibe_ganchobajo", 0.7f},
    {"spartakick", "recibe_spartakick", 0.4f},
};

// When a fight's blows land, in seconds; the same moments on both fighters.
std::vector<Strike> FightStrikes(const std::string& name, float length)
{
    if (Has(name, "izqderech")) // left, right, quick
        return {{Blow::Jab, true, 0.3f * length}, {Blow::Jab, false, 0.55f * length}};
    std::vector<Strike> strikes = StrikesNamed(name);
    std::vector<float> times;
    if (Has(name, "bofetadaygolf"))
        times = {1.0f, 1.5f, 2.4f};
    else if (Has(name, "patadaycodazo"))
        times = {1.2f, 2.5f};
    else if (Has(name, "3hits") || Starts(name, "combo3"))
        times = {1.2f, 1.7f, 2.8f};
    else if (Has(name, "2hits") || Starts(name, "combo2"))
        times = {1.4f, 2.0f};
    const float promptAt = FinisherPromptAt(name);
    if (times.empty() && promptAt >= 0.0f) {
        // The blows of a boss-fight move land once its prompt is answered.
        const std::size_t count = std::max<std::size_t>(1, strikes.size());
        for (std::size_t i = 0; i < count; ++i)
            times.push_back(promptAt + 0.15f + 0.2f * i);
    }
    if (times.empty()) {
        // A fight not known yet: spread out over the clip.
        const std::size_t count = std::max<std::size_t>(1, strikes.size());
        for (std::size_t i = 0; i < count; ++i)
            times.push_back(length * (0.4f + 0.45f * i / count));
    }
    // Fists in turn where the name says no more.
    static const Strike plain[] = {{Blow::Jab, false, 0}, {Blow::Hook, true, 0}, {Blow::Uppercut, false, 0}};
    for (std::size_t i = strikes.size(); i < times.size(); ++i)
        strikes.push_back(plain[i % 3]);
    strikes.resize(times.size());
    for (std::size_t i = 0; i < times.size(); ++i)
        strikes[i].at = std::min(times[i], length * 0.9f);
    return strikes;
}

Motion StrikeMotion(const std::vector<Strike>& strikes, float length)
{
    std::vector<Key> keys = {{0.0f, Stand(false)}};
    float last = 0.0f;
    for (const Strike& s : strikes) {
        std::pair<BodyPose, BodyPose> poses = BlowPoses(s.blow);
        if (s.left)
            poses = {Mirror(poses.first), Mirror(poses.second)};
        const float windup = std::max(last + 0.04f, (s.at - 0.22f) / length);
        const float hit = std::max(windup + 0.03f, s.at / length);
        if (last < windup - 0.12f)
            keys.push_back({std::max(last + 0.02f, windup - 0.12f), Guard()});
        keys.push_back({windup, poses.first});
        keys.push_back({hit, poses.second});
        last = std::min(0.98f, hit + 0.07f / length);
        keys.push_back({last, poses.second});
    }
    keys.push_back({std::min(0.99f, last + 0.25f / length), Guard()});
    keys.push_back({1.0f, Stand(false)});
    return Keyed(keys);
}

// The opponent of a fight: each blow rocks him, the last one floors him.
Motion TakeComboMotion(const std::vector<Strike>& strikes, float length)
{
    const BodyPose stand = Stand(false);
    std::vector<Key> keys = {{0.0f, stand}};
    float last = 0.0f;
    for (std::size_t i = 0; i + 1 < strikes.size(); ++i) {
        const Strike& s = strikes[i];
        const BodyPose flinch = Flinch(s.left ? "recibe_ganchoizq" : "recibe_gancho", stand);
        const float hit = s.at / length;
        if (hit - 0.04f > last + 0.01f)
            keys.push_back({hit - 0.04f, stand});
        const float rocked = std::max(last + 0.03f, hit + 0.05f);
        keys.push_back({rocked, flinch});
        last = rocked + 0.15f;
        keys.push_back({last, Mix(stand, flinch, 0.3f)});
    }
    const float fallStart = std::max(last + 0.02f, std::min(strikes.back().at, length - 0.6f) / length);
    for (const Key& k : FallKeys(FallKind::Back, stand))
        if (k.phase > 0.0f)
            keys.push_back({fallStart + (1.0f - fallStart) * k.phase * 0.95f, k.pose});
    keys.push_back({1.0f, keys.back().pose});
    return Keyed(keys);
}

// --- the rest ------------------------------------------------------------------------------

std::vector<Key> RollKeys()
{
    BodyPose crouch = Stand(false);
    Legs(crouch, -1.2f, 2.0f);
    crouch.turn[kSpine] = Rx(0.7f);
    crouch.turn[kHead] = Rx(0.5f);
    Arm(crouch, kRUpperArm, Rx(-1.0f), Rx(-0.6f));
    Arm(crouch, kLUpperArm, Rx(-1.0f), Rx(-0.6f));
    BodyPose tuck;
    tuck.turn[kSpine] = Rx(0.8f);
    tuck.turn[kHead] = Rx(0.6f);
    Leg(tuck, kRThigh, -2.3f, 2.5f);
    Leg(tuck, kLThigh, -2.3f, 2.5f);
    Arm(tuck, kRUpperArm, Rx(-1.3f), Rx(-1.2f));
    Arm(tuck, kLUpperArm, Rx(-1.3f), Rx(-1.2f));
    std::vector<Key> keys = {{0.0f, Stand(false)}, {0.12f, crouch}};
    // Head over heels: the whole body turns once about the hips, a quarter at most per key.
    const float turns[] = {1.2f, 2.2f, 3.14f, 4.1f, 5.2f};
    const float lifts[] = {-15.0f, -9.0f, -5.0f, -9.0f, -15.0f};
    for (int i = 0; i < 5; ++i) {
        BodyPose p = tuck;
        p.turn[kRoot] = Rx(turns[i]);
        p.lift = lifts[i];
        keys.push_back({0.25f + 0.12f * i, p});
    }
    BodyPose up = crouch;
    up.turn[kRoot] = Rx(2 * kPi);
    keys.push_back({0.86f, up});
    BodyPose stand = Stand(false);
    stand.turn[kRoot] = Rx(2 * kPi);
    keys.push_back({1.0f, stand});
    return keys;
}

std::vector<Key> JumpKeys(bool overMan, bool twoHanded)
{
    const BodyPose stand = Stand(twoHanded);
    BodyPose crouch = stand;
    Legs(crouch, -0.6f, 1.0f);
    crouch.turn[kSpine] = Rx(0.4f);
    Arm(crouch, kRUpperArm, Rx(-0.9f), Rx(-0.2f));
    Arm(crouch, kLUpperArm, Rx(-0.9f), Rx(-0.2f));
    std::vector<Key> keys = {{0.0f, stand}, {0.15f, crouch}};
    BodyPose p;
    if (!overMan) {
        // Hands on the box, knees tucked over it.
        Leg(p, kRThigh, -1.3f, 1.8f);
        Leg(p, kLThigh, -1.3f, 1.8f);
        p.turn[kSpine] = Rx(0.5f);
        Arm(p, kRUpperArm, Rx(-0.4f), Rx(0.0f));
        Arm(p, kLUpperArm, Rx(-0.4f), Rx(0.0f));
        p.lift = 14.0f;
        keys.push_back({0.4f, p});
        Leg(p, kRThigh, -0.6f, 0.4f);
        Leg(p, kLThigh, -0.5f, 0.3f);
        p.lift = 6.0f;
        keys.push_back({0.6f, p});
    } else {
        // Reach the top, swing the body over it flat, drop down the far side.
        Arm(p, kRUpperArm, Rx(-2.8f), Rx(-0.2f));
        Arm(p, kLUpperArm, Rx(-2.8f), Rx(-0.2f));
        p.lift = 20.0f;
        keys.push_back({0.33f, p});
        p.turn[kRoot] = Rx(1.2f);
        Arm(p, kRUpperArm, Rx(-1.3f), Rx(0.0f));
        Arm(p, kLUpperArm, Rx(-1.3f), Rx(0.0f));
        Leg(p, kRThigh, -0.8f, 0.9f);
        Leg(p, kLThigh, -0.6f, 0.5f);
        p.lift = 45.0f;
        keys.push_back({0.55f, p});
        p.turn[kRoot] = Rx(0.3f);
        Arm(p, kRUpperArm, Rx(-2.0f), Rx(0.0f));
        Arm(p, kLUpperArm, Rx(-2.0f), Rx(0.0f));
        p.lift = 10.0f;
        keys.push_back({0.74f, p});
    }
    keys.push_back({0.86f, crouch});
    keys.push_back({1.0f, stand});
    return keys;
}

// The off hand goes to the weapon, down for a fresh load, back and home.
std::vector<Key> ReloadKeys(const BodyPose& base)
{
    BodyPose hold = base;
    Arm(hold, kRUpperArm, Rx(-0.5f), Rx(-1.3f));
    Arm(hold, kLUpperArm, Then(Rx(-0.5f), Ry(0.4f)), Then(Rx(-1.2f), Ry(0.8f)));
    Add(hold, kHead, Rx(0.35f));
    BodyPose fetch = hold;
    Arm(fetch, kLUpperArm, Rx(0.1f), Rx(-0.5f));
    BodyPose slap = hold;
    Arm(slap, kLUpperArm, Then(Rx(-0.6f), Ry(0.4f)), Then(Rx(-1.5f), Ry(0.8f)));
    return {{0.0f, base}, {0.2f, hold}, {0.4f, fetch}, {0.6f, hold}, {0.72f, slap}, {0.85f, hold}, {1.0f, base}};
}

// The aim kicks up at the shot and settles back: a few degrees, so the
// barrel still points where the shot went.
std::vector<Key> ShotKeys(const BodyPose& aim)
{
    BodyPose kick = aim;
    Add(kick, kRUpperArm, Rx(-0.12f));
    Add(kick, kLUpperArm, Rx(-0.08f));
    Add(kick, kSpine, Rx(-0.04f));
    return {{0.0f, aim}, {0.08f, kick}, {0.35f, aim}, {1.0f, aim}};
}

std::vector<Key> PointKeys()
{
    BodyPose point = Stand(false);
    Arm(point, kRUpperArm, Rx(-1.75f), Rx(-0.1f));
    point.turn[kSpine] = Ry(-0.25f);
    point.turn[kHead] = Ry(-0.15f);
    BodyPose again = point;
    Add(again, kRUpperArm, Rx(-0.15f));
    return {{0.0f, Stand(false)}, {0.25f, point}, {0.5f, again}, {0.75f, point}, {1.0f, Stand(false)}};
}

// Two steps to one side (-1 the left, +1 the right), aiming.
std::vector<Key> SidestepKeys(float side, bool twoHanded)
{
    const BodyPose aim = Aiming(twoHanded);
    BodyPose apart = aim;
    const int lead = side > 0 ? kRThigh : kLThigh, trail = side > 0 ? kLThigh : kRThigh;
    apart.turn[lead] = Rz(side * 0.35f);
    apart.turn[lead + 2] = Rz(-side * 0.35f);
    apart.turn[trail] = Rz(side * 0.1f);
    apart.lift = -1.5f;
    return {{0.0f, aim}, {0.25f, apart}, {0.5f, aim}, {0.75f, apart}, {1.0f, aim}};
}

// Running, walking and shuffling: legs swing in turn, arms against them;
// both hands on a long gun swing it together, a little.
Motion StrideMotion(BodyPose base, bool aiming, bool sideways, bool twoHanded)
{
    return [base, aiming, sideways, twoHanded](float phase) {
        BodyPose p = base;
        const float wave = std::sin(2 * kPi * phase);
        const float bob = std::fabs(std::sin(2 * kPi * phase));
        if (sideways) {
            Add(p, kRThigh, Rz(0.2f * wave));
            Add(p, kLThigh, Rz(0.2f * wave));
            p.lift -= 1.0f * bob;
            return p;
        }
        Leg(p, kRThigh, -0.6f * wave, 0.9f * std::max(0.0f, wave));
        Leg(p, kLThigh, 0.6f * wave, 0.9f * std::max(0.0f, -wave));
        p.lift = -2.0f + 1.5f * bob;
        if (!aiming) {
            Add(p, kRUpperArm, Rx((twoHanded ? 0.08f : 0.4f) * wave));
            Add(p, kLUpperArm, Rx((twoHanded ? 0.08f : -0.4f) * wave));
            p.turn[kSpine] = Rx(0.12f);
        }
        return p;
    };
}

Motion GestureMotion()
{
    return [](float phase) {
        const float swing = std::sin(kPi * phase);
        BodyPose p = Stand(false);
        Add(p, kRUpperArm, Rz(0.6f * swing));
        Add(p, kLUpperArm, Rz(-0.4f * swing));
        p.turn[kSpine] = Rx(0.2f * swing);
        return p;
    };
}

bool IsCycleName(const std::string& name)
{
    for (const char* part : {"idle", "Idle", "run", "andar", "walking", "move", "Move"})
        if (Has(name, part))
            return true;
    if (name == "aiming" || name == "aiming_shotgun" || name == "aiming_thompson")
        return true;
    return Starts(name, "aimingPorIzq_") && !Has(name, "Fire");
}

bool LiesAfterwards(const std::string& name)
{
    return Starts(name, "death") || Has(name, "dead") || Starts(name, "vuelta") || Has(name, "_KO") ||
           Starts(name, "paletavolador") || Has(name, "_death");
}

bool IsFall(const std::string& name)
{
    return name == "dead" || Starts(name, "death_") || name == "headdead" || name == "vuelta" ||
           name == "paletavolador";
}

bool IsHit(const std::string& name)
{
    return Starts(name, "arm") || Starts(name, "leg") || Starts(name, "torax") || Starts(name, "recibe_");
}

bool IsStrikeName(const std::string& name)
{
    return !Starts(name, "recibe_") && !StrikesNamed(name).empty();
}

// Whoever takes cover holds a heading across it, toward the side he hides
// from: he peeks, shoots and vaults that way. Crouched or standing behind it
// between those he is turned half round, his back to it.
BodyPose BackToCover(BodyPose pose)
{
    pose.turn[kRoot] = Then(pose.turn[kRoot], Ry(kPi));
    return pose;
}

Motion CoverMotion(const std::string& name, bool low, bool twoHanded)
{
    const BodyPose stance = BackToCover(low ? Crouch(twoHanded) : Wall(twoHanded));
    // Leant out past a high wall he faces across it, its start on his left:
    // the "R" clips lean out round that end (as the "aimingPorIzq_" cycles
    // aim round it), the "L" ones round the other, on his right.
    const float side = name.back() == 'R' ? -1.0f : 1.0f;
    const BodyPose out = low ? RiseOver(twoHanded) : LeanOut(side, twoHanded);
    if (Has(name, "reload"))
        return Keyed(ReloadKeys(stance));
    if (Has(name, "asomarida") || Has(name, "showida"))
        return Keyed({{0.0f, stance}, {0.6f, out}, {1.0f, out}});
    if (Has(name, "asomarvuelta") || Has(name, "showvuelta"))
        return Keyed({{0.0f, out}, {0.7f, stance}, {1.0f, stance}});
    if (Has(name, "fire") || Has(name, "Fire"))
        return Keyed(ShotKeys(out));
    if (Has(name, "_enter"))
        return Keyed({{0.0f, Stand(twoHanded)}, {0.7f, stance}, {1.0f, stance}});
    if (Has(name, "_exit"))
        return Keyed({{0.0f, stance}, {0.7f, Stand(twoHanded)}, {1.0f, Stand(twoHanded)}});
    if (Has(name, "move") || Has(name, "Move"))
        return StrideMotion(stance, false, true, twoHanded);
    return Breathing(stance, 1.0f);
}

} // namespace

CalQuaternion AxisAngle(const CalVector& axis, float angle)
{
    static const bool flip = [] {
        CalQuaternion q(0.0f, 0.0f, std::sin(posing::kPi / 4), std::cos(posing::kPi / 4));
        CalVector v(1, 0, 0);
        v *= q;
        return v.y < 0.0f; // a quarter turn about +z must take +x to +y
    }();
    const float s = std::sin(angle / 2) * (flip ? -1.0f : 1.0f);
    return CalQuaternion(axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2));
}

float FinisherPromptAt(const std::string& name)
{
    for (const FinisherClip& clip : kFinisherClips)
        if (name == clip.hero || name == clip.enemy)
            return clip.promptAt;
    return -1.0f;
}

MotionFamily FamilyOf(const std::string& name, bool hero)
{
    if (LiesAfterwards(name) && (IsCycleName(name) || Has(name, "_death")))
        return MotionFamily::Lie;
    if (IsFall(name))
        return MotionFamily::Fall;
    if (IsHit(name))
        return MotionFamily::Hit;
    if (Has(name, "roll") || Has(name, "Roll"))
        return MotionFamily::Roll;
    if (Starts(name, "jump"))
        return MotionFamily::Jump;
    if (Starts(name, "pBajo_"))
        return MotionFamily::LowCover;
    if (Starts(name, "palto_") || Starts(name, "pAlto_") || Starts(name, "aimingPorIzq_"))
        return MotionFamily::HighCover;
    if (Has(name, "reload"))
        return MotionFamily::Reload;
    if (Starts(name, "fire_") || Has(name, "_fire") || name == "shoot_aiming" || Has(name, "Fire"))
        return MotionFamily::Shot;
    if (Starts(name, "combo"))
        return hero ? MotionFamily::Combo : MotionFamily::TakeCombo;
    if (Starts(name, "pega_") || (hero && IsStrikeName(name)))
        return MotionFamily::Strike;
    if (Starts(name, "senalando"))
        return MotionFamily::Point;
    if (Starts(name, "paso"))
        return MotionFamily::Sidestep;
    if (IsCycleName(name)) {
        const bool moving = Has(name, "run") || Has(name, "andar") || Has(name, "walking") || Has(name, "ove");
        if (Has(name, "aiming"))
            return moving ? MotionFamily::AimWalk : MotionFamily::Aim;
        return moving ? MotionFamily::Stride : MotionFamily::Idle;
    }
    return MotionFamily::Gesture;
}

Motion MotionOf(const std::string& name, bool hero, float length)
{
    const bool twoHanded = TwoHanded(name);
    const BodyPose stand = Stand(twoHanded);
    switch (FamilyOf(name, hero)) {
    case MotionFamily::Idle:
        return Breathing(stand, 1.0f);
    case MotionFamily::Stride:
        return StrideMotion(stand, false, false, twoHanded);
    case MotionFamily::Aim:
        return Breathing(Aiming(twoHanded), 0.5f);
    case MotionFamily::AimWalk:
        return StrideMotion(Aiming(twoHanded), true, false, twoHanded);
    case MotionFamily::Lie:
        return Breathing(LyingOf(name), 0.15f);
    case MotionFamily::Fall:
        return Keyed(FallKeys(FallKindOf(name), stand));
    case MotionFamily::Hit:
        return Keyed(HitKeys(name, stand));
    case MotionFamily::Roll:
        return Keyed(RollKeys());
    case MotionFamily::LowCover:
        return CoverMotion(name, true, twoHanded);
    case MotionFamily::HighCover:
        if (Starts(name, "aimingPorIzq_"))
            return Has(name, "Fire") ? Keyed(ShotKeys(LeanOut(-1.0f, twoHanded)))
                                     : Breathing(LeanOut(-1.0f, twoHanded), 0.5f);
        return CoverMotion(name, false, twoHanded);
    case MotionFamily::Jump:
        return Keyed(JumpKeys(Has(name, "man"), twoHanded));
    case MotionFamily::Reload:
        return Keyed(ReloadKeys(stand));
    case MotionFamily::Shot:
        return Keyed(ShotKeys(Aiming(twoHanded)));
    case MotionFamily::Combo:
    case MotionFamily::Strike: {
        std::vector<Strike> strikes = FightStrikes(name, length);
        return StrikeMotion(strikes, length);
    }
    case MotionFamily::TakeCombo:
        return TakeComboMotion(FightStrikes(name, length), length);
    case MotionFamily::Point:
        return Keyed(PointKeys());
    case MotionFamily::Sidestep:
        return Keyed(SidestepKeys(Has(name, "izquierdo") ? -1.0f : 1.0f, twoHanded));
    case MotionFamily::Gesture:
        break;
    }
    return GestureMotion();
}

} // namespace datagen
