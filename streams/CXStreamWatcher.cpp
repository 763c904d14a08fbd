#include "streams/CXStreamWatcher.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamTCP.h"

#include <atomic>

namespace {

std::atomic<CXStreamWatcher::IdleWait> gIdleWait{nullptr};

} // namespace

bool CXStreamWatcherRequest::Wait()
{
    CXRecursiveMutexLocker lock(&fLock);
    if (fDone)
        return true;
    if (fWatcher == nullptr) {
        CXDebugError("CXStreamWatcherRequest::Wait> request not queued");
        return false;
    }
    if (CXThread::GetCurrentThread() == fWatcher) {
        CXDebugError("CXStreamWatcherRequest::Wait> called on the watcher's own thread");
        return false;
    }
    while (!fDone)
        fLock.Wait();
    return true;
}

bool CXStreamWatcherRequest::IsDone()
{
    CXRecursiveMutexLocker lock(&fLock);
    return fDone;
}

void CXStreamWatcherRequest::Complete()
{
    CXRecursiveMutexLocker lock(&fLock);
    fDone = true;
    fLock.NotifyOne();
}

CXStreamWatcher::CXStreamWatcher()
    : CXThread("CXStreamWatcher")
{
}

CXStreamWatcher::~CXStreamWatcher()
{
    Stop();
}

void CXStreamWatcher::SetIdleWaitForTesting(IdleWait wait)
{
    gIdleWait.store(wait, std::memory_order_release);
}

void CXStreamWatcher::Watch(Kind kind, CXStream* stream, const CXAutoReference<CXStreamWatcherCallback>& callback)
{
    if (stream == nullptr || !callback || (kind != kWatchData && kind != kWatchClosed)) {
        CXDebugError("CXStreamWatcher::Watch> bad entry (kind %d)", int(kind));
        return;
    }
    CXMutexLocker lock(&fLock);
    fEntries.push_back(Entry{kind, stream, callback});
    fWake.Set();
}

void CXStreamWatcher::QueueRequest(CXStreamWatcherRequest& request)
{
    Queue(&request, false);
}

void CXStreamWatcher::QueueRequest(std::unique_ptr<CXStreamWatcherRequest> request)
{
    if (request == nullptr) {
        CXDebugError("CXStreamWatcher::QueueRequest> null request");
        return;
    }
    Queue(request.release(), true);
}

void CXStreamWatcher::Queue(CXStreamWatcherRequest* request, bool handedOver)
{
    {
        CXRecursiveMutexLocker requestLock(&request->fLock);
        request->fHandedOver = handedOver;
        request->fWatcher = this;
    }
    {
        CXMutexLocker lock(&fLock);
        // The loop serves what is queued once more after it has seen the stop request, under
        // this lock; anything queued later is served here.
        if (IsRunning() && !IsStopRequested()) {
            fRequests.push_back(request);
            fWake.Set();
            return;
        }
    }
    Serve(request);
}

void CXStreamWatcher::Stop()
{
    if (IsRunning()) {
        RequestStop();
        fWake.Set();
    }
    CXThread::Stop();
}

void CXStreamWatcher::Proc()
{
    while (!IsStopRequested()) {
        // A wake-up that comes during the pass is kept for the wait after it.
        fWake.Reset();
        bool fired = CallReadyEntries();
        bool served = ServeQueuedRequests();
        if (!fired && !served && !IsStopRequested())
            WaitIdle();
    }
    (void)ServeQueuedRequests();
}

namespace {

bool IsReady(CXStreamWatcher::Kind kind, CXStream* stream)
{
    if (kind == CXStreamWatcher::kWatchClosed)
        return (stream->GetCaps() & CXStream::kCapsOpen) == 0;
    // A socket's GetSize knows nothing of what is waiting to be received.
    if (CXStreamTCP* tcp = dynamic_cast<CXStreamTCP*>(stream))
        return tcp->HasData();
    return stream->GetSize() != 0;
}

} // namespace

bool CXStreamWatcher::CallReadyEntries()
{
    // Tested and called on a copy, outside the lock: the streams' own locks are never taken
    // under it, and callbacks may add entries and queue requests. Only this thread removes
    // entries, so every stream in the copy stays watched until the requests of this pass.
    std::vector<Entry> entries;
    {
        CXMutexLocker lock(&fLock);
        entries = fEntries;
    }
    bool fired = false;
    for (const Entry& entry : entries) {
        if (IsStopRequested())
            break;
        if (!IsReady(entry.kind, entry.stream))
            continue;
        fired = true;
        entry.callback->StreamReady(entry.stream);
    }
    return fired;
}

bool CXStreamWatcher::ServeQueuedRequests()
{
    std::vector<CXStreamWatcherRequest*> requests;
    {
        CXMutexLocker lock(&fLock);
        requests.swap(fRequests);
    }
    for (CXStreamWatcherRequest* request : requests)
        Serve(request);
    return !requests.empty();
}

void CXStreamWatcher::Serve(CXStreamWatcherRequest* request)
{
    {
        std::vector<Entry> removed;
        if (!request->fKeep) {
            CXMutexLocker lock(&fLock);
            TakeEntriesOf(request->fStream, removed);
        }
        // The callbacks go here, with no lock held: a callback's destructor may use the watcher.
    }
    if (request->fHandedOver)
        delete request;
    else
        request->Complete();
}

void CXStreamWatcher::TakeEntriesOf(const CXStream* stream, std::vector<Entry>& taken)
{
    auto kept = fEntries.begin();
    for (auto entry = fEntries.begin(); entry != fEntries.end(); ++entry) {
        if (entry->stream == stream) {
            taken.push_back(std::move(*entry));
            continue;
        }
        if (kept != entry)
            *kept = std::move(*entry);
        ++kept;
    }
    fEntries.erase(kept, fEntries.end());
}

void CXStreamWatcher::WaitIdle()
{
    if (IdleWait wait = gIdleWait.load(std::memory_order_acquire)) {
        wait(fWake);
        return;
    }
    (void)fWake.WaitFor(kIdleWaitMilliseconds);
}
