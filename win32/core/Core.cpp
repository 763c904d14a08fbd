#include "win32/core/Core.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"
#include "foundation/CXNativeSync.h"
#include "win32/api/Constants.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <vector>

namespace win32 {

namespace {

std::atomic<Backend*> gBackend{nullptr};
std::atomic<uint32_t> gUIThread{0};
std::atomic<Clock> gClock{nullptr};
thread_local DWORD tLastError = 0;

// The program's module: any stable, non-null value that cannot be a handle of the table.
char gModuleAnchor;

struct RefusalLog {
    CXMutex lock;
    std::set<std::string> functions;
};

RefusalLog& Refusals()
{
    static RefusalLog* log = new RefusalLog();
    return *log;
}

std::vector<core::StartupCheck>& StartupChecks()
{
    static std::vector<core::StartupCheck> checks;
    return checks;
}

std::vector<void (*)()>& StartupSteps()
{
    static std::vector<void (*)()> steps;
    return steps;
}

std::vector<void (*)()>& ShutdownSteps()
{
    static std::vector<void (*)()> steps;
    return steps;
}

HMODULE ProgramModule()
{
    return reinterpret_cast<HMODULE>(&gModuleAnchor);
}

} // namespace

bool Initialize(Backend* backend, const Options&, std::string* problem)
{
    auto refuse = [problem](const std::string& why) {
        CXDebugLog("win32::Initialize> %s", why.c_str());
        if (problem != nullptr)
            *problem = why;
        return false;
    };
    if (backend == nullptr)
        return refuse("no backend");
    if (IsInitialized())
        return refuse("already initialised");
    for (core::StartupCheck check : StartupChecks()) {
        std::string why;
        if (!check(&why))
            return refuse(why);
    }
    Backend* expected = nullptr;
    if (!gBackend.compare_exchange_strong(expected, backend))
        return refuse("already initialised");
    gUIThread.store(CXGetCurrentThreadId());
    for (void (*step)() : StartupSteps())
        step();
    return true;
}

void Shutdown()
{
    if (!IsInitialized())
        return;
    if (!core::CheckUIThread("win32::Shutdown"))
        return;
    std::vector<void (*)()>& steps = ShutdownSteps();
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        (*step)();
    core::ClearInput();
    gUIThread.store(0);
    gBackend.store(nullptr);
}

bool IsInitialized()
{
    return gBackend.load() != nullptr;
}

Backend* GetBackend()
{
    return gBackend.load();
}

DWORD GetLastError()
{
    return tLastError;
}

void SetLastError(DWORD error)
{
    tLastError = error;
}

DWORD GetCurrentThreadId()
{
    return CXGetCurrentThreadId();
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(static_cast<uint64_t>(core::NowNanoseconds() / 1000000));
}

void SetClockForTesting(Clock clock)
{
    gClock.store(clock);
}

HMODULE GetModuleHandleW(LPCWSTR moduleName)
{
    if (moduleName != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return ProgramModule();
}

HMODULE LoadLibraryW(LPCWSTR fileName)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ProgramModule();
}

BOOL FreeLibrary(HMODULE module)
{
    return module != nullptr ? TRUE : FALSE;
}

namespace core {

int64_t NowNanoseconds()
{
    Clock clock = gClock.load();
    return clock != nullptr ? clock() : CXMonotonicNanoseconds();
}

bool CheckUIThread(const char* function)
{
    uint32_t uiThread = gUIThread.load();
    if (uiThread != 0 && uiThread == CXGetCurrentThreadId())
        return true;
    SetLastError(ERROR_INVALID_THREAD_ID);
    RefusalLog& log = Refusals();
    bool first;
    {
        CXMutexLocker locker(&log.lock);
        first = log.functions.insert(std::string(function) + (uiThread == 0 ? "#init" : "")).second;
    }
    if (first) {
        if (uiThread == 0)
            CXDebugLog("%s> the layer is not initialised", function);
        else
            CXDebugLog("%s> not on the UI thread", function);
    }
    return false;
}

bool IsUIThread()
{
    uint32_t uiThread = gUIThread.load();
    return uiThread != 0 && uiThread == CXGetCurrentThreadId();
}

void AddShutdownStep(void (*step)())
{
    std::vector<void (*)()>& steps = ShutdownSteps();
    if (std::find(steps.begin(), steps.end(), step) == steps.end())
        steps.push_back(step);
}

void AddStartupStep(void (*step)())
{
    std::vector<void (*)()>& steps = StartupSteps();
    if (step != nullptr && std::find(steps.begin(), steps.end(), step) == steps.end())
        steps.push_back(step);
}

void AddStartupCheck(StartupCheck check)
{
    std::vector<StartupCheck>& checks = StartupChecks();
    if (check != nullptr && std::find(checks.begin(), checks.end(), check) == checks.end())
        checks.push_back(check);
}

} // namespace core

} // namespace win32
