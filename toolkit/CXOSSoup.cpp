#include "toolkit/CXOSSoup.h"

#include "foundation/CXTextEncoding.h"
#include "foundation/CXTextParsing.h"
#include "toolkit/CXOSSoupBlocks.h"
#include "toolkit/CXUIWindow.h"
#include "win32/api/Constants.h"
#include "win32/core/GlobalMemory.h"
#include "win32/user/Clipboard.h"

#include <algorithm>
#include <cstring>
#include <limits>

using namespace win32;

namespace {

constexpr char kTextFlavour[] = "TEXT";
constexpr char kFilePathFlavour[] = "filepath";
// The data did not fit the buffer and was cut.
constexpr CXResultCode kDataCut = kCXNoResources;

// The clipboard format of a flavour: Unicode text for "TEXT", else the format registered by the
// name; 0 when there is none.
UINT FormatOf(const CXString& flavour)
{
    if (flavour.IsEmpty())
        return 0;
    if (flavour == kTextFlavour)
        return CF_UNICODETEXT;
    return RegisterClipboardFormatA(flavour.c_str());
}

// The bytes of a flavour on the open clipboard: "TEXT" as UTF-8 with "\n" line breaks, another
// flavour as its block's data. -7 when there is none; -17 for a block that cannot be read or is
// damaged.
CXResultCode ReadClipboardFlavour(const CXString& flavour, std::vector<uint8_t>& data)
{
    data.clear();
    UINT format = FormatOf(flavour);
    auto block = static_cast<HGLOBAL>(format != 0 ? GetClipboardData(format) : nullptr);
    if (block == nullptr)
        return kCXNotFound;
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(block));
    if (bytes == nullptr)
        return kCXSystemError;
    size_t size = GlobalSize(block);
    CXResultCode result = kCXOK;
    if (format == CF_UNICODETEXT) {
        CXString text = ReadUnicodeTextBlock(bytes, size);
        data.assign(text.c_str(), text.c_str() + text.length());
    } else {
        const uint8_t* payload = nullptr;
        size_t length = 0;
        if (ReadRegisteredFormatBlock(bytes, size, payload, length))
            data.assign(payload, payload + length);
        else
            result = kCXSystemError;
    }
    GlobalUnlock(block);
    return result;
}

// Copies what fits: 0 when all of it did, else -6.
CXResultCode CopyCut(const void* data, size_t length, void* buffer, size_t capacity)
{
    size_t count = std::min(length, capacity);
    if (count > 0)
        std::memcpy(buffer, data, count);
    return length <= capacity ? kCXOK : kDataCut;
}

// Copies at most capacity - 1 bytes (capacity above 0) and a zero after them: 0 when all of it
// fit, else -6.
CXResultCode CopyTerminated(const CXString& text, void* buffer, size_t capacity)
{
    size_t count = std::min(text.length(), capacity - 1);
    std::memcpy(buffer, text.c_str(), count);
    static_cast<char*>(buffer)[count] = 0;
    return text.length() < capacity ? kCXOK : kDataCut;
}

// A movable block holding the bytes; null when memory runs out.
HGLOBAL BlockOf(const void* head, size_t headSize, const void* bytes, size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, headSize + size);
    auto* memory = static_cast<uint8_t*>(GlobalLock(block));
    if (memory == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(memory, head, headSize);
    if (size > 0)
        std::memcpy(memory + headSize, bytes, size);
    GlobalUnlock(block);
    return block;
}

void GiveToClipboard(UINT format, HGLOBAL block)
{
    if (block != nullptr && SetClipboardData(format, block) == nullptr)
        GlobalFree(block);
}

// Runs read(bytes, size) over the object's block of the format; false when the object gives no
// readable block of it.
template <typename Read>
bool ReadDataObjectBlock(IDataObject* data, UINT format, Read read)
{
    if (data == nullptr)
        return false;
    FORMATETC request = {static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&request, &medium)))
        return false;
    bool read_ = false;
    if (medium.tymed == TYMED_HGLOBAL) {
        if (const auto* bytes = static_cast<const uint8_t*>(GlobalLock(medium.hGlobal))) {
            read(bytes, GlobalSize(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
            read_ = true;
        }
    }
    ReleaseStgMedium(&medium);
    return read_;
}

int32_t ToItemCount(size_t count)
{
    return static_cast<int32_t>(std::min<size_t>(count, std::numeric_limits<int32_t>::max()));
}

} // namespace

// --- CXOSSoup ---

CXOSSoup::~CXOSSoup() = default;

int32_t CXOSSoup::GetItemCount() const
{
    return 0;
}

int32_t CXOSSoup::GetFlavourCount(int32_t) const
{
    return 0;
}

CXString CXOSSoup::GetFlavourName(int32_t, int32_t) const
{
    return CXString();
}

bool CXOSSoup::HasFlavour(int32_t, const CXString&) const
{
    return false;
}

size_t CXOSSoup::GetDataSize(int32_t, const CXString&) const
{
    return 0;
}

CXResultCode CXOSSoup::GetData(int32_t, const CXString&, void*, size_t) const
{
    return kCXNotSupported;
}

void CXOSSoup::PutData(int32_t, const CXString&, const void*, size_t) {}

// --- CXOSSoupClipboard ---

CXOSSoupClipboard::CXOSSoupClipboard(bool forWriting)
{
    CXUIWindow* owner = CXUIWindow::GetFrontWindow(false);
    (void)OpenClipboard(owner != nullptr ? owner->GetNativeHandle() : nullptr);
    if (forWriting)
        (void)EmptyClipboard();
}

CXOSSoupClipboard::~CXOSSoupClipboard()
{
    (void)CloseClipboard();
}

int32_t CXOSSoupClipboard::GetItemCount() const
{
    return 1;
}

int32_t CXOSSoupClipboard::GetFlavourCount(int32_t item) const
{
    return item == 0 ? CountClipboardFormats() : 0;
}

CXString CXOSSoupClipboard::GetFlavourName(int32_t item, int32_t index) const
{
    if (item != 0 || index < 0)
        return CXString();
    UINT format = EnumClipboardFormats(0);
    for (int32_t step = 0; step < index && format != 0; ++step)
        format = EnumClipboardFormats(format);
    return format == CF_UNICODETEXT ? CXString(kTextFlavour) : CXString();
}

bool CXOSSoupClipboard::HasFlavour(int32_t item, const CXString& flavour) const
{
    return item == 0 && flavour == kTextFlavour && IsClipboardFormatAvailable(CF_UNICODETEXT);
}

size_t CXOSSoupClipboard::GetDataSize(int32_t item, const CXString& flavour) const
{
    std::vector<uint8_t> data;
    if (item != 0 || ReadClipboardFlavour(flavour, data) != kCXOK)
        return 0;
    return data.size();
}

CXResultCode CXOSSoupClipboard::GetData(int32_t item, const CXString& flavour, void* buffer, size_t capacity) const
{
    if (buffer == nullptr && capacity != 0)
        return kCXBadParameter;
    if (capacity > 0)
        std::memset(buffer, 0, capacity);
    if (item != 0)
        return kCXNotFound;
    std::vector<uint8_t> data;
    CXResultCode result = ReadClipboardFlavour(flavour, data);
    if (result != kCXOK)
        return result;
    return CopyCut(data.data(), data.size(), buffer, capacity);
}

void CXOSSoupClipboard::PutData(int32_t item, const CXString& flavour, const void* bytes, size_t length)
{
    if (item != 0 || (bytes == nullptr && length != 0))
        return;
    UINT format = FormatOf(flavour);
    if (format == 0)
        return;
    if (format == CF_UNICODETEXT) {
        CXString text = ConvertLineEndings(CXStringArgument(static_cast<const char*>(bytes), length), "\r\n");
        CXString units = ConvertUTF8ToUTF16(text.c_str(), text.length());
        // The units and the zero unit after them.
        GiveToClipboard(format, BlockOf(UTF16Units(units), (UTF16UnitCount(units) + 1) * sizeof(char16_t), nullptr, 0));
        return;
    }
    if (length > std::numeric_limits<uint32_t>::max() - sizeof(uint32_t))
        return;
    auto field = static_cast<uint32_t>(length);
    GiveToClipboard(format, BlockOf(&field, sizeof(field), bytes, length));
}

// --- CXOSSoupDrag ---

CXOSSoupDrag::CXOSSoupDrag(IDataObject* data) : fData(data) {}

CXOSSoupDrag::~CXOSSoupDrag() = default;

std::optional<std::vector<CXString>> CXOSSoupDrag::FileNames() const
{
    std::vector<CXString> names;
    if (!ReadDataObjectBlock(fData, CF_HDROP,
                             [&names](const uint8_t* bytes, size_t size) { names = ReadFileListBlock(bytes, size); }))
        return std::nullopt;
    return names;
}

std::optional<CXString> CXOSSoupDrag::Text() const
{
    CXString text;
    if (!ReadDataObjectBlock(fData, CF_TEXT,
                             [&text](const uint8_t* bytes, size_t size) { text = ReadNarrowTextBlock(bytes, size); }))
        return std::nullopt;
    return text;
}

CXString CXOSSoupDrag::TextFlavour(int32_t item) const
{
    if (item != 0 || FileNames())
        return CXString();
    std::optional<CXString> text = Text();
    return text ? ConvertLineEndings(*text, "\n") : CXString();
}

int32_t CXOSSoupDrag::GetItemCount() const
{
    if (std::optional<std::vector<CXString>> names = FileNames())
        return ToItemCount(names->size());
    std::optional<CXString> text = Text();
    return text && !text->IsEmpty() ? 1 : 0;
}

int32_t CXOSSoupDrag::GetFlavourCount(int32_t item) const
{
    return (HasFlavour(item, kFilePathFlavour) ? 1 : 0) + (HasFlavour(item, kTextFlavour) ? 1 : 0);
}

CXString CXOSSoupDrag::GetFlavourName(int32_t item, int32_t index) const
{
    std::vector<CXString> offered;
    for (const char* flavour : {kFilePathFlavour, kTextFlavour})
        if (HasFlavour(item, flavour))
            offered.emplace_back(flavour);
    if (index < 0 || static_cast<size_t>(index) >= offered.size())
        return CXString();
    return offered[index];
}

bool CXOSSoupDrag::HasFlavour(int32_t item, const CXString& flavour) const
{
    return GetDataSize(item, flavour) != 0;
}

size_t CXOSSoupDrag::GetDataSize(int32_t item, const CXString& flavour) const
{
    if (fData == nullptr)
        return 0;
    if (flavour == kTextFlavour)
        return TextFlavour(item).length();
    if (flavour != kFilePathFlavour)
        return 0;
    if (std::optional<std::vector<CXString>> names = FileNames()) {
        if (item < 0 || static_cast<size_t>(item) >= names->size())
            return 1;
        return (*names)[item].length() + 1;
    }
    std::optional<CXString> text = Text();
    return text ? text->length() + 1 : 0;
}

CXResultCode CXOSSoupDrag::GetData(int32_t item, const CXString& flavour, void* buffer, size_t capacity) const
{
    if (flavour == kTextFlavour) {
        if (buffer == nullptr && capacity != 0)
            return kCXBadParameter;
        if (capacity > 0)
            std::memset(buffer, 0, capacity);
        CXString text = TextFlavour(item);
        if (text.IsEmpty())
            return kCXNotFound;
        return CopyCut(text.c_str(), text.length(), buffer, capacity);
    }
    if (buffer == nullptr || capacity == 0 || flavour != kFilePathFlavour)
        return kCXBadParameter;
    if (std::optional<std::vector<CXString>> names = FileNames()) {
        if (item < 0 || static_cast<size_t>(item) >= names->size())
            return kCXNotFound;
        return CopyTerminated((*names)[item], buffer, capacity);
    }
    std::optional<CXString> text = Text();
    if (!text)
        return kCXSystemError;
    if (item != 0)
        return kCXNotFound;
    // A cut text still counts as given.
    (void)CopyTerminated(*text, buffer, capacity);
    return kCXOK;
}
