#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXThread.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <vector>

class CXTaskHost;

// A named object whose Idle is called again and again by the task host of one thread.
//
// A subclass removes itself from its host in its own destructor (DetachFromHost) before its
// members go: a pass on another thread could otherwise idle it half-destroyed. The host's pass
// lock makes that removal wait for a running pass.
class CXTask {
public:
    explicit CXTask(const char* name) : fName(name) {}
    virtual ~CXTask();
    CXTask(const CXTask&) = delete;
    CXTask& operator=(const CXTask&) = delete;

    virtual void Idle() = 0;

    // Takes a subtask off this task (and off the host); a task that is not a child is reported
    // and taken off all the same.
    void RemoveSubtask(CXTask* task);
    // Makes a task a subtask of this one (the caller adds it to a host, or adds this task later).
    void AttachSubtask(CXTask* task);
    // Removes the task from its host, if it has one.
    void DetachFromHost();

    CXTaskHost* GetHost() const { return fHost.load(std::memory_order_acquire); }
    CXTask* GetParent() const { return fParent; }
    const char* GetName() const { return fName; }

private:
    friend class CXTaskHost;
    std::atomic<CXTaskHost*> fHost{nullptr};
    CXTask* fParent = nullptr;
    std::vector<CXTask*> fSubtasks;
    const char* fName;
};

// The tasks of one thread, idled one pass at a time. Tasks may be added and removed from any
// thread; a task added during a pass is idled from the next pass on. Lock order: the pass lock,
// then the pending lock.
class CXTaskHost {
public:
    CXTaskHost() = default;
    virtual ~CXTaskHost();
    CXTaskHost(const CXTaskHost&) = delete;
    CXTaskHost& operator=(const CXTaskHost&) = delete;

    // Adds the task and its subtasks. A task already on a host is reported and stays there.
    void AddTask(CXTask* task);
    // Removes the task and its subtasks; waits for a pass running on another thread.
    void RemoveTask(CXTask* task);
    // One idle pass over the tasks, in the order they were added. A pass started from inside a
    // pass is reported and does nothing. A task whose Idle takes more than 500 ms is reported.
    void IdleTasks();

    size_t GetTaskCount();

    // The host of a thread; a thread without one is reported and given a new one.
    static CXTaskHost* GetThreadTaskHost(uint64_t threadId);
    static CXTaskHost* GetCurrentThreadTaskHost();
    // Makes (reports when there is one already) or deletes the calling thread's host.
    static void InitCurrentThreadTaskHost();
    static void ExitCurrentThreadTaskHost();

private:
    friend class CXTask;
    void RemoveOne(CXTask* task);

    std::vector<CXTask*> fTasks;
    std::set<CXTask*> fPendingAdds;
    CXMutex fPendingLock;
    std::atomic<int32_t> fIdleIndex{-1};
    CXRecursiveMutex fTasksLock;
};

// A thread that idles its own task host every `interval` milliseconds until asked to stop.
class TaskHostThread : public CXThread, public CXTaskHost {
public:
    TaskHostThread();
    ~TaskHostThread() override;
    void Proc() override;

private:
    uint32_t fInterval = 5;
};
