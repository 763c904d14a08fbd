#include "foundation/CXTask.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"

#include <algorithm>
#include <map>

CXTask::~CXTask()
{
    if (!fSubtasks.empty())
        CXDebugError("~CXTask> subtasks are still attached");
    if (fParent != nullptr)
        fParent->RemoveSubtask(this);
    DetachFromHost();
}

void CXTask::AttachSubtask(CXTask* task)
{
    task->fParent = this;
    fSubtasks.push_back(task);
}

void CXTask::DetachFromHost()
{
    CXTaskHost* host = GetHost();
    if (host != nullptr)
        host->RemoveTask(this);
}

void CXTask::RemoveSubtask(CXTask* task)
{
    if (task->fParent != this)
        CXDebugError("CXTask::RemoveSubtask> subtask not child of this task");
    CXTaskHost* host = GetHost();
    if (host != nullptr)
        host->fTasksLock.LockMutex();
    auto it = std::find(fSubtasks.begin(), fSubtasks.end(), task);
    if (it != fSubtasks.end())
        fSubtasks.erase(it);
    task->fParent = nullptr;
    if (host != nullptr) {
        host->RemoveTask(task);
        host->fTasksLock.UnlockMutex();
    }
}

CXTaskHost::~CXTaskHost()
{
    fTasksLock.LockMutex();
    if (!fTasks.empty()) {
        CXDebugError("~CXTaskHost> some tasks are still active on this host");
        for (CXTask* task : fTasks)
            CXDebugLog("  > %s", task->GetName());
    }
    fTasksLock.UnlockMutex();
    for (;;) {
        fTasksLock.LockMutex();
        CXTask* first = fTasks.empty() ? nullptr : fTasks.front();
        fTasksLock.UnlockMutex();
        if (first == nullptr)
            break;
        RemoveTask(first);
    }
    fPendingLock.LockMutex();
    std::vector<CXTask*> pending(fPendingAdds.begin(), fPendingAdds.end());
    fPendingLock.UnlockMutex();
    for (CXTask* task : pending)
        RemoveTask(task);
}

void CXTaskHost::AddTask(CXTask* task)
{
    CXTaskHost* expected = nullptr;
    fPendingLock.LockMutex();
    bool added = task->fHost.compare_exchange_strong(expected, this, std::memory_order_acq_rel);
    if (added)
        fPendingAdds.insert(task);
    fPendingLock.UnlockMutex();
    if (!added) {
        CXDebugError("CXTaskHost::AddTask> task '%s' already added to a host", task->GetName());
        return;
    }
    for (CXTask* subtask : task->fSubtasks)
        AddTask(subtask);
}

void CXTaskHost::RemoveOne(CXTask* task)
{
    fPendingLock.LockMutex();
    CXTaskHost* self = this;
    task->fHost.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
    fPendingAdds.erase(task);
    fPendingLock.UnlockMutex();
    fTasksLock.LockMutex();
    auto it = std::find(fTasks.begin(), fTasks.end(), task);
    if (it != fTasks.end())
        fTasks.erase(it);
    fTasksLock.UnlockMutex();
}

void CXTaskHost::RemoveTask(CXTask* task)
{
    RemoveOne(task);
    for (auto it = task->fSubtasks.rbegin(); it != task->fSubtasks.rend(); ++it)
        RemoveTask(*it);
}

size_t CXTaskHost::GetTaskCount()
{
    fPendingLock.LockMutex();
    size_t pending = fPendingAdds.size();
    fPendingLock.UnlockMutex();
    fTasksLock.LockMutex();
    size_t count = fTasks.size() + pending;
    fTasksLock.UnlockMutex();
    return count;
}

void CXTaskHost::IdleTasks()
{
    if (fIdleIndex.load(std::memory_order_acquire) != -1) {
        CXDebugLog("CXTaskHost::IdleTasks> reentrance attempted");
        return;
    }
    // The merge happens under the pass lock, so a removal on another thread either finds the task
    // still pending or waits for the pass and then finds it in the list.
    fTasksLock.LockMutex();
    fPendingLock.LockMutex();
    fTasks.insert(fTasks.end(), fPendingAdds.begin(), fPendingAdds.end());
    fPendingAdds.clear();
    fPendingLock.UnlockMutex();
    fIdleIndex.store(0, std::memory_order_release);
    for (;;) {
        int32_t index = fIdleIndex.load(std::memory_order_relaxed);
        if (index < 0 || static_cast<size_t>(index) >= fTasks.size())
            break;
        CXTask* task = fTasks[static_cast<size_t>(index)];
        fIdleIndex.store(index + 1, std::memory_order_relaxed);
        int64_t before = CXTime::GetPerformanceMilliseconds();
        task->Idle();
        int64_t after = CXTime::GetPerformanceMilliseconds();
        uint32_t elapsed = static_cast<uint32_t>(after - before);
        if (elapsed > 500)
            CXDebugLog("CXTask::Idle took %dms on '%s'", static_cast<int>(elapsed), task->GetName());
    }
    fIdleIndex.store(-1, std::memory_order_release);
    fTasksLock.UnlockMutex();
}

namespace {

struct HostMap {
    CXCriticalSection lock;
    std::map<uint64_t, CXTaskHost*> hosts;
};

HostMap& Hosts()
{
    static HostMap* map = new HostMap;
    return *map;
}

[[maybe_unused]] HostMap& gEarlyHosts = Hosts();

} // namespace

CXTaskHost* CXTaskHost::GetThreadTaskHost(uint64_t threadId)
{
    HostMap& map = Hosts();
    CXCriticalSectionLocker lock(map.lock);
    CXTaskHost*& host = map.hosts[threadId];
    if (host == nullptr) {
        CXDebugLog("CXTaskHost::GetThreadTaskHost> don't have task host on this thread");
        host = new CXTaskHost;
    }
    return host;
}

CXTaskHost* CXTaskHost::GetCurrentThreadTaskHost()
{
    return GetThreadTaskHost(CXGetCurrentThreadId());
}

void CXTaskHost::InitCurrentThreadTaskHost()
{
    HostMap& map = Hosts();
    CXCriticalSectionLocker lock(map.lock);
    CXTaskHost*& host = map.hosts[CXGetCurrentThreadId()];
    if (host != nullptr) {
        CXDebugError("CXTaskHost::InitCurrentThreadTaskHost> already have task host on this thread");
        return;
    }
    host = new CXTaskHost;
}

void CXTaskHost::ExitCurrentThreadTaskHost()
{
    HostMap& map = Hosts();
    CXTaskHost* host = nullptr;
    {
        CXCriticalSectionLocker lock(map.lock);
        auto it = map.hosts.find(CXGetCurrentThreadId());
        if (it != map.hosts.end()) {
            host = it->second;
            map.hosts.erase(it);
        }
    }
    if (host == nullptr) {
        CXDebugError("CXTaskHost::InitCurrentThreadTaskHost> don't have task host on this thread");
        return;
    }
    delete host;
}

TaskHostThread::TaskHostThread()
    : CXThread(CXString("TaskHostThread"))
{
}

TaskHostThread::~TaskHostThread()
{
    StopAndWait();
}

void TaskHostThread::Proc()
{
    int32_t mode = GetMode();
    if (IsStopRequested())
        return;
    do {
        IdleTasks();
        if (mode == 1)
            CXThread::Sleep(fInterval);
        else
            CXThread::Yield();
    } while (!IsStopRequested());
}
