#include "platform/bass.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/audio_decode.h"
#include "platform/bounded.h"
#include "platform/files.h"

namespace {

using platform::audio::ChannelState;

// Handles: slot index in the low bits, the slot's generation above, so that a
// recycled slot never answers to an old handle.
constexpr std::uint32_t kIndexBits = 12;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;

std::uint32_t MakeHandle(std::uint32_t index, std::uint32_t generation)
{
    return (generation << kIndexBits) | (index + 1);
}

struct Sample {
    std::uint32_t generation = 0;
    bool live = false;
    std::string file;
    platform::audio::DecodedSound sound;
    std::size_t frames = 0;
    std::uint32_t maxPlaybacks = 1;
    bool loop = false;
    std::vector<std::uint32_t> channels; // slot indices
};

struct Channel {
    std::uint32_t generation = 0;
    bool live = false;
    std::uint32_t sample = 0; // slot index
    ChannelState state = ChannelState::Stopped;
    std::uint64_t position = 0; // 32.32 fixed point, in frames of the sample
    // The volume moves from slideFrom at slideStart to slideTo over slideMs.
    float slideFrom = 1.0f;
    float slideTo = 1.0f;
    std::uint64_t slideStart = 0;
    std::uint64_t slideMs = 0;
};

struct Layer {
    std::mutex lock;
    bool open = false;
    bool recorder = false;
    SDL_AudioDeviceID device = 0;
    int rate = 44100;
    std::function<std::uint64_t()> clock;
    std::vector<Sample> samples;
    std::vector<Channel> channels;
    std::vector<std::string> started;
    std::vector<float> mixBuffer;
    // The limiter's gain at the end of the last mix, and its working row.
    float limiterGain = 1.0f;
    std::vector<float> gainBuffer;
    // Shared by samples and channels and never reset, so no handle comes back in a run.
    std::uint32_t lastGeneration = 0;
};

std::uint32_t NextGeneration(Layer& l)
{
    l.lastGeneration = (l.lastGeneration + 1) & ((1u << (32 - kIndexBits)) - 1);
    if (l.lastGeneration == 0)
        l.lastGeneration = 1;
    return l.lastGeneration;
}

// Never destroyed: the sound manager's destructor runs at static exit and
// must still find the layer (closed by then, so its calls do nothing).
Layer& L()
{
    static Layer* layer = new Layer;
    return *layer;
}

std::function<std::uint64_t()>& RecorderClock()
{
    static auto* clock = new std::function<std::uint64_t()>;
    return *clock;
}

std::uint64_t RealClockMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Sample* FindSample(Layer& l, HSAMPLE h)
{
    const std::uint32_t index = (h & kIndexMask);
    if (!l.open || index == 0 || index > l.samples.size())
        return nullptr;
    Sample& s = l.samples[index - 1];
    return (s.live && s.generation == (h >> kIndexBits)) ? &s : nullptr;
}

Channel* FindChannel(Layer& l, HCHANNEL h)
{
    const std::uint32_t index = (h & kIndexMask);
    if (!l.open || index == 0 || index > l.channels.size())
        return nullptr;
    Channel& c = l.channels[index - 1];
    return (c.live && c.generation == (h >> kIndexBits)) ? &c : nullptr;
}

float VolumeAt(const Channel& c, std::uint64_t now)
{
    if (c.slideMs == 0 || now >= c.slideStart + c.slideMs)
        return c.slideTo;
    const float t = static_cast<float>(now - c.slideStart) / static_cast<float>(c.slideMs);
    return c.slideFrom + (c.slideTo - c.slideFrom) * t;
}

void Start(Layer& l, Channel& c)
{
    c.state = ChannelState::Playing;
    c.position = 0;
    // Only tests read the log: a running game would grow it with every shot.
    if (l.recorder)
        l.started.push_back(l.samples[c.sample].file);
}

// Adds one channel's next frames into out; a channel that runs off its end
// without the loop flag ends there.
void MixChannel(Layer& l, Channel& c, float* out, std::size_t frames, float v0, float v1)
{
    const Sample& s = l.samples[c.sample];
    const std::int16_t* data = s.sound.samples.data();
    const std::uint64_t length = static_cast<std::uint64_t>(s.frames) << 32;
    const std::uint64_t step = (static_cast<std::uint64_t>(s.sound.rate) << 32) / static_cast<std::uint64_t>(l.rate);
    const bool stereo = s.sound.channels == 2;
    const float dv = frames > 1 ? (v1 - v0) / static_cast<float>(frames) : 0.0f;
    constexpr float kScale = 1.0f / 32768.0f;
    float v = v0;
    std::uint64_t pos = c.position;
    for (std::size_t i = 0; i < frames; ++i, v += dv) {
        const std::size_t at = static_cast<std::size_t>(pos >> 32);
        std::size_t next = at + 1;
        if (next >= s.frames)
            next = s.loop ? 0 : at;
        const float f = static_cast<float>(pos & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
        if (stereo) {
            const float l0 = data[2 * at], r0 = data[2 * at + 1];
            const float l1 = data[2 * next], r1 = data[2 * next + 1];
            out[2 * i] += (l0 + (l1 - l0) * f) * kScale * v;
            out[2 * i + 1] += (r0 + (r1 - r0) * f) * kScale * v;
        } else {
            const float m0 = data[at], m1 = data[next];
            const float m = (m0 + (m1 - m0) * f) * kScale * v;
            out[2 * i] += m;
            out[2 * i + 1] += m;
        }
        pos += step;
        if (pos >= length) {
            if (!s.loop) {
                c.state = ChannelState::Stopped;
                c.position = 0;
                return;
            }
            pos -= length;
        }
    }
    c.position = pos;
}

// The loudest the sum may get. Several shots at once add up past full scale;
// the whole mix is then turned down together, so every sound keeps its share.
constexpr float kLimit = 0.89f;
// How fast the gain falls ahead of a peak and rises again after it.
constexpr float kAttackSeconds = 0.002f;
constexpr float kReleaseSeconds = 0.3f;

// One gain for both sides, never above what keeps each frame within kLimit:
// it starts falling kAttackSeconds before a peak (inside the block) and
// climbs back to 1 over kReleaseSeconds.
void Limit(Layer& l, float* out, std::size_t frames)
{
    if (frames == 0)
        return;
    if (l.gainBuffer.size() < frames)
        l.gainBuffer.resize(frames);
    float* need = l.gainBuffer.data();
    bool loud = false;
    for (std::size_t i = 0; i < frames; ++i) {
        const float peak = std::max(std::fabs(out[2 * i]), std::fabs(out[2 * i + 1]));
        need[i] = peak > kLimit ? kLimit / peak : 1.0f;
        loud = loud || peak > kLimit;
    }
    if (!loud && l.limiterGain >= 1.0f)
        return;
    const float attack = 1.0f / (kAttackSeconds * static_cast<float>(l.rate));
    for (std::size_t i = frames - 1; i > 0; --i)
        need[i - 1] = std::min(need[i - 1], need[i] + attack);
    const float release = 1.0f / (kReleaseSeconds * static_cast<float>(l.rate));
    float gain = l.limiterGain;
    for (std::size_t i = 0; i < frames; ++i) {
        gain = std::min(need[i], gain + release);
        out[2 * i] *= gain;
        out[2 * i + 1] *= gain;
    }
    l.limiterGain = std::min(gain, 1.0f);
}

void MixLocked(Layer& l, float* out, std::size_t frames)
{
    std::fill(out, out + 2 * frames, 0.0f);
    if (!l.open)
        return;
    const std::uint64_t now = l.clock();
    const std::uint64_t later = now + frames * 1000u / static_cast<std::uint64_t>(l.rate);
    for (Channel& c : l.channels) {
        if (!c.live || c.state != ChannelState::Playing)
            continue;
        const float v0 = VolumeAt(c, now);
        const float v1 = VolumeAt(c, later);
        if (v0 <= 0.0f && v1 <= 0.0f) {
            // Silent, but a loop keeps its place in time.
            const Sample& s = l.samples[c.sample];
            const std::uint64_t step =
                (static_cast<std::uint64_t>(s.sound.rate) << 32) / static_cast<std::uint64_t>(l.rate);
            const std::uint64_t length = static_cast<std::uint64_t>(s.frames) << 32;
            c.position += step * frames;
            if (c.position >= length) {
                if (s.loop) {
                    c.position %= length;
                } else {
                    c.state = ChannelState::Stopped;
                    c.position = 0;
                }
            }
            continue;
        }
        MixChannel(l, c, out, frames, v0, v1);
    }
    Limit(l, out, frames);
}

void SDLCALL DeviceCallback(void*, Uint8* stream, int bytes)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    const std::size_t frames = static_cast<std::size_t>(bytes) / (2 * sizeof(std::int16_t));
    if (l.mixBuffer.size() < 2 * frames)
        l.mixBuffer.resize(2 * frames);
    MixLocked(l, l.mixBuffer.data(), frames);
    std::int16_t* pcm = reinterpret_cast<std::int16_t*>(stream);
    for (std::size_t i = 0; i < 2 * frames; ++i) {
        const float x = std::clamp(l.mixBuffer[i], -1.0f, 1.0f);
        pcm[i] = static_cast<std::int16_t>(x * 32767.0f);
    }
}

void CloseLocked(Layer& l)
{
    l.open = false;
    l.samples.clear();
    l.channels.clear();
    l.samples.shrink_to_fit();
    l.channels.shrink_to_fit();
}

// The device closes before anything else at exit (SDL's own clean-up
// included): the sound manager's destructor comes later and finds it closed.
void CloseAtExit()
{
    BASS_Free();
}

} // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const void* clsid)
{
    Layer& l = L();
    if (l.open)
        return FALSE;
    if (freq < 8000 || freq > 192000)
        return FALSE;
    static bool exitHook = false;
    if (!exitHook) {
        std::atexit(CloseAtExit);
        exitHook = true;
    }
    l.rate = static_cast<int>(freq);
    if (RecorderClock()) {
        std::lock_guard<std::mutex> guard(l.lock);
        l.clock = RecorderClock();
        l.recorder = true;
        l.limiterGain = 1.0f;
        l.open = true;
        return TRUE;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        OutputDebugStringA((std::string("Sound is off: ") + SDL_GetError() + "\n").c_str());
        return FALSE;
    }
    SDL_AudioSpec want = {};
    want.freq = l.rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = DeviceCallback;
    SDL_AudioSpec have = {};
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        OutputDebugStringA((std::string("Sound is off: ") + SDL_GetError() + "\n").c_str());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(l.lock);
        l.device = id;
        l.clock = RealClockMs;
        l.recorder = false;
        l.limiterGain = 1.0f;
        l.open = true;
    }
    SDL_PauseAudioDevice(id, 0);
    return TRUE;
}

HSAMPLE BASS_SampleLoad(BOOL mem, const char* file, std::uint64_t offset, DWORD length, DWORD max, DWORD flags)
{
    Layer& l = L();
    {
        std::lock_guard<std::mutex> guard(l.lock);
        if (!l.open || mem || !file || max == 0)
            return 0;
    }
    // Decoding happens outside the lock so the device never waits for it.
    std::vector<unsigned char> bytes;
    std::string fault;
    if (!platform::ReadWholeFile(file, bytes, bounded::kMaxFileBytes, &fault)) {
        // A lost folder is one fault, however many of its sounds are asked for.
        const std::string name = file;
        const std::size_t slash = name.find_last_of("/\\");
        const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
        if (!folder.empty() && !platform::PathExists(folder))
            bounded::SayOnce("Sound folder " + bounded::Echoed(folder) + " refused: it is missing; its sounds are not played");
        else
            bounded::SayOnce("Sound file " + bounded::Echoed(name) + " refused: " + fault);
        return 0;
    }
    platform::audio::DecodedSound sound;
    std::string error;
    if (!platform::audio::DecodeSound(bytes, sound, error)) {
        // A sound played again and again is named once, not at every play.
        bounded::SayOnce(std::string("Sound file ") + bounded::Echoed(file) + " refused: " + error);
        return 0;
    }
    if (!sound.damage.empty())
        bounded::SayOnce(std::string("Sound file ") + bounded::Echoed(file) + ": " + sound.damage);
    std::lock_guard<std::mutex> guard(l.lock);
    if (!l.open)
        return 0;
    std::uint32_t index = 0;
    while (index < l.samples.size() && l.samples[index].live)
        ++index;
    if (index == l.samples.size()) {
        if (index >= kIndexMask)
            return 0;
        l.samples.emplace_back();
    }
    Sample& s = l.samples[index];
    s.generation = NextGeneration(l);
    s.live = true;
    s.file = file;
    s.frames = sound.samples.size() / static_cast<std::size_t>(sound.channels);
    s.sound = std::move(sound);
    s.maxPlaybacks = max;
    s.loop = (flags & BASS_SAMPLE_LOOP) != 0;
    s.channels.clear();
    return MakeHandle(index, s.generation);
}

HCHANNEL BASS_SampleGetChannel(HSAMPLE sample, BOOL onlyNew)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    Sample* s = FindSample(l, sample);
    if (!s)
        return 0;
    const std::uint32_t sampleIndex = (sample & kIndexMask) - 1;
    std::uint32_t index = 0;
    if (s->channels.size() < s->maxPlaybacks) {
        while (index < l.channels.size() && l.channels[index].live)
            ++index;
        if (index == l.channels.size()) {
            if (index >= kIndexMask)
                return 0;
            l.channels.emplace_back();
        }
        l.samples[sampleIndex].channels.push_back(index);
    } else {
        // At its limit: an ended playback of this sample takes the new handle.
        auto ended = std::find_if(s->channels.begin(), s->channels.end(), [&](std::uint32_t i) {
            return l.channels[i].state == ChannelState::Stopped;
        });
        if (ended == s->channels.end())
            return 0;
        index = *ended;
    }
    Channel& c = l.channels[index];
    c = Channel();
    c.generation = NextGeneration(l);
    c.live = true;
    c.sample = sampleIndex;
    return MakeHandle(index, c.generation);
}

BOOL BASS_ChannelPlay(HCHANNEL channel, BOOL restart)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    Channel* c = FindChannel(l, channel);
    if (!c)
        return FALSE;
    if (restart || c->state == ChannelState::Stopped)
        Start(l, *c);
    else
        c->state = ChannelState::Playing;
    return TRUE;
}

BOOL BASS_ChannelPause(HCHANNEL channel)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    Channel* c = FindChannel(l, channel);
    if (!c || c->state != ChannelState::Playing)
        return FALSE;
    c->state = ChannelState::Paused;
    return TRUE;
}

BOOL BASS_ChannelStop(HCHANNEL channel)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    Channel* c = FindChannel(l, channel);
    if (!c)
        return FALSE;
    c->state = ChannelState::Stopped;
    c->position = 0;
    return TRUE;
}

BOOL BASS_ChannelSetAttribute(HCHANNEL channel, DWORD attrib, float value)
{
    return BASS_ChannelSlideAttribute(channel, attrib, value, 0);
}

BOOL BASS_ChannelSlideAttribute(HCHANNEL channel, DWORD attrib, float value, DWORD ms)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    Channel* c = FindChannel(l, channel);
    if (!c || attrib != BASS_ATTRIB_VOL || !(value >= 0.0f))
        return FALSE;
    const std::uint64_t now = l.clock();
    c->slideFrom = VolumeAt(*c, now);
    c->slideTo = std::min(value, 1.0f);
    c->slideStart = now;
    c->slideMs = ms;
    return TRUE;
}

BOOL BASS_Stop()
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    if (!l.open)
        return FALSE;
    for (Channel& c : l.channels) {
        c.state = ChannelState::Stopped;
        c.position = 0;
    }
    return TRUE;
}

BOOL BASS_Free()
{
    Layer& l = L();
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard<std::mutex> guard(l.lock);
        if (!l.open)
            return FALSE;
        device = l.device;
        l.device = 0;
    }
    // Closing waits for a running callback, which takes the lock: not held here.
    if (device) {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::lock_guard<std::mutex> guard(l.lock);
    CloseLocked(l);
    return TRUE;
}

namespace platform {
namespace audio {

void UseRecorder(std::function<std::uint64_t()> clockMs)
{
    RecorderClock() = std::move(clockMs);
}

ChannelInfo QueryChannel(HCHANNEL channel)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    ChannelInfo info;
    const Channel* c = FindChannel(l, channel);
    if (!c)
        return info;
    const Sample& s = l.samples[c->sample];
    info.state = c->state;
    info.volume = VolumeAt(*c, l.clock());
    info.file = s.file;
    info.position = c->position >> 32;
    info.loop = s.loop;
    return info;
}

const std::vector<std::string>& StartedFiles()
{
    return L().started;
}

void ClearStarted()
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    l.started.clear();
}

std::size_t SampleCount()
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    return static_cast<std::size_t>(
        std::count_if(l.samples.begin(), l.samples.end(), [](const Sample& s) { return s.live; }));
}

void MixFrames(float* out, std::size_t frames)
{
    Layer& l = L();
    std::lock_guard<std::mutex> guard(l.lock);
    MixLocked(l, out, frames);
}

} // namespace audio
} // namespace platform
