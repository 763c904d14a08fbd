#include "win32/testing/DataObjects.h"

#include "foundation/CXTextEncoding.h"
#include "win32/api/Constants.h"
#include "win32/core/Core.h"
#include "win32/core/GlobalMemory.h"

#include <cstring>

namespace win32::testing {

TestDataObject::TestDataObject(std::vector<Block> blocks) : fBlocks(std::move(blocks)) {}

HRESULT TestDataObject::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

ULONG TestDataObject::AddRef()
{
    return ++fCount;
}

ULONG TestDataObject::Release()
{
    ULONG count = --fCount;
    if (count == 0)
        delete this;
    return count;
}

HRESULT TestDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (format == nullptr || medium == nullptr)
        return E_INVALIDARG;
    if (format->dwAspect != DVASPECT_CONTENT || format->lindex != -1)
        return DV_E_FORMATETC;
    for (const Block& block : fBlocks) {
        if (block.format != format->cfFormat)
            continue;
        if ((format->tymed & TYMED_HGLOBAL) == 0)
            return DV_E_TYMED;
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, block.bytes.size());
        if (copy == nullptr)
            return E_OUTOFMEMORY;
        if (!block.bytes.empty()) {
            std::memcpy(GlobalLock(copy), block.bytes.data(), block.bytes.size());
            GlobalUnlock(copy);
        }
        fGiven.push_back(copy);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    return DV_E_FORMATETC;
}

size_t TestDataObject::LiveBlocks() const
{
    size_t live = 0;
    for (HGLOBAL block : fGiven) {
        SetLastError(ERROR_SUCCESS);
        if (GlobalSize(block) != 0 || GetLastError() != ERROR_INVALID_HANDLE)
            ++live;
    }
    return live;
}

std::vector<uint8_t> FileListBlock(const std::vector<std::string>& names, bool wide)
{
    DROPFILES head = {};
    head.pFiles = sizeof(head);
    head.fWide = wide ? TRUE : FALSE;
    std::vector<uint8_t> block(sizeof(head));
    std::memcpy(block.data(), &head, sizeof(head));
    auto append = [&block](const void* bytes, size_t size) {
        const auto* start = static_cast<const uint8_t*>(bytes);
        block.insert(block.end(), start, start + size);
    };
    for (const std::string& name : names) {
        if (wide) {
            CXString units = ConvertUTF8ToUTF16(name.data(), name.size());
            append(UTF16Units(units), (UTF16UnitCount(units) + 1) * sizeof(char16_t));
        } else {
            append(name.c_str(), name.size() + 1);
        }
    }
    const char16_t end = 0;
    append(&end, wide ? sizeof(end) : 1);
    return block;
}

std::vector<uint8_t> NarrowTextBlock(const std::string& text)
{
    return std::vector<uint8_t>(text.c_str(), text.c_str() + text.size() + 1);
}

DataObjectRef MakeDataObject(std::vector<TestDataObject::Block> blocks)
{
    return DataObjectRef(new TestDataObject(std::move(blocks)));
}

DataObjectRef MakeFileDrop(const std::vector<std::string>& names, bool wide)
{
    return MakeDataObject({{CF_HDROP, FileListBlock(names, wide)}});
}

DataObjectRef MakeTextDrop(const std::string& text)
{
    return MakeDataObject({{CF_TEXT, NarrowTextBlock(text)}});
}

} // namespace win32::testing
