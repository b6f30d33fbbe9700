// Our D3DX texture helpers over the Direct3D 9 device.
#include "platform/d3dx9tex.h"

#include "platform/bounded.h"
#include "platform/com_object.h"
#include "platform/image_decode.h"
#include "platform/files.h"
#include "platform/gl_device.h"

#include <epoxy/gl.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

using platform::image::Image;

// Images at least this big (texels of the first level, in bytes) are filled
// on demand: a full-screen picture or a comic panel, not a wall's texture.
constexpr size_t kOnDemandBytes = 1024u * 1024u;

HRESULT CreateForImage(IDirect3DDevice9* device, const Image& image, IDirect3DTexture9** created)
{
    const bool fileMips = image.levels.size() > 1;
    return device->CreateTexture(image.width, image.height, fileMips ? static_cast<UINT>(image.levels.size()) : 0, 0,
                                 image.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, created,
                                 nullptr);
}

// Every level of the texture from the image (the file's own levels, else
// made from the first).
HRESULT FillFromImage(IDirect3DTexture9* texture, const Image& image)
{
    for (UINT level = 0; level < image.levels.size() && level < texture->GetLevelCount(); ++level) {
        D3DLOCKED_RECT locked;
        const HRESULT hr = texture->LockRect(level, &locked, nullptr, D3DLOCK_DISCARD);
        if (FAILED(hr))
            return hr;
        const UINT w = std::max<UINT>(1, image.width >> level), h = std::max<UINT>(1, image.height >> level);
        for (UINT row = 0; row < h; ++row)
            std::memcpy(static_cast<unsigned char*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch,
                        image.levels[level].data() + static_cast<size_t>(row) * w * 4, static_cast<size_t>(w) * 4);
        texture->UnlockRect(level);
    }
    if (image.levels.size() <= 1)
        texture->GenerateMipSubLevels();
    return D3D_OK;
}

HRESULT TextureFromImage(IDirect3DDevice9* device, const Image& image, IDirect3DTexture9** texture)
{
    IDirect3DTexture9* created = nullptr;
    HRESULT hr = CreateForImage(device, image, &created);
    if (FAILED(hr))
        return hr;
    hr = FillFromImage(created, image);
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *texture = created;
    return D3D_OK;
}

// The file read and decoded again, checked to be the picture the texture was made for.
bool RefillFromFile(const std::string& file, IDirect3DTexture9* texture)
{
    std::vector<unsigned char> bytes;
    Image image;
    D3DSURFACE_DESC desc;
    std::string fault;
    if (!platform::ReadWholeFile(file.c_str(), bytes) || bytes.empty())
        return false;
    if (!platform::image::Decode(bytes.data(), bytes.size(), bounded::kMaxImageSide, image, &fault)) {
        // A picture checked by its header alone meets a broken body here. It
        // draws black, not whatever the renderer's memory held.
        bounded::Refuse(file, fault.empty() ? "its texels do not decode" : fault);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            D3DSURFACE_DESC size;
            D3DLOCKED_RECT locked;
            if (SUCCEEDED(texture->GetLevelDesc(level, &size)) &&
                SUCCEEDED(texture->LockRect(level, &locked, nullptr, D3DLOCK_DISCARD))) {
                for (UINT row = 0; row < size.Height; ++row)
                    std::memset(static_cast<unsigned char*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch,
                                0, static_cast<size_t>(size.Width) * 4);
                texture->UnlockRect(level);
            }
        }
        return false;
    }
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width != image.width || desc.Height != image.height ||
        desc.Format != (image.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8))
        return false;
    return SUCCEEDED(FillFromImage(texture, image));
}

HRESULT TextureFromBytes(IDirect3DDevice9* device, const unsigned char* bytes, size_t size, const char* name,
                         IDirect3DTexture9** texture)
{
    Image image;
    std::string fault;
    if (!platform::image::Decode(bytes, size, bounded::kMaxImageSide, image, &fault)) {
        bounded::Refuse(name, fault.empty() ? "it is no JPEG, PNG, TGA, BMP or uncompressed DDS image" : fault);
        return D3DXERR_INVALIDDATA;
    }
    return TextureFromImage(device, image, texture);
}

// --- reading texels back for saving ----------------------------------------------------

float HalfToFloat(std::uint16_t h)
{
    const int sign = (h >> 15) & 1, exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
    float value;
    if (exponent == 0)
        value = std::ldexp(static_cast<float>(mantissa), -24);
    else if (exponent == 31)
        value = mantissa ? NAN : INFINITY;
    else
        value = std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
    return sign ? -value : value;
}

unsigned char ToByte(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<unsigned char>(v * 255.0f + 0.5f);
}

// One texel of a locked level as R, G, B, A bytes; false for formats we cannot read.
bool TexelToRgba(D3DFORMAT format, const unsigned char* p, unsigned char out[4])
{
    auto halfAt = [p](int i) {
        std::uint16_t h;
        std::memcpy(&h, p + 2 * i, 2);
        return HalfToFloat(h);
    };
    auto floatAt = [p](int i) {
        float f;
        std::memcpy(&f, p + 4 * i, 4);
        return f;
    };
    switch (format) {
    case D3DFMT_A8R8G8B8: out[0] = p[2]; out[1] = p[1]; out[2] = p[0]; out[3] = p[3]; return true;
    case D3DFMT_X8R8G8B8: out[0] = p[2]; out[1] = p[1]; out[2] = p[0]; out[3] = 255; return true;
    case D3DFMT_A8B8G8R8: out[0] = p[0]; out[1] = p[1]; out[2] = p[2]; out[3] = p[3]; return true;
    case D3DFMT_X8B8G8R8: out[0] = p[0]; out[1] = p[1]; out[2] = p[2]; out[3] = 255; return true;
    case D3DFMT_R8G8B8: out[0] = p[2]; out[1] = p[1]; out[2] = p[0]; out[3] = 255; return true;
    case D3DFMT_R5G6B5: {
        const unsigned v = p[0] | (p[1] << 8);
        out[0] = static_cast<unsigned char>(((v >> 11) & 31) * 255 / 31);
        out[1] = static_cast<unsigned char>(((v >> 5) & 63) * 255 / 63);
        out[2] = static_cast<unsigned char>((v & 31) * 255 / 31);
        out[3] = 255;
        return true;
    }
    case D3DFMT_A8: out[0] = out[1] = out[2] = 0; out[3] = p[0]; return true;
    case D3DFMT_L8: out[0] = out[1] = out[2] = p[0]; out[3] = 255; return true;
    case D3DFMT_A8L8: out[0] = out[1] = out[2] = p[0]; out[3] = p[1]; return true;
    case D3DFMT_R16F: out[0] = ToByte(halfAt(0)); out[1] = out[2] = out[3] = 255; return true;
    case D3DFMT_G16R16F: out[0] = ToByte(halfAt(0)); out[1] = ToByte(halfAt(1)); out[2] = out[3] = 255; return true;
    case D3DFMT_A16B16G16R16F:
        for (int i = 0; i < 4; ++i)
            out[i] = ToByte(halfAt(i));
        return true;
    case D3DFMT_R32F: out[0] = ToByte(floatAt(0)); out[1] = out[2] = out[3] = 255; return true;
    case D3DFMT_G32R32F: out[0] = ToByte(floatAt(0)); out[1] = ToByte(floatAt(1)); out[2] = out[3] = 255; return true;
    case D3DFMT_A32B32G32R32F:
        for (int i = 0; i < 4; ++i)
            out[i] = ToByte(floatAt(i));
        return true;
    default: return false;
    }
}

void WriteToFile(void* context, void* data, int size)
{
    std::FILE* file = static_cast<std::FILE*>(context);
    if (size > 0)
        std::fwrite(data, 1, static_cast<size_t>(size), file);
}

// --- render to surface -------------------------------------------------------------------

class RenderToSurface final : public platform::DeviceChild<ID3DXRenderToSurface> {
public:
    RenderToSurface(platform::DeviceHandle device, const D3DXRTS_DESC& desc, IDirect3DSurface9* depthStencil)
        : DeviceChild(std::move(device)), m_Desc(desc), m_DepthStencil(depthStencil)
    {
    }

    HRESULT GetDesc(D3DXRTS_DESC* desc) override
    {
        if (!desc)
            return D3DERR_INVALIDCALL;
        *desc = m_Desc;
        return D3D_OK;
    }

    HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) override
    {
        IDirect3DDevice9* device = platform::DeviceOf(m_Device);
        if (!device || !surface || m_InScene)
            return D3DERR_INVALIDCALL;
        device->GetRenderTarget(0, &m_SavedTarget);
        device->GetDepthStencilSurface(&m_SavedDepth); // none leaves it null
        device->GetViewport(&m_SavedViewport);
        HRESULT hr = device->SetRenderTarget(0, surface);
        if (FAILED(hr)) {
            ForgetSaved();
            return hr;
        }
        device->SetDepthStencilSurface(m_DepthStencil);
        if (viewport)
            device->SetViewport(viewport);
        // Inside a scene the device is already drawing: join it rather than fail.
        m_OwnsScene = SUCCEEDED(device->BeginScene());
        m_Surface = surface;
        m_InScene = true;
        return D3D_OK;
    }

    HRESULT EndScene(DWORD mipFilter) override
    {
        if (!m_InScene)
            return D3DERR_INVALIDCALL;
        m_InScene = false;
        IDirect3DDevice9* device = platform::DeviceOf(m_Device);
        if (!device) {
            ForgetSaved();
            return D3DERR_INVALIDCALL;
        }
        if (m_OwnsScene)
            device->EndScene();
        if (mipFilter != 0 && mipFilter != D3DX_FILTER_NONE) {
            platform::gl::SurfaceBinding binding;
            if (platform::gl::BindingOf(m_Surface, &binding) && binding.texture != 0 &&
                platform::MakeCurrent(m_Device)) {
                glBindTexture(GL_TEXTURE_2D, binding.texture);
                glGenerateMipmap(GL_TEXTURE_2D);
            }
        }
        device->SetRenderTarget(0, m_SavedTarget);
        device->SetDepthStencilSurface(m_SavedDepth);
        device->SetViewport(&m_SavedViewport);
        ForgetSaved();
        return D3D_OK;
    }

    HRESULT OnLostDevice() override { return D3D_OK; }
    HRESULT OnResetDevice() override { return D3D_OK; }

private:
    ~RenderToSurface() override
    {
        ForgetSaved();
        if (m_DepthStencil)
            m_DepthStencil->Release();
    }

    void ForgetSaved()
    {
        if (m_SavedTarget)
            m_SavedTarget->Release();
        if (m_SavedDepth)
            m_SavedDepth->Release();
        m_SavedTarget = m_SavedDepth = nullptr;
        m_Surface = nullptr;
    }

    D3DXRTS_DESC m_Desc;
    IDirect3DSurface9* m_DepthStencil;
    bool m_InScene = false, m_OwnsScene = false;
    IDirect3DSurface9* m_Surface = nullptr;
    IDirect3DSurface9* m_SavedTarget = nullptr;
    IDirect3DSurface9* m_SavedDepth = nullptr;
    D3DVIEWPORT9 m_SavedViewport = {};
};

} // namespace

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture)
{
    if (texture)
        *texture = nullptr;
    if (!device || !data || !texture)
        return D3DERR_INVALIDCALL;
    return TextureFromBytes(device, static_cast<const unsigned char*>(data), size, "<memory>", texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR fileName, IDirect3DTexture9** texture)
{
    if (texture)
        *texture = nullptr;
    if (!device || !fileName || !texture)
        return D3DERR_INVALIDCALL;
    std::vector<unsigned char> bytes;
    if (!platform::ReadWholeFile(fileName, bytes))
        return D3DXERR_INVALIDDATA;
    if (bytes.empty()) {
        bounded::Refuse(fileName, "it is empty");
        return D3DXERR_INVALIDDATA;
    }
    Image image;
    // A big JPEG (a comic's panel: a level loads over a hundred, and shows a
    // comic's worth at a time) is decoded at its first draw only: its header
    // says all the texture needs now.
    unsigned width = 0, height = 0;
    if (platform::image::JpegSize(bytes.data(), bytes.size(), bounded::kMaxImageSide, &width, &height) &&
        static_cast<size_t>(width) * height * 4 >= kOnDemandBytes) {
        image.width = width;
        image.height = height;
    } else {
        std::string fault;
        if (!platform::image::Decode(bytes.data(), bytes.size(), bounded::kMaxImageSide, image, &fault)) {
            bounded::Refuse(fileName,
                            fault.empty() ? "it is no JPEG, PNG, TGA, BMP or uncompressed DDS image" : fault);
            return D3DXERR_INVALIDDATA;
        }
        if (static_cast<size_t>(image.width) * image.height * 4 < kOnDemandBytes)
            return TextureFromImage(device, image, texture);
    }
    // Checked now, filled at its first draw and given back while unused.
    IDirect3DTexture9* created = nullptr;
    const HRESULT hr = CreateForImage(device, image, &created);
    if (FAILED(hr))
        return hr;
    // Read again from where it is now, whatever the working folder is then.
    std::error_code ec;
    std::string file = std::filesystem::absolute(platform::ResolvePath(fileName), ec).string();
    if (ec)
        file = fileName;
    if (!platform::FillTextureOnDemand(created, [file](IDirect3DTexture9* t) { return RefillFromFile(file, t); })) {
        created->Release();
        return D3DERR_INVALIDCALL;
    }
    *texture = created;
    return D3D_OK;
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture)
{
    if (texture)
        *texture = nullptr;
    if (!device || !texture)
        return D3DERR_INVALIDCALL;
    if (width == D3DX_DEFAULT || width == D3DX_DEFAULT_NONPOW2 || width == 0)
        width = 256;
    if (height == D3DX_DEFAULT || height == D3DX_DEFAULT_NONPOW2 || height == 0)
        height = 256;
    if (mipLevels == D3DX_DEFAULT)
        mipLevels = 0;
    if (format == D3DFMT_UNKNOWN)
        format = D3DFMT_A8R8G8B8;
    return device->CreateTexture(width, height, mipLevels, usage, format, pool, texture, nullptr);
}

HRESULT D3DXSaveTextureToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* texture,
                               const void*)
{
    auto* texture2d = dynamic_cast<IDirect3DTexture9*>(texture);
    if (!destFile || !texture2d)
        return D3DERR_INVALIDCALL;
    if (format != D3DXIFF_BMP && format != D3DXIFF_PNG && format != D3DXIFF_TGA && format != D3DXIFF_JPG)
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (FAILED(texture2d->GetLevelDesc(0, &desc)))
        return D3DERR_INVALIDCALL;
    platform::gl::FormatInfo info;
    if (!platform::gl::LookUpFormat(desc.Format, &info) || info.depth)
        return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    HRESULT hr = texture2d->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr))
        return hr;
    std::vector<unsigned char> rgba(static_cast<size_t>(desc.Width) * desc.Height * 4);
    bool readable = true;
    for (UINT y = 0; y < desc.Height && readable; ++y) {
        const unsigned char* row = static_cast<const unsigned char*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (UINT x = 0; x < desc.Width && readable; ++x)
            readable = TexelToRgba(desc.Format, row + static_cast<size_t>(x) * info.bytesPerPixel,
                                   &rgba[(static_cast<size_t>(y) * desc.Width + x) * 4]);
    }
    texture2d->UnlockRect(0);
    if (!readable)
        return D3DERR_INVALIDCALL;

    std::FILE* file = platform::OpenFile(destFile, "wb");
    if (!file)
        return D3DERR_INVALIDCALL;
    const int w = static_cast<int>(desc.Width), h = static_cast<int>(desc.Height);
    int ok = 0;
    switch (format) {
    case D3DXIFF_BMP: {
        // 24 bits per pixel: alpha does not survive, as in most viewers' BMPs.
        std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
        for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i)
            std::memcpy(&rgb[i * 3], &rgba[i * 4], 3);
        ok = stbi_write_bmp_to_func(WriteToFile, file, w, h, 3, rgb.data());
        break;
    }
    case D3DXIFF_PNG: ok = stbi_write_png_to_func(WriteToFile, file, w, h, 4, rgba.data(), w * 4); break;
    case D3DXIFF_TGA: ok = stbi_write_tga_to_func(WriteToFile, file, w, h, 4, rgba.data()); break;
    default: ok = stbi_write_jpg_to_func(WriteToFile, file, w, h, 4, rgba.data(), 90); break;
    }
    const bool closed = std::fclose(file) == 0;
    return ok && closed ? D3D_OK : E_FAIL;
}

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface)
{
    if (renderToSurface)
        *renderToSurface = nullptr;
    if (!device || !renderToSurface || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    IDirect3DSurface9* depth = nullptr;
    if (depthStencil) {
        HRESULT hr = device->CreateDepthStencilSurface(width, height, depthStencilFormat, D3DMULTISAMPLE_NONE, 0,
                                                       TRUE, &depth, nullptr);
        if (FAILED(hr))
            return hr;
    }
    const D3DXRTS_DESC desc = {width, height, format, depthStencil, depthStencilFormat};
    *renderToSurface = new RenderToSurface(platform::HandleOf(device), desc, depth);
    return D3D_OK;
}
