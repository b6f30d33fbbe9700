#include "platform/audio_decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <vorbis/vorbisfile.h>

namespace platform {
namespace audio {

namespace {

std::uint32_t Le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::uint16_t Le16(const unsigned char* p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}

bool RateAndChannelsOk(long rate, int channels, std::string& error)
{
    if (channels < 1 || channels > 2) {
        error = "unsupported channel count " + std::to_string(channels);
        return false;
    }
    if (rate < 8000 || rate > 192000) {
        error = "unsupported sample rate " + std::to_string(rate);
        return false;
    }
    return true;
}

bool IsChunkName(const unsigned char* p)
{
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E)
            return false;
    return true;
}

// What lies about a WAVE file whose data chunk is whole: a RIFF size that is
// not what follows it, bytes after the data chunk that are no chunk (a data
// size that says less than the file holds). Empty when nothing does.
std::string WavSizesLie(const std::vector<unsigned char>& b, std::size_t dataEnd, std::size_t dataSize)
{
    std::string lies;
    const std::size_t riff = Le32(&b[4]);
    if (riff != b.size() - 8)
        lies = "its RIFF size says " + std::to_string(riff) + " bytes where " + std::to_string(b.size() - 8) +
               " follow";
    std::size_t at = dataEnd;
    while (at + 8 <= b.size() && IsChunkName(&b[at]) && Le32(&b[at + 4]) <= b.size() - at - 8) {
        const std::size_t size = Le32(&b[at + 4]);
        at += 8 + size + (size & 1u);
    }
    if (at < b.size()) {
        lies += (lies.empty() ? "" : ", and ") + std::to_string(b.size() - at) +
                " bytes after its data chunk are no chunk: only the " + std::to_string(dataSize) +
                " bytes its data chunk says are played";
    } else if (!lies.empty()) {
        lies += ": it is read as its chunks say";
    }
    return lies;
}

bool DecodeWav(const std::vector<unsigned char>& b, DecodedSound& out, std::string& error)
{
    if (b.size() < 12 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        error = "not a WAVE file";
        return false;
    }
    bool haveFormat = false;
    int bits = 0;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::uint32_t size = Le32(&b[at + 4]);
        const std::size_t body = at + 8;
        if (size > b.size() - body) {
            error = "chunk runs past the end of the file";
            return false;
        }
        if (std::memcmp(&b[at], "fmt ", 4) == 0) {
            if (size < 16) {
                error = "format chunk too short";
                return false;
            }
            if (Le16(&b[body]) != 1) {
                error = "not PCM";
                return false;
            }
            out.channels = Le16(&b[body + 2]);
            out.rate = static_cast<int>(Le32(&b[body + 4]) > 0x7FFFFFFFu ? 0 : Le32(&b[body + 4]));
            bits = Le16(&b[body + 14]);
            if (!RateAndChannelsOk(out.rate, out.channels, error))
                return false;
            if (bits != 8 && bits != 16) {
                error = "unsupported sample size " + std::to_string(bits);
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(&b[at], "data", 4) == 0) {
            if (!haveFormat) {
                error = "data before format";
                return false;
            }
            const std::size_t frameBytes = std::size_t(out.channels) * (bits / 8);
            const std::size_t frames = size / frameBytes;
            if (frames > kMaxDecodedFrames) {
                error = "sound too long";
                return false;
            }
            out.samples.resize(frames * out.channels);
            const unsigned char* p = &b[body];
            for (std::size_t i = 0; i < out.samples.size(); ++i) {
                if (bits == 16)
                    out.samples[i] = static_cast<std::int16_t>(Le16(p + 2 * i));
                else
                    out.samples[i] = static_cast<std::int16_t>((int(p[i]) - 128) * 256);
            }
            out.damage = WavSizesLie(b, body + size + (size & 1u), size);
            return true;
        }
        // Chunks are padded to an even size.
        at = body + size + (size & 1u);
    }
    error = haveFormat ? "no data chunk" : "no format chunk";
    return false;
}

struct MemoryReader {
    const std::vector<unsigned char>* bytes;
    std::size_t at;
};

size_t MemRead(void* ptr, size_t size, size_t count, void* source)
{
    MemoryReader* r = static_cast<MemoryReader*>(source);
    if (size == 0)
        return 0;
    const std::size_t left = r->bytes->size() - r->at;
    const std::size_t n = std::min(count, left / size);
    std::memcpy(ptr, r->bytes->data() + r->at, n * size);
    r->at += n * size;
    return n;
}

int MemSeek(void* source, ogg_int64_t offset, int whence)
{
    MemoryReader* r = static_cast<MemoryReader*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<ogg_int64_t>(r->at);
    else if (whence == SEEK_END)
        base = static_cast<ogg_int64_t>(r->bytes->size());
    else if (whence != SEEK_SET)
        return -1;
    if (offset < -base || offset > static_cast<ogg_int64_t>(r->bytes->size()) - base)
        return -1;
    r->at = static_cast<std::size_t>(base + offset);
    return 0;
}

long MemTell(void* source)
{
    return static_cast<long>(static_cast<MemoryReader*>(source)->at);
}

// Whether an Ogg stream's last page is all there and marks the stream's end:
// a file cut short decodes without an error, only shorter.
bool OggEndsWhole(const std::vector<unsigned char>& b)
{
    const unsigned char capture[4] = {'O', 'g', 'g', 'S'};
    for (std::size_t at = b.size() >= 27 ? b.size() - 27 + 1 : 0; at-- > 0;) {
        if (std::memcmp(&b[at], capture, 4) != 0 || b[at + 4] != 0)
            continue;
        const std::size_t segments = b[at + 26];
        if (at + 27 + segments > b.size())
            return false;
        std::size_t body = 0;
        for (std::size_t i = 0; i < segments; ++i)
            body += b[at + 27 + i];
        return (b[at + 5] & 0x04u) != 0 && at + 27 + segments + body == b.size();
    }
    return false;
}

bool DecodeVorbis(const std::vector<unsigned char>& b, DecodedSound& out, std::string& error)
{
    MemoryReader reader{&b, 0};
    OggVorbis_File vf;
    ov_callbacks callbacks = {MemRead, MemSeek, nullptr, MemTell};
    if (ov_open_callbacks(&reader, &vf, nullptr, 0, callbacks) != 0) {
        error = "not a Vorbis stream";
        return false;
    }
    const vorbis_info* info = ov_info(&vf, -1);
    bool ok = info && RateAndChannelsOk(info->rate, info->channels, error);
    if (ok) {
        out.rate = static_cast<int>(info->rate);
        out.channels = info->channels;
        // The stream's stated length is not trusted: read until it ends, up to our limit.
        const std::size_t limit = kMaxDecodedFrames * out.channels;
        char buffer[8192];
        int section = 0;
        int holes = 0;
        for (;;) {
            const long got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section);
            if (got == 0)
                break;
            if (got < 0) {
                // A page whose checksum fails is dropped by the decoder,
                // which says so: the sound plays on past the gap.
                if (got == OV_HOLE) {
                    ++holes;
                    continue;
                }
                error = "damaged Vorbis data";
                ok = false;
                break;
            }
            const vorbis_info* now = ov_info(&vf, section);
            if (!now || now->channels != out.channels || now->rate != out.rate) {
                error = "stream changes format midway";
                ok = false;
                break;
            }
            const std::size_t n = static_cast<std::size_t>(got) / 2;
            if (out.samples.size() + n > limit) {
                error = "sound too long";
                ok = false;
                break;
            }
            const std::size_t old = out.samples.size();
            out.samples.resize(old + n);
            std::memcpy(out.samples.data() + old, buffer, n * 2);
        }
        if (ok && holes > 0)
            out.damage = std::to_string(holes) + (holes == 1 ? " stretch of it is" : " stretches of it are") +
                         " damaged (their pages fail their checksums): they are skipped";
        else if (ok && !OggEndsWhole(b))
            out.damage = "it is cut short before its last page: what is there is played";
    }
    ov_clear(&vf);
    return ok;
}

} // namespace

bool DecodeSound(const std::vector<unsigned char>& bytes, DecodedSound& out, std::string& error)
{
    out = DecodedSound();
    bool ok = false;
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) == 0)
        ok = DecodeWav(bytes, out, error);
    else if (bytes.size() >= 4 && std::memcmp(bytes.data(), "OggS", 4) == 0)
        ok = DecodeVorbis(bytes, out, error);
    else
        error = "neither WAVE nor Ogg Vorbis";
    if (ok && out.samples.empty()) {
        error = "no sound in the file";
        ok = false;
    }
    if (!ok)
        out = DecodedSound();
    return ok;
}

} // namespace audio
} // namespace platform
