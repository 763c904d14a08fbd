#pragma once

#include "foundation/CXEvent.h"
#include "foundation/CXMutex.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXThread.h"
#include "streams/CXStream.h"

#include <cstdint>
#include <memory>
#include <vector>

class CXStreamWatcher;

// Told by a CXStreamWatcher that a watched stream is ready. Called on the watcher's thread with
// none of the watcher's locks held: it may add entries and queue requests, but must not wait for
// a request or stop the watcher (the loop would wait for itself).
class CXStreamWatcherCallback : public DynamicReferenceCount {
public:
    virtual void StreamReady(CXStream* stream) = 0;
};

// A request to a CXStreamWatcher, served after the entries of a pass: unless it keeps them, every
// entry of its stream is removed and their callbacks released; then the request is completed
// (Wait returns) or, when it was handed over, deleted. Once served, the watcher no longer touches
// the stream. A request with keep set only marks the end of a pass; its stream may then be null.
// Each request is queued once.
class CXStreamWatcherRequest {
public:
    explicit CXStreamWatcherRequest(CXStream* stream, bool keep = false)
        : fStream(stream)
        , fKeep(keep)
    {
    }
    // Virtual for requests handed over: a subclass may hold what must live until the request is
    // served, such as the stream itself.
    virtual ~CXStreamWatcherRequest() = default;
    CXStreamWatcherRequest(const CXStreamWatcherRequest&) = delete;
    CXStreamWatcherRequest& operator=(const CXStreamWatcherRequest&) = delete;

    // Waits until the request has been served and returns true. One thread waits on a request.
    // Returns false at once, reported, for a request never queued and on the watcher's own thread
    // (in a callback), where the wait could never end.
    [[nodiscard]] bool Wait();
    bool IsDone();

private:
    friend class CXStreamWatcher;
    // Sets the done flag and wakes the waiter; the request may be gone as soon as this returns.
    void Complete();

    CXStream* fStream;
    bool fKeep;
    bool fHandedOver = false;             // deleted once served instead of completed
    CXConditionMutex fLock;                // guards the two below
    bool fDone = false;
    const CXThread* fWatcher = nullptr;    // set when queued
};

// Polls streams on a thread of its own. Each pass walks the watch entries and calls the callback
// of every entry whose condition holds, then serves the queued requests. After a pass in which
// nothing happened (no callback called, no request served) the loop waits 100 ms, or less when an
// entry is added, a request queued or a stop asked for.
//
// Conditions are tested on every pass, not on changes: an entry fires on each pass while its
// condition holds, so its callback reads what is there or drops the entry with a request.
//
// Streams are borrowed and must outlive their entries. To let a stream go, queue a request for it
// and Wait for it (from any thread but the watcher's), or, from a callback, hand over a request
// that keeps the stream alive until it is deleted.
class CXStreamWatcher : public CXThread {
public:
    enum Kind : uint8_t {
        // The stream has data to read: for a TCP stream a read would not block (HasData), for any
        // other a non-zero GetSize (the bytes queued, for a FIFO, pipe or channel).
        kWatchData = 0,
        // The stream's open bit is clear.
        kWatchClosed = 1,
    };

    CXStreamWatcher();
    // Stops; releases the callbacks of the entries left.
    ~CXStreamWatcher() override;

    // Adds an entry, tested from the next pass on; from any thread, callbacks included. The
    // watcher holds a reference to the callback until the entry is removed. A null stream or
    // callback, or an unknown kind, is reported and nothing is added. Entries stay over a stop.
    void Watch(Kind kind, CXStream* stream, const CXAutoReference<CXStreamWatcherCallback>& callback);

    // Queues a request that the caller owns and keeps alive until it is served (Wait, IsDone).
    void QueueRequest(CXStreamWatcherRequest& request);
    // Queues a request that the watcher deletes once served; a callback's way of dropping entries
    // without waiting. A null request is reported.
    //
    // For both: while the loop is not running (not started, stopping or stopped) the request is
    // served at once on the caller's thread, so no request is left waiting.
    void QueueRequest(std::unique_ptr<CXStreamWatcherRequest> request);

    // Asks the loop to stop, wakes it and waits until it has ended; requests still queued are
    // served before it ends.
    void Stop() override;
    void Proc() override;

    static constexpr uint32_t kIdleWaitMilliseconds = 100;

    // Test seam: the wait after a pass in which nothing happened, which normally waits on the
    // wake event for 100 ms. Null restores it.
    using IdleWait = void (*)(CXEvent& wake);
    static void SetIdleWaitForTesting(IdleWait wait);

private:
    struct Entry {
        Kind kind;
        CXStream* stream;
        CXAutoReference<CXStreamWatcherCallback> callback;
    };

    void Queue(CXStreamWatcherRequest* request, bool handedOver);
    // One pass over the entries; true when a callback was called.
    bool CallReadyEntries();
    // Serves the requests queued so far; true when there were any.
    bool ServeQueuedRequests();
    void Serve(CXStreamWatcherRequest* request);
    // Under fLock: moves the entries of the stream out of the list.
    void TakeEntriesOf(const CXStream* stream, std::vector<Entry>& taken);
    void WaitIdle();

    CXMutex fLock; // guards the entries and the queue
    std::vector<Entry> fEntries;
    std::vector<CXStreamWatcherRequest*> fRequests;
    CXEvent fWake;
};
