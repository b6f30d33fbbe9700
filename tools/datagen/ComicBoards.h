#pragma once
// The comic boards of the cut-scenes: every object of the comic material
// gets a picture of its own, a flat-colour scene with its caption in Spanish
// comic lettering, named after the board. The camera glides past the boards
// (see RigidAnims.h), so each picture is drawn for the board's front face:
// with the material's tile of 600 a 600 x 400 board shows the picture's
// upper two thirds, left to right as the camera sees it.
#include <string>

#include "datagen/Canvas.h"
#include "datagen/Generator.h"
#include "datagen/Layout.h"

namespace datagen {

bool IsComicBoard(const LayoutObject& object);
// Under "data/textures/": "vinyetas/<level>/<object>.jpg".
std::string ComicBoardTexture(const std::string& level, const LayoutObject& object);
// The caption the board carries, empty for a scene without words.
std::string ComicBoardCaption(const std::string& name);
Canvas PaintComicBoard(const LayoutObject& object);
// A caption box in the framed top-left corner: the words wrapped, in capitals,
// in bold lettering.
void DrawCaption(Canvas& c, const std::string& text);

// The generator step: one picture per board of every level.
void GenerateComicBoards(Output& out);

} // namespace datagen
