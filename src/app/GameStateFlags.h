#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One of the record's story codes, read as a plain number. A watcher, when
// one is set, hears of every store: a "Ready" code that the sequencer starts
// within the same update lives between two stores and never between frames.
class StoryCode {
public:
    StoryCode(std::int32_t code = 0) : m_Code(code) {}
    StoryCode(const StoryCode& other) = default;
    StoryCode& operator=(const StoryCode& other) { return *this = other.m_Code; }
    StoryCode& operator=(std::int32_t code)
    {
        m_Code = code;
        if (watcher)
            watcher();
        return *this;
    }
    operator std::int32_t() const { return m_Code; }

    // Runs after every store into any story code (tests and benches).
    static inline std::function<void()> watcher;

private:
    std::int32_t m_Code;
};

// Where the story stands: which comic panels, camera flight or rigid animation
// of the two levels is ready, playing or done. The cut-scene sequencer drives
// it; the renderer, GUI, sound, enemy waves, collisions, fight code and scripts
// test or set single codes. The three code fields move independently and a
// setter stores its code whatever the field held before: the order of the
// story lives in the writers, not here.
class CGameStateFlagsManager {
public:
    // Codes of `sequence`: the first level's panels and camera flights.
    enum : std::int32_t {
        PlayingVinyetasIntro1 = 0,
        PlayingVinyetasIntro2 = 1,
        PlayingCamIntroHangares = 2,
        PlayingCamHangaresLlegadaAvion = 3,
        PlayingSecondMovie = 4,
        PlayingCamEmpalado = 5,
        PlayingVinyetasFinalHangares = 6,
        ReadyVinyetasIntro1 = 7,
        ReadyVinyetasIntro2 = 8,
        ReadyCamIntroHangares = 9,
        HangaresIntroDone = 10,
        HangaresAvionetaDone = 11,
        ReadyCamEmpalado = 12,
        ReadyVinyetasFinalHangares = 13,
        PlayingCamHangar = 34,
        HangaresEmpaladoDone = 35,
        PlayingCamAvionetaNueva2 = 46,
        PlayingCamAvionetaNueva3 = 47,
        ReadyCamAvionetaNueva2 = 48,
        ReadyCamAvionetaNueva3 = 49,
    };

    // Codes of `hangarRigidState`: the plane and hangar rigid animations.
    enum : std::int32_t {
        PlayingRigidaEneAvioneta = 36,
        PlayingRigidasHangarOpen = 37,
        RigidasHangarExplosion = 38,
        RigidasHangaresIdle = 39,
        RigidasHangaresDespegueAvionDone = 40,
        RigidasHangaresLlegadaAvionDone = 41,
        RigidaEneAvionetaDone = 42,
        RigidasHangarOpenDone = 43,
        RigidasHangaresDespegueAvion = 44,
        RigidasHangaresLlegadaAvion = 45,
    };

    // Codes of `islaSequence`: the island, including the switch to it.
    enum : std::int32_t {
        PlayingCamIslaIntro = 100,
        PlayingCamIslaLlegadaPlaza = 102,
        PlayingCamIslaSegundaOleadaPlaza = 103,
        PlayingCamIslaOleadaAndamio = 104,
        PlayingVinyetasDockersHuye = 105,
        PlayingVinyetasPredockers = 106,
        PlayingMemoriam = 107,
        PlayingCreditos = 108,
        IslaIntroDone = 109,
        IslaLlegadaPlazaDone = 110,
        IslaSegundaOleadaPlazaDone = 111,
        ReadyCamIslaVinyetasIntroLucha = 113,
        ReadyMemoriam = 114,
        ReadyCreditos = 115,
        ReadyCamIslaIntro = 116,
        ReadyLevelSwitchIsla = 117,
    };

    StoryCode sequence = 0;
    StoryCode hangarRigidState = 0;
    // While set, the intact pier stands; the second comic sequence breaks it.
    bool pierIntact = false;
    StoryCode islaSequence = 0;
    // The hangar wave the enemies are fighting (14 + digit) or that is
    // cleared (25 + digit); the enemy manager writes it every frame.
    std::int32_t waveCode = 0;
    // Set while the run is on the first level.
    bool hangaresLevel = false;

    // The start of a new run: intro panels ready, nothing playing, pier intact.
    void resetStates();

    // "wave_0d": 14 + d while anyone is alive, else 25 + d; "wave_09" alive
    // gives 23. Other names leave the code as it was.
    void setWaveCodeFromName(const std::string& wave, bool anyAlive);

    // --- first level ---------------------------------------------------------
    bool isReadyVinyetasIntro1() const { return sequence == ReadyVinyetasIntro1; }
    void setReadyVinyetasIntro1() { sequence = ReadyVinyetasIntro1; }
    bool isPlayingVinyetasIntro1() const { return sequence == PlayingVinyetasIntro1; }
    void setPlayingVinyetasIntro1() { sequence = PlayingVinyetasIntro1; }
    bool isReadyVinyetasIntro2() const { return sequence == ReadyVinyetasIntro2; }
    void setReadyVinyetasIntro2() { sequence = ReadyVinyetasIntro2; }
    bool isPlayingVinyetasIntro2() const { return sequence == PlayingVinyetasIntro2; }
    void setPlayingVinyetasIntro2() { sequence = PlayingVinyetasIntro2; }
    bool isReadyCamIntroHangares() const { return sequence == ReadyCamIntroHangares; }
    void setReadyCamIntroHangares() { sequence = ReadyCamIntroHangares; }
    bool isPlayingCamIntroHangares() const { return sequence == PlayingCamIntroHangares; }
    void setPlayingCamIntroHangares() { sequence = PlayingCamIntroHangares; }
    void setHangaresIntroDone() { sequence = HangaresIntroDone; }
    bool isPlayingCamHangaresLlegadaAvion() const { return sequence == PlayingCamHangaresLlegadaAvion; }
    void setPlayingCamHangaresLlegadaAvion() { sequence = PlayingCamHangaresLlegadaAvion; }
    bool isReadyCamAvionetaNueva2() const { return sequence == ReadyCamAvionetaNueva2; }
    void setReadyCamAvionetaNueva2() { sequence = ReadyCamAvionetaNueva2; }
    bool isPlayingCamAvionetaNueva2() const { return sequence == PlayingCamAvionetaNueva2; }
    void setPlayingCamAvionetaNueva2() { sequence = PlayingCamAvionetaNueva2; }
    bool isReadyCamAvionetaNueva3() const { return sequence == ReadyCamAvionetaNueva3; }
    void setReadyCamAvionetaNueva3() { sequence = ReadyCamAvionetaNueva3; }
    bool isPlayingCamAvionetaNueva3() const { return sequence == PlayingCamAvionetaNueva3; }
    void setPlayingCamAvionetaNueva3() { sequence = PlayingCamAvionetaNueva3; }
    void setHangaresAvionetaDone() { sequence = HangaresAvionetaDone; }
    bool isPlayingSecondMovie() const { return sequence == PlayingSecondMovie; }
    // The second comic sequence is where the pier gets destroyed.
    void setPlayingSecondMovie()
    {
        sequence = PlayingSecondMovie;
        pierIntact = false;
    }
    bool isReadyCamEmpalado() const { return sequence == ReadyCamEmpalado; }
    void setReadyCamEmpalado() { sequence = ReadyCamEmpalado; }
    bool isPlayingCamEmpalado() const { return sequence == PlayingCamEmpalado; }
    void setPlayingCamEmpalado() { sequence = PlayingCamEmpalado; }
    bool isPlayingCamHangar() const { return sequence == PlayingCamHangar; }
    void setPlayingCamHangar() { sequence = PlayingCamHangar; }
    // The island's marker points at the scaffold once it blew up.
    int islaMarker = 0;
    void setIslaMarkerAndamio() { islaMarker = 1; }
    void setHangaresEmpaladoDone() { sequence = HangaresEmpaladoDone; }
    bool isReadyVinyetasFinalHangares() const { return sequence == ReadyVinyetasFinalHangares; }
    void setReadyVinyetasFinalHangares() { sequence = ReadyVinyetasFinalHangares; }
    bool isPlayingVinyetasFinalHangares() const { return sequence == PlayingVinyetasFinalHangares; }
    void setPlayingVinyetasFinalHangares() { sequence = PlayingVinyetasFinalHangares; }

    // --- plane and hangar rigid animations -----------------------------------
    void setRigidasHangaresIdle() { hangarRigidState = RigidasHangaresIdle; }
    bool isRigidasHangaresDespegueAvion() const { return hangarRigidState == RigidasHangaresDespegueAvion; }
    void setRigidasHangaresDespegueAvion() { hangarRigidState = RigidasHangaresDespegueAvion; }
    void setRigidasHangaresDespegueAvionDone() { hangarRigidState = RigidasHangaresDespegueAvionDone; }
    bool isRigidasHangaresLlegadaAvion() const { return hangarRigidState == RigidasHangaresLlegadaAvion; }
    void setRigidasHangaresLlegadaAvion() { hangarRigidState = RigidasHangaresLlegadaAvion; }
    bool isRigidasHangaresLlegadaAvionDone() const { return hangarRigidState == RigidasHangaresLlegadaAvionDone; }
    void setRigidasHangaresLlegadaAvionDone() { hangarRigidState = RigidasHangaresLlegadaAvionDone; }
    bool isPlayingRigidaEneAvioneta() const { return hangarRigidState == PlayingRigidaEneAvioneta; }
    void setPlayingRigidaEneAvioneta() { hangarRigidState = PlayingRigidaEneAvioneta; }
    void setRigidaEneAvionetaDone() { hangarRigidState = RigidaEneAvionetaDone; }
    bool isPlayingRigidasHangarOpen() const { return hangarRigidState == PlayingRigidasHangarOpen; }
    void setPlayingRigidasHangarOpen() { hangarRigidState = PlayingRigidasHangarOpen; }
    void setRigidasHangarOpenDone() { hangarRigidState = RigidasHangarOpenDone; }
    bool isRigidasHangarExplosion() const { return hangarRigidState == RigidasHangarExplosion; }
    void setRigidasHangarExplosion() { hangarRigidState = RigidasHangarExplosion; }

    // --- island --------------------------------------------------------------
    bool isReadyCamIslaIntro() const { return islaSequence == ReadyCamIslaIntro; }
    void setReadyCamIslaIntro() { islaSequence = ReadyCamIslaIntro; }
    bool isReadyLevelSwitchIsla() const { return islaSequence == ReadyLevelSwitchIsla; }
    void setReadyLevelSwitchIsla() { islaSequence = ReadyLevelSwitchIsla; }
    bool isPlayingCamIslaIntro() const { return islaSequence == PlayingCamIslaIntro; }
    void setPlayingCamIslaIntro() { islaSequence = PlayingCamIslaIntro; }
    void setIslaIntroDone() { islaSequence = IslaIntroDone; }
    bool isPlayingCamIslaLlegadaPlaza() const { return islaSequence == PlayingCamIslaLlegadaPlaza; }
    void setPlayingCamIslaLlegadaPlaza() { islaSequence = PlayingCamIslaLlegadaPlaza; }
    void setIslaLlegadaPlazaDone() { islaSequence = IslaLlegadaPlazaDone; }
    bool isPlayingCamIslaSegundaOleadaPlaza() const { return islaSequence == PlayingCamIslaSegundaOleadaPlaza; }
    void setPlayingCamIslaSegundaOleadaPlaza() { islaSequence = PlayingCamIslaSegundaOleadaPlaza; }
    void setIslaSegundaOleadaPlazaDone() { islaSequence = IslaSegundaOleadaPlazaDone; }
    bool isPlayingCamIslaOleadaAndamio() const { return islaSequence == PlayingCamIslaOleadaAndamio; }
    void setPlayingCamIslaOleadaAndamio() { islaSequence = PlayingCamIslaOleadaAndamio; }
    bool isPlayingVinyetasDockersHuye() const { return islaSequence == PlayingVinyetasDockersHuye; }
    void setPlayingVinyetasDockersHuye() { islaSequence = PlayingVinyetasDockersHuye; }
    bool isPlayingVinyetasPredockers() const { return islaSequence == PlayingVinyetasPredockers; }
    void setPlayingVinyetasPredockers() { islaSequence = PlayingVinyetasPredockers; }
    bool isReadyCamIslaVinyetasIntroLucha() const { return islaSequence == ReadyCamIslaVinyetasIntroLucha; }
    void setReadyCamIslaVinyetasIntroLucha() { islaSequence = ReadyCamIslaVinyetasIntroLucha; }
    bool isReadyMemoriam() const { return islaSequence == ReadyMemoriam; }
    void setReadyMemoriam() { islaSequence = ReadyMemoriam; }
    bool isPlayingMemoriam() const { return islaSequence == PlayingMemoriam; }
    void setPlayingMemoriam() { islaSequence = PlayingMemoriam; }
    bool isReadyCreditos() const { return islaSequence == ReadyCreditos; }
    void setReadyCreditos() { islaSequence = ReadyCreditos; }
    bool isPlayingCreditos() const { return islaSequence == PlayingCreditos; }
    void setPlayingCreditos() { islaSequence = PlayingCreditos; }
};

// The one record, zero-filled until the loading sequence resets it.
CGameStateFlagsManager& getGSF();
