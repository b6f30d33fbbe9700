// Internal to the platform layer: the COM-style bookkeeping that every object of
// our Direct3D and D3DX layer does the same way, written once.
#pragma once

#include "platform/gl_device.h"

#include <utility>

namespace platform {

// Reference counting for an object behind the interface Base: the creator holds
// the first reference, and the object destroys itself when the last one goes.
template <class Base>
class RefCounted : public Base {
public:
    ULONG AddRef() override { return ++m_Refs; }
    ULONG Release() override
    {
        const ULONG refs = --m_Refs;
        if (refs == 0)
            delete this;
        return refs;
    }

protected:
    RefCounted() = default;

private:
    ULONG m_Refs = 1;
};

// An object made by a device. It holds the device's handle, not a reference, so
// it may outlive the device; GetDevice then fails as Direct3D's does for a
// released device.
template <class Base>
class DeviceChild : public RefCounted<Base> {
public:
    HRESULT GetDevice(IDirect3DDevice9** device) override
    {
        if (!device)
            return D3DERR_INVALIDCALL;
        *device = DeviceOf(m_Device);
        if (!*device)
            return D3DERR_INVALIDCALL;
        (*device)->AddRef();
        return D3D_OK;
    }

protected:
    explicit DeviceChild(DeviceHandle device) : m_Device(std::move(device)) {}

    DeviceHandle m_Device;
};

} // namespace platform
