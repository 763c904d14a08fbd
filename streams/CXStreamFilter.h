#pragma once

#include "foundation/CXLinkedList.h"
#include "foundation/CXString.h"
#include "streams/CXStream.h"

#include <cstdint>
#include <vector>

// Finds occurrences of something in a stream, reading it from its current place on. Each match
// found is kept by the filter until the stream changes or the filter goes; a caller may delete
// one earlier (it leaves the filter's list itself).
class CXStreamFilter {
public:
    class FilterMatch : public CXLinkedListNode {
    public:
        explicit FilterMatch(int64_t position) : fPosition(position) {}
        ~FilterMatch();
        FilterMatch(const FilterMatch&) = delete;
        FilterMatch& operator=(const FilterMatch&) = delete;
        // Where the match begins: the stream's position when the filter was given the stream,
        // plus the bytes the filter has read since.
        int64_t GetPosition() const { return fPosition; }

    private:
        int64_t fPosition;
    };

    CXStreamFilter() = default;
    // Deletes the matches still kept.
    virtual ~CXStreamFilter();
    CXStreamFilter(const CXStreamFilter&) = delete;
    CXStreamFilter& operator=(const CXStreamFilter&) = delete;

    // The stream to search (borrowed); deletes every match kept.
    virtual void SetStream(CXStream* stream);
    // Reads on to the next match; null when the stream ends first (or there is no stream).
    virtual FilterMatch* Search() = 0;

protected:
    FilterMatch* AddMatch(int64_t position);
    void DeleteMatches();
    // Reads from the stream, counting the bytes into fPosition.
    uint64_t ReadCounted(void* buffer, uint64_t size);

    CXStream* fStream = nullptr;
    int64_t fPosition = 0;

private:
    CXLinkedListHead fMatches;
};

// Finds a byte string. Each search starts afresh where the last one stopped, so the matches it
// finds do not overlap. An empty pattern matches at once.
class CXStreamStringFilter : public CXStreamFilter {
public:
    explicit CXStreamStringFilter(const CXString& pattern);

    FilterMatch* Search() override;

private:
    CXString fPattern;
    std::vector<uint8_t> fRing; // the last bytes read, as many as the pattern has
};
