// Our stand-in for the sample-playback audio calls the game makes, over an SDL2
// audio device with a small mixer of our own. Samples are decoded whole (WAV,
// Ogg Vorbis) when loaded; each channel is one playback of one sample.
// Handles carry a generation, so a handle whose channel was recycled, or 0,
// makes every call do nothing. With no audio device every call does nothing
// and the game runs silent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

typedef std::uint32_t HSAMPLE;
typedef std::uint32_t HCHANNEL;

#define BASS_DEVICE_3D 4
#define BASS_SAMPLE_LOOP 4
#define BASS_ATTRIB_VOL 2

// Opens the output at freq Hz (stereo). False when it is already open or no
// device can be opened; the game then runs silent.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const void* clsid);
// Decodes the whole file (mem must be false; offset and length are ignored)
// with at most max simultaneous playbacks. 0 when the file is missing or
// broken (one line on the debug output names the file and the fault, once a
// run; a missing folder is named instead of each of its files).
HSAMPLE BASS_SampleLoad(BOOL mem, const char* file, std::uint64_t offset, DWORD length, DWORD max, DWORD flags);
// A new channel of the sample, or, when it has max channels already, one of
// them that has ended under a new handle. 0 when all of them are sounding.
HCHANNEL BASS_SampleGetChannel(HSAMPLE sample, BOOL onlyNew);
// restart: from the beginning. Otherwise a paused channel resumes, a playing
// one goes on and a stopped or ended one starts.
BOOL BASS_ChannelPlay(HCHANNEL channel, BOOL restart);
// Keeps the position; a channel that is not sounding stays as it is.
BOOL BASS_ChannelPause(HCHANNEL channel);
// Ends the playback; the next play starts from the beginning.
BOOL BASS_ChannelStop(HCHANNEL channel);
// The volume (0..1) at once, ending any slide.
BOOL BASS_ChannelSetAttribute(HCHANNEL channel, DWORD attrib, float value);
// Moves the volume linearly from where it is now to value over ms of real
// time (0 = at once); a new slide replaces a running one.
BOOL BASS_ChannelSlideAttribute(HCHANNEL channel, DWORD attrib, float value, DWORD ms);
// Silences every channel (each is left stopped).
BOOL BASS_Stop();
// Closes the device and drops every sample and channel; later calls do nothing
// until the next BASS_Init.
BOOL BASS_Free();

// Seams for tests and benchmarks.
namespace platform {
namespace audio {

// The next BASS_Init opens no device: the mix is made only by MixFrames, and
// slides follow the given clock (milliseconds). An empty clock restores the
// real clock and the real device for the next BASS_Init.
void UseRecorder(std::function<std::uint64_t()> clockMs);

enum class ChannelState { None, Stopped, Playing, Paused };

struct ChannelInfo {
    ChannelState state = ChannelState::None; // None for 0 or a stale handle
    float volume = 0.0f;                     // as heard now
    std::string file;                        // the name the sample was loaded by
    std::uint64_t position = 0;              // in frames of the sample
    bool loop = false;
};
ChannelInfo QueryChannel(HCHANNEL channel);

// Every playback started on the recorder since the last ClearStarted, in
// order: the file of each play that began from the beginning.
const std::vector<std::string>& StartedFiles();
void ClearStarted();

// Samples held now (decoded sounds in memory).
std::size_t SampleCount();

// Mixes the next frames of stereo output at the opened rate into out
// (2 x frames floats). Used by the recorder; with a device the device's own
// callback does this.
void MixFrames(float* out, std::size_t frames);

} // namespace audio
} // namespace platform
