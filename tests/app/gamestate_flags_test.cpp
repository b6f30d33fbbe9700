#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "app/GameStateFlags.h"

namespace {

using GSF = CGameStateFlagsManager;
using Field = std::int32_t GSF::*;
using Setter = void (GSF::*)();
using Tester = bool (GSF::*)() const;

struct CodeEntry {
    const char* name;
    Field field;
    std::int32_t code; // the number the rest of the game and the data agree on
    Setter set;
    Tester is; // null for codes nobody tests
};

const std::vector<CodeEntry>& Codes()
{
    static const std::vector<CodeEntry> codes = {
        {"ReadyVinyetasIntro1", &GSF::sequence, 7, &GSF::setReadyVinyetasIntro1, &GSF::isReadyVinyetasIntro1},
        {"PlayingVinyetasIntro1", &GSF::sequence, 0, &GSF::setPlayingVinyetasIntro1, &GSF::isPlayingVinyetasIntro1},
        {"ReadyVinyetasIntro2", &GSF::sequence, 8, &GSF::setReadyVinyetasIntro2, &GSF::isReadyVinyetasIntro2},
        {"PlayingVinyetasIntro2", &GSF::sequence, 1, &GSF::setPlayingVinyetasIntro2, &GSF::isPlayingVinyetasIntro2},
        {"ReadyCamIntroHangares", &GSF::sequence, 9, &GSF::setReadyCamIntroHangares, &GSF::isReadyCamIntroHangares},
        {"PlayingCamIntroHangares", &GSF::sequence, 2, &GSF::setPlayingCamIntroHangares, &GSF::isPlayingCamIntroHangares},
        {"HangaresIntroDone", &GSF::sequence, 10, &GSF::setHangaresIntroDone, nullptr},
        {"PlayingCamHangaresLlegadaAvion", &GSF::sequence, 3, &GSF::setPlayingCamHangaresLlegadaAvion, &GSF::isPlayingCamHangaresLlegadaAvion},
        {"ReadyCamAvionetaNueva2", &GSF::sequence, 48, &GSF::setReadyCamAvionetaNueva2, &GSF::isReadyCamAvionetaNueva2},
        {"PlayingCamAvionetaNueva2", &GSF::sequence, 46, &GSF::setPlayingCamAvionetaNueva2, &GSF::isPlayingCamAvionetaNueva2},
        {"ReadyCamAvionetaNueva3", &GSF::sequence, 49, &GSF::setReadyCamAvionetaNueva3, &GSF::isReadyCamAvionetaNueva3},
        {"PlayingCamAvionetaNueva3", &GSF::sequence, 47, &GSF::setPlayingCamAvionetaNueva3, &GSF::isPlayingCamAvionetaNueva3},
        {"HangaresAvionetaDone", &GSF::sequence, 11, &GSF::setHangaresAvionetaDone, nullptr},
        {"PlayingSecondMovie", &GSF::sequence, 4, &GSF::setPlayingSecondMovie, &GSF::isPlayingSecondMovie},
        {"ReadyCamEmpalado", &GSF::sequence, 12, &GSF::setReadyCamEmpalado, &GSF::isReadyCamEmpalado},
        {"PlayingCamEmpalado", &GSF::sequence, 5, &GSF::setPlayingCamEmpalado, &GSF::isPlayingCamEmpalado},
        {"PlayingCamHangar", &GSF::sequence, 34, &GSF::setPlayingCamHangar, &GSF::isPlayingCamHangar},
        {"HangaresEmpaladoDone", &GSF::sequence, 35, &GSF::setHangaresEmpaladoDone, nullptr},
        {"ReadyVinyetasFinalHangares", &GSF::sequence, 13, &GSF::setReadyVinyetasFinalHangares, &GSF::isReadyVinyetasFinalHangares},
        {"PlayingVinyetasFinalHangares", &GSF::sequence, 6, &GSF::setPlayingVinyetasFinalHangares, &GSF::isPlayingVinyetasFinalHangares},

        {"RigidasHangaresIdle", &GSF::hangarRigidState, 39, &GSF::setRigidasHangaresIdle, nullptr},
        {"RigidasHangaresDespegueAvion", &GSF::hangarRigidState, 44, &GSF::setRigidasHangaresDespegueAvion, &GSF::isRigidasHangaresDespegueAvion},
        {"RigidasHangaresDespegueAvionDone", &GSF::hangarRigidState, 40, &GSF::setRigidasHangaresDespegueAvionDone, nullptr},
        {"RigidasHangaresLlegadaAvion", &GSF::hangarRigidState, 45, &GSF::setRigidasHangaresLlegadaAvion, &GSF::isRigidasHangaresLlegadaAvion},
        {"RigidasHangaresLlegadaAvionDone", &GSF::hangarRigidState, 41, &GSF::setRigidasHangaresLlegadaAvionDone, &GSF::isRigidasHangaresLlegadaAvionDone},
        {"PlayingRigidaEneAvioneta", &GSF::hangarRigidState, 36, &GSF::setPlayingRigidaEneAvioneta, &GSF::isPlayingRigidaEneAvioneta},
        {"RigidaEneAvionetaDone", &GSF::hangarRigidState, 42, &GSF::setRigidaEneAvionetaDone, nullptr},
        {"PlayingRigidasHangarOpen", &GSF::hangarRigidState, 37, &GSF::setPlayingRigidasHangarOpen, &GSF::isPlayingRigidasHangarOpen},
        {"RigidasHangarOpenDone", &GSF::hangarRigidState, 43, &GSF::setRigidasHangarOpenDone, nullptr},
        {"RigidasHangarExplosion", &GSF::hangarRigidState, 38, &GSF::setRigidasHangarExplosion, &GSF::isRigidasHangarExplosion},

        {"ReadyCamIslaIntro", &GSF::islaSequence, 116, &GSF::setReadyCamIslaIntro, &GSF::isReadyCamIslaIntro},
        {"ReadyLevelSwitchIsla", &GSF::islaSequence, 117, &GSF::setReadyLevelSwitchIsla, &GSF::isReadyLevelSwitchIsla},
        {"PlayingCamIslaIntro", &GSF::islaSequence, 100, &GSF::setPlayingCamIslaIntro, &GSF::isPlayingCamIslaIntro},
        {"IslaIntroDone", &GSF::islaSequence, 109, &GSF::setIslaIntroDone, nullptr},
        {"PlayingCamIslaLlegadaPlaza", &GSF::islaSequence, 102, &GSF::setPlayingCamIslaLlegadaPlaza, &GSF::isPlayingCamIslaLlegadaPlaza},
        {"IslaLlegadaPlazaDone", &GSF::islaSequence, 110, &GSF::setIslaLlegadaPlazaDone, nullptr},
        {"PlayingCamIslaSegundaOleadaPlaza", &GSF::islaSequence, 103, &GSF::setPlayingCamIslaSegundaOleadaPlaza, &GSF::isPlayingCamIslaSegundaOleadaPlaza},
        {"IslaSegundaOleadaPlazaDone", &GSF::islaSequence, 111, &GSF::setIslaSegundaOleadaPlazaDone, nullptr},
        {"PlayingCamIslaOleadaAndamio", &GSF::islaSequence, 104, &GSF::setPlayingCamIslaOleadaAndamio, &GSF::isPlayingCamIslaOleadaAndamio},
        {"PlayingVinyetasDockersHuye", &GSF::islaSequence, 105, &GSF::setPlayingVinyetasDockersHuye, &GSF::isPlayingVinyetasDockersHuye},
        {"PlayingVinyetasPredockers", &GSF::islaSequence, 106, &GSF::setPlayingVinyetasPredockers, &GSF::isPlayingVinyetasPredockers},
        {"ReadyCamIslaVinyetasIntroLucha", &GSF::islaSequence, 113, &GSF::setReadyCamIslaVinyetasIntroLucha, &GSF::isReadyCamIslaVinyetasIntroLucha},
        {"ReadyMemoriam", &GSF::islaSequence, 114, &GSF::setReadyMemoriam, &GSF::isReadyMemoriam},
        {"PlayingMemoriam", &GSF::islaSequence, 107, &GSF::setPlayingMemoriam, &GSF::isPlayingMemoriam},
        {"ReadyCreditos", &GSF::islaSequence, 115, &GSF::setReadyCreditos, &GSF::isReadyCreditos},
        {"PlayingCreditos", &GSF::islaSequence, 108, &GSF::setPlayingCreditos, &GSF::isPlayingCreditos},
    };
    return codes;
}

bool StartsWith(const char* text, const char* prefix)
{
    return std::string(text).rfind(prefix, 0) == 0;
}

TEST(GameStateFlags, FreshRecordIsZeroAndResetStartsANewRun)
{
    GSF record;
    EXPECT_EQ(record.sequence, 0);
    EXPECT_EQ(record.hangarRigidState, 0);
    EXPECT_EQ(record.islaSequence, 0);
    EXPECT_FALSE(record.pierIntact);
    EXPECT_FALSE(record.hangaresLevel);

    record.resetStates();
    EXPECT_EQ(record.sequence, 7);
    EXPECT_EQ(record.hangarRigidState, 39);
    EXPECT_EQ(record.islaSequence, 116);
    EXPECT_TRUE(record.pierIntact);
    EXPECT_TRUE(record.hangaresLevel);
    EXPECT_TRUE(record.isReadyVinyetasIntro1());
    EXPECT_TRUE(record.isReadyCamIslaIntro());
    for (const CodeEntry& entry : Codes()) {
        if (entry.is != nullptr && StartsWith(entry.name, "Playing"))
            EXPECT_FALSE((record.*entry.is)()) << entry.name << " after reset";
    }
}

// Each setter stores its own number in its own field, touching nothing else,
// and the tests of that field then answer true for exactly that code.
TEST(GameStateFlags, EverySetterStoresItsCodeInItsFieldOnly)
{
    for (const CodeEntry& entry : Codes()) {
        SCOPED_TRACE(entry.name);
        GSF record;
        record.resetStates();
        // Start every field away from any real code so a stray write shows.
        record.sequence = -1;
        record.hangarRigidState = -1;
        record.islaSequence = -1;

        (record.*entry.set)();

        EXPECT_EQ(record.*entry.field, entry.code);
        for (Field other : {&GSF::sequence, &GSF::hangarRigidState, &GSF::islaSequence}) {
            if (other != entry.field)
                EXPECT_EQ(record.*other, -1);
        }
        EXPECT_TRUE(record.hangaresLevel);
        if (entry.set != &GSF::setPlayingSecondMovie)
            EXPECT_TRUE(record.pierIntact);

        for (const CodeEntry& probe : Codes()) {
            if (probe.is == nullptr)
                continue;
            const bool expected = probe.field == entry.field && probe.code == entry.code;
            EXPECT_EQ((record.*probe.is)(), expected) << "test " << probe.name;
        }
    }
}

TEST(GameStateFlags, CodesOfAFieldAreDistinct)
{
    const Field fields[] = {&GSF::sequence, &GSF::hangarRigidState, &GSF::islaSequence};
    std::set<std::pair<int, std::int32_t>> seen;
    for (const CodeEntry& entry : Codes()) {
        int index = 0;
        while (fields[index] != entry.field)
            ++index;
        EXPECT_TRUE(seen.insert({index, entry.code}).second) << entry.name;
    }
    EXPECT_EQ(Codes().size(), 46u);
}

TEST(GameStateFlags, SecondMovieBreaksThePierUntilTheNextReset)
{
    GSF record;
    record.resetStates();
    record.setPlayingSecondMovie();
    EXPECT_FALSE(record.pierIntact);

    // The story moves on; nothing but a reset brings the pier back.
    record.setReadyCamEmpalado();
    record.setPlayingCamEmpalado();
    record.setHangaresEmpaladoDone();
    record.setReadyVinyetasIntro1();
    EXPECT_FALSE(record.pierIntact);

    record.resetStates();
    EXPECT_TRUE(record.pierIntact);
}

} // namespace
