#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/GameStateFlags.h"

namespace {

using GSF = CGameStateFlagsManager;
using Field = std::int32_t GSF::*;

struct CodeEntry {
    const char* name;
    Field field;
    std::int32_t code;
    void (GSF::*set)();
    bool (GSF::*is)() const; // null for codes nobody tests
};

#define TESTED(field, name) {#name, &GSF::field, GSF::name, &GSF::set##name, &GSF::is##name}
#define UNTESTED(field, name) {#name, &GSF::field, GSF::name, &GSF::set##name, nullptr}

const CodeEntry kCodes[] = {
    TESTED(sequence, ReadyVinyetasIntro1), TESTED(sequence, PlayingVinyetasIntro1),
    TESTED(sequence, ReadyVinyetasIntro2), TESTED(sequence, PlayingVinyetasIntro2),
    TESTED(sequence, ReadyCamIntroHangares), TESTED(sequence, PlayingCamIntroHangares),
    UNTESTED(sequence, HangaresIntroDone), TESTED(sequence, PlayingCamHangaresLlegadaAvion),
    TESTED(sequence, ReadyCamAvionetaNueva2), TESTED(sequence, PlayingCamAvionetaNueva2),
    TESTED(sequence, ReadyCamAvionetaNueva3), TESTED(sequence, PlayingCamAvionetaNueva3),
    UNTESTED(sequence, HangaresAvionetaDone), TESTED(sequence, PlayingSecondMovie),
    TESTED(sequence, ReadyCamEmpalado), TESTED(sequence, PlayingCamEmpalado), TESTED(sequence, PlayingCamHangar),
    UNTESTED(sequence, HangaresEmpaladoDone), TESTED(sequence, ReadyVinyetasFinalHangares),
    TESTED(sequence, PlayingVinyetasFinalHangares), UNTESTED(hangarRigidState, RigidasHangaresIdle),
    TESTED(hangarRigidState, RigidasHangaresDespegueAvion),
    UNTESTED(hangarRigidState, RigidasHangaresDespegueAvionDone),
    TESTED(hangarRigidState, RigidasHangaresLlegadaAvion), TESTED(hangarRigidState, RigidasHangaresLlegadaAvionDone),
    TESTED(hangarRigidState, PlayingRigidaEneAvioneta), UNTESTED(hangarRigidState, RigidaEneAvionetaDone),
    TESTED(hangarRigidState, PlayingRigidasHangarOpen), UNTESTED(hangarRigidState, RigidasHangarOpenDone),
    TESTED(hangarRigidState, RigidasHangarExplosion), TESTED(islaSequence, ReadyCamIslaIntro),
    TESTED(islaSequence, ReadyLevelSwitchIsla), TESTED(islaSequence, PlayingCamIslaIntro),
    UNTESTED(islaSequence, IslaIntroDone), TESTED(islaSequence, PlayingCamIslaLlegadaPlaza),
    UNTESTED(islaSequence, IslaLlegadaPlazaDone), TESTED(islaSequence, PlayingCamIslaSegundaOleadaPlaza),
    UNTESTED(islaSequence, IslaSegundaOleadaPlazaDone), TESTED(islaSequence, PlayingCamIslaOleadaAndamio),
    TESTED(islaSequence, PlayingVinyetasDockersHuye), TESTED(islaSequence, PlayingVinyetasPredockers),
    TESTED(islaSequence, ReadyCamIslaVinyetasIntroLucha), TESTED(islaSequence, ReadyMemoriam),
    TESTED(islaSequence, PlayingMemoriam), TESTED(islaSequence, ReadyCreditos), TESTED(islaSequence, PlayingCreditos),
};

#undef TESTED
#undef UNTESTED

// Each setter stores its own number in its own field, touching nothing else,
// and the tests of that field then answer true for exactly that code; no two
// codes of a field are the same.
TEST(GameStateFlags, EverySetterStoresItsCodeInItsFieldOnly)
{
    std::set<std::pair<std::string, std::int32_t>> seen;
    for (const CodeEntry& entry : kCodes) {
        SCOPED_TRACE(entry.name);
        GSF record;
        record.resetStates();
        // Start every field away from any real code so a stray write shows.
        record.sequence = record.hangarRigidState = record.islaSequence = -1;
        (record.*entry.set)();

        EXPECT_EQ(record.*entry.field, entry.code);
        for (Field other : {&GSF::sequence, &GSF::hangarRigidState, &GSF::islaSequence})
            if (other != entry.field)
                EXPECT_EQ(record.*other, -1);
        EXPECT_TRUE(record.hangaresLevel);
        EXPECT_EQ(record.pierIntact, entry.set != &GSF::setPlayingSecondMovie) << "the second movie breaks the pier";
        for (const CodeEntry& probe : kCodes)
            if (probe.is != nullptr)
                EXPECT_EQ((record.*probe.is)(), probe.field == entry.field && probe.code == entry.code) << probe.name;

        const std::string field = entry.field == &GSF::sequence ? "s" : entry.field == &GSF::islaSequence ? "i" : "h";
        EXPECT_TRUE(seen.insert({field, entry.code}).second) << "code used twice";
    }
}

// A reset starts a new run: the first level's intro panels, the hangar idle,
// the island's intro, and a pier the second movie broke whole again.
TEST(GameStateFlags, ResetStartsANewRunAndMendsThePier)
{
    GSF record;
    record.resetStates();
    record.setPlayingSecondMovie();
    record.setPlayingCamEmpalado();
    record.setReadyVinyetasIntro1();
    EXPECT_FALSE(record.pierIntact) << "later codes do not mend it";
    record.hangaresLevel = false;
    record.resetStates();
    EXPECT_EQ(record.sequence, GSF::ReadyVinyetasIntro1);
    EXPECT_EQ(record.hangarRigidState, GSF::RigidasHangaresIdle);
    EXPECT_EQ(record.islaSequence, GSF::ReadyCamIslaIntro);
    EXPECT_TRUE(record.pierIntact);
    EXPECT_TRUE(record.hangaresLevel);
}

} // namespace
