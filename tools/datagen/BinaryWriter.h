#pragma once
// Little-endian binary output, the byte order of the game's binary meshes and
// of WAV files, whatever the machine the generator runs on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "datagen/Generator.h"

namespace datagen {

class BinaryWriter {
public:
    void U8(std::uint8_t v);
    void U16(std::uint16_t v);
    void I16(std::int16_t v);
    void U32(std::uint32_t v);
    void I32(std::int32_t v);
    void F32(float v); // IEEE single, as stored in memory on the target
    void Raw(const void* data, std::size_t size);
    // The characters of text, without a terminator or a length.
    void Chars(const std::string& text);

    // Overwrites four bytes already written (sizes known only at the end).
    void PatchU32(std::size_t offset, std::uint32_t v);

    std::size_t Size() const { return m_bytes.size(); }
    const Bytes& Data() const { return m_bytes; }
    Bytes Take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

} // namespace datagen
