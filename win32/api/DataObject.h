#pragma once

// The data-object interface that drags hand to a drop target: our own small IUnknown and
// IDataObject (only GetData), interface ids, the format and medium records, and the file-list
// block.
//
// Emulation limits: no apartments, no marshalling, no other media than global memory; the
// target device is never used (ptd is null). ReleaseStgMedium frees a medium's block through global
// memory, so it is declared with it in win32/core/GlobalMemory.h.

#include "win32/api/Structures.h"

namespace win32 {

using HRESULT = int32_t;
using CLIPFORMAT = WORD;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
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

// An interface id.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using REFIID = const IID&;

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDataObject = {0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDropTarget = {0x00000122, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }

// Reference counting: an object lives until its count, 1 when made, falls to 0 by Release.
// AddRef and Release answer the new count.
class IUnknown {
public:
    // The object as the interface iid names, with a reference added for the caller: S_OK, or
    // E_NOINTERFACE (object null) for an interface the object does not have; E_POINTER for a null
    // object pointer.
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
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
