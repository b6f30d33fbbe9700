// Internal to the platform layer: what the OpenGL side of our Direct3D 9 device
// shares with the code built on it (effects, fonts) and between its own files.
//
// How Direct3D's conventions map onto OpenGL, done once in the device:
// - Clip space: the device runs with glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE),
//   so a Direct3D projection matrix is used as it stands (depth 0..1), and row 0
//   of every framebuffer and texture is the top of the image. Textures are
//   uploaded top row first and sampled with Direct3D's (u, v) as GL's (s, t).
//   Drawing into the window (the back buffer's passes, d3d9_back_buffer.h) the
//   origin is GL_LOWER_LEFT instead, the window's row 0 being its bottom: a
//   shader must not count on gl_FragCoord.y's direction.
// - Winding: the on-screen orientation Direct3D means by D3DCULL_CW/CCW is what
//   the device culls (it sets glFrontFace/glCullFace itself, for either origin).
// - Matrices: a D3DX matrix (row-major, v * M) uploaded with glUniformMatrix4fv
//   and transpose = GL_FALSE gives a GLSL mat4 G with G * v == D3DX's v * M.
// - D3DCOLOR vertex data is read as normalized GL_BGRA bytes: shaders see
//   (r, g, b, a).
// - Viewport and scissor rectangles keep Direct3D's top-left origin.
#pragma once

#include "platform/d3d9.h"

#include <functional>
#include <memory>
#include <vector>

namespace platform {

// --- attribute locations by Direct3D vertex usage ---------------------------------
// Every FVF draw feeds these locations; a program drawing with the device must
// declare its inputs at them (layout(location = N) or glBindAttribLocation).
// COLOR1 carries the skinned vertex's bone indices as a D3DCOLOR: the shader
// multiplies by 255 to get whole numbers back. An attribute the FVF lacks reads
// its default: COLOR0 white, COLOR1 and the rest (0, 0, 0, 1).
enum AttributeLocation : unsigned {
    kAttribPosition = 0,
    kAttribNormal = 1,
    kAttribColor0 = 2,
    kAttribColor1 = 3,
    kAttribTexCoord0 = 4,
    kAttribTexCoord1 = 5,
    kAttribTexCoord2 = 6,
    kAttribTexCoord3 = 7,
};

// --- drawing with a program of one's own ------------------------------------------
// While a program is set, every draw of the device uses it instead of the
// fixed-function path (0 goes back to the fixed-function path). The device
// glUseProgram's it at once, so uniforms may be set with glUniform* right after,
// and again at every draw. At each draw the device binds the textures of stages
// 0..7 to texture units 0..7 with the sampler states of those stages: a program
// sets its textures with device->SetTexture(unit, texture), its sampler states
// with SetSamplerState(unit, ...), and its sampler uniforms to the unit numbers.
// Render states (blend, depth, cull, stencil, colour mask, fill mode, scissor)
// apply as for any draw. The device owns all GL state: set it through the
// device, never with gl* calls, or the device's record of it goes stale.
// Alpha testing in a program is the program's own business, with help from
// kAlphaTestGlsl below.
void UseEffectProgram(IDirect3DDevice9* device, unsigned program);
unsigned CurrentEffectProgram(IDirect3DDevice9* device);
// A program built without the alpha test (it has no d3d_AlphaFunc) may be
// current when a draw's states ask for the test: before that draw the device
// calls the refit given here, which makes current a program that tests. One
// refit at a time; an empty one removes it.
void SetEffectRefit(IDirect3DDevice9* device, std::function<void()> refit);

// GLSL 330 that a fragment shader may include to honour the alpha-test states:
// it declares "uniform int d3d_AlphaFunc; uniform int d3d_AlphaRef;" (set by
// the device at every draw when the program has them: the D3DCMP_ value, 8 =
// always while D3DRS_ALPHATESTENABLE is off, and the reference 0..255) and
// "void d3d_AlphaTest(float alpha)", which discards the fragment as the test says
// (alpha is compared as a whole number 0..255, like Direct3D's test).
extern const char* const kAlphaTestGlsl;

// Waits until the device has drawn everything asked of it so far. The software
// renderer defers drawing until a target is read or the frame is presented;
// benchmarks call this to charge each step with its own drawing.
void FinishDrawing(IDirect3DDevice9* device);

// True, with the colour, when every texel of every level of the texture holds
// one colour (A8R8G8B8 and X8R8G8B8 textures that are not render targets;
// X8's alpha reads 0xFF). Filtering such a texture gives that colour exactly.
bool SolidColourOf(IDirect3DBaseTexture9* texture, D3DCOLOR* colour);

// The GL texture name behind a texture (0 for null or a foreign object), to
// draw with it: a texture filled on demand is filled first.
unsigned GLTextureOf(IDirect3DBaseTexture9* texture);

// Big images loaded from files are held by the software renderer in memory
// the game needs: such a texture gives its texels back while it goes undrawn
// and `refill` (which writes every level again, the same texels) brings them
// back at its next draw or read. Textures written any other way afterwards
// stay as they are. False for a texture without GL texels or a foreign one.
bool FillTextureOnDemand(IDirect3DTexture9* texture, std::function<bool(IDirect3DTexture9*)> refill);
// Whether the texture holds its texels now.
bool TexelsResident(IDirect3DBaseTexture9* texture);
// Of the textures filled on demand, those listed are filled now and keep
// their texels, drawn or not, until a later call leaves them out; the rest
// are given back again once undrawn for long enough. Filled at its first draw
// (or again after a while out of view), a big picture costs that frame tens of
// milliseconds. Textures not filled on demand are left as they are.
void HoldTexelsOf(const std::vector<IDirect3DBaseTexture9*>& textures);
// Called at each present: gives back the texels of every texture filled on
// demand that was not drawn during the last `presents` presents.
void GiveBackIdleTexels(unsigned presents);

// --- device lifetime ---------------------------------------------------------------
// Objects that outlive their device (a texture cache emptied at program exit, a
// font or effect never released) hold this handle instead of a reference: once
// the device is released its GL context is gone, and their GL names must only
// be forgotten.
struct DeviceCore;
using DeviceHandle = std::shared_ptr<DeviceCore>;

DeviceHandle HandleOf(IDirect3DDevice9* device);
// The device, or null once it has been released (no reference is added).
IDirect3DDevice9* DeviceOf(const DeviceHandle& handle);
// Makes the device's GL context current; false once the device is released.
bool MakeCurrent(const DeviceHandle& handle);

// --- counters for tests -------------------------------------------------------------
struct DrawStats {
    unsigned drawCalls = 0;  // draws that reached OpenGL
    unsigned primitives = 0; // primitives those draws asked for
    unsigned presents = 0;
    unsigned clears = 0;     // clears that reached OpenGL
    unsigned presentCopies = 0;    // presents that copied the back buffer into the window
    unsigned backBufferCopies = 0; // copies of the window's pixels into the back buffer's texture
};
DrawStats GetDrawStats(IDirect3DDevice9* device);
void ResetDrawStats(IDirect3DDevice9* device);
// What the device's window shows (its last presented frame), as 0xAARRGGBB
// rows top first; false without a device.
bool ReadWindowPixels(IDirect3DDevice9* device, std::vector<D3DCOLOR>* pixels, UINT* width, UINT* height);

// --- shared between the device's own files ------------------------------------------
namespace gl {

// How a D3DFORMAT lives in OpenGL.
struct FormatInfo {
    unsigned internalFormat = 0; // GL_RGBA8...
    unsigned format = 0;         // pixel transfer format (GL_BGRA...)
    unsigned type = 0;           // pixel transfer type
    unsigned bytesPerPixel = 0;
    int swizzle[4] = {0, 0, 0, 0}; // GL_TEXTURE_SWIZZLE_R/G/B/A values, 0 = leave
    bool depth = false;
    bool stencil = false;
    bool renderable = false;
};
// False for formats the device does not take.
bool LookUpFormat(D3DFORMAT format, FormatInfo* info);

// What a surface is in OpenGL: a level of a GL texture, or memory alone.
struct SurfaceBinding {
    unsigned texture = 0; // 0: a system-memory surface
    int level = 0;
    UINT width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    DWORD usage = 0;
};
bool BindingOf(IDirect3DSurface9* surface, SurfaceBinding* binding);
// `beforeLock(writing)` runs whenever the surface is about to be locked.
void WatchLocks(IDirect3DSurface9* surface, std::function<void(bool)> beforeLock);
// Memory of a system-memory surface (rows top first, tightly packed), or null.
unsigned char* SystemMemoryOf(IDirect3DSurface9* surface);
// Something other than a lock wrote into the surface (a texture level).
void SurfaceWritten(IDirect3DSurface9* surface);

unsigned GLBufferOf(IDirect3DVertexBuffer9* buffer);
unsigned GLBufferOf(IDirect3DIndexBuffer9* buffer);
D3DFORMAT IndexFormatOf(IDirect3DIndexBuffer9* buffer);

// The device for a window (IDirect3D9::CreateDevice after its checks).
HRESULT CreateDevice(IDirect3D9* d3d, HWND window, D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device);

HRESULT CreateTexture(const DeviceHandle& device, UINT width, UINT height, UINT levels, DWORD usage,
                      D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);
// A stand-alone surface: render target, depth-stencil or system memory (by usage
// and pool).
HRESULT CreateSurface(const DeviceHandle& device, UINT width, UINT height, DWORD usage, D3DFORMAT format,
                      D3DPOOL pool, IDirect3DSurface9** surface);
HRESULT CreateVertexBuffer(const DeviceHandle& device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                           IDirect3DVertexBuffer9** buffer);
HRESULT CreateIndexBuffer(const DeviceHandle& device, UINT length, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DIndexBuffer9** buffer);

// Reads a level of a GL texture into memory, rows top first, in the format's
// Direct3D layout.
void ReadTexture(unsigned texture, int level, const FormatInfo& info, UINT width, UINT height,
                 unsigned char* out);

} // namespace gl
} // namespace platform
