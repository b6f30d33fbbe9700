// The Direct3D 9 object: our adapter list and device creation.
#include "platform/com_object.h"
#include "platform/gl_device.h"
#include "platform/sdl_window.h"

#include <SDL.h>

#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

const char* const kDefaultAdapter = "OpenGL 3.3 core (SDL2)";

std::vector<std::string>& AdapterDescriptions()
{
    static std::vector<std::string> descriptions;
    return descriptions;
}

bool TakesFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8;
}

class Direct3D final : public platform::RefCounted<IDirect3D9> {
public:
    explicit Direct3D(std::vector<std::string> adapters) : m_Adapters(std::move(adapters)) {}

    UINT GetAdapterCount() override { return static_cast<UINT>(m_Adapters.size()); }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier) override
    {
        if (!identifier || adapter >= m_Adapters.size())
            return D3DERR_INVALIDCALL;
        std::memset(identifier, 0, sizeof(*identifier));
        std::strncpy(identifier->Driver, "vantorel-gl", sizeof(identifier->Driver) - 1);
        std::strncpy(identifier->Description, m_Adapters[adapter].c_str(), sizeof(identifier->Description) - 1);
        std::snprintf(identifier->DeviceName, sizeof(identifier->DeviceName), "\\\\.\\DISPLAY%u", adapter + 1);
        return D3D_OK;
    }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override
    {
        if (adapter >= m_Adapters.size() || !TakesFormat(format) || !EnsureSdlVideo())
            return 0;
        const int modes = SDL_GetNumDisplayModes(0);
        return modes > 0 ? static_cast<UINT>(modes) : 0;
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override
    {
        if (!displayMode || mode >= GetAdapterModeCount(adapter, format))
            return D3DERR_INVALIDCALL;
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, static_cast<int>(mode), &m) != 0)
            return D3DERR_INVALIDCALL;
        *displayMode = D3DDISPLAYMODE{static_cast<UINT>(m.w), static_cast<UINT>(m.h),
                                      static_cast<UINT>(m.refresh_rate), format};
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        if (!mode || adapter >= m_Adapters.size())
            return D3DERR_INVALIDCALL;
        SDL_DisplayMode m;
        if (!EnsureSdlVideo() || SDL_GetDesktopDisplayMode(0, &m) != 0)
            return D3DERR_NOTAVAILABLE;
        *mode = D3DDISPLAYMODE{static_cast<UINT>(m.w), static_cast<UINT>(m.h), static_cast<UINT>(m.refresh_rate),
                               D3DFMT_X8R8G8B8};
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override
    {
        if (adapter >= m_Adapters.size())
            return D3DERR_INVALIDCALL;
        if (!TakesType(type) || !TakesFormat(displayFormat))
            return D3DERR_NOTAVAILABLE;
        if (backBufferFormat == D3DFMT_UNKNOWN ? !windowed : !TakesFormat(backBufferFormat))
            return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT, DWORD usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override
    {
        if (adapter >= m_Adapters.size())
            return D3DERR_INVALIDCALL;
        gl::FormatInfo info;
        if (!TakesType(type) || !gl::LookUpFormat(checkFormat, &info))
            return D3DERR_NOTAVAILABLE;
        if (resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_SURFACE)
            return D3DERR_NOTAVAILABLE;
        if ((usage & D3DUSAGE_DEPTHSTENCIL) != 0 ? !info.depth : info.depth)
            return D3DERR_NOTAVAILABLE;
        if ((usage & D3DUSAGE_RENDERTARGET) && !info.renderable)
            return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) override
    {
        if (adapter >= m_Adapters.size())
            return D3DERR_INVALIDCALL;
        gl::FormatInfo target, depth;
        if (!TakesType(type) || !gl::LookUpFormat(renderTargetFormat, &target) || target.depth ||
            !gl::LookUpFormat(depthStencilFormat, &depth) || !depth.depth)
            return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** device) override
    {
        if (device)
            *device = nullptr;
        if (!device || !params || adapter >= m_Adapters.size())
            return D3DERR_INVALIDCALL;
        if (!TakesType(type))
            return D3DERR_NOTAVAILABLE;
        HWND window = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
        return gl::CreateDevice(this, window, params, device);
    }

private:
    // The reference rasteriser is the same device here: the developer-tool
    // adapter choice has to keep working.
    static bool TakesType(D3DDEVTYPE type) { return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF; }

    std::vector<std::string> m_Adapters;
};

} // namespace

void SetAdapterDescriptions(const std::vector<std::string>& descriptions)
{
    AdapterDescriptions() = descriptions;
}

} // namespace platform

IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    std::vector<std::string> adapters = platform::AdapterDescriptions();
    if (adapters.empty())
        adapters.push_back(platform::kDefaultAdapter);
    return new platform::Direct3D(std::move(adapters));
}
