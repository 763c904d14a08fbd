#include "streams/CXStreamFilter.h"

#include <cstring>

CXStreamFilter::FilterMatch::~FilterMatch()
{
    if (list() != nullptr)
        list()->Remove(*this);
}

CXStreamFilter::~CXStreamFilter()
{
    DeleteMatches();
}

void CXStreamFilter::SetStream(CXStream* stream)
{
    DeleteMatches();
    fStream = stream;
    fPosition = stream != nullptr ? stream->GetPosition() : 0;
}

CXStreamFilter::FilterMatch* CXStreamFilter::AddMatch(int64_t position)
{
    FilterMatch* match = new FilterMatch(position);
    fMatches.InsertLast(*match);
    return match;
}

void CXStreamFilter::DeleteMatches()
{
    while (fMatches.first() != nullptr)
        delete static_cast<FilterMatch*>(fMatches.first());
}

uint64_t CXStreamFilter::ReadCounted(void* buffer, uint64_t size)
{
    uint64_t got = fStream->Read(buffer, size);
    fPosition += static_cast<int64_t>(got);
    return got;
}

CXStreamStringFilter::CXStreamStringFilter(const CXString& pattern)
    : fPattern(pattern)
    , fRing(pattern.length())
{
}

CXStreamFilter::FilterMatch* CXStreamStringFilter::Search()
{
    if (fStream == nullptr)
        return nullptr;
    const size_t length = fRing.size();
    if (length == 0)
        return AddMatch(fPosition);
    if (ReadCounted(fRing.data(), length) != length)
        return nullptr;
    const uint8_t* pattern = reinterpret_cast<const uint8_t*>(fPattern.c_str());
    for (size_t start = 0;;) {
        // The ring read from start: its tail, then its head.
        size_t tail = length - start;
        if (std::memcmp(fRing.data() + start, pattern, tail) == 0 && std::memcmp(fRing.data(), pattern + tail, start) == 0)
            return AddMatch(fPosition - static_cast<int64_t>(length));
        if (ReadCounted(&fRing[start], 1) != 1)
            return nullptr;
        start = (start + 1) % length;
    }
}
