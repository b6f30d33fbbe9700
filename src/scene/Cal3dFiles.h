#pragma once
// The character model files (skeleton "CSF", mesh "CMF", animation "CAF", in
// the binary form the model library itself writes) checked before the library
// reads them: it trusts every count and id it finds, so a damaged file could
// make it allocate gigabytes, read past the file or index out of its arrays.
// Each check walks the whole file: every count must fit in the bytes left,
// every id must name something that exists, every number must be finite, and
// the file must end where its content does.
#include <string>
#include <vector>

namespace cal3dfiles {

// The only version these checks know the layout of; the game's files are all
// written at it.
constexpr int kFileVersion = 1100;
constexpr int kMaxBones = 1024;
constexpr int kMaxSubmeshes = 64;
constexpr int kMaxVertices = 65535;
constexpr int kMaxInfluences = 64;
constexpr int kMaxTextureCoordinates = 8;
constexpr float kMaxDuration = 3600.0f;

// Each returns "" for a sound file, else the fault in a few words. The
// skeleton's check gives its bone count, which the other two need to check
// the bone ids they hold.
std::string CheckSkeleton(const std::vector<unsigned char>& bytes, int* boneCount);
std::string CheckMesh(const std::vector<unsigned char>& bytes, int boneCount);
std::string CheckAnimation(const std::vector<unsigned char>& bytes, int boneCount);

} // namespace cal3dfiles
