#include "datagen/BinaryWriter.h"

#include <cstring>
#include <stdexcept>

namespace datagen {

void BinaryWriter::U8(std::uint8_t v)
{
    m_bytes.push_back(v);
}

void BinaryWriter::U16(std::uint16_t v)
{
    m_bytes.push_back(std::uint8_t(v & 0xFF));
    m_bytes.push_back(std::uint8_t(v >> 8));
}

void BinaryWriter::I16(std::int16_t v)
{
    U16(static_cast<std::uint16_t>(v));
}

void BinaryWriter::U32(std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.push_back(std::uint8_t((v >> shift) & 0xFF));
}

void BinaryWriter::I32(std::int32_t v)
{
    U32(static_cast<std::uint32_t>(v));
}

void BinaryWriter::F32(float v)
{
    std::uint32_t bits = 0;
    static_assert(sizeof bits == sizeof v, "float must be 32 bits");
    std::memcpy(&bits, &v, sizeof bits);
    U32(bits);
}

void BinaryWriter::Raw(const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + size);
}

void BinaryWriter::Chars(const std::string& text)
{
    Raw(text.data(), text.size());
}

void BinaryWriter::PatchU32(std::size_t offset, std::uint32_t v)
{
    if (offset > m_bytes.size() || m_bytes.size() - offset < 4)
        throw std::out_of_range("patch beyond the written bytes");
    for (int i = 0; i < 4; ++i)
        m_bytes[offset + i] = std::uint8_t((v >> (8 * i)) & 0xFF);
}

} // namespace datagen
