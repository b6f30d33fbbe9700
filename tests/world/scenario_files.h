// Level files written into a scratch working folder, for the scenario tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "render/DeviceFixture.h"

namespace worldtest {

inline void WriteFile(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

// Twelve numbers: the three axis rows of a turn about Y by a quarter turn
// when turned is set (third row +X), then the translation.
inline std::string Transform(float x, float y, float z, bool turned = false)
{
    const std::string axes = turned ? "0 0 -1 0 1 0 1 0 0 " : "1 0 0 0 1 0 0 0 1 ";
    return axes + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z);
}

inline std::string Object(const std::string& name, const std::string& children = "",
                          const std::string& transform = Transform(0, 0, 0))
{
    return "<object name=\"" + name + "\" transform=\"" + transform + "\" radio=\"12.5\">" + children + "</object>";
}

inline std::string Parapet(const std::string& name)
{
    return "<parapet name=\"" + name + "\" transform=\"" + Transform(0, 0, 0) +
           "\" pt_ini=\"0 0 0\" pt_fin=\"10 0 10\"/>";
}

inline std::string Parapets(int count, const std::string& children)
{
    return "<parapets count=\"" + std::to_string(count) + "\">" + children + "</parapets>";
}

inline std::string Room(const std::string& name, const std::string& objects)
{
    return "<room name=\"" + name + "\"><objects>" + objects + "</objects></room>";
}

inline void WriteLevel(const std::string& rooms, int count = 2)
{
    WriteFile("data/XML/instances.xml", "<rooms count=\"" + std::to_string(count) + "\">" + rooms + "</rooms>");
}

inline std::string Spot(const std::string& position, const std::string& target)
{
    return "<spot position=\"" + position + "\" target=\"" + target + "\"/>";
}

inline void WriteSpots(int room, int count, const std::string& spots)
{
    WriteFile("data/XML/light_instances_" + std::to_string(room) + ".xml",
              "<spots count=\"" + std::to_string(count) + "\">" + spots + "</spots>");
}

} // namespace worldtest
