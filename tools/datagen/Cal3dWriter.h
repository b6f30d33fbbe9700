#pragma once
// Cal3D models built in code and written with Cal3D's own saver, so the game
// reads files in exactly the binary formats ("CSF", "CMF", "CAF") it expects.
// The saver writes only to a file name; these go through a scratch file so
// that Output can still skip files whose bytes have not changed.
#include <string>

#include "datagen/Generator.h"

class CalCoreSkeleton;
class CalCoreMesh;
class CalCoreAnimation;

namespace datagen {

// relative should end in ".csf", ".cmf" or ".caf" respectively: the saver
// picks the binary format from anything but the XML extensions.
bool WriteCoreSkeleton(Output& out, const std::string& relative, CalCoreSkeleton& skeleton);
bool WriteCoreMesh(Output& out, const std::string& relative, CalCoreMesh& mesh);
bool WriteCoreAnimation(Output& out, const std::string& relative, CalCoreAnimation& animation);

} // namespace datagen
