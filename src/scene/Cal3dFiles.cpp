#include "scene/Cal3dFiles.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace cal3dfiles {
namespace {

// A little-endian cursor that fails instead of reading past the end; after
// the first failure every read fails and the fault stays the first one.
class Reader {
public:
    explicit Reader(const std::vector<unsigned char>& bytes) : m_Bytes(bytes) {}

    bool Int(std::int32_t* out, const char* what)
    {
        std::uint32_t raw;
        if (!Raw(&raw, what))
            return false;
        std::memcpy(out, &raw, 4);
        return true;
    }
    // An int within [low, high].
    bool IntIn(std::int32_t* out, std::int32_t low, std::int32_t high, const std::string& what)
    {
        if (!Int(out, what.c_str()))
            return false;
        if (*out < low || *out > high)
            return Fail(what + " " + std::to_string(*out) + " is outside " + std::to_string(low) + ".." +
                        std::to_string(high));
        return true;
    }
    bool Floats(int count, const std::string& what)
    {
        for (int i = 0; i < count; ++i) {
            std::uint32_t raw;
            if (!Raw(&raw, what.c_str()))
                return false;
            float value;
            std::memcpy(&value, &raw, 4);
            if (!std::isfinite(value))
                return Fail(what + " is not a number");
        }
        return true;
    }
    bool Float(float* out, const std::string& what)
    {
        std::uint32_t raw;
        if (!Raw(&raw, what.c_str()))
            return false;
        std::memcpy(out, &raw, 4);
        if (!std::isfinite(*out))
            return Fail(what + " is not a number");
        return true;
    }
    bool Skip(std::size_t count, const char* what)
    {
        if (!m_Fault.empty())
            return false;
        if (count > Left())
            return Fail(std::string(what) + " runs past the end of the file");
        m_At += count;
        return true;
    }
    // A string of the given length whose last byte, and no other, ends it:
    // the library takes the bytes as a C string and, reading from memory,
    // steps on by that C string's length, not by the length given.
    bool String(std::size_t length, const std::string& what)
    {
        if (!Skip(length, what.c_str()))
            return false;
        const void* end = std::memchr(m_Bytes.data() + m_At - length, 0, length);
        if (end != m_Bytes.data() + m_At - 1)
            return Fail(what + " does not end exactly at its length");
        return true;
    }
    // A count of records of at least recordBytes each must fit in what is left.
    bool Fits(std::int64_t count, std::size_t recordBytes, const std::string& what)
    {
        if (!m_Fault.empty())
            return false;
        if (count < 0 || static_cast<std::uint64_t>(count) * recordBytes > Left())
            return Fail(what + " " + std::to_string(count) + " does not fit in the file");
        return true;
    }
    bool Header(const char magic[4])
    {
        if (m_Bytes.size() < 8 || std::memcmp(m_Bytes.data(), magic, 4) != 0)
            return Fail(std::string("it is no ") + magic + " file");
        m_At = 4;
        std::int32_t version = 0;
        Int(&version, "version");
        if (version != kFileVersion)
            return Fail("version " + std::to_string(version) + " is not " + std::to_string(kFileVersion));
        return true;
    }
    bool Fail(const std::string& fault)
    {
        if (m_Fault.empty())
            m_Fault = fault;
        return false;
    }
    std::string Finish()
    {
        if (m_Fault.empty() && m_At != m_Bytes.size())
            m_Fault = std::to_string(m_Bytes.size() - m_At) + " bytes after the content";
        return m_Fault;
    }
    std::size_t Left() const { return m_Bytes.size() - m_At; }

private:
    bool Raw(std::uint32_t* out, const char* what)
    {
        if (!m_Fault.empty())
            return false;
        if (Left() < 4)
            return Fail(std::string(what) + " runs past the end of the file");
        const unsigned char* p = m_Bytes.data() + m_At;
        *out = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        m_At += 4;
        return true;
    }

    const std::vector<unsigned char>& m_Bytes;
    std::size_t m_At = 0;
    std::string m_Fault;
};

// Name length, at least one character, 14 floats, parent id and child count.
constexpr std::size_t kMinBoneBytes = 4 + 1 + 14 * 4 + 4 + 4;

} // namespace

std::string CheckSkeleton(const std::vector<unsigned char>& bytes, int* boneCount)
{
    *boneCount = 0;
    Reader in(bytes);
    std::int32_t count = 0;
    if (in.Header("CSF") && in.IntIn(&count, 1, kMaxBones, "bone count") && in.Fits(count, kMinBoneBytes, "bone count")) {
        std::vector<std::int32_t> parents(count, -1);
        std::vector<std::vector<std::int32_t>> children(count);
        for (int bone = 0; bone < count; ++bone) {
            const std::string what = "bone " + std::to_string(bone);
            std::int32_t nameLength, childCount;
            if (!in.IntIn(&nameLength, 1, 1 << 16, what + " name length") || !in.String(nameLength, what + " name") ||
                !in.Floats(14, what + " pose") || !in.IntIn(&parents[bone], -1, count - 1, what + " parent") ||
                !in.IntIn(&childCount, 0, count - 1, what + " child count") || !in.Fits(childCount, 4, what + " child count"))
                break;
            children[bone].resize(childCount);
            for (std::int32_t& child : children[bone])
                if (!in.IntIn(&child, 0, count - 1, what + " child"))
                    break;
        }
        // The library walks the bones from the roots down through the child
        // lists, recursively: each child must name its parent back, and no
        // chain of parents may come round to where it started.
        std::string fault = in.Finish();
        for (int bone = 0; fault.empty() && bone < count; ++bone) {
            for (std::int32_t child : children[bone])
                if (parents[child] != bone)
                    fault = "bone " + std::to_string(child) + " is listed as a child of " + std::to_string(bone) +
                            " but names another parent";
            int steps = 0;
            for (std::int32_t up = parents[bone]; fault.empty() && up >= 0; up = parents[up])
                if (++steps > count)
                    fault = "bone " + std::to_string(bone) + " is its own ancestor";
        }
        if (fault.empty())
            *boneCount = count;
        return fault;
    }
    return in.Finish();
}

std::string CheckMesh(const std::vector<unsigned char>& bytes, int boneCount)
{
    Reader in(bytes);
    std::int32_t submeshes = 0;
    if (in.Header("CMF") && in.IntIn(&submeshes, 1, kMaxSubmeshes, "submesh count")) {
        for (int s = 0; s < submeshes; ++s) {
            const std::string what = "submesh " + std::to_string(s);
            std::int32_t material, vertices, faces, lods, springs, coordinates;
            if (!in.Int(&material, "material") || !in.IntIn(&vertices, 0, kMaxVertices, what + " vertex count") ||
                !in.IntIn(&faces, 0, 1 << 24, what + " face count") || !in.IntIn(&lods, 0, vertices, what + " level count") ||
                !in.IntIn(&springs, 0, 1 << 24, what + " spring count") ||
                !in.IntIn(&coordinates, 0, kMaxTextureCoordinates, what + " texture coordinate count"))
                break;
            // Position, normal, collapse id, face collapse count and the influence count.
            if (!in.Fits(vertices, 6 * 4 + 4 + 4 + coordinates * 8 + 4, what + " vertex count"))
                break;
            for (int v = 0; v < vertices; ++v) {
                const std::string vertex = what + " vertex " + std::to_string(v);
                std::int32_t collapse, faceCollapses, influences;
                if (!in.Floats(6, vertex) || !in.IntIn(&collapse, -1, vertices - 1, vertex + " collapse id") ||
                    !in.IntIn(&faceCollapses, 0, faces, vertex + " face collapse count") ||
                    !in.Floats(coordinates * 2, vertex + " texture coordinates") ||
                    !in.IntIn(&influences, 0, kMaxInfluences, vertex + " influence count"))
                    break;
                for (int i = 0; i < influences; ++i) {
                    std::int32_t bone;
                    if (!in.IntIn(&bone, 0, boneCount - 1, vertex + " bone id") || !in.Floats(1, vertex + " weight"))
                        break;
                }
                if (springs > 0 && !in.Floats(1, vertex + " spring weight"))
                    break;
            }
            if (!in.Fits(springs, 16, what + " spring count"))
                break;
            for (int i = 0; i < springs; ++i) {
                std::int32_t a, b;
                if (!in.IntIn(&a, 0, vertices - 1, what + " spring vertex") ||
                    !in.IntIn(&b, 0, vertices - 1, what + " spring vertex") || !in.Floats(2, what + " spring"))
                    break;
            }
            if (!in.Fits(faces, 12, what + " face count"))
                break;
            for (int f = 0; f < faces * 3; ++f) {
                std::int32_t index;
                if (!in.IntIn(&index, 0, vertices - 1, what + " face vertex"))
                    break;
            }
        }
    }
    return in.Finish();
}

std::string CheckAnimation(const std::vector<unsigned char>& bytes, int boneCount)
{
    Reader in(bytes);
    float duration = 0.0f;
    std::int32_t tracks = 0;
    if (in.Header("CAF") && in.Float(&duration, "duration")) {
        if (duration <= 0.0f || duration > kMaxDuration)
            in.Fail("duration " + std::to_string(duration) + " s is outside 0.." + std::to_string(int(kMaxDuration)));
        if (in.IntIn(&tracks, 0, boneCount, "track count") && in.Fits(tracks, 8, "track count")) {
            for (int t = 0; t < tracks; ++t) {
                const std::string what = "track " + std::to_string(t);
                std::int32_t bone, keys;
                if (!in.IntIn(&bone, 0, boneCount - 1, what + " bone id") || !in.IntIn(&keys, 1, 1 << 20, what + " key count") ||
                    !in.Fits(keys, 32, what + " key count") || !in.Floats(keys * 8, what + " keys"))
                    break;
            }
        }
    }
    return in.Finish();
}

} // namespace cal3dfiles
