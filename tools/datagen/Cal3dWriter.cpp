#include "datagen/Cal3dWriter.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

#include <cal3d/cal3d.h>

namespace fs = std::filesystem;

namespace datagen {

namespace {

// Saves through the given call into a scratch file with the target's
// extension, then hands the bytes to out.
template <typename SaveFn>
bool SaveVia(Output& out, const std::string& relative, SaveFn save)
{
    static std::atomic<unsigned> counter{0};
    const fs::path target(relative);
    std::error_code ec;
    fs::path scratch = fs::temp_directory_path(ec);
    if (ec)
        scratch = ".";
    scratch /= "datagen-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
               target.extension().string();

    if (!save(scratch.string())) {
        fs::remove(scratch, ec);
        out.Fail("Cal3D could not save \"" + relative + "\": " + CalError::getLastErrorDescription());
        return false;
    }
    Bytes bytes;
    {
        std::ifstream in(scratch, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove(scratch, ec);
    if (bytes.empty()) {
        out.Fail("Cal3D wrote nothing for \"" + relative + "\"");
        return false;
    }
    return out.Write(relative, bytes);
}

} // namespace

bool WriteCoreSkeleton(Output& out, const std::string& relative, CalCoreSkeleton& skeleton)
{
    return SaveVia(out, relative, [&](const std::string& file) { return CalSaver::saveCoreSkeleton(file, &skeleton); });
}

bool WriteCoreMesh(Output& out, const std::string& relative, CalCoreMesh& mesh)
{
    return SaveVia(out, relative, [&](const std::string& file) { return CalSaver::saveCoreMesh(file, &mesh); });
}

bool WriteCoreAnimation(Output& out, const std::string& relative, CalCoreAnimation& animation)
{
    return SaveVia(out, relative, [&](const std::string& file) { return CalSaver::saveCoreAnimation(file, &animation); });
}

} // namespace datagen
