#include "datagen/ImageFile.h"

#include <algorithm>
#include <cctype>

#include <stb_image_write.h>

namespace datagen {

namespace {

void Append(void* context, void* data, int size)
{
    auto* bytes = static_cast<Bytes*>(context);
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes->insert(bytes->end(), p, p + size);
}

Bytes Finish(int ok, Bytes&& bytes)
{
    if (!ok)
        bytes.clear();
    return std::move(bytes);
}

std::string LowerExtension(const std::string& relative)
{
    const std::size_t dot = relative.find_last_of('.');
    const std::size_t slash = relative.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = relative.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

} // namespace

Bytes EncodeJpeg(const Canvas& canvas, int quality)
{
    const std::vector<std::uint8_t> rgb = canvas.RgbPixels();
    Bytes bytes;
    const int ok = stbi_write_jpg_to_func(Append, &bytes, canvas.Width(), canvas.Height(), 3, rgb.data(),
                                          std::clamp(quality, 1, 100));
    return Finish(ok, std::move(bytes));
}

Bytes EncodePng(const Canvas& canvas)
{
    Bytes bytes;
    const int ok = stbi_write_png_to_func(Append, &bytes, canvas.Width(), canvas.Height(), 4,
                                          canvas.Pixels().data(), canvas.Width() * 4);
    return Finish(ok, std::move(bytes));
}

Bytes EncodeTga(const Canvas& canvas)
{
    Bytes bytes;
    const int ok = stbi_write_tga_to_func(Append, &bytes, canvas.Width(), canvas.Height(), 4, canvas.Pixels().data());
    return Finish(ok, std::move(bytes));
}

Bytes EncodeBmp(const Canvas& canvas)
{
    const std::vector<std::uint8_t> rgb = canvas.RgbPixels();
    Bytes bytes;
    const int ok = stbi_write_bmp_to_func(Append, &bytes, canvas.Width(), canvas.Height(), 3, rgb.data());
    return Finish(ok, std::move(bytes));
}

bool WriteImage(Output& out, const std::string& relative, const Canvas& canvas)
{
    const std::string ext = LowerExtension(relative);
    Bytes bytes;
    if (ext == ".jpg" || ext == ".jpeg")
        bytes = EncodeJpeg(canvas);
    else if (ext == ".png")
        bytes = EncodePng(canvas);
    else if (ext == ".tga")
        bytes = EncodeTga(canvas);
    else if (ext == ".bmp")
        bytes = EncodeBmp(canvas);
    else {
        out.Fail("no image format for \"" + relative + "\"");
        return false;
    }
    if (bytes.empty()) {
        out.Fail("could not encode \"" + relative + "\"");
        return false;
    }
    return out.Write(relative, bytes);
}

} // namespace datagen
