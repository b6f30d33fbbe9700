#pragma once
// What the trigger manager reads ("data/XML/trigger_instances.xml"): every
// level's <trigger> boxes, one <room> per level, each box as the game takes
// it: an identity transform whose translation row is the box's centre, and
// its full width, height and length; each box reaches 20 units below the
// ground it stands on, so that a hero whose feet sink into the floor is
// still inside.
#include <string>
#include <vector>

#include "datagen/Generator.h"
#include "datagen/Layout.h"

namespace datagen {

inline constexpr char kTriggerFile[] = "data/XML/trigger_instances.xml";

// The file for these layouts. Empty, with the reason in error, when a
// trigger's zone digit is not its level's room number (the game would never
// test it there) or a name is used in two levels (the game keeps only the
// first).
std::string TriggerInstancesXml(const std::vector<LevelLayout>& layouts, std::string& error);

// The generator step: reads the levels' layouts and writes the file.
void GenerateTriggerInstances(Output& out);

} // namespace datagen
