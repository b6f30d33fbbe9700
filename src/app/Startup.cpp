#include "app/Startup.h"

#include <cstdio>

#include "app/MainConfig.h"
#include "gui/Subtitles.h"
#include "platform/bounded.h"
#include "platform/d3dx9core.h"
#include "render/Bloom.h"
#include "render/DrawHelper.h"
#include "render/EffectManager.h"
#include "render/RenderTarget.h"
#include "render/TextureManager.h"
#include "scene/Camera.h"
#include "scene/LightCamera.h"
#include "scene/MeshCache.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "scene/SceneManager.h"
#include "world/CollisionManager.h"

bool windowed = true;
bool move_cursor = true;
int width = 800;
int height = 600;
std::string debug_font;
int debug_font_size = 20;
HWND MainWindow = nullptr;
IDirect3DDevice9* D3DDevice = nullptr;
IDirect3D9* Direct3D = nullptr;
float ClientWidth = 0.0f;
float ClientHeight = 0.0f;

// --- CConfiguration ------------------------------------------------------------------

CConfiguration::CConfiguration()
{
    SetDefaults();
}

void CConfiguration::SetDefaults()
{
    windowed = true;
    width = 800;
    height = 600;
    move_cursor = true;
    debug_font_size = 20;
    fps_list_size = 60;
    debug_font.clear();
}

void CConfiguration::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name != "PROPERTIES")
        return;
    // Each element sets every field, so a second one undoes what the first
    // said and leaves its own defaults.
    if (++m_PropertiesSeen == 2)
        bounded::SayOnce(std::string(kConfigurationFile) +
                         ": a second PROPERTIES element: its values replace the first's, the defaults where it "
                         "has none");
    CheckValues(attributes);
    windowed = attributes.GetBool("windowed", true);
    move_cursor = attributes.GetBool("move_cursor", true);
    width = attributes.GetInt("width", 800);
    height = attributes.GetInt("height", 600);
    KeepWindowOnScreen(attributes.GetString("width", "800"), attributes.GetString("height", "600"));
    fps_list_size = attributes.GetInt("fps_list_size", 60);
    debug_font = attributes.GetString("debug_font", "");
    debug_font_size = attributes.GetInt("debug_font_size", 20);
    // The language is not a setting of ours: the subtitles keep it, and the
    // screens and the loading images ask them.
    getSubtitulos().english = attributes.GetBool("english", false);
}

// A value outside its set would be read as something no one wrote: a switch
// that is neither on nor off reads as off (a window turned full screen, the
// English subtitles gone), a size no font or list can have. Each such value
// is removed, so that its default is taken, and said in one line.
void CConfiguration::CheckValues(CXMLAttributes& attributes)
{
    std::string bad;
    const auto drop = [&](const char* key, const char* why) {
        bad += (bad.empty() ? "" : ", ") + std::string(key) + " \"" + bounded::Echoed(attributes[key]) + "\" " + why;
        attributes.erase(key);
    };
    for (const char* key : {"windowed", "move_cursor", "english"}) {
        const auto found = attributes.find(key);
        if (found != attributes.end() && !CXMLAttributes::IsBoolWord(found->second))
            drop(key, "is not 0 or 1");
    }
    long long number;
    const auto count = [&](const char* key, long long low, long long high, const char* why) {
        const auto found = attributes.find(key);
        if (found != attributes.end() && !bounded::ParseInt(found->second, low, high, &number))
            drop(key, why);
    };
    count("debug_font_size", 1, 256, "is not a size from 1 to 256");
    count("fps_list_size", 1, 100000, "is not a size from 1 to 100000");
    std::string fontNote;
    const auto font = attributes.find("debug_font");
    // The name stays: the text layer stands DejaVu Sans in for it already.
    if (font != attributes.end() && !platform::IsKnownFontFace(font->second))
        fontNote = std::string(bad.empty() ? "" : "; ") + "debug_font \"" + bounded::Echoed(font->second) +
                   "\" is not a font of the game: DejaVu Sans is used";
    if (!bad.empty())
        bad += ": the defaults are used";
    if (!bad.empty() || !fontNote.empty())
        bounded::SayOnce(std::string(kConfigurationFile) + ": " + bad + fontNote);
}

// A window the device cannot be made for ends the game with an error code and
// no word of the cause: a size that is not a positive number, or more than
// the screen holds, falls back to 800 x 600 and says which value was wrong.
void CConfiguration::KeepWindowOnScreen(const std::string& widthText, const std::string& heightText)
{
    const struct {
        int value;
        const std::string& text;
        const char* name;
        int screen;
    } sides[] = {{width, widthText, "width", GetSystemMetrics(SM_CXSCREEN)},
                 {height, heightText, "height", GetSystemMetrics(SM_CYSCREEN)}};
    for (const auto& side : sides) {
        // Without a display to ask, no side beyond what any device takes.
        const int most = side.screen > 0 ? side.screen : 16384;
        if (side.value > 0 && side.value <= most)
            continue;
        // The level's lights read the file again for their aspect: said once a run.
        bounded::SayOnce(std::string(kConfigurationFile) + ": window " + std::string(side.name) + " \"" +
                         bounded::Echoed(side.text) + "\" is not between 1 and " + std::to_string(most) +
                         ": the window is 800x600");
        width = 800;
        height = 600;
        return;
    }
}

// --- device --------------------------------------------------------------------------

AdapterChoice ChooseAdapter(const std::vector<std::string>& descriptions)
{
    for (size_t i = 0; i < descriptions.size(); ++i) {
        if (descriptions[i].find("PerfHUD") != std::string::npos)
            return {static_cast<UINT>(i), D3DDEVTYPE_REF};
    }
    return {0, D3DDEVTYPE_HAL};
}

HRESULT InitD3D(HWND window)
{
    GameTimeScale = 1.0f;

    Direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!Direct3D)
        return E_FAIL;

    D3DPRESENT_PARAMETERS params = {};
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (windowed) {
        params.Windowed = TRUE;
        params.BackBufferFormat = D3DFMT_UNKNOWN;
    } else {
        params.Windowed = FALSE;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferWidth = width;
        params.BackBufferHeight = height;
    }

    std::vector<std::string> descriptions;
    const UINT adapters = Direct3D->GetAdapterCount();
    for (UINT i = 0; i < adapters; ++i) {
        D3DADAPTER_IDENTIFIER9 identifier = {};
        Direct3D->GetAdapterIdentifier(i, 0, &identifier);
        identifier.Description[sizeof(identifier.Description) - 1] = '\0';
        descriptions.push_back(identifier.Description);
    }
    const AdapterChoice choice = ChooseAdapter(descriptions);

    const HRESULT hr = Direct3D->CreateDevice(choice.adapter, choice.type, window,
                                              D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &D3DDevice);
    if (FAILED(hr)) {
        D3DDevice = nullptr;
        char message[64];
        std::snprintf(message, sizeof(message), "CreateDevice hr = %08x\n", static_cast<unsigned>(hr));
        OutputDebugStringA(message);
        return E_FAIL;
    }

    RECT client = {};
    GetClientRect(window, &client);
    ClientWidth = static_cast<float>(client.right);
    ClientHeight = static_cast<float>(client.bottom);

    CreateScreenTargets(D3DDevice, static_cast<int>(ClientWidth), static_cast<int>(ClientHeight));
    getParticleManager().Init(ParticleTarget, "data/XML/particleTypes.xml");
    D3DDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    D3DDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    // The light's aspect is the whole-number quotient (1 for 800 x 600): the
    // shadow map is tuned to it. A zero height would divide by nothing.
    const int aspect = height > 0 ? width / height : 1;
    LightLocation.SetProjection(1.0f, 1500.0f, static_cast<float>(aspect));
    LightLocation.SetFov(1000.04f);
    InitMainConfig();
    BloomEffect.LoadXMLSaying("data/fx/bloom.xml");
    getSceneManager().CreateLights(D3DDevice, LightLocation);
    return S_OK;
}

void DrawLoadingImage(std::string file)
{
    if (!D3DDevice)
        return;
    if (SUCCEEDED(D3DDevice->BeginScene()))
        getDrawHelper().DrawFullScreenTexture(getTextureManager().GetTexture(file), 1.0f);
    D3DDevice->EndScene();
    D3DDevice->Present(nullptr, nullptr, nullptr, nullptr);
}

void ReleaseDevice()
{
    ReleaseScreenTargets();
    BloomEffect.Release();
    // Cached textures belong to this device: a device made later (a second
    // run in one process) must not be handed them.
    getTextureManager().Clear();
    getParticleTypes().ForgetTextures();
    // Nobody keeps a device that is going: the next start makes its own.
    getCamera().ForgetDevice();
    getMeshCache().ForgetDevice();
    getSceneManager().ReleaseDepthStencil();
    getSceneManager().CreateLights(nullptr, LightLocation);
    if (D3DDevice) {
        D3DDevice->Release();
        D3DDevice = nullptr;
    }
    // Asked for only now, with no device, the manager is not made to compile
    // the effect once more for the device that is going.
    getEffectManager().ForgetDevice();
    if (Direct3D) {
        Direct3D->Release();
        Direct3D = nullptr;
    }
    // A run ends with its device. What was said about its data goes with it:
    // the next start reads the data again and names each fault again.
    bounded::ForgetSaidLines();
    getCollisionManager().ForgetNoGame();
}
