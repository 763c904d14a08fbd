#pragma once

// The data-object interface that drags hand to a drop target: our own small IUnknown and
// IDataObject (only GetData), the format and medium records, and the file-list block.
//
// Emulation limits: no apartments, no QueryInterface, no other media than global memory; the
// target device is never used (ptd is null). ReleaseStgMedium frees a medium's block through global
// memory, so it is declared with it in win32/core/GlobalMemory.h.

#include "win32/api/Structures.h"

namespace win32 {

using HRESULT = int32_t;
using CLIPFORMAT = WORD;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
// The object does not offer the format, aspect, index or medium asked for.
inline constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
inline constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);

constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
constexpr bool FAILED(HRESULT result) { return result < 0; }

inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD TYMED_NULL = 0;
inline constexpr DWORD TYMED_HGLOBAL = 1;

// Reference counting: an object lives until its count, 1 when made, falls to 0 by Release.
// AddRef and Release answer the new count.
class IUnknown {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct DVTARGETDEVICE;

struct FORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex; // -1: all of the data
    DWORD tymed;  // the media the caller takes (TYMED_HGLOBAL)
};

// A medium the caller of GetData owns and gives back through ReleaseStgMedium. With
// pUnkForRelease set, releasing calls its Release instead of freeing the block.
struct STGMEDIUM {
    DWORD tymed;
    union {
        HGLOBAL hGlobal;
        void* pointer;
    };
    IUnknown* pUnkForRelease;
};

class IDataObject : public IUnknown {
public:
    // Fills medium with a new block of the format asked for (the caller owns it): S_OK, or
    // DV_E_FORMATETC for a format, aspect or index the object does not offer, DV_E_TYMED when the
    // caller takes no medium the object gives, E_INVALIDARG for null pointers.
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;

protected:
    ~IDataObject() = default;
};

// The head of a CF_HDROP block: pFiles is the byte offset of the list of names (each ended by a
// zero, the list by another) from the start of the block; fWide says UTF-16 names, else UTF-8.
struct DROPFILES {
    DWORD pFiles;
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};

} // namespace win32
