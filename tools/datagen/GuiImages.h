#pragma once
// The screen elements of "data/XML/GUI.xml" and their pictures, from one
// table: menus, options, controls, achievements, pause menu, HUD, banners and
// fades. Each row gives the element's name, its words, where it sits on the
// unit screen, how high it is drawn and how its picture is cut into cells, so
// the file and the pictures cannot disagree.
#include <string>
#include <vector>

#include "datagen/Canvas.h"
#include "datagen/Generator.h"

namespace datagen {

enum class GuiKind {
    StormBackground, // the harbour in a storm; variant 1 dark to 5 lit
    OptionsBackground,
    ControlsBackground, // variant 1 pad, 2 keyboard
    AchievementsBackground,
    PausePanel,
    Button,    // cell 0 normal, cell 1 selected
    Selector,  // cells: plain, left arrow lit, right arrow lit
    Switch,    // cells: on, off
    Digits,    // cells 0-9; with 12 cells also a round and a separator
    ListEntry, // an awarded achievement in the list
    Banner,    // mission or achievement banner
    Caption,   // a hint or caption line
    CoverHint, // variant 1 pad, 2 keyboard
    ComboHint, // variant 1 pad X, 2 pad Y, 3 left mouse button, 4 right mouse button; two blink cells
    Frame,     // the HUD's frame
    Weapon,
    Crosshair, // variant 1 aiming at an enemy, 2 at something else, 3 not aiming
    Fade,      // variant 1 black, 2 white; opaque at cell 0, clear at the last
};

struct GuiImage {
    std::string name;    // the element's name; its English twin adds "_INGLES"
    GuiKind kind = GuiKind::Button;
    std::string words;   // Spanish, or the only words of an element without twin
    std::string wordsEn; // the twin's words; empty for an element without twin
    float posX = 0.5f, posY = 0.5f, alto = 0.1f;
    int cellWidth = 64, cellHeight = 64; // pixels of one cell
    int cells = 1;
    int variant = 0;
    std::string detail; // second line of words (Spanish); weapon name for crosshairs
    std::string detailEn;
};

// One element as "data/XML/GUI.xml" lists it.
struct GuiElementFile {
    std::string name;
    std::string texture; // as the texture cache is asked for it ("GUI/...")
    const GuiImage* image;
    bool english;
};

const std::vector<GuiImage>& GuiImages();
// Every element, twins after their Spanish originals.
std::vector<GuiElementFile> GuiElementFiles();

Canvas PaintGuiImage(const GuiImage& image, bool english);
std::string GuiXml();

// The generator step: "data/XML/GUI.xml" and a PNG for every element.
void GenerateGuiImages(Output& out);

} // namespace datagen
