#pragma once
// Encodes a Canvas into the image formats the game's loaders read. The bytes
// come back in memory so that Output can compare them with what is on disk.
#include <string>

#include "datagen/Canvas.h"
#include "datagen/Generator.h"

namespace datagen {

// Each returns an empty vector when the encoder fails.
Bytes EncodeJpeg(const Canvas& canvas, int quality = 90); // colour only
Bytes EncodePng(const Canvas& canvas);                   // keeps alpha
Bytes EncodeTga(const Canvas& canvas);                   // keeps alpha
Bytes EncodeBmp(const Canvas& canvas);                   // 24-bit, colour only

// Picks the encoder from the extension of relative (".jpg", ".png", ".tga",
// ".bmp", any case) and writes the file; an unknown extension or a failed
// encoding is recorded on out as a failure.
bool WriteImage(Output& out, const std::string& relative, const Canvas& canvas);

} // namespace datagen
