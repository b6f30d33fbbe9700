#include "datagen/Sounds.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "datagen/Vorbis.h"
#include "xml/XMLParser.h"

namespace datagen {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kSlowestRate = 150;
constexpr int kFastestRate = 450;
constexpr int kRateStep = 25;

// The deterministic generator every synthesised sound draws from.
struct Random {
    std::uint32_t x;
    explicit Random(std::uint32_t seed) : x(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t Next()
    {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    }
    float Signed() { return float(Next()) / 4294967295.0f * 2.0f - 1.0f; }
};

std::size_t Frames(float seconds)
{
    return static_cast<std::size_t>(std::lround(double(seconds) * kSoundRate));
}

Pcm16 ToPcm(const std::vector<float>& v)
{
    Pcm16 pcm;
    pcm.sampleRate = kSoundRate;
    pcm.samples.resize(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        pcm.samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(v[i], -1.0f, 1.0f) * 32767.0f));
    return pcm;
}

// Ends that go to silence over a few milliseconds: no click at start or end.
void FadeEnds(std::vector<float>& v)
{
    const std::size_t ramp = std::min<std::size_t>(kSoundRate / 200, v.size() / 2);
    for (std::size_t i = 0; i < ramp; ++i) {
        const float g = float(i) / float(ramp);
        v[i] *= g;
        v[v.size() - 1 - i] *= g;
    }
}

// Turns length + overlap samples into a loop of length samples: the tail past
// the loop's end is faded into its head, so the last sample leads on into the
// first as it would have into the next.
std::vector<float> CloseLoop(const std::vector<float>& v, std::size_t length)
{
    const std::size_t overlap = v.size() - length;
    std::vector<float> out(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(length));
    for (std::size_t i = 0; i < overlap; ++i) {
        const float g = float(i) / float(overlap);
        out[i] = v[i] * g + v[length + i] * (1.0f - g);
    }
    return out;
}

// A burst: a tone gliding from hz0 to hz1 mixed with low-passed noise, with a
// fast attack and an exponential decay, repeated `count` times `gap` apart.
struct Burst {
    const char* file;
    float seconds;
    float hz0, hz1;
    float noise;  // 0 pure tone .. 1 pure noise
    float decay;  // per second
    float bright; // noise low-pass corner, 0..1
    int count;
    float gap;
};

std::vector<float> MakeBurst(const Burst& b, std::uint32_t seed)
{
    std::vector<float> v(Frames(b.seconds), 0.0f);
    Random r(seed);
    for (int k = 0; k < b.count; ++k) {
        const std::size_t from = Frames(k * b.gap);
        float phase = 0.0f, low = 0.0f;
        for (std::size_t i = from; i < v.size(); ++i) {
            const float t = float(i - from) / kSoundRate;
            const float along = std::min(t / std::max(b.seconds - k * b.gap, 0.001f), 1.0f);
            const float hz = b.hz0 + (b.hz1 - b.hz0) * along;
            phase += 2.0f * kPi * hz / kSoundRate;
            low += b.bright * (r.Signed() - low);
            const float attack = std::min(t / 0.004f, 1.0f);
            const float env = attack * std::exp(-b.decay * t);
            v[i] += 0.8f * env * ((1.0f - b.noise) * std::sin(phase) + b.noise * 2.0f * low);
        }
    }
    FadeEnds(v);
    return v;
}

// Ambience: noise through a low-pass whose level swells with a period that
// divides the loop, so the swell meets itself at the seam.
std::vector<float> Ambience(float seconds, float swellPeriod, float bright, float level, float swellDepth,
                            std::uint32_t seed)
{
    const std::size_t length = Frames(seconds);
    const std::size_t overlap = Frames(0.5f);
    std::vector<float> v(length + overlap);
    Random r(seed);
    float low = 0.0f, lower = 0.0f;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const float t = float(i) / kSoundRate;
        low += bright * (r.Signed() - low);
        lower += 0.5f * (low - lower);
        const float swell = 1.0f - swellDepth * 0.5f * (1.0f + std::cos(2.0f * kPi * t / swellPeriod));
        v[i] = level * swell * lower * 3.0f;
    }
    return CloseLoop(v, length);
}

float NoteHz(int semitonesFromA3)
{
    return 220.0f * std::pow(2.0f, semitonesFromA3 / 12.0f);
}

std::vector<float> MusicSamples(std::uint32_t seed, float bpm, int bars, float amplitude)
{
    static const int scale[] = {0, 3, 5, 7, 10, 12, 15};
    static const int roots[] = {0, 5, -2, 3};
    const float beat = 60.0f / bpm;
    const std::size_t length = Frames(beat * 4 * bars);
    std::vector<float> v(length, 0.0f);
    Random r(seed);
    auto note = [&](float at, float len, float hz, float gain, int harmonics) {
        const std::size_t from = Frames(at);
        const std::size_t n = std::min(Frames(len), length - std::min(from, length));
        for (std::size_t i = 0; i < n; ++i) {
            const float t = float(i) / kSoundRate;
            // Every note ends at silence inside its own slot: nothing rings
            // over the loop's seam.
            const float env = std::min(t / 0.01f, 1.0f) * std::exp(-3.0f * t / len) * (1.0f - float(i) / float(n));
            float s = 0.0f;
            for (int h = 1; h <= harmonics; ++h)
                s += std::sin(2.0f * kPi * hz * h * t) / float(h * h);
            v[from + i] += gain * env * s;
        }
    };
    for (int bar = 0; bar < bars; ++bar) {
        const int root = roots[(bar + seed) % 4];
        const float barStart = bar * 4 * beat;
        note(barStart, 4 * beat, NoteHz(root - 12), 0.35f, 2);
        note(barStart, 4 * beat, NoteHz(root - 5), 0.15f, 1);
        for (int step = 0; step < 8; ++step) {
            if (r.Next() % 4 == 0)
                continue;
            const int degree = scale[r.Next() % 7];
            note(barStart + step * beat / 2, beat / 2, NoteHz(root + degree), 0.3f, 3);
        }
    }
    float peak = 0.0f;
    for (float s : v)
        peak = std::max(peak, std::fabs(s));
    if (peak > 0.0f)
        for (float& s : v)
            s *= amplitude / peak;
    return v;
}

void Add(std::vector<float>& into, const std::vector<float>& v, std::size_t at, float gain)
{
    for (std::size_t i = 0; i < v.size() && at + i < into.size(); ++i)
        into[at + i] += gain * v[i];
}

std::vector<float> ToFloat(const Pcm16& pcm)
{
    std::vector<float> v(pcm.samples.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = pcm.samples[i] / 32768.0f;
    return v;
}

// Runs a program without a shell (the text goes as one argument, whatever it
// holds) and returns what it writes on its standard output.
Bytes RunCapture(const std::vector<std::string>& args)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("cannot make a pipe");
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        throw std::runtime_error("cannot fork");
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    Bytes out;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.insert(out.end(), buffer, buffer + n);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(args[0] + " failed (is it installed?)");
    return out;
}

class SpanishLinesReader : public CXMLParser {
public:
    std::map<std::string, SpokenEntry>* out = nullptr;
    std::string fault;

    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        if (name == "SUBTITULO") {
            m_Name = a.GetString("name", "");
            m_Duration = Seconds(a.GetInt("min", 0), a.GetInt("seconds", 0));
            m_Lines.clear();
        } else if (name == "TEXTO" && m_InSpanish) {
            SpokenLine line;
            line.start = Seconds(a.GetInt("min_ini", 0), a.GetInt("sec_ini", 0));
            line.end = Seconds(a.GetInt("min_end", 0), a.GetInt("sec_end", 0));
            line.text = a.GetString("texto", "");
            if (line.start < 0 || line.end < line.start)
                Fail("line of " + m_Name + " ends before it starts");
            m_Lines.push_back(line);
        } else if (name == "SPANISH") {
            m_InSpanish = true;
            m_Lines.clear();
        }
    }

    void OnEndElement(const std::string& name) override
    {
        if (name == "SPANISH") {
            m_InSpanish = false;
            (*out)[m_Name] = SpokenEntry{m_Duration, m_Lines};
        }
    }

private:
    int Seconds(int minutes, int seconds)
    {
        if (minutes < 0 || minutes > 60 || seconds < 0 || seconds > 3600) {
            Fail("time out of range in " + m_Name);
            return 0;
        }
        return minutes * 60 + seconds;
    }
    void Fail(const std::string& why)
    {
        if (fault.empty())
            fault = why;
    }

    std::string m_Name;
    int m_Duration = 0;
    bool m_InSpanish = false;
    std::vector<SpokenLine> m_Lines;
};

enum class Kind { Effect, Music, Ambience, Voice };

struct SoundFile {
    const char* name;
    Kind kind;
};

// Effects: tone and noise bursts of a length that fits each sound.
const Burst kBursts[] = {
    // file, seconds, hz0, hz1, noise, decay, bright, count, gap
    {"lata1.wav", 0.5f, 1800, 1650, 0.3f, 9, 0.6f, 2, 0.15f},
    {"botella1.wav", 0.5f, 2600, 2500, 0.2f, 8, 0.8f, 1, 0},
    {"botella2.wav", 0.6f, 2950, 2800, 0.2f, 7, 0.8f, 2, 0.2f},
    {"parap.wav", 0.3f, 90, 60, 0.6f, 14, 0.2f, 1, 0},
    {"explode1.wav", 2.0f, 60, 30, 0.9f, 2.2f, 0.15f, 1, 0},
    {"PUNCH.wav", 0.25f, 130, 70, 0.5f, 18, 0.3f, 1, 0},
    {"balaperdida1.wav", 0.45f, 3200, 1200, 0.2f, 5, 0.7f, 1, 0},
    {"balaperdida2.wav", 0.5f, 2900, 1000, 0.2f, 5, 0.7f, 1, 0},
    {"balaperdida3.wav", 0.4f, 3500, 1500, 0.25f, 6, 0.7f, 1, 0},
    {"balaperdida4.wav", 0.55f, 2600, 900, 0.2f, 4, 0.7f, 1, 0},
    {"balaperdida5.wav", 0.35f, 3800, 1800, 0.3f, 7, 0.7f, 1, 0},
    {"balaperdida6.wav", 0.5f, 3000, 1300, 0.25f, 5, 0.7f, 1, 0},
    {"disparo_gun_malos.wav", 0.5f, 150, 60, 0.85f, 9, 0.5f, 1, 0},
    {"avionetaShot.wav", 0.3f, 200, 90, 0.85f, 12, 0.7f, 1, 0},
    {"ShotgunShotBastoConChacAIM.wav", 0.9f, 110, 50, 0.9f, 6, 0.45f, 1, 0},
    {"thompsonATopeAIM.wav", 0.25f, 170, 80, 0.85f, 16, 0.6f, 1, 0},
    {"disparo_ostrelAIM.wav", 0.4f, 160, 70, 0.85f, 11, 0.55f, 1, 0},
    {"ShotgunShotBastoConChac.wav", 0.9f, 100, 45, 0.9f, 6, 0.4f, 1, 0},
    {"thompsonATope.wav", 0.25f, 160, 75, 0.85f, 16, 0.55f, 1, 0},
    {"disparo_ostrel2.wav", 0.4f, 150, 65, 0.85f, 11, 0.5f, 1, 0},
    {"reloadOstrel.wav", 0.6f, 1400, 1300, 0.6f, 30, 0.8f, 2, 0.35f},
    {"recargaShotg.wav", 0.8f, 1000, 900, 0.6f, 25, 0.8f, 2, 0.45f},
    {"thompson_a_punto.wav", 0.7f, 1200, 1100, 0.6f, 28, 0.8f, 3, 0.22f},
    {"muerte_bot.wav", 1.0f, 600, 180, 0.35f, 2.5f, 0.4f, 1, 0},
    {"queja_recibir_ostia.wav", 0.5f, 420, 260, 0.3f, 5, 0.4f, 1, 0},
    {"recibir_balazo.wav", 0.6f, 520, 200, 0.3f, 4, 0.4f, 1, 0},
    {"hop1.wav", 0.3f, 200, 420, 0.6f, 8, 0.3f, 1, 0},
    {"hop2.wav", 0.3f, 220, 460, 0.6f, 8, 0.3f, 1, 0},
    {"hop3.wav", 0.3f, 180, 400, 0.6f, 8, 0.3f, 1, 0},
    {"zorvath_impacto2.wav", 0.5f, 180, 110, 0.4f, 5, 0.3f, 1, 0},
    {"zorvath_impacto.wav", 0.45f, 200, 130, 0.4f, 6, 0.3f, 1, 0},
    {"entradaAiming.wav", 0.25f, 1200, 1000, 0.5f, 20, 0.7f, 1, 0},
    {"pasoZorvathAcera.wav", 0.12f, 140, 90, 0.8f, 35, 0.35f, 1, 0},
    {"stepInSand.wav", 0.15f, 100, 80, 0.95f, 25, 0.2f, 1, 0},
    {"pasoAimingZorvathAcera.wav", 0.12f, 150, 100, 0.8f, 40, 0.3f, 1, 0},
    {"thunder1.wav", 3.0f, 45, 30, 0.95f, 1.2f, 0.05f, 1, 0},
    {"thunder2.wav", 3.5f, 50, 30, 0.95f, 1.0f, 0.06f, 2, 0.4f},
    {"thunder3.wav", 2.8f, 40, 28, 0.95f, 1.4f, 0.05f, 1, 0},
    {"thunder4.wav", 4.0f, 55, 32, 0.95f, 0.9f, 0.07f, 2, 0.7f},
    {"thunder5.wav", 3.2f, 48, 30, 0.95f, 1.1f, 0.05f, 1, 0},
    {"heart.wav", 0.8f, 60, 45, 0.3f, 14, 0.2f, 2, 0.3f},
    {"mission.wav", 1.0f, 660, 660, 0.0f, 3, 0, 2, 0.25f},
    {"upDown.wav", 0.08f, 900, 900, 0.1f, 40, 0.5f, 1, 0},
    {"lados.wav", 0.08f, 700, 700, 0.1f, 40, 0.5f, 1, 0},
    {"logroXBox.wav", 1.2f, 880, 1320, 0.0f, 2.5f, 0, 2, 0.3f},
    {"flyby2.wav", 2.5f, 140, 90, 0.6f, 0.8f, 0.3f, 1, 0},
    {"clacClac.wav", 0.4f, 1500, 1400, 0.6f, 35, 0.8f, 2, 0.18f},
    {"wosh.wav", 0.4f, 300, 700, 0.9f, 6, 0.25f, 1, 0},
    {"splash.wav", 1.0f, 400, 200, 0.95f, 4, 0.6f, 1, 0},
    {"maderitas.wav", 0.8f, 800, 500, 0.8f, 7, 0.6f, 3, 0.15f},
    {"Fire.wav", 2.0f, 300, 200, 0.95f, 1.5f, 0.5f, 4, 0.4f},
    {"HE.wav", 1.5f, 55, 35, 0.9f, 2.5f, 0.15f, 1, 0},
    {"Trozo2.wav", 0.6f, 600, 300, 0.8f, 8, 0.5f, 2, 0.2f},
    {"vinyetas_avionWARRA3.wav", 3.0f, 95, 80, 0.5f, 0.4f, 0.2f, 1, 0},
    {"kelmoth.wav", 1.0f, 330, 220, 0.3f, 3, 0.3f, 1, 0},
};

// Ogg sounds that are not spoken and not loops.
struct OneShotOgg {
    const char* file;
    Kind kind;
    float seconds;
    std::uint32_t seed;
};

const OneShotOgg kOggPieces[] = {
    {"FLYBY.ogg", Kind::Effect, 4.0f, 11},
    {"comicIntro.ogg", Kind::Music, 20.0f, 12},
    {"lluvia.ogg", Kind::Ambience, 20.0f, 13},
    {"introIsla.ogg", Kind::Music, 20.0f, 14},
    {"CheekToCheek.ogg", Kind::Music, 30.0f, 15},
    {"gaviotas.ogg", Kind::Effect, 3.0f, 16},
    {"respiraHerido.ogg", Kind::Effect, 2.2f, 17},
};

// Spoken files: the Spanish lines of the subtitle of the same name.
const char* const kVoices[] = {
    "ZorvathFormaPasar.ogg", "ZorvathRecuerdosFaro.ogg", "UnoMenosR.ogg", "aguantaViejo.ogg",
    "estaNocheCieloRojo.ogg", "nadieComoTuOstrel.ogg", "nadaEvitaraNuestraVenganza.ogg", "chistePsicotico.ogg",
    "chicagoPeligroso.ogg", "putasYNata.ogg", "fardadaPlaga.ogg", "MasEscoria.ogg",
    "notelevantes.ogg", "b1ConyoPasaAki.ogg", "b1MierdaQueStaPasando.ogg", "b1QPasoElla.ogg", "b1QuienEsEse.ogg",
    "b1TenemosQEhMatadlo.ogg", "b1TVoyAMachacar.ogg", "b1VueltoRecon.ogg", "b2AccionBrisu.ogg",
    "b2DisparaYLuegoPreguntms.ogg", "b2OdioEsperar.ogg", "bAPorEl.ogg", "bCubridme.ogg", "bEseEraMiHermano.ogg",
    "bHaSalidoFuego.ogg", "bJoderSiEsSolo1Hombre.ogg", "bLlenadloDePlomo.ogg", "bMatadlo.ogg", "bMeHaDado.ogg",
    "bMierdaEsVrek.ogg", "bNoPuedeSer.ogg", "bParadlo.ogg", "bQueNoAvance.ogg", "bRecargando.ogg",
    "RadioCredits.ogg", "intro_1+2.ogg", "intro_3++.ogg", "vinyetas_isla.ogg", "ZvIntroFaro.ogg",
    "final_juego.ogg", "cubridme.ogg", "zorvaaath.ogg", "mcHangExpl.ogg", "dockersAQEsperais.ogg",
    "dockersInutiles.ogg", "dockersAndamio.ogg", "cfMEraInocente.ogg", "cfMcomoHermano.ogg", "cfDAccidnt.ogg",
    "cfDVioalgo.ogg", "cfDNoDebiaVer.ogg", "cfMsangrreXsangre.ogg", "cfMInfierno.ogg", "DondeVasDockers.wav",
    "getThompson.wav", "getShotgun.wav", "mcAvioneta.ogg", "mcEstibador.ogg",
    "zvDockersPlaza.ogg",
};

// Cut-scene narration and the credits radio speak over a quiet bed of music.
bool HasBed(const std::string& file)
{
    static const char* const withBed[] = {"RadioCredits.ogg", "intro_1+2.ogg", "intro_3++.ogg",
                                          "vinyetas_isla.ogg", "ZvIntroFaro.ogg", "final_juego.ogg"};
    return std::find_if(std::begin(withBed), std::end(withBed),
                        [&](const char* f) { return file == f; }) != std::end(withBed);
}

struct Loop {
    const char* file;
    Kind kind;
};

std::string Stem(const std::string& file)
{
    return file.substr(0, file.rfind('.'));
}

bool EndsWith(const std::string& s, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

void WriteSound(Output& out, const std::string& file, const Pcm16& pcm)
{
    const std::string path = "data/sound/" + file;
    out.Write(path, EndsWith(file, ".ogg") ? EncodeOggVorbis(pcm) : EncodeWav(pcm));
}

// The seabirds: a few short falling calls.
std::vector<float> Seabirds(float seconds, std::uint32_t seed)
{
    std::vector<float> v(Frames(seconds), 0.0f);
    Random r(seed);
    for (int k = 0; k < 5; ++k) {
        Burst call{"", 0.35f, 1900.0f + float(r.Next() % 400), 1300.0f, 0.1f, 6.0f, 0.5f, 1, 0};
        Add(v, MakeBurst(call, seed + k), Frames(0.2f + 0.55f * k), 0.6f);
    }
    FadeEnds(v);
    return v;
}

} // namespace

bool ReadSpanishLines(const std::string& file, std::map<std::string, SpokenEntry>& out, std::string& error)
{
    SpanishLinesReader reader;
    reader.out = &out;
    out.clear();
    if (!reader.LoadXML(file)) {
        error = reader.GetErrorText();
        return false;
    }
    if (!reader.fault.empty()) {
        error = reader.fault;
        return false;
    }
    return true;
}

Pcm16 Speak(const std::string& text, int wordsPerMinute)
{
    const Bytes wav = RunCapture({"espeak-ng", "-v", "es", "-s", std::to_string(wordsPerMinute), "--stdout", text});
    // espeak-ng streams its WAV: the sizes in the header are placeholders,
    // so the samples are whatever follows the "data" header.
    const char tag[] = {'d', 'a', 't', 'a'};
    auto at = std::search(wav.begin(), wav.end(), std::begin(tag), std::end(tag));
    if (wav.size() < 44 || at == wav.end() || std::distance(at, wav.end()) < 8)
        throw std::runtime_error("espeak-ng gave no sound for \"" + text + "\"");
    const std::size_t from = static_cast<std::size_t>(std::distance(wav.begin(), at)) + 8;
    const std::uint32_t rate = wav[24] | (wav[25] << 8) | (wav[26] << 16) | (std::uint32_t(wav[27]) << 24);
    if (rate != kSoundRate)
        throw std::runtime_error("espeak-ng speaks at an unexpected rate");
    Pcm16 pcm;
    pcm.sampleRate = kSoundRate;
    pcm.samples.resize((wav.size() - from) / 2);
    for (std::size_t i = 0; i < pcm.samples.size(); ++i)
        pcm.samples[i] = static_cast<std::int16_t>(wav[from + 2 * i] | (wav[from + 2 * i + 1] << 8));
    return pcm;
}

Pcm16 SpeakEntry(const std::string& key, const SpokenEntry& entry, float seconds, const Pcm16* bed)
{
    std::vector<float> v(Frames(seconds), 0.0f);
    if (bed)
        Add(v, ToFloat(*bed), 0, 1.0f);
    for (const SpokenLine& line : entry.lines) {
        const float window = float(line.end - line.start);
        if (line.text.empty() || window <= 0.0f)
            continue;
        if (float(line.end) > seconds)
            throw std::runtime_error("\"" + key + "\": a line ends after the sound does");
        bool fitted = false;
        for (int rate = kSlowestRate; rate <= kFastestRate && !fitted; rate += kRateStep) {
            const Pcm16 spoken = Speak(line.text, rate);
            if (float(spoken.samples.size()) <= window * kSoundRate) {
                Add(v, ToFloat(spoken), Frames(float(line.start)), 0.9f);
                fitted = true;
            }
        }
        if (!fitted)
            throw std::runtime_error("\"" + key + "\": line \"" + line.text + "\" does not fit its " +
                                     std::to_string(line.end - line.start) + " s even spoken fast");
    }
    FadeEnds(v);
    return ToPcm(v);
}

Pcm16 NoiseLoop(float seconds, float swellPeriod, float bright, float level, float swellDepth, std::uint32_t seed)
{
    return ToPcm(Ambience(seconds, swellPeriod, bright, level, swellDepth, seed));
}

Pcm16 MusicLoop(std::uint32_t seed, float bpm, int bars, float amplitude, float seconds)
{
    std::vector<float> v = MusicSamples(seed, bpm, bars, amplitude);
    if (seconds > 0.0f) {
        // A bed of an exact length: the tune repeated, then cut at a point
        // that the caller's own ends fade.
        std::vector<float> exact(Frames(seconds));
        for (std::size_t i = 0; i < exact.size(); ++i)
            exact[i] = v[i % v.size()];
        v.swap(exact);
    }
    return ToPcm(v);
}

std::vector<std::string> SoundFileNames()
{
    std::vector<std::string> names;
    for (const Burst& b : kBursts)
        names.push_back(b.file);
    for (const OneShotOgg& o : kOggPieces)
        names.push_back(o.file);
    for (const char* v : kVoices)
        names.push_back(v);
    for (const char* l : {"rainThunder.ogg", "LoopOleaje.ogg", "RachasVientoFlojoLoop.ogg", "mainT3.ogg",
                          "mainR.ogg", "menuTheme.ogg", "radioHangar.ogg", "radioIsla.ogg"})
        names.push_back(l);
    return names;
}

void GenerateSounds(Output& out)
{
    std::map<std::string, SpokenEntry> texts;
    std::string error;
    // The committed texts, as the layouts are read from the tools' own tree.
    const std::string subtitles = std::string(VANTOREL_TOOLS_DIR) + "/../game/data/XML/subtitulos.xml";
    if (!ReadSpanishLines(subtitles, texts, error)) {
        out.Fail("sounds: " + error);
        return;
    }

    std::uint32_t seed = 100;
    for (const Burst& b : kBursts)
        WriteSound(out, b.file, ToPcm(MakeBurst(b, ++seed)));

    for (const OneShotOgg& o : kOggPieces) {
        std::vector<float> v;
        if (o.kind == Kind::Music)
            v = ToFloat(MusicLoop(o.seed, 96.0f, 8, 0.6f, o.seconds));
        else if (o.kind == Kind::Ambience)
            v = Ambience(o.seconds, 5.0f, 0.5f, 0.5f, 0.3f, o.seed);
        else if (std::string(o.file) == "gaviotas.ogg")
            v = Seabirds(o.seconds, o.seed);
        else if (std::string(o.file) == "respiraHerido.ogg")
            v = MakeBurst(Burst{o.file, o.seconds, 300, 250, 0.97f, 2.0f, 0.08f, 2, 1.0f}, o.seed);
        else
            v = MakeBurst(Burst{o.file, o.seconds, 90, 140, 0.5f, 0.5f, 0.25f, 1, 0}, o.seed);
        FadeEnds(v);
        WriteSound(out, o.file, ToPcm(v));
    }

    for (const char* file : kVoices) {
        const std::string key = Stem(file);
        auto it = texts.find(key);
        if (it == texts.end() || it->second.lines.empty()) {
            out.Fail("sounds: no Spanish lines for " + key);
            continue;
        }
        int seconds = it->second.duration;
        for (const SpokenLine& line : it->second.lines)
            seconds = std::max(seconds, line.end);
        const Pcm16 bed = MusicLoop(key.size(), 80.0f, 4, 0.12f, float(seconds));
        try {
            WriteSound(out, file, SpeakEntry(key, it->second, float(seconds), HasBed(file) ? &bed : nullptr));
        } catch (const std::runtime_error& e) {
            out.Fail(std::string("sounds: ") + e.what());
        }
    }

    // Loops: each ends where it starts.
    WriteSound(out, "rainThunder.ogg", NoiseLoop(24.0f, 6.0f, 0.7f, 0.5f, 0.4f, 21));
    WriteSound(out, "LoopOleaje.ogg", NoiseLoop(16.0f, 8.0f, 0.15f, 0.9f, 0.8f, 22));
    WriteSound(out, "RachasVientoFlojoLoop.ogg", NoiseLoop(20.0f, 10.0f, 0.05f, 1.0f, 0.7f, 23));
    WriteSound(out, "mainT3.ogg", MusicLoop(31, 90.0f, 12, 0.5f));
    WriteSound(out, "mainR.ogg", MusicLoop(32, 140.0f, 16, 0.6f));
    WriteSound(out, "menuTheme.ogg", MusicLoop(33, 72.0f, 10, 0.5f));

    // The radios loop with their subtitle tracks, so their lengths are fixed.
    const std::pair<const char*, float> radios[] = {{"radioHangar.ogg", 230.0f}, {"radioIsla.ogg", 158.0f}};
    for (const auto& radio : radios) {
        const std::string key = Stem(radio.first);
        auto it = texts.find(key);
        if (it == texts.end() || it->second.lines.empty()) {
            out.Fail("sounds: no Spanish lines for " + key);
            continue;
        }
        const Pcm16 bed = MusicLoop(40 + key.size(), 84.0f, 8, 0.1f, radio.second);
        try {
            WriteSound(out, radio.first, SpeakEntry(key, it->second, radio.second, &bed));
        } catch (const std::runtime_error& e) {
            out.Fail(std::string("sounds: ") + e.what());
        }
    }
}

} // namespace datagen
