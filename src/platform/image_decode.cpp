#include "platform/image_decode.h"

#include "platform/stb_image_only.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace platform {
namespace image {

namespace {

const char kCutShort[] = "it is cut short before its last texel";

bool TooLarge(std::uint32_t width, std::uint32_t height, int maxSide, std::string* fault)
{
    if (fault)
        *fault = "image " + std::to_string(width) + "x" + std::to_string(height) + " is larger than " +
                 std::to_string(maxSide) + " a side";
    return false;
}

std::uint32_t ReadU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Position and width of a channel mask's bits.
void MaskShift(std::uint32_t mask, int* shift, int* bits)
{
    *shift = 0;
    *bits = 0;
    if (mask == 0)
        return;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++*shift;
    }
    while (mask & 1u) {
        mask >>= 1;
        ++*bits;
    }
}

unsigned char Channel(std::uint32_t pixel, int shift, int bits, unsigned char missing)
{
    if (bits == 0)
        return missing;
    // A mask may fill all 32 bits: the mask is built wider than the pixel.
    const std::uint32_t value = static_cast<std::uint32_t>((pixel >> shift) & ((std::uint64_t(1) << bits) - 1u));
    return static_cast<unsigned char>(bits >= 8 ? value >> (bits - 8) : value * 255u / ((1u << bits) - 1u));
}

// Uncompressed RGB(A) DDS files of 16, 24 or 32 bits per pixel, any channel
// masks; compressed (four-character-code) files, cube maps and volumes are not
// taken.
bool DecodeDds(const unsigned char* data, size_t size, int maxSide, Image& image, std::string* fault)
{
    if (size < 128 || std::memcmp(data, "DDS ", 4) != 0)
        return false;
    const unsigned char* h = data + 4;
    if (ReadU32(h) != 124)
        return false;
    const std::uint32_t flags = ReadU32(h + 4);
    const std::uint32_t height = ReadU32(h + 8);
    const std::uint32_t width = ReadU32(h + 12);
    const std::uint32_t mipCount = (flags & 0x20000u) ? ReadU32(h + 24) : 1;
    const std::uint32_t pfFlags = ReadU32(h + 76);
    const std::uint32_t bitCount = ReadU32(h + 84);
    const std::uint32_t masks[4] = {ReadU32(h + 88), ReadU32(h + 92), ReadU32(h + 96), ReadU32(h + 100)};
    const std::uint32_t caps2 = ReadU32(h + 108);
    const bool hasAlpha = (pfFlags & 0x1u) != 0 && masks[3] != 0;
    if (!(pfFlags & 0x40u) || (pfFlags & 0x4u) || caps2 != 0)
        return false;
    if (bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;
    if (width == 0 || height == 0)
        return false;
    if (width > static_cast<std::uint32_t>(maxSide) || height > static_cast<std::uint32_t>(maxSide))
        return TooLarge(width, height, maxSide, fault);
    int shift[4], bits[4];
    for (int c = 0; c < 4; ++c)
        MaskShift(hasAlpha || c < 3 ? masks[c] : 0, &shift[c], &bits[c]);

    const size_t bytesPerPixel = bitCount / 8;
    size_t offset = 128;
    image.width = width;
    image.height = height;
    image.alpha = hasAlpha;
    const std::uint32_t levels = std::max<std::uint32_t>(1, std::min<std::uint32_t>(mipCount, 16));
    for (std::uint32_t level = 0; level < levels; ++level) {
        const size_t w = std::max<std::uint32_t>(1, width >> level), hgt = std::max<std::uint32_t>(1, height >> level);
        const size_t bytes = w * hgt * bytesPerPixel;
        if (offset + bytes > size) {
            if (level == 0) {
                if (fault)
                    *fault = kCutShort;
                return false;
            }
            break; // keep the levels that are there
        }
        std::vector<unsigned char> out(w * hgt * 4);
        for (size_t i = 0; i < w * hgt; ++i) {
            const unsigned char* p = data + offset + i * bytesPerPixel;
            std::uint32_t pixel = 0;
            for (size_t b = 0; b < bytesPerPixel; ++b)
                pixel |= static_cast<std::uint32_t>(p[b]) << (8 * b);
            out[i * 4 + 0] = Channel(pixel, shift[2], bits[2], 0);
            out[i * 4 + 1] = Channel(pixel, shift[1], bits[1], 0);
            out[i * 4 + 2] = Channel(pixel, shift[0], bits[0], 0);
            out[i * 4 + 3] = Channel(pixel, shift[3], bits[3], 0xFF);
        }
        image.levels.push_back(std::move(out));
        offset += bytes;
    }
    return true;
}

// stb_image 2.27 trusts a JPEG's Huffman tables: 16 code counts of up to 255
// each are written into tables of 256 entries, and a scan that uses a table
// no segment defined decodes through uninitialised memory. Both are checked
// before stb sees the file, walking the segments as a decoder does so that
// bytes inside other segments or the coded data are never taken for one.
bool JpegTablesFit(const unsigned char* data, size_t size)
{
    // stb takes any run of 0xFF before a marker code, the first one too.
    size_t at = 0;
    while (at < size && data[at] == 0xFF)
        ++at;
    if (at == 0 || at >= size || data[at] != 0xD8)
        return true; // not a JPEG: nothing for this check
    ++at;
    bool defined[2][4] = {};
    bool progressive = false;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) { // coded data after a scan: find the next marker
            ++at;
            continue;
        }
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF || marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += marker == 0xFF ? 1 : 2; // fill byte, stuffed byte, restart or TEM: no length
            continue;
        }
        if (marker == 0xD9)
            return true;
        const size_t length = static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
        if (length < 2)
            return false;
        const size_t end = std::min(size, at + 2 + length);
        if (marker == 0xC4) {
            size_t table = at + 4;
            while (table < end) {
                if (table + 17 > end)
                    return false;
                size_t codes = 0;
                for (int i = 1; i <= 16; ++i)
                    codes += data[table + i];
                const int tableClass = data[table] >> 4, id = data[table] & 15;
                if (codes > 256 || tableClass > 1 || id > 3)
                    return false;
                defined[tableClass][id] = true;
                table += 17 + codes;
            }
        } else if (marker >= 0xC0 && marker <= 0xC3) {
            progressive = marker == 0xC2;
        } else if (marker == 0xDA && at + 5 <= end) {
            const size_t components = data[at + 4];
            const size_t tail = at + 5 + 2 * components;
            if (tail + 3 > end)
                return false;
            const int spectralStart = data[tail], approximationHigh = data[tail + 2] >> 4;
            const bool usesDc = !progressive || (spectralStart == 0 && approximationHigh == 0);
            const bool usesAc = !progressive || spectralStart > 0;
            for (size_t c = 0; c < components; ++c) {
                const int dc = data[at + 6 + 2 * c] >> 4, ac = data[at + 6 + 2 * c] & 15;
                if (dc > 3 || ac > 3 || (usesDc && !defined[0][dc]) || (usesAc && !defined[1][ac]))
                    return false;
            }
        }
        at += 2 + length;
    }
    return true;
}

// stb_image allocates a PNG data chunk's announced length before reading it:
// every chunk must lie within the file.
bool PngChunksFit(const unsigned char* data, size_t size)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, signature, 8) != 0)
        return true; // not a PNG: nothing for this check
    size_t at = 8;
    while (at + 12 <= size) {
        const size_t length = static_cast<size_t>(data[at]) << 24 | static_cast<size_t>(data[at + 1]) << 16 |
                              static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
        if (length > size - at - 12)
            return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0)
            return true;
        at += 12 + length;
    }
    return true;
}

std::uint32_t ReadU16(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint32_t ReadBigU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

bool IsJpeg(const unsigned char* data, size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// The size a PNG or BMP header claims, read where stb would refuse a large
// one with no word of why. False for other files.
bool ClaimedSize(const unsigned char* data, size_t size, std::uint32_t* width, std::uint32_t* height)
{
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 24 && std::memcmp(data, png, 8) == 0 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        *width = ReadBigU32(data + 16);
        *height = ReadBigU32(data + 20);
        return true;
    }
    if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        const std::int32_t w = static_cast<std::int32_t>(ReadU32(data + 18));
        const std::int32_t h = static_cast<std::int32_t>(ReadU32(data + 22));
        *width = w < 0 ? 0u - static_cast<std::uint32_t>(w) : static_cast<std::uint32_t>(w);
        *height = h < 0 ? 0u - static_cast<std::uint32_t>(h) : static_cast<std::uint32_t>(h);
        return true;
    }
    return false;
}

// Whether a TGA's texels all lie within the file; stb reads on past its end
// as zeros, a hard band across the picture. Run-length files are walked
// packet by packet.
bool TgaTexelsFit(const unsigned char* data, size_t size)
{
    const unsigned type = data[2], bits = data[16];
    const size_t pixelBytes = (bits + 7) / 8;
    const size_t colourMap = data[1] == 1 ? ReadU16(data + 5) * ((data[7] + 7) / 8u) : 0;
    size_t at = 18 + data[0] + colourMap;
    const size_t pixels = static_cast<size_t>(ReadU16(data + 12)) * ReadU16(data + 14);
    if (type < 9)
        return at <= size && pixels * pixelBytes <= size - at;
    for (size_t done = 0; done < pixels;) {
        if (at >= size)
            return false;
        const size_t count = (data[at] & 0x7Fu) + 1, bytes = data[at] & 0x80u ? pixelBytes : count * pixelBytes;
        if (bytes > size - at - 1)
            return false;
        at += 1 + bytes;
        done += count;
    }
    return true;
}

bool LooksLikeTga(const unsigned char* data, size_t size)
{
    if (size < 18 || data[1] > 1)
        return false;
    const unsigned type = data[2], bits = data[16];
    const bool known = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    return known && (bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32);
}

// Why a picture of one of the kinds stb reads is cut short, or empty: its
// last texels, or a JPEG's end marker, are not in the file. A JPEG's coded
// data holds no 0xFF 0xD9 (a 0xFF there is followed by 0), so the marker is
// looked for from the first scan on.
std::string CutShort(const unsigned char* data, size_t size)
{
    if (IsJpeg(data, size)) {
        const unsigned char scan[2] = {0xFF, 0xDA}, end[2] = {0xFF, 0xD9};
        const unsigned char* first = std::search(data, data + size, scan, scan + 2);
        return std::search(first, data + size, end, end + 2) == data + size ? "it is cut short before its end marker"
                                                                            : "";
    }
    if (size >= 54 && data[0] == 'B' && data[1] == 'M') {
        const std::uint32_t compression = ReadU32(data + 30), bits = ReadU16(data + 28);
        std::uint32_t width = 0, height = 0;
        ClaimedSize(data, size, &width, &height);
        const std::uint64_t row = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
        const std::uint64_t offset = ReadU32(data + 10);
        if ((compression == 0 || compression == 3) && offset + row * height > size)
            return kCutShort;
        return "";
    }
    if (!IsJpeg(data, size) && LooksLikeTga(data, size) && !TgaTexelsFit(data, size))
        return kCutShort;
    return "";
}

bool DecodeWithStb(const unsigned char* data, size_t size, int maxSide, Image& image, std::string* fault)
{
    if (size > 0x7FFFFFFF)
        return false;
    if (!JpegTablesFit(data, size)) {
        if (fault)
            *fault = "a JPEG Huffman table is broken or missing";
        return false;
    }
    if (!PngChunksFit(data, size)) {
        if (fault)
            *fault = "a PNG chunk reaches past the end of the file";
        return false;
    }
    int width = 0, height = 0, channels = 0;
    // A few hundred bytes can announce a gigabyte image: the header decides
    // before any texel is decoded.
    std::uint32_t claimedWidth = 0, claimedHeight = 0;
    if (ClaimedSize(data, size, &claimedWidth, &claimedHeight) &&
        (claimedWidth > static_cast<std::uint32_t>(maxSide) || claimedHeight > static_cast<std::uint32_t>(maxSide)))
        return TooLarge(claimedWidth, claimedHeight, maxSide, fault);
    if (!StbInfo(data, static_cast<int>(size), &width, &height, &channels))
        return false;
    if (width <= 0 || height <= 0)
        return false;
    if (width > maxSide || height > maxSide)
        return TooLarge(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), maxSide, fault);
    const std::string cut = CutShort(data, size);
    if (!cut.empty()) {
        if (fault)
            *fault = cut;
        return false;
    }
    unsigned char* pixels = StbLoad(data, static_cast<int>(size), &width, &height, &channels, 4);
    if (!pixels)
        return false;
    image.width = static_cast<unsigned>(width);
    image.height = static_cast<unsigned>(height);
    image.alpha = channels == 2 || channels == 4;
    std::vector<unsigned char> bgra(pixels, pixels + static_cast<size_t>(width) * height * 4);
    StbFree(pixels);
    // Red and blue change places through a plain pointer: the game loads
    // millions of texels, and an unoptimised build called a function for
    // each byte touched.
    for (unsigned char *texel = bgra.data(), *end = texel + bgra.size(); texel != end; texel += 4) {
        const unsigned char red = texel[0];
        texel[0] = texel[2];
        texel[2] = red;
    }
    image.levels.push_back(std::move(bgra));
    return true;
}

} // namespace

bool Decode(const unsigned char* data, std::size_t size, int maxSide, Image& image, std::string* fault)
{
    if (fault)
        fault->clear();
    image = Image();
    if (!data)
        return false;
    const bool dds = size >= 4 && std::memcmp(data, "DDS ", 4) == 0;
    return dds ? DecodeDds(data, size, maxSide, image, fault) : DecodeWithStb(data, size, maxSide, image, fault);
}

bool JpegSize(const unsigned char* data, std::size_t size, int maxSide, unsigned* width, unsigned* height)
{
    if (!data || size < 4 || size > 0x7FFFFFFF || data[0] != 0xFF || data[1] != 0xD8 || !JpegTablesFit(data, size))
        return false;
    int w = 0, h = 0, channels = 0;
    if (!StbInfo(data, static_cast<int>(size), &w, &h, &channels) || w <= 0 || h <= 0 || w > maxSide ||
        h > maxSide || (channels != 1 && channels != 3) || !CutShort(data, size).empty())
        return false;
    *width = static_cast<unsigned>(w);
    *height = static_cast<unsigned>(h);
    return true;
}

} // namespace image
} // namespace platform
