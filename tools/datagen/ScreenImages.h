#pragma once
// The full-screen pictures the game shows while it starts: the splash, the
// ten loading screens (pad "mando" and keyboard "teclado" hints, Spanish and
// "_ing" English) and the four death screens.
#include <string>
#include <vector>

#include "datagen/Canvas.h"
#include "datagen/Generator.h"

namespace datagen {

// The window's 4:3 shape; the game stretches the picture over its back buffer.
inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;

enum class ScreenKind { Splash, Loading, Death };

struct ScreenImage {
    std::string name;    // as the game asks the texture cache for it
    ScreenKind kind = ScreenKind::Splash;
    bool pad = false;    // pad ("mando") hints rather than keyboard ("teclado")
    bool english = false;
    int number = 0;      // 1 to 5 within the "mando" or "teclado" loading series
    int position = 0;    // 1 to 10 along the whole loading sequence
};

// A way on from the death screen: the key or button, and what it does.
struct DeathPrompt {
    std::string key;
    std::string action;
};
// What the death screen tells the player, in its language and for its device.
std::vector<DeathPrompt> DeathScreenPrompts(const ScreenImage& image);

// Every screen image the start-up loads, splash first.
std::vector<ScreenImage> ScreenImages();

Canvas PaintScreen(const ScreenImage& image, int width, int height);

// The generator step: every screen image, as JPEG, below the texture folder.
void GenerateScreenImages(Output& out);

} // namespace datagen
