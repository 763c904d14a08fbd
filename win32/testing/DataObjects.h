#pragma once

// Data objects as a drag hands them to a drop target, for tests: each offers its blocks of global
// memory by format and answers every GetData with a new copy of the block (TYMED_HGLOBAL), which
// the caller gives back through ReleaseStgMedium.

#include "win32/api/DataObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace win32::testing {

class TestDataObject final : public IDataObject {
public:
    struct Block {
        UINT format;
        std::vector<uint8_t> bytes;
    };

    // A count of 1; the last Release deletes the object.
    explicit TestDataObject(std::vector<Block> blocks);

    // IUnknown and IDataObject.
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // DV_E_FORMATETC for a format not offered, an aspect other than DVASPECT_CONTENT or an index
    // other than -1; DV_E_TYMED unless the caller takes TYMED_HGLOBAL.
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;

    // Blocks handed out by GetData that are not freed yet.
    size_t LiveBlocks() const;

private:
    ~TestDataObject() = default;

    ULONG fCount = 1;
    std::vector<Block> fBlocks;
    std::vector<HGLOBAL> fGiven;
};

struct DataObjectRelease {
    void operator()(TestDataObject* object) const { object->Release(); }
};
using DataObjectRef = std::unique_ptr<TestDataObject, DataObjectRelease>;

// A CF_HDROP block: a DROPFILES head, then the names (UTF-8 given; UTF-16 when wide), each ended
// by a zero, and the zero that ends the list.
std::vector<uint8_t> FileListBlock(const std::vector<std::string>& names, bool wide);
// A CF_TEXT block: the UTF-8 text and a zero.
std::vector<uint8_t> NarrowTextBlock(const std::string& text);

DataObjectRef MakeDataObject(std::vector<TestDataObject::Block> blocks);
// A drop of files, offering CF_HDROP only.
DataObjectRef MakeFileDrop(const std::vector<std::string>& names, bool wide = true);
// A drop of text, offering CF_TEXT only.
DataObjectRef MakeTextDrop(const std::string& text);

} // namespace win32::testing
