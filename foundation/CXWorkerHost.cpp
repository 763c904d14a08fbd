#include "foundation/CXWorkerHost.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFiber.h"

#include <algorithm>
#include <atomic>

// A worker: waits on its wake event for a job handed over by the dispatch thread, runs it and
// offers itself as idle again.
class CXWorkerHost::WorkerThread : public CXThread {
public:
    WorkerThread(CXWorkerHost* host, int32_t number)
        : CXThread(CXString::FromFormat("CXWorkerHost::WorkerThread:%d", static_cast<int>(number)))
        , fHost(host)
    {
    }
    ~WorkerThread() override { Stop(); }

    void Proc() override;
    void Stop() override
    {
        if (!IsRunning())
            return;
        RequestStop();
        fWakeEvent.Set();
        StopAndWait();
    }

    // Written by the dispatch thread before it sets the wake event, read by the worker after.
    Job fJob;
    const void* fJobOwner = nullptr;
    CXEvent fWakeEvent;

private:
    CXWorkerHost* fHost;
};

namespace {

std::atomic<CXWorkerHost*> gHost{nullptr};
std::atomic<bool> gShutDown{false};
std::atomic<int32_t> gWorkerNumber{0};
std::atomic<CXWorkerHost::IdleWait> gIdleWait{nullptr};

CXMutex& CreationLock()
{
    static CXMutex* lock = new CXMutex;
    return *lock;
}

[[maybe_unused]] CXMutex& gEarlyCreationLock = CreationLock();

} // namespace

void CXWorkerHost::WorkerThread::Proc()
{
    while (!IsStopRequested()) {
        fHost->ReturnIdleWorker(this);
        fWakeEvent.Wait();
        fWakeEvent.Reset();
        if (fJob) {
            JobRecord job{std::move(fJob), fJobOwner};
            fJob = nullptr;
            fJobOwner = nullptr;
            fHost->RunJob(job);
        }
    }
}

CXWorkerHost* CXWorkerHost::GetSingleton()
{
    CXWorkerHost* host = gHost.load(std::memory_order_acquire);
    if (host != nullptr)
        return host;
    CXMutexLocker lock(&CreationLock());
    host = gHost.load(std::memory_order_relaxed);
    if (host == nullptr) {
        if (gShutDown.load(std::memory_order_relaxed))
            CXDebugError("CXWorkerHost::GetSingleton> host was previously shut down");
        host = new CXWorkerHost;
        gHost.store(host, std::memory_order_release);
    }
    return host;
}

void CXWorkerHost::Shutdown()
{
    CXWorkerHost* host;
    {
        CXMutexLocker lock(&CreationLock());
        host = gHost.exchange(nullptr, std::memory_order_acq_rel);
        gShutDown.store(true, std::memory_order_relaxed);
    }
    // Outside the lock: a job that asks for the host while it is being deleted must not block the
    // deletion, which waits for that job.
    delete host;
}

void CXWorkerHost::SetIdleWaitForTesting(IdleWait wait)
{
    gIdleWait.store(wait, std::memory_order_release);
}

CXWorkerHost::CXWorkerHost()
    : CXThread(CXString("CXWorkerHost"))
    , CXTask("CXWorkerHost")
{
    fRequirements[nullptr] = Requirement{1, kMaximumWorkers};
    UpdateThreads();
    Start();
    CXTaskHost::GetThreadTaskHost(CXThread::GetMainThreadId())->AddTask(this);
}

CXWorkerHost::~CXWorkerHost()
{
    Stop();
    DetachFromHost();
    // The dispatch thread deletes the workers when it ends; these are left only when it never ran.
    DeleteWorkers();
}

void CXWorkerHost::Stop()
{
    if (!IsRunning())
        return;
    RequestStop();
    fWorkEvent.Set();
    StopAndWait();
}

void CXWorkerHost::UpdateThreads()
{
    int32_t wanted = 1;
    {
        CXMutexLocker lock(&fThreadsLock);
        int32_t ceiling = 1;
        for (const auto& requirement : fRequirements) {
            wanted = std::max(wanted, requirement.second.minThreads);
            ceiling = std::max(ceiling, requirement.second.maxThreads);
        }
        fMaxThreads = ceiling;
    }
    while (AddWorkerBelow(wanted)) {
    }
    for (;;) {
        {
            CXMutexLocker lock(&fThreadsLock);
            if (static_cast<int32_t>(fThreads.size()) <= fMaxThreads)
                break;
        }
        WorkerThread* worker = GetIdleWorker(false);
        if (worker == nullptr)
            break;
        {
            CXMutexLocker lock(&fThreadsLock);
            fThreads.erase(worker);
        }
        delete worker;
    }
}

bool CXWorkerHost::AddWorkerBelow(int32_t limit)
{
    CXMutexLocker lock(&fThreadsLock);
    if (static_cast<int32_t>(fThreads.size()) >= limit)
        return false;
    WorkerThread* worker = new WorkerThread(this, gWorkerNumber.fetch_add(1) + 1);
    fThreads.insert(worker);
    worker->Start();
    return true;
}

CXWorkerHost::WorkerThread* CXWorkerHost::GetIdleWorker(bool allowCreate)
{
    for (int attempt = 0;; ++attempt) {
        WorkerThread* worker = nullptr;
        {
            CXMutexLocker lock(&fIdleLock);
            if (!fIdleThreads.empty()) {
                worker = fIdleThreads.back();
                fIdleThreads.pop_back();
            }
            if (fIdleThreads.empty())
                fIdleEvent.Reset();
        }
        if (worker != nullptr)
            return worker;
        if (IsStopRequested())
            return nullptr;
        int32_t ceiling;
        {
            CXMutexLocker lock(&fThreadsLock);
            ceiling = fMaxThreads;
        }
        // Never on the first try: a busy pool gets one wait's time to free a worker.
        if (attempt > 0 && allowCreate)
            (void)AddWorkerBelow(ceiling);
        IdleWait wait = gIdleWait.load(std::memory_order_acquire);
        if (wait != nullptr)
            wait(fIdleEvent);
        else
            (void)fIdleEvent.WaitFor(kIdleWaitMilliseconds);
    }
}

void CXWorkerHost::ReturnIdleWorker(WorkerThread* worker)
{
    CXMutexLocker lock(&fIdleLock);
    fIdleThreads.push_back(worker);
    fIdleEvent.Set();
}

void CXWorkerHost::Proc()
{
    for (;;) {
        fWorkEvent.Wait();
        if (IsStopRequested())
            break;
        WorkerThread* worker = GetIdleWorker(true);
        if (worker == nullptr)
            break;
        JobRecord job;
        bool haveJob = TakeJob(fWorkerQueue, nullptr, true, job);
        if (haveJob) {
            worker->fJob = std::move(job.callable);
            worker->fJobOwner = job.owner;
            worker->fWakeEvent.Set();
        } else {
            ReturnIdleWorker(worker);
        }
    }
    DeleteWorkers();
}

void CXWorkerHost::DeleteWorkers()
{
    // Each worker finishes the job it runs; the idle list is not used after this.
    std::set<WorkerThread*> workers;
    {
        CXMutexLocker lock(&fThreadsLock);
        workers.swap(fThreads);
    }
    for (WorkerThread* worker : workers)
        delete worker;
    CXMutexLocker lock(&fIdleLock);
    fIdleThreads.clear();
}

void CXWorkerHost::PostJob(const void* owner, Job callable)
{
    CXMutexLocker lock(&fJobLock);
    ++fPending[owner];
    fWorkerQueue.push_back(JobRecord{std::move(callable), owner});
    fWorkEvent.Set();
}

void CXWorkerHost::PostMainThreadJob(const void* owner, Job callable)
{
    CXMutexLocker lock(&fJobLock);
    ++fPending[owner];
    fMainQueue.push_back(JobRecord{std::move(callable), owner});
}

bool CXWorkerHost::TakeJob(std::deque<JobRecord>& queue, const void* owner, bool anyOwner, JobRecord& job)
{
    CXMutexLocker lock(&fJobLock);
    auto it = queue.begin();
    if (!anyOwner)
        it = std::find_if(queue.begin(), queue.end(), [owner](const JobRecord& record) { return record.owner == owner; });
    if (it == queue.end())
        return false;
    job = std::move(*it);
    queue.erase(it);
    if (&queue == &fWorkerQueue && queue.empty() && !IsStopRequested())
        fWorkEvent.Reset();
    return true;
}

void CXWorkerHost::RunJob(JobRecord& job)
{
    job.callable();
    // Destroyed before the count drops: a waiter may free what the callable holds.
    job.callable = nullptr;
    FinishJob(job.owner);
}

void CXWorkerHost::FinishJob(const void* owner)
{
    CXMutexLocker lock(&fJobLock);
    auto it = fPending.find(owner);
    if (it == fPending.end()) {
        CXDebugError("CXWorkerHost::FinishJob> owner has no pending job");
        return;
    }
    if (--it->second <= 0)
        fPending.erase(it);
}

void CXWorkerHost::Idle()
{
    JobRecord job;
    while (TakeJob(fMainQueue, nullptr, true, job))
        RunJob(job);
}

int32_t CXWorkerHost::GetWorkerCount()
{
    CXMutexLocker lock(&fThreadsLock);
    return static_cast<int32_t>(fThreads.size());
}

void CXWorkerHost::WaitForJobs(const void* owner, const std::function<bool()>& keepWaiting)
{
    CXFiber* fiber = CXFiber::GetCurrentFiber();
    // Compared directly: IsMainThread would adopt the caller as main thread before CXInit.
    bool onMainThread = CXThread::GetCurrentThreadId() == CXThread::GetMainThreadId();
    // Hands control to the fiber's owner; a fiber that should exit is not used again.
    auto fiberSleep = [&fiber]() {
        if (fiber->WantToExit())
            fiber = nullptr;
        else
            (void)CXFiber::Sleep();
    };
    for (;;) {
        {
            CXMutexLocker lock(&fJobLock);
            if (fPending.find(owner) == fPending.end())
                return;
        }
        JobRecord job;
        if (!onMainThread) {
            if (fiber != nullptr) {
                fiberSleep();
            } else {
                if (TakeJob(fWorkerQueue, owner, false, job))
                    RunJob(job);
                CXThread::Sleep(10);
            }
        } else if (fiber == nullptr && TakeJob(fMainQueue, owner, false, job)) {
            RunJob(job);
            CXThread::Sleep(10);
        } else {
            if (TakeJob(fMainQueue, nullptr, true, job))
                RunJob(job);
            if (fiber != nullptr)
                fiberSleep();
            else
                CXThread::Sleep(10);
        }
        if (keepWaiting && !keepWaiting())
            return;
    }
}

CXWorkerThread::~CXWorkerThread()
{
    CXWorkerThread::Wait();
}

void CXWorkerThread::Schedule()
{
    CXWorkerHost::GetSingleton()->PostJob(this, [this]() { Run(); });
}

void CXWorkerThread::Wait()
{
    CXWorkerHost::GetSingleton()->WaitForJobs(this);
}

CXWorkerChain::~CXWorkerChain()
{
    CXWorkerHost::GetSingleton()->WaitForJobs(this);
}

void CXWorkerChain::Post(std::function<void()> callable)
{
    bool start;
    {
        CXMutexLocker lock(&fLock);
        fQueue.push_back(std::move(callable));
        start = !fRunning;
        fRunning = true;
    }
    if (start)
        CXWorkerHost::GetSingleton()->PostJob(this, [this]() { Step(); });
}

void CXWorkerChain::Step()
{
    std::function<void()> callable;
    {
        CXMutexLocker lock(&fLock);
        if (fQueue.empty()) {
            fRunning = false;
            return;
        }
        callable = std::move(fQueue.front());
        fQueue.pop_front();
    }
    callable();
    callable = nullptr;
    bool more;
    {
        CXMutexLocker lock(&fLock);
        more = !fQueue.empty();
        if (!more)
            fRunning = false;
    }
    // Posted while this step still counts as pending, so a waiter never sees the chain idle
    // between two steps.
    if (more)
        CXWorkerHost::GetSingleton()->PostJob(this, [this]() { Step(); });
}
