#pragma once

#include "foundation/CXEvent.h"
#include "foundation/CXMutex.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <vector>

// The process-wide pool of worker threads, with two job queues: jobs posted with PostJob run on a
// worker, jobs posted with PostMainThreadJob run on the main thread, from the host's idle pass on
// the main thread's task host or inline while the main thread waits. Each job carries an owner,
// and WaitForJobs(owner) waits until every job of that owner has finished. The pool starts with
// one worker and grows on demand, one worker per 100 ms that a job waits, to at most eight.
//
// Threads: the main thread (posting, main-thread jobs, waiting), the host's dispatch thread and
// the workers. The host's locks are never held together, and jobs run with none of them held.
class CXWorkerHost : public CXThread, public CXTask {
public:
    using Job = std::function<void()>;

    // The host, made on first use from any thread. A host that was shut down before is reported
    // ("CXWorkerHost::GetSingleton> host was previously shut down") and made anew.
    static CXWorkerHost* GetSingleton();
    // Deletes the host (program end): stops the dispatch thread and every worker, each finishing
    // the job it runs; jobs still queued are dropped.
    static void Shutdown();

    // Queues a job for a worker.
    void PostJob(const void* owner, Job callable);
    // Queues a job for the main thread; it runs at the next idle pass or main-thread wait.
    void PostMainThreadJob(const void* owner, Job callable);
    // Returns when no job of the owner is queued or running, or as soon as keepWaiting (when given)
    // answers false. A job is counted from posting until it has run and its callable is
    // destroyed. On the main thread, main-thread jobs of every owner keep running while it waits,
    // so a worker job that asks the main thread and is itself waited for cannot dead-lock. On
    // another thread, queued worker jobs of the owner are run inline.
    void WaitForJobs(const void* owner, const std::function<bool()>& keepWaiting = {});

    // The dispatch thread's body.
    void Proc() override;
    // Asks the dispatch thread to stop, wakes it and waits until it has ended; it deletes the
    // workers before it ends.
    void Stop() override;
    // Main-thread pass: runs main-thread jobs until the queue is empty, including jobs that the
    // running jobs post.
    void Idle() override;

    int32_t GetWorkerCount();

    // Test seam: the timed wait for an idle worker, which normally waits on the idle event for
    // 100 ms (the pool grows by one worker after each such wait that found none). Null restores
    // it.
    using IdleWait = void (*)(CXEvent& idleEvent);
    static void SetIdleWaitForTesting(IdleWait wait);

    static constexpr int32_t kMaximumWorkers = 8;
    static constexpr uint32_t kIdleWaitMilliseconds = 100;

private:
    class WorkerThread;
    struct JobRecord {
        Job callable;
        const void* owner = nullptr;
    };
    struct Requirement {
        int32_t minThreads;
        int32_t maxThreads;
    };

    CXWorkerHost();
    ~CXWorkerHost() override;

    // Sizes the pool to the requirements: at least the largest minimum, at most the largest
    // maximum.
    void UpdateThreads();
    // Makes and starts a worker when the pool has fewer than `limit`; false when it has not.
    bool AddWorkerBelow(int32_t limit);
    // An idle worker, waiting for one and (with allowCreate, from the second try on) growing the
    // pool up to its ceiling. Null once a stop has been requested.
    WorkerThread* GetIdleWorker(bool allowCreate);
    void ReturnIdleWorker(WorkerThread* worker);
    // Stops and deletes every worker (dispatch thread ended).
    void DeleteWorkers();
    // Takes the first queued job of the owner (of any owner when anyOwner is set).
    bool TakeJob(std::deque<JobRecord>& queue, const void* owner, bool anyOwner, JobRecord& job);
    // Runs a job with no lock held, destroys its callable, then drops its owner's count.
    void RunJob(JobRecord& job);
    void FinishJob(const void* owner);

    CXMutex fJobLock;
    CXEvent fWorkEvent;
    std::deque<JobRecord> fWorkerQueue;
    std::deque<JobRecord> fMainQueue;
    std::map<const void*, int32_t> fPending;
    CXMutex fThreadsLock;
    std::set<WorkerThread*> fThreads;
    CXMutex fIdleLock;
    CXEvent fIdleEvent;
    std::vector<WorkerThread*> fIdleThreads;
    std::map<const void*, Requirement> fRequirements;
    int32_t fMaxThreads = kMaximumWorkers;
};

// A job-based object: Schedule runs Run once on a worker, with the object as the job's owner.
// A subclass calls Wait() in its own destructor, before its members go; the base destructor's
// wait comes too late for a Run that uses them.
class CXWorkerThread {
public:
    CXWorkerThread() = default;
    // Waits for the object's jobs.
    virtual ~CXWorkerThread();
    CXWorkerThread(const CXWorkerThread&) = delete;
    CXWorkerThread& operator=(const CXWorkerThread&) = delete;

    virtual void Schedule();
    // Returns when every scheduled Run has finished.
    virtual void Wait();
    virtual void Run() = 0;
};

// Runs its callables one at a time, in the order they were added, as worker jobs owned by the
// chain.
class CXWorkerChain {
public:
    CXWorkerChain() = default;
    // Waits until the callables still queued have run.
    ~CXWorkerChain();
    CXWorkerChain(const CXWorkerChain&) = delete;
    CXWorkerChain& operator=(const CXWorkerChain&) = delete;

    // Queues a callable; starts a step on a worker when none is running.
    void Post(std::function<void()> callable);

private:
    void Step();

    CXMutex fLock;
    bool fRunning = false;
    std::deque<std::function<void()>> fQueue;
};
