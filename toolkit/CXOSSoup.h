#pragma once

// Typed data exchanged with other programs: a soup holds items, each offered in named flavours.
// The clipboard soup reads and writes the clipboard: flavour "TEXT" is text (UTF-8 with "\n" line
// breaks here, Unicode text with CR LF on the clipboard) and any other name is a clipboard format
// registered by that name, holding {32-bit length, bytes}. The drag soup reads the data object of
// a drop: flavour "filepath" is a dropped file's path, or the dropped text; item 0 of dropped text
// also offers it as "TEXT".
//
// Results: -5 bad parameters, -6 data cut to the buffer, -7 no such item, flavour or data, -17 a
// block that cannot be read. Main thread only.

#include "foundation/CXReferenceCount.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "win32/api/DataObject.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class CXOSSoup : public CXNonCopyable {
public:
    CXOSSoup() = default;
    virtual ~CXOSSoup();

    // The base answers 0, empty, false or -2 and stores nothing.
    virtual int32_t GetItemCount() const;
    virtual int32_t GetFlavourCount(int32_t item) const;
    virtual CXString GetFlavourName(int32_t item, int32_t index) const;
    virtual bool HasFlavour(int32_t item, const CXString& flavour) const;
    // The bytes GetData gives in full; 0 when there are none.
    virtual size_t GetDataSize(int32_t item, const CXString& flavour) const;
    // Copies the flavour's bytes into buffer (at most capacity bytes).
    [[nodiscard]] virtual CXResultCode GetData(int32_t item, const CXString& flavour, void* buffer,
                                               size_t capacity) const;
    virtual void PutData(int32_t item, const CXString& flavour, const void* bytes, size_t length);
};

// The clipboard, held open for the soup's whole life: opened for the front visible window (never
// the parking window), or for no window, and emptied first when made for writing; closed by the
// destructor. A failed open is not reported: the calls then find nothing. Only item 0 exists.
class CXOSSoupClipboard : public CXOSSoup {
public:
    explicit CXOSSoupClipboard(bool forWriting);
    ~CXOSSoupClipboard() override;

    // 1.
    int32_t GetItemCount() const override;
    // The number of formats on the clipboard.
    int32_t GetFlavourCount(int32_t item) const override;
    // "TEXT" when the index-th format is Unicode text; empty for any other.
    CXString GetFlavourName(int32_t item, int32_t index) const override;
    // Only "TEXT" is ever answered true, when there is text on the clipboard.
    bool HasFlavour(int32_t item, const CXString& flavour) const override;
    // "TEXT": the UTF-8 length of the text (up to its first zero unit, line breaks made "\n").
    // Other names: the block's length field; 0 for a damaged block.
    size_t GetDataSize(int32_t item, const CXString& flavour) const override;
    // The buffer is zero-filled, then the data copied: 0 when it fits, -6 when cut to capacity.
    // -5 for a null buffer with a capacity; -7 for another item, an unregistrable name or no data;
    // -17 when the block cannot be read or is damaged. No terminator is added.
    [[nodiscard]] CXResultCode GetData(int32_t item, const CXString& flavour, void* buffer,
                                       size_t capacity) const override;
    // Replaces the flavour's data with the bytes: "TEXT" as Unicode text with CR LF line breaks.
    // Nothing for another item, null bytes with a length, or an unregistrable name.
    void PutData(int32_t item, const CXString& flavour, const void* bytes, size_t length) override;
};

// The data object of one drop, borrowed (no reference is taken); none gives an empty soup. Its
// items are the names of its file list (CF_HDROP); without one, its text (CF_TEXT) is the only
// item, when not empty.
class CXOSSoupDrag : public CXOSSoup {
public:
    explicit CXOSSoupDrag(win32::IDataObject* data);
    ~CXOSSoupDrag() override;

    int32_t GetItemCount() const override;
    // "filepath", then "TEXT" where offered.
    int32_t GetFlavourCount(int32_t item) const override;
    CXString GetFlavourName(int32_t item, int32_t index) const override;
    // GetDataSize is not 0.
    bool HasFlavour(int32_t item, const CXString& flavour) const override;
    // "filepath": the name's UTF-8 length + 1 (1 past the last name), or without a file list the
    // text's length + 1 (0 without text). "TEXT" (text only, item 0): the text's length with its
    // line breaks made "\n". Else 0.
    size_t GetDataSize(int32_t item, const CXString& flavour) const override;
    // "filepath": the name, or the text for item 0, cut to capacity - 1 bytes and ended by a zero:
    // 0 when it fit, -6 when a name was cut (a cut text still gives 0); -7 past the last name or
    // for another item; -17 when the text cannot be had; -5 for a null buffer or capacity 0.
    // "TEXT": as the clipboard soup gives it (zero-filled, no terminator, 0 or -6), -7 where not
    // offered. Another name: -5.
    [[nodiscard]] CXResultCode GetData(int32_t item, const CXString& flavour, void* buffer,
                                       size_t capacity) const override;

private:
    // The names of the file list; nothing when the object gives none.
    std::optional<std::vector<CXString>> FileNames() const;
    // The text; nothing when the object gives none.
    std::optional<CXString> Text() const;
    // The "TEXT" flavour of item: the text with "\n" line breaks; empty where not offered.
    CXString TextFlavour(int32_t item) const;

    win32::IDataObject* fData;
};
