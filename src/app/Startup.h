#pragma once

#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/win32.h"
#include "xml/XMLParser.h"

// --- start-up settings ------------------------------------------------------------
// Written once from "data/XML/init_configuration.xml" and read by the rest of
// the game; the device is read directly by every renderer.
extern bool windowed;
extern bool move_cursor;
extern int width;
extern int height;
extern std::string debug_font;
extern int debug_font_size;
extern HWND MainWindow;
extern IDirect3DDevice9* D3DDevice;
extern IDirect3D9* Direct3D;
// The client area measured once the window exists.
extern float ClientWidth;
extern float ClientHeight;

// The reader of "data/XML/init_configuration.xml". Every "PROPERTIES" element
// sets all fields, taking the default of each attribute it lacks; without
// one the defaults stand. Its "english" goes straight to the subtitles'
// language flag, which the screens and the loading images follow.
class CConfiguration : public CXMLParser {
public:
    static constexpr const char* kConfigurationFile = "data/XML/init_configuration.xml";
    CConfiguration();
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;

    bool windowed;
    int width;
    int height;
    bool move_cursor;
    int debug_font_size;
    int fps_list_size;
    std::string debug_font;

private:
    void SetDefaults();
    void CheckValues(CXMLAttributes& attributes);
    int m_PropertiesSeen = 0;
    void KeepWindowOnScreen(const std::string& widthText, const std::string& heightText);
};

// Which adapter the device is made on: a "PerfHUD" adapter (the first, in
// adapter order) with the reference device type so the profiler can attach;
// otherwise adapter 0 with the hardware type.
struct AdapterChoice {
    UINT adapter;
    D3DDEVTYPE type;
};
AdapterChoice ChooseAdapter(const std::vector<std::string>& descriptions);

// Creates the Direct3D object and the device for the window with the settings
// above, measures the client area and sets the game's base render states.
// E_FAIL when either cannot be created ("CreateDevice hr = ..." goes to the
// debugger output).
HRESULT InitD3D(HWND window);

// Shows one image over the whole back buffer and presents it.
void DrawLoadingImage(std::string file);

// Releases the device, then the Direct3D object, each only if set. Whatever
// was made on the device (screen targets, cached textures and meshes, the
// effect) goes or waits for the next device, and the lines said once about
// the run's data may be said again by the next start.
void ReleaseDevice();
