// Win32 kernel mutexes and manual-reset events on pthreads: a recursive mutex whose unlock by a
// non-owner is refused, and an event made of a mutex, a monotonic condition variable and a flag.
// Unlike kernel objects these work within one process only, which is all the program needs.
#include "foundation/CXNativeSync.h"

#include "foundation/CXTime.h"

#include <cerrno>
#include <new>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

struct EventState {
    pthread_mutex_t mutex;
    pthread_cond_t condition;
    bool set;
};

static_assert(sizeof(pthread_mutex_t) <= 48, "storage of CXNativeMutex");
static_assert(sizeof(EventState) <= 112, "storage of CXNativeEvent");

thread_local uint32_t tCurrentThreadId = 0;

timespec AbsoluteMonotonic(uint32_t timeoutMs)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_sec += timeoutMs / 1000;
    ts.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_nsec -= 1000000000L;
        ++ts.tv_sec;
    }
    return ts;
}

// Waits on the event's condition with its mutex held until the flag is set or the time is up.
bool WaitLocked(EventState& state, uint32_t timeoutMs)
{
    if (timeoutMs == CXNativeEvent::kInfinite) {
        while (!state.set)
            pthread_cond_wait(&state.condition, &state.mutex);
        return true;
    }
    timespec deadline = AbsoluteMonotonic(timeoutMs);
    while (!state.set) {
        if (pthread_cond_timedwait(&state.condition, &state.mutex, &deadline) == ETIMEDOUT)
            return state.set;
    }
    return true;
}

} // namespace

uint32_t CXGetCurrentThreadId()
{
    if (tCurrentThreadId == 0)
        tCurrentThreadId = static_cast<uint32_t>(syscall(SYS_gettid));
    return tCurrentThreadId;
}

void CXSleepMilliseconds(uint32_t milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec request{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&request, &request) < 0 && errno == EINTR) {
    }
}

int64_t CXMonotonicNanoseconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t CXMonotonicDeadlineFromFileTime(uint64_t fileTimeDeadline)
{
    int64_t now = CXMonotonicNanoseconds();
    uint64_t wallNow = static_cast<uint64_t>(CXTimeTicks::Now().GetTicks());
    if (fileTimeDeadline <= wallNow)
        return now - static_cast<int64_t>(((wallNow - fileTimeDeadline) > 0x7FFFFFFFFFFFFFull / 100 ? 0x7FFFFFFFFFFFFFull / 100 : wallNow - fileTimeDeadline) * 100);
    uint64_t ahead = fileTimeDeadline - wallNow;
    const uint64_t limit = static_cast<uint64_t>(INT64_MAX - now) / 100;
    return ahead >= limit ? INT64_MAX : now + static_cast<int64_t>(ahead * 100);
}

uint32_t CXMillisecondsUntil(int64_t monotonicDeadline, uint32_t cap)
{
    int64_t now = CXMonotonicNanoseconds();
    if (monotonicDeadline <= now)
        return 0;
    int64_t ms = (monotonicDeadline - now) / 1000000;
    return ms > static_cast<int64_t>(cap) ? cap : static_cast<uint32_t>(ms);
}

CXNativeMutex::CXNativeMutex()
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    new (fStorage) pthread_mutex_t;
    pthread_mutex_init(reinterpret_cast<pthread_mutex_t*>(fStorage), &attributes);
    pthread_mutexattr_destroy(&attributes);
}

CXNativeMutex::~CXNativeMutex()
{
    // Destroying a held mutex is undefined: the destroying holder lets go first; a mutex still
    // held by another thread is left as it is rather than destroyed under it.
    uint32_t holder = fHolder.load(std::memory_order_relaxed);
    if (holder != 0) {
        if (holder != CXGetCurrentThreadId())
            return;
        while (fDepth != 0)
            (void)Unlock();
    }
    pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(fStorage));
}

void CXNativeMutex::Lock()
{
    pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(fStorage));
    if (fDepth++ == 0)
        fHolder.store(CXGetCurrentThreadId(), std::memory_order_relaxed);
}

bool CXNativeMutex::TryLock()
{
    if (pthread_mutex_trylock(reinterpret_cast<pthread_mutex_t*>(fStorage)) != 0)
        return false;
    if (fDepth++ == 0)
        fHolder.store(CXGetCurrentThreadId(), std::memory_order_relaxed);
    return true;
}

bool CXNativeMutex::Unlock()
{
    if (fHolder.load(std::memory_order_relaxed) != CXGetCurrentThreadId())
        return false;
    if (--fDepth == 0)
        fHolder.store(0, std::memory_order_relaxed);
    return pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(fStorage)) == 0;
}

CXNativeEvent::CXNativeEvent()
{
    EventState* state = new (fStorage) EventState;
    pthread_mutex_init(&state->mutex, nullptr);
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&state->condition, &attributes);
    pthread_condattr_destroy(&attributes);
    state->set = false;
}

CXNativeEvent::~CXNativeEvent()
{
    EventState* state = reinterpret_cast<EventState*>(fStorage);
    pthread_cond_destroy(&state->condition);
    pthread_mutex_destroy(&state->mutex);
}

void CXNativeEvent::Set()
{
    EventState* state = reinterpret_cast<EventState*>(fStorage);
    pthread_mutex_lock(&state->mutex);
    state->set = true;
    pthread_cond_broadcast(&state->condition);
    pthread_mutex_unlock(&state->mutex);
}

void CXNativeEvent::Reset()
{
    EventState* state = reinterpret_cast<EventState*>(fStorage);
    pthread_mutex_lock(&state->mutex);
    state->set = false;
    pthread_mutex_unlock(&state->mutex);
}

bool CXNativeEvent::IsSet()
{
    EventState* state = reinterpret_cast<EventState*>(fStorage);
    pthread_mutex_lock(&state->mutex);
    bool set = state->set;
    pthread_mutex_unlock(&state->mutex);
    return set;
}

bool CXNativeEvent::Wait(uint32_t timeoutMs)
{
    EventState* state = reinterpret_cast<EventState*>(fStorage);
    pthread_mutex_lock(&state->mutex);
    bool set = WaitLocked(*state, timeoutMs);
    pthread_mutex_unlock(&state->mutex);
    return set;
}

bool CXNativeEvent::UnlockAndWait(CXNativeMutex& mutex, uint32_t timeoutMs)
{
    EventState* state = reinterpret_cast<EventState*>(fStorage);
    pthread_mutex_lock(&state->mutex);
    mutex.Unlock();
    bool set = WaitLocked(*state, timeoutMs);
    pthread_mutex_unlock(&state->mutex);
    return set;
}
