// Any bytes as a sound file of the game (WAVE or Ogg Vorbis, told by their
// first bytes): decoded whole, as the audio layer does when a sample is
// loaded. A file that decodes must hold whole frames of its channels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<unsigned char> bytes(data, data + size);
    platform::audio::DecodedSound sound;
    std::string error;
    if (platform::audio::DecodeSound(bytes, sound, error)) {
        if (sound.channels < 1 || sound.channels > 2 || sound.rate <= 0 ||
            sound.samples.size() % static_cast<std::size_t>(sound.channels) != 0 ||
            sound.samples.size() / static_cast<std::size_t>(sound.channels) > platform::audio::kMaxDecodedFrames)
            std::abort();
    } else if (error.empty()) {
        std::abort(); // a refusal always says why
    }
    return 0;
}
