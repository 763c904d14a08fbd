#pragma once

#include "foundation/CXGenericEvent.h"
#include "foundation/CXLinkedList.h"
#include "foundation/CXString.h"

#include <atomic>
#include <cstdint>

// Base of every thread the program starts; the subclass's Proc is the thread body. Started
// threads are kept in a process-wide list, each thread knows its CXThread, and the program's end
// reports threads still allocated.
//
// A subclass whose Proc uses its own members must stop the thread in its own destructor
// (StopAndWait), before those members are destroyed; the base destructor can only wait for a body
// whose object is already half gone.
class CXThread : public CXGenericEventSource, public CXLinkedListNode {
public:
    explicit CXThread(const CXString& name);
    ~CXThread() override;

    // Events: 0 stop requested, 1 not running, 2 running; any other condition is always set.
    CXGenericEvent* CreateEvent(int condition) override;

    virtual void Proc() = 0;
    // Starts the body on a new thread; its id is known when Start returns. A running thread is
    // reported and not started again.
    virtual void Start();
    // Asks the body to stop and waits until it has returned. A body that never looks at
    // IsStopRequested keeps Stop waiting.
    virtual void Stop();

    uint32_t GetThreadId() const { return fThreadId.load(std::memory_order_acquire); }
    const CXString& GetName() const { return fName; }
    bool IsRunning() const { return fRunning.load(std::memory_order_acquire) != 0; }
    bool IsStopRequested() const { return fStopRequested.load(std::memory_order_acquire) != 0; }
    void RequestStop() { fStopRequested.store(1, std::memory_order_release); }
    int32_t GetMode() const { return fMode; }

    // Registers the calling thread as the main thread (once; a call from another thread is
    // reported and re-registers).
    static void CXInit();
    // Program end: reports every thread still listed and sets their stop requests.
    static void CXShutdown();
    static bool IsMainThread();
    static bool IsInitialised();
    static uint32_t GetMainThreadId();
    // The CXThread running the caller, null on the main thread and foreign threads.
    static CXThread* GetCurrentThread();
    static uint32_t GetCurrentThreadId();
    static void Sleep(uint32_t milliseconds);
    // Cooperative yielding is not supported here; reported.
    static void Yield();

protected:
    // Stop() for destructors of subclasses.
    void StopAndWait();

    std::atomic<uint8_t> fRunning{0};
    std::atomic<uint8_t> fStopRequested{0};

private:
    static void Run(CXThread* thread);
    void WaitUntilFinished();

    CXString fName;
    int32_t fMode = 1;
    uint64_t fStackSize = 4096;
    std::atomic<uint32_t> fThreadId{0};
};

// Host side of threads (CXThreadLinux.cpp): starts a detached thread running body(argument);
// returns false when the thread could not be made.
bool CXThreadHostStart(void (*body)(void*), void* argument);
// Names the calling thread for debuggers (cut to what the host allows).
void CXThreadHostSetName(const char* name);
