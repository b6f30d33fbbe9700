#pragma once
// What the scenario reads about the levels: every object of both rooms with
// its placement, culling radius, material and cover segments
// ("data/XML/instances.xml"), and each room's spot lights
// ("data/XML/light_instances_1.xml" for hangares, "..._2.xml" for isla).
// All of it comes from the layouts, the same ones the meshes are made from.
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "datagen/Layout.h"

namespace datagen {

inline constexpr char kInstancesFile[] = "data/XML/instances.xml";

// The light file the game reads for a room, by the room's name; empty for a
// room the game does not know.
std::string LightFileOf(const std::string& level);

// The scenario file for these layouts, one room each, in the order given.
std::string InstancesXml(const std::vector<LevelLayout>& layouts);
// One room's light file.
std::string LightsXml(const LevelLayout& layout);

// Writes the scenario file and the light files. Nothing is written, and the
// reason is a failure, unless the layouts are exactly the rooms the game
// loads, once each, and every one has at least one light (the game starts
// every light search from a room's first light).
void WriteLevelInstances(const std::vector<LevelLayout>& layouts, Output& out);

// The generator step: reads the levels' layout files and writes the above.
void GenerateLevelInstances(Output& out);

} // namespace datagen
