#include "win32/user/Queue.h"

#include "foundation/CXMutex.h"
#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/user/GLSurface.h"
#include "win32/user/MenuState.h"
#include "win32/user/QueueState.h"
#include "win32/user/WindowState.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <vector>

namespace win32 {

namespace user {

namespace {

struct Posted {
    MSG msg;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    int64_t period;
    int64_t due;
    TIMERPROC procedure;
};

struct QueueState {
    CXMutex lock;
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
    // UI thread only.
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimerId = 1;
    DirtyWindowSource dirtySource = nullptr;
};

QueueState& Queue()
{
    static QueueState* state = new QueueState();
    return *state;
}

constexpr int64_t kNanosecondsPerMillisecond = 1000000;

DWORD MessageTime()
{
    return GetTickCount();
}

bool InRange(UINT message, UINT filterMin, UINT filterMax)
{
    if (filterMin == 0 && filterMax == 0)
        return true;
    return message >= filterMin && message <= filterMax;
}

// A window filter takes the window and its descendants; a null filter takes everything.
bool InWindow(HWND hwnd, HWND filter)
{
    if (filter == nullptr)
        return true;
    Window* window = PeekWindow(hwnd);
    Window* ancestor = PeekWindow(filter);
    return window != nullptr && ancestor != nullptr && IsInside(window, ancestor);
}

bool TakePosted(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    QueueState& queue = Queue();
    CXMutexLocker locker(&queue.lock);
    for (auto it = queue.posted.begin(); it != queue.posted.end();) {
        // Posts to windows that died since are dropped.
        if (it->hwnd != nullptr && PeekWindow(it->hwnd) == nullptr) {
            it = queue.posted.erase(it);
            continue;
        }
        if (InRange(it->message, filterMin, filterMax) && (filter == nullptr || InWindow(it->hwnd, filter))) {
            *msg = *it;
            if (remove)
                queue.posted.erase(it);
            return true;
        }
        ++it;
    }
    if (queue.quit) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, MessageTime(), CurrentPointer()};
        if (remove)
            queue.quit = false;
        return true;
    }
    return false;
}

bool TakePaint(MSG* msg, HWND filter, UINT filterMin, UINT filterMax)
{
    QueueState& queue = Queue();
    if (!InRange(WM_PAINT, filterMin, filterMax))
        return false;
    InvalidateFreshGLSurfaces();
    HWND dirty = queue.dirtySource != nullptr ? queue.dirtySource() : DirtyTopLevel();
    if (dirty == nullptr || PeekWindow(dirty) == nullptr || !InWindow(dirty, filter))
        return false;
    *msg = MSG{dirty, WM_PAINT, 0, 0, MessageTime(), CurrentPointer()};
    return true;
}

bool TakeTimer(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    QueueState& queue = Queue();
    if (!InRange(WM_TIMER, filterMin, filterMax))
        return false;
    int64_t now = core::NowNanoseconds();
    Timer* best = nullptr;
    for (Timer& timer : queue.timers) {
        if (timer.due > now)
            continue;
        if (filter != nullptr && !InWindow(timer.hwnd, filter))
            continue;
        if (best == nullptr || timer.due < best->due)
            best = &timer;
    }
    if (best == nullptr)
        return false;
    *msg = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->procedure), MessageTime(),
               CurrentPointer()};
    // However late, one message; the next period runs from now.
    if (remove)
        best->due = now + best->period;
    return true;
}

// The earliest due time of the timers the filter lets through. A due one passing the filter is
// taken before anyone waits, so a filtered-out due timer never turns a wait into a spin.
int64_t NextDueFor(HWND filter, UINT filterMin, UINT filterMax)
{
    if (!InRange(WM_TIMER, filterMin, filterMax))
        return INT64_MAX;
    int64_t due = INT64_MAX;
    for (const Timer& timer : Queue().timers) {
        if (filter == nullptr || InWindow(timer.hwnd, filter))
            due = std::min(due, timer.due);
    }
    return due;
}

bool TakeMessage(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    if (TakePosted(msg, filter, filterMin, filterMax, remove) || TakeInput(msg, filter, filterMin, filterMax, remove))
        return true;
    // Input that reached no window may still have posted (the WM_MOUSELEAVE of a tracked window).
    return TakePosted(msg, filter, filterMin, filterMax, remove) || TakePaint(msg, filter, filterMin, filterMax) ||
           TakeTimer(msg, filter, filterMin, filterMax, remove);
}

void ClearQueue()
{
    QueueState& queue = Queue();
    {
        CXMutexLocker locker(&queue.lock);
        queue.posted.clear();
        queue.quit = false;
    }
    queue.timers.clear();
    queue.nextThreadTimerId = 1;
    core::ClearInput();
    ResetInputState();
}

bool gShutdownStepAdded = false;

void EnsureShutdownStep()
{
    if (!gShutdownStepAdded) {
        gShutdownStepAdded = true;
        core::AddShutdownStep(&ClearQueue);
    }
}

} // namespace

void DropQueued(Window* window)
{
    QueueState& queue = Queue();
    HWND hwnd = window->handle;
    {
        CXMutexLocker locker(&queue.lock);
        queue.posted.erase(std::remove_if(queue.posted.begin(), queue.posted.end(),
                                          [hwnd](const MSG& m) { return m.hwnd == hwnd; }),
                           queue.posted.end());
    }
    queue.timers.erase(std::remove_if(queue.timers.begin(), queue.timers.end(),
                                      [hwnd](const Timer& t) { return t.hwnd == hwnd; }),
                       queue.timers.end());
    InputWindowGone(window);
}

bool PostInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    QueueState& queue = Queue();
    {
        CXMutexLocker locker(&queue.lock);
        queue.posted.push_back(MSG{hwnd, message, wParam, lParam, MessageTime(), CurrentPointer()});
    }
    if (Backend* backend = GetBackend())
        backend->Wake();
    return true;
}

} // namespace user

using namespace user;

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsInitialized()) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    if (hwnd != nullptr &&
        core::Handles().Find(core::HandleValue(hwnd), core::HandleKind::Window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return PostInternal(hwnd, message, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageW(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode)
{
    if (!core::CheckUIThread("PostQuitMessage"))
        return;
    QueueState& queue = Queue();
    {
        CXMutexLocker locker(&queue.lock);
        queue.quit = true;
        queue.quitCode = exitCode;
    }
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!core::CheckUIThread("GetMessageW"))
        return -1;
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    EnsureShutdownStep();
    for (;;) {
        if (TakeMessage(msg, hwnd, filterMin, filterMax, true))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        GetBackend()->Wait(NextDueFor(hwnd, filterMin, filterMax));
    }
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    return GetMessageW(msg, hwnd, filterMin, filterMax);
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove)
{
    if (!core::CheckUIThread("PeekMessageW"))
        return FALSE;
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    EnsureShutdownStep();
    return TakeMessage(msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove)
{
    return PeekMessageW(msg, hwnd, filterMin, filterMax, remove);
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (!core::CheckUIThread("DispatchMessageW"))
        return 0;
    if (msg == nullptr)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto procedure = reinterpret_cast<TIMERPROC>(msg->lParam);
        procedure(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (msg->hwnd == nullptr)
        return 0;
    Window* window = FindWindow(msg->hwnd);
    if (window == nullptr)
        return 0;
    // The queue's WM_PAINT of a dirty top-level window is its paint pass.
    if (msg->message == WM_PAINT && window->parent == nullptr && RunPaintPass(window))
        return 0;
    // A press on the menu bar runs the bar's menu; the window's procedures never see it.
    if (msg->message == WM_NCLBUTTONDOWN && msg->wParam == static_cast<WPARAM>(HTMENU) && HasBar(window)) {
        TrackBarMenu(window, {GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)});
        return 0;
    }
    return Dispatch(window, msg->message, msg->wParam, msg->lParam);
}

LRESULT DispatchMessageA(const MSG* msg)
{
    return DispatchMessageW(msg);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC procedure)
{
    if (!core::CheckUIThread("SetTimer"))
        return 0;
    if (hwnd != nullptr && FindWindow(hwnd) == nullptr)
        return 0;
    EnsureShutdownStep();
    QueueState& queue = Queue();
    elapse = std::clamp(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    int64_t period = static_cast<int64_t>(elapse) * kNanosecondsPerMillisecond;
    int64_t due = core::NowNanoseconds() + period;
    auto found = std::find_if(queue.timers.begin(), queue.timers.end(),
                              [hwnd, id](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (found != queue.timers.end() && (hwnd != nullptr || id != 0)) {
        found->period = period;
        found->due = due;
        found->procedure = procedure;
        return hwnd != nullptr && id == 0 ? 1 : id;
    }
    if (hwnd == nullptr) {
        // A thread timer with an id of no timer gets a fresh id, never 0 nor one in use.
        auto inUse = [&queue](UINT_PTR candidate) {
            return std::any_of(queue.timers.begin(), queue.timers.end(), [candidate](const Timer& t) {
                return t.hwnd == nullptr && t.id == candidate;
            });
        };
        do {
            id = queue.nextThreadTimerId++;
            if (queue.nextThreadTimerId == 0 || queue.nextThreadTimerId > 0x7FFF)
                queue.nextThreadTimerId = 1;
        } while (inUse(id));
    }
    queue.timers.push_back(Timer{hwnd, id, period, due, procedure});
    return hwnd != nullptr && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    if (!core::CheckUIThread("KillTimer"))
        return FALSE;
    if (hwnd != nullptr && FindWindow(hwnd) == nullptr)
        return FALSE;
    QueueState& queue = Queue();
    auto found = std::find_if(queue.timers.begin(), queue.timers.end(),
                              [hwnd, id](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (found == queue.timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    queue.timers.erase(found);
    return TRUE;
}

int64_t NextTimerDue()
{
    int64_t due = INT64_MAX;
    for (const Timer& timer : Queue().timers)
        due = std::min(due, timer.due);
    return due;
}

void SetDirtyWindowSource(DirtyWindowSource source)
{
    Queue().dirtySource = source;
}

void ResetQueueForTesting()
{
    ClearQueue();
}

} // namespace win32
