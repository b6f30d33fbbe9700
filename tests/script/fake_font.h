// An ID3DXFont that records what it is asked to draw.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9core.h"

class FakeFont : public ID3DXFont {
public:
    struct Call {
        std::string text;
        LONG left;
        LONG top;
        DWORD format;
        D3DCOLOR color;
    };

    // The test owns one reference; the object under test gets another.
    FakeFont() = default;
    ~FakeFont() override = default;

    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }

    HRESULT GetDevice(IDirect3DDevice9** device) override { return E_FAIL; }
    HRESULT GetDescA(D3DXFONT_DESCA* desc) override { return E_FAIL; }
    INT DrawTextA(LPD3DXSPRITE, LPCSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR color) override
    {
        const std::string drawn = count < 0 ? std::string(text) : std::string(text, count);
        calls.push_back({drawn, rect ? rect->left : 0, rect ? rect->top : 0, format, color});
        return 10;
    }
    HRESULT PreloadTextA(LPCSTR, INT) override { return S_OK; }
    HRESULT OnLostDevice() override { return S_OK; }
    HRESULT OnResetDevice() override { return S_OK; }

    std::vector<Call> calls;
    ULONG refs = 1;
};
