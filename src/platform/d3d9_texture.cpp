// Textures and surfaces of our Direct3D 9 device: GL textures whose levels are
// the surfaces, plus stand-alone surfaces (render targets, depth-stencil
// surfaces, system-memory surfaces).
#include "platform/com_object.h"
#include "platform/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace platform {
namespace gl {

bool LookUpFormat(D3DFORMAT format, FormatInfo* info)
{
    FormatInfo f;
    f.renderable = true;
    switch (format) {
    case D3DFMT_A8R8G8B8:
        f.internalFormat = GL_RGBA8; f.format = GL_BGRA; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 4;
        break;
    case D3DFMT_X8R8G8B8:
        f.internalFormat = GL_RGBA8; f.format = GL_BGRA; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 4;
        f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_A8B8G8R8:
        f.internalFormat = GL_RGBA8; f.format = GL_RGBA; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 4;
        break;
    case D3DFMT_X8B8G8R8:
        f.internalFormat = GL_RGBA8; f.format = GL_RGBA; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 4;
        f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_R8G8B8:
        f.internalFormat = GL_RGB8; f.format = GL_BGR; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 3;
        break;
    case D3DFMT_R5G6B5:
        f.internalFormat = GL_RGB565; f.format = GL_RGB; f.type = GL_UNSIGNED_SHORT_5_6_5; f.bytesPerPixel = 2;
        break;
    case D3DFMT_A8:
        // Direct3D reads the colour of an alpha-only texture as black.
        f.internalFormat = GL_R8; f.format = GL_RED; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 1;
        f.swizzle[0] = GL_ZERO; f.swizzle[1] = GL_ZERO; f.swizzle[2] = GL_ZERO; f.swizzle[3] = GL_RED;
        break;
    case D3DFMT_L8:
        f.internalFormat = GL_R8; f.format = GL_RED; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 1;
        f.swizzle[0] = GL_RED; f.swizzle[1] = GL_RED; f.swizzle[2] = GL_RED; f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_A8L8:
        f.internalFormat = GL_RG8; f.format = GL_RG; f.type = GL_UNSIGNED_BYTE; f.bytesPerPixel = 2;
        f.swizzle[0] = GL_RED; f.swizzle[1] = GL_RED; f.swizzle[2] = GL_RED; f.swizzle[3] = GL_GREEN;
        break;
    // Missing channels of the float formats read as 1, as Direct3D has them.
    case D3DFMT_R16F:
        f.internalFormat = GL_R16F; f.format = GL_RED; f.type = GL_HALF_FLOAT; f.bytesPerPixel = 2;
        f.swizzle[1] = GL_ONE; f.swizzle[2] = GL_ONE; f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_G16R16F:
        f.internalFormat = GL_RG16F; f.format = GL_RG; f.type = GL_HALF_FLOAT; f.bytesPerPixel = 4;
        f.swizzle[2] = GL_ONE; f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_A16B16G16R16F:
        f.internalFormat = GL_RGBA16F; f.format = GL_RGBA; f.type = GL_HALF_FLOAT; f.bytesPerPixel = 8;
        break;
    case D3DFMT_R32F:
        f.internalFormat = GL_R32F; f.format = GL_RED; f.type = GL_FLOAT; f.bytesPerPixel = 4;
        f.swizzle[1] = GL_ONE; f.swizzle[2] = GL_ONE; f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_G32R32F:
        f.internalFormat = GL_RG32F; f.format = GL_RG; f.type = GL_FLOAT; f.bytesPerPixel = 8;
        f.swizzle[2] = GL_ONE; f.swizzle[3] = GL_ONE;
        break;
    case D3DFMT_A32B32G32R32F:
        f.internalFormat = GL_RGBA32F; f.format = GL_RGBA; f.type = GL_FLOAT; f.bytesPerPixel = 16;
        break;
    case D3DFMT_D24S8:
        f.internalFormat = GL_DEPTH24_STENCIL8; f.format = GL_DEPTH_STENCIL; f.type = GL_UNSIGNED_INT_24_8;
        f.bytesPerPixel = 4; f.depth = true; f.stencil = true;
        break;
    case D3DFMT_D24X8:
        f.internalFormat = GL_DEPTH_COMPONENT24; f.format = GL_DEPTH_COMPONENT; f.type = GL_UNSIGNED_INT;
        f.bytesPerPixel = 4; f.depth = true;
        break;
    case D3DFMT_D16:
        f.internalFormat = GL_DEPTH_COMPONENT16; f.format = GL_DEPTH_COMPONENT; f.type = GL_UNSIGNED_SHORT;
        f.bytesPerPixel = 2; f.depth = true;
        break;
    case D3DFMT_D32:
        f.internalFormat = GL_DEPTH_COMPONENT32F; f.format = GL_DEPTH_COMPONENT; f.type = GL_FLOAT;
        f.bytesPerPixel = 4; f.depth = true;
        break;
    default:
        return false;
    }
    if (info)
        *info = f;
    return true;
}

void ReadTexture(unsigned texture, int level, const FormatInfo& info, UINT width, UINT height,
                 unsigned char* out)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glGetTexImage(GL_TEXTURE_2D, level, info.format, info.type, out);
    // The unused byte of the X8 formats reads back as whatever was drawn into
    // it; Direct3D callers expect an opaque pixel.
    if (info.swizzle[3] == GL_ONE && info.bytesPerPixel == 4 && info.type == GL_UNSIGNED_BYTE) {
        const size_t count = static_cast<size_t>(width) * height;
        for (size_t i = 0; i < count; ++i)
            out[i * 4 + 3] = 0xFF;
    }
}

namespace {

UINT FullChainLength(UINT width, UINT height)
{
    UINT levels = 1;
    UINT size = std::max(width, height);
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}

UINT LevelSize(UINT size, UINT level)
{
    return std::max<UINT>(1, size >> level);
}

// Makes a GL texture of the given levels; 0 on failure.
GLuint MakeGLTexture(const FormatInfo& info, UINT width, UINT height, UINT levels)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (UINT level = 0; level < levels; ++level)
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), static_cast<GLint>(info.internalFormat),
                     static_cast<GLsizei>(LevelSize(width, level)), static_cast<GLsizei>(LevelSize(height, level)),
                     0, info.format, info.type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    static const GLenum swizzleNames[4] = {GL_TEXTURE_SWIZZLE_R, GL_TEXTURE_SWIZZLE_G, GL_TEXTURE_SWIZZLE_B,
                                           GL_TEXTURE_SWIZZLE_A};
    for (int i = 0; i < 4; ++i)
        if (info.swizzle[i] != 0)
            glTexParameteri(GL_TEXTURE_2D, swizzleNames[i], info.swizzle[i]);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        return 0;
    }
    return name;
}

class TextureImpl;

class SurfaceImpl final : public DeviceChild<IDirect3DSurface9> {
public:
    // A level of a texture (container set) or a stand-alone surface. `name` 0
    // keeps the texels in memory (system-memory pool).
    SurfaceImpl(TextureImpl* container, DeviceHandle device, GLuint name, int level, UINT width, UINT height,
                D3DFORMAT format, const FormatInfo& info, DWORD usage, D3DPOOL pool)
        : DeviceChild(std::move(device)), m_Container(container), m_Name(name), m_Level(level), m_Width(width),
          m_Height(height), m_Format(format), m_Info(info), m_Usage(usage), m_Pool(pool)
    {
        if (m_Name == 0)
            m_Memory.assign(static_cast<size_t>(Pitch()) * height, 0);
    }

    ~SurfaceImpl() override
    {
        // A level's GL texture belongs to its container.
        if (!m_Container && m_Name != 0 && MakeCurrent(m_Device))
            glDeleteTextures(1, &m_Name);
    }

    ULONG AddRef() override;
    ULONG Release() override;

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override
    {
        if (!desc)
            return D3DERR_INVALIDCALL;
        desc->Format = m_Format;
        desc->Type = D3DRTYPE_SURFACE;
        desc->Usage = m_Usage;
        desc->Pool = m_Pool;
        desc->MultiSampleType = D3DMULTISAMPLE_NONE;
        desc->MultiSampleQuality = 0;
        desc->Width = m_Width;
        desc->Height = m_Height;
        return D3D_OK;
    }

    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override
    {
        if (!locked || m_Info.depth || m_Locked)
            return D3DERR_INVALIDCALL;
        RECT r = {0, 0, static_cast<LONG>(m_Width), static_cast<LONG>(m_Height)};
        if (rect) {
            if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
                rect->right > static_cast<LONG>(m_Width) || rect->bottom > static_cast<LONG>(m_Height))
                return D3DERR_INVALIDCALL;
            r = *rect;
        }
        if (m_BeforeLock)
            m_BeforeLock(!(flags & D3DLOCK_READONLY));
        if (!EnsureResident())
            return D3DERR_INVALIDCALL;
        unsigned char* base = nullptr;
        if (m_Name == 0) {
            base = m_Memory.data();
        } else {
            if (!MakeCurrent(m_Device))
                return D3DERR_INVALIDCALL;
            m_LockMemory.resize(static_cast<size_t>(Pitch()) * m_Height);
            if (!(flags & D3DLOCK_DISCARD))
                ReadTexture(m_Name, m_Level, m_Info, m_Width, m_Height, m_LockMemory.data());
            base = m_LockMemory.data();
        }
        m_Locked = true;
        m_LockRect = r;
        m_LockFlags = flags;
        if (!(flags & D3DLOCK_READONLY))
            Written();
        locked->Pitch = static_cast<INT>(Pitch());
        locked->pBits = base + static_cast<size_t>(r.top) * Pitch() + static_cast<size_t>(r.left) * m_Info.bytesPerPixel;
        return D3D_OK;
    }

    HRESULT UnlockRect() override;

    // --- for the device
    // Its texels may have changed (a texture forgets what it knew of them).
    void Written();
    // False when the texels of its texture could not be brought back.
    bool EnsureResident();
    GLuint Name() const { return m_Name; }
    void SetName(GLuint name) { m_Name = name; }
    int Level() const { return m_Level; }
    UINT Width() const { return m_Width; }
    UINT Height() const { return m_Height; }
    D3DFORMAT Format() const { return m_Format; }
    DWORD Usage() const { return m_Usage; }
    unsigned char* Memory() { return m_Name == 0 ? m_Memory.data() : nullptr; }
    void WatchLocks(std::function<void(bool)> beforeLock) { m_BeforeLock = std::move(beforeLock); }

private:
    UINT Pitch() const { return m_Width * m_Info.bytesPerPixel; }

    TextureImpl* m_Container;
    GLuint m_Name;
    int m_Level;
    UINT m_Width, m_Height;
    D3DFORMAT m_Format;
    FormatInfo m_Info;
    DWORD m_Usage;
    D3DPOOL m_Pool;
    std::vector<unsigned char> m_Memory;     // texels of a system-memory surface
    std::vector<unsigned char> m_LockMemory; // the level while a GL surface is locked
    bool m_Locked = false;
    RECT m_LockRect = {0, 0, 0, 0};
    DWORD m_LockFlags = 0;
    std::function<void(bool)> m_BeforeLock;
};

class TextureImpl final : public DeviceChild<IDirect3DTexture9> {
public:
    TextureImpl(DeviceHandle device, GLuint name, UINT width, UINT height, UINT levels, DWORD usage,
                D3DFORMAT format, const FormatInfo& info, D3DPOOL pool)
        : DeviceChild(std::move(device)), m_Name(name), m_Usage(usage), m_Pool(pool)
    {
        for (UINT level = 0; level < levels; ++level)
            m_Levels.emplace_back(new SurfaceImpl(this, m_Device, name, static_cast<int>(level),
                                                  LevelSize(width, level), LevelSize(height, level), format,
                                                  info, usage, pool));
    }

    ~TextureImpl() override
    {
        OnDemand().erase(this);
        m_Levels.clear();
        if (m_Name != 0 && MakeCurrent(m_Device))
            glDeleteTextures(1, &m_Name);
    }

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(m_Levels.size()); }

    void GenerateMipSubLevels() override
    {
        if (m_Name == 0 || m_Levels.size() < 2 || !MakeCurrent(m_Device))
            return;
        m_SolidKnown = false;
        glBindTexture(GL_TEXTURE_2D, m_Name);
        glGenerateMipmap(GL_TEXTURE_2D);
    }

    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override
    {
        if (level >= m_Levels.size())
            return D3DERR_INVALIDCALL;
        return m_Levels[level]->GetDesc(desc);
    }

    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override
    {
        if (!surface || level >= m_Levels.size())
            return D3DERR_INVALIDCALL;
        *surface = m_Levels[level].get();
        AddRef();
        return D3D_OK;
    }

    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override
    {
        if (level >= m_Levels.size())
            return D3DERR_INVALIDCALL;
        return m_Levels[level]->LockRect(locked, rect, flags);
    }

    HRESULT UnlockRect(UINT level) override
    {
        if (level >= m_Levels.size())
            return D3DERR_INVALIDCALL;
        return m_Levels[level]->UnlockRect();
    }

    HRESULT AddDirtyRect(const RECT*) override { return D3D_OK; }

    GLuint Name() const { return m_Name; }
    DWORD Usage() const { return m_Usage; }

    void Written()
    {
        m_SolidKnown = false;
        // Written by hand, its texels can no longer come back from the file.
        if (!m_Refilling && m_Refill) {
            m_Refill = nullptr;
            OnDemand().erase(this);
        }
    }

    // --- textures whose texels come from a file
    // From now on the texels are given back while the texture goes undrawn
    // and refilled when it is drawn (or read) again; `refill` writes every
    // level. They are given back at once: the first draw fills them.
    void FillOnDemand(std::function<bool(IDirect3DTexture9*)> refill)
    {
        m_Refill = std::move(refill);
        OnDemand().insert(this);
        GiveBackTexels();
    }

    bool EnsureResident()
    {
        if (m_Name != 0 || !m_Refill)
            return true;
        if (!MakeCurrent(m_Device))
            return false;
        if (m_Levels.empty())
            return false;
        const SurfaceImpl& top = *m_Levels.front();
        FormatInfo info;
        if (!LookUpFormat(top.Format(), &info))
            return false;
        m_Name = MakeGLTexture(info, top.Width(), top.Height(), static_cast<UINT>(m_Levels.size()));
        if (m_Name == 0)
            return false;
        for (auto& level : m_Levels)
            level->SetName(m_Name);
        // The same texels as before: what is known of their colour holds.
        const bool solidKnown = m_SolidKnown;
        m_Refilling = true;
        const bool filled = m_Refill(this);
        m_Refilling = false;
        m_SolidKnown = solidKnown;
        if (!filled) {
            // The file went bad since: keep what was filled, never try again.
            m_Refill = nullptr;
            OnDemand().erase(this);
        }
        return true;
    }

    // The GL name to draw with, filled first when needed; the draw counts as a use.
    GLuint NameForDrawing()
    {
        EnsureResident();
        m_LastUse = PresentCount();
        return m_Name;
    }

    void GiveBackTexels()
    {
        if (m_Name == 0 || !m_Refill || !MakeCurrent(m_Device))
            return;
        glDeleteTextures(1, &m_Name);
        m_Name = 0;
        for (auto& level : m_Levels)
            level->SetName(0);
    }

    bool Idle(unsigned presents) const { return !m_Held && m_Name != 0 && PresentCount() - m_LastUse > presents; }

    // Held, the texels are filled at once and kept however long the texture
    // goes undrawn; let go, it counts as idle from then on.
    void Hold(bool held)
    {
        if (held == m_Held)
            return;
        m_Held = held;
        if (held)
            EnsureResident();
        m_LastUse = PresentCount();
    }

    static std::set<TextureImpl*>& OnDemand()
    {
        static auto* textures = new std::set<TextureImpl*>;
        return *textures;
    }

    static unsigned& PresentCount()
    {
        static unsigned count = 0;
        return count;
    }

    // Whether every texel of every level holds one colour, read back once
    // after each change. Render targets never count, nor formats other than
    // the 32-bit ones files load into.
    bool SolidColour(D3DCOLOR* colour)
    {
        if (!m_SolidKnown) {
            if (!EnsureResident())
                return false;
            m_SolidKnown = true;
            m_Solid = FindSolidColour(&m_Colour);
        }
        if (m_Solid && colour)
            *colour = m_Colour;
        return m_Solid;
    }

private:
    bool FindSolidColour(D3DCOLOR* colour)
    {
        if (m_Name == 0 || m_Levels.empty() || (m_Usage & D3DUSAGE_RENDERTARGET) || !MakeCurrent(m_Device))
            return false;
        const D3DFORMAT format = m_Levels[0]->Format();
        FormatInfo info;
        if ((format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) || !LookUpFormat(format, &info))
            return false;
        std::vector<D3DCOLOR> texels;
        for (const auto& level : m_Levels) {
            texels.resize(static_cast<size_t>(level->Width()) * level->Height());
            ReadTexture(m_Name, level->Level(), info, level->Width(), level->Height(),
                        reinterpret_cast<unsigned char*>(texels.data()));
            if (&level == &m_Levels.front())
                *colour = texels[0];
            for (D3DCOLOR texel : texels)
                if (texel != *colour)
                    return false;
        }
        return true;
    }

    GLuint m_Name;
    DWORD m_Usage;
    D3DPOOL m_Pool;
    std::vector<std::unique_ptr<SurfaceImpl>> m_Levels;
    bool m_SolidKnown = false;
    bool m_Solid = false;
    D3DCOLOR m_Colour = 0;
    std::function<bool(IDirect3DTexture9*)> m_Refill;
    bool m_Refilling = false;
    unsigned m_LastUse = 0;
    bool m_Held = false;
};

// A level shares its texture's count, as Direct3D's do.
ULONG SurfaceImpl::AddRef()
{
    if (m_Container)
        return m_Container->AddRef();
    return DeviceChild::AddRef();
}

ULONG SurfaceImpl::Release()
{
    if (m_Container)
        return m_Container->Release();
    return DeviceChild::Release();
}

bool SurfaceImpl::EnsureResident()
{
    return !m_Container || m_Container->EnsureResident();
}

void SurfaceImpl::Written()
{
    if (m_Container)
        m_Container->Written();
}

HRESULT SurfaceImpl::UnlockRect()
{
    if (!m_Locked)
        return D3DERR_INVALIDCALL;
    m_Locked = false;
    if (m_Name == 0)
        return D3D_OK;
    // GL holds the texels; the copy only lives as long as the lock, or every
    // loaded texture would be held twice.
    std::vector<unsigned char> copy;
    copy.swap(m_LockMemory);
    if (m_LockFlags & D3DLOCK_READONLY)
        return D3D_OK;
    if (!MakeCurrent(m_Device))
        return D3DERR_INVALIDCALL;
    const RECT& r = m_LockRect;
    glBindTexture(GL_TEXTURE_2D, m_Name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(m_Width));
    const unsigned char* first =
        copy.data() + static_cast<size_t>(r.top) * Pitch() + static_cast<size_t>(r.left) * m_Info.bytesPerPixel;
    glTexSubImage2D(GL_TEXTURE_2D, m_Level, r.left, r.top, r.right - r.left, r.bottom - r.top, m_Info.format,
                    m_Info.type, first);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (m_Container && m_Level == 0 && (m_Container->Usage() & D3DUSAGE_AUTOGENMIPMAP))
        m_Container->GenerateMipSubLevels();
    return D3D_OK;
}

bool IsSystemPool(D3DPOOL pool)
{
    return pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH;
}

} // namespace

HRESULT CreateTexture(const DeviceHandle& device, UINT width, UINT height, UINT levels, DWORD usage,
                      D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    FormatInfo info;
    if (width == 0 || height == 0 || !LookUpFormat(format, &info))
        return D3DERR_INVALIDCALL;
    const bool target = (usage & D3DUSAGE_RENDERTARGET) != 0;
    const bool depth = (usage & D3DUSAGE_DEPTHSTENCIL) != 0;
    if ((target || depth) && pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (depth != info.depth || (target && !info.renderable))
        return D3DERR_INVALIDCALL;
    const UINT full = FullChainLength(width, height);
    if (levels == 0 || levels > full)
        levels = full;
    GLuint name = 0;
    if (!IsSystemPool(pool)) {
        if (!MakeCurrent(device))
            return D3DERR_INVALIDCALL;
        name = MakeGLTexture(info, width, height, levels);
        if (name == 0)
            return D3DERR_OUTOFVIDEOMEMORY;
    }
    *texture = new TextureImpl(device, name, width, height, levels, usage, format, info, pool);
    return D3D_OK;
}

HRESULT CreateSurface(const DeviceHandle& device, UINT width, UINT height, DWORD usage, D3DFORMAT format,
                      D3DPOOL pool, IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    FormatInfo info;
    if (width == 0 || height == 0 || !LookUpFormat(format, &info))
        return D3DERR_INVALIDCALL;
    const bool depth = (usage & D3DUSAGE_DEPTHSTENCIL) != 0;
    if (depth != info.depth)
        return D3DERR_INVALIDCALL;
    GLuint name = 0;
    if (!IsSystemPool(pool)) {
        if (!MakeCurrent(device))
            return D3DERR_INVALIDCALL;
        name = MakeGLTexture(info, width, height, 1);
        if (name == 0)
            return D3DERR_OUTOFVIDEOMEMORY;
    } else if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) {
        return D3DERR_INVALIDCALL;
    }
    *surface = new SurfaceImpl(nullptr, device, name, 0, width, height, format, info, usage, pool);
    return D3D_OK;
}

bool BindingOf(IDirect3DSurface9* surface, SurfaceBinding* binding)
{
    auto* impl = dynamic_cast<SurfaceImpl*>(surface);
    if (!impl)
        return false;
    impl->EnsureResident();
    if (binding) {
        binding->texture = impl->Name();
        binding->level = impl->Level();
        binding->width = impl->Width();
        binding->height = impl->Height();
        binding->format = impl->Format();
        binding->usage = impl->Usage();
    }
    return true;
}

void WatchLocks(IDirect3DSurface9* surface, std::function<void(bool)> beforeLock)
{
    if (auto* impl = dynamic_cast<SurfaceImpl*>(surface))
        impl->WatchLocks(std::move(beforeLock));
}

unsigned char* SystemMemoryOf(IDirect3DSurface9* surface)
{
    auto* impl = dynamic_cast<SurfaceImpl*>(surface);
    return impl && impl->EnsureResident() ? impl->Memory() : nullptr;
}

void SurfaceWritten(IDirect3DSurface9* surface)
{
    if (auto* impl = dynamic_cast<SurfaceImpl*>(surface))
        impl->Written();
}

} // namespace gl

bool SolidColourOf(IDirect3DBaseTexture9* texture, D3DCOLOR* colour)
{
    auto* impl = dynamic_cast<gl::TextureImpl*>(texture);
    return impl && impl->SolidColour(colour);
}

unsigned GLTextureOf(IDirect3DBaseTexture9* texture)
{
    auto* impl = dynamic_cast<gl::TextureImpl*>(texture);
    return impl ? impl->NameForDrawing() : 0;
}

bool FillTextureOnDemand(IDirect3DTexture9* texture, std::function<bool(IDirect3DTexture9*)> refill)
{
    auto* impl = dynamic_cast<gl::TextureImpl*>(texture);
    if (!impl || impl->Name() == 0 || !refill)
        return false;
    impl->FillOnDemand(std::move(refill));
    return true;
}

bool TexelsResident(IDirect3DBaseTexture9* texture)
{
    auto* impl = dynamic_cast<gl::TextureImpl*>(texture);
    return impl && impl->Name() != 0;
}

void HoldTexelsOf(const std::vector<IDirect3DBaseTexture9*>& textures)
{
    const std::set<IDirect3DBaseTexture9*> wanted(textures.begin(), textures.end());
    for (gl::TextureImpl* texture : gl::TextureImpl::OnDemand())
        texture->Hold(wanted.count(texture) != 0);
}

void GiveBackIdleTexels(unsigned presents)
{
    unsigned& count = gl::TextureImpl::PresentCount();
    ++count;
    for (gl::TextureImpl* texture : gl::TextureImpl::OnDemand())
        if (texture->Idle(presents))
            texture->GiveBackTexels();
}

} // namespace platform
