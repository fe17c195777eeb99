// COM basics for builds that have no <objbase.h>: GUIDs, IUnknown and the calling-convention names.
// Interfaces are C++ abstract classes whose methods come in the SDK's order.
#pragma once

#include <cstring>

#include "platform/compat/windef.h"
#include "platform/compat/winerror.h"

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE

#ifndef MAX_PATH
#define MAX_PATH 260
#endif

typedef void* HANDLE;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;
typedef const void* LPCVOID;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID layout");
typedef GUID IID;
typedef GUID CLSID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

inline const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Objects are destroyed by their own Release, never through this type.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;
