#include "foundation/CXCaseFolding.h"

#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"
#include "foundation/CXStringEdit.h"

#include <algorithm>

bool CXStringEditBase::AppendCaseFolded(uint32_t codePoint)
{
    const CXCaseFoldingRow* end = CaseFoldingTable + kCaseFoldingTableRows;
    const CXCaseFoldingRow* row = std::lower_bound(CaseFoldingTable, end, codePoint,
                                                   [](const CXCaseFoldingRow& r, uint32_t cp) { return r.codePoint < cp; });
    // Full folding: the first common or full row. Simple ('S') and Turkic ('T') rows are not used.
    for (; row != end && row->codePoint == codePoint; ++row) {
        if (row->status != 'C' && row->status != 'F')
            continue;
        for (uint32_t mapped : row->mapped)
            if (mapped >= 1 && mapped <= 0x10FFFF && !AppendUTF8Character(mapped))
                return false;
        return true;
    }
    if (codePoint > 0x10FFFF)
        return true;
    return AppendUTF8Character(codePoint);
}

bool CXStringEditBase::AppendCaseFoldedUTF8(const CXStringArgument& text)
{
    // The view may point into this builder's own buffer, which appending can move: fold a copy.
    if (text.length() != 0 && text.data() >= fData && text.data() < fData + fCapacity) {
        CXString copy(text);
        if (copy.length() != text.length())
            return false;
        return AppendCaseFoldedUTF8(copy);
    }
    size_t pos = 0;
    while (pos < text.length()) {
        CXStringArgument rest(text.data() + pos, text.length() - pos);
        uint32_t codePoint;
        size_t count;
        bool ok;
        if (rest.DecodeUTF8Character(codePoint, count)) {
            ok = AppendCaseFolded(codePoint);
            pos += count;
        } else {
            ok = AppendCharacter(text.data()[pos]);
            pos += 1;
        }
        if (!ok)
            return false;
    }
    return true;
}

int CXStringArgument::CompareNoCase(const CXStringArgument& other, bool asciiOnly) const
{
    const unsigned char* a = reinterpret_cast<const unsigned char*>(fData);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(other.fData);
    for (size_t i = 0;; ++i) {
        unsigned int ca = i < fLength ? a[i] : 0;
        unsigned int cb = i < other.fLength ? b[i] : 0;
        if (!asciiOnly && (ca >= 0x80 || cb >= 0x80)) {
            CXStringEdit foldedA;
            CXStringEdit foldedB;
            (void)foldedA.AppendCaseFoldedUTF8(*this);
            (void)foldedB.AppendCaseFoldedUTF8(other);
            return CXStringArgument(foldedA).CompareNoCase(foldedB, true);
        }
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

bool EqualsNoCase(const CXStringArgument& a, const CXStringArgument& b)
{
    return a.CompareNoCase(b) == 0;
}

bool CXString::EqualsNoCase(const CXStringArgument& other) const
{
    return CXStringArgument(*this).CompareNoCase(other) == 0;
}
