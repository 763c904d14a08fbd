#pragma once

#include "foundation/CXEvent.h"
#include "foundation/CXThread.h"

#include <atomic>
#include <functional>

// A cooperative hand-off between two threads: the owner thread resumes the fiber and waits; the
// fiber runs on a thread of its own until it sleeps (handing control back) or its function
// returns (handing it back for good). Exactly one of the two runs at a time.
class CXFiber {
public:
    using Function = std::function<void(CXFiber* fiber, void* data)>;

    // Makes the fiber's thread; the function starts at the first Resume.
    CXFiber(CXThread* owner, Function function, void* data);
    // Asks the fiber to exit, resumes it until its function has returned, then ends its thread.
    ~CXFiber();
    CXFiber(const CXFiber&) = delete;
    CXFiber& operator=(const CXFiber&) = delete;

    // Owner side: runs the fiber until it sleeps or ends. True while it can be resumed again.
    bool Resume();
    bool IsRunning() const { return fRunning.load(std::memory_order_acquire) != 0; }

    // True when the fiber should end: its owner is gone or asked to stop, or the fiber is being
    // destroyed. Reported when called from a thread that is neither owner nor fiber.
    bool WantToExit();

    // The fiber running on the calling thread, or null.
    static CXFiber* GetCurrentFiber();
    // Fiber side: hands control back to the owner and waits to be resumed. False (at once) when
    // the fiber should exit, or outside a fiber (reported).
    static bool Sleep();
    // The fiber's thread id inside a fiber, else the calling thread's.
    static uint32_t GetFiberThreadId();

private:
    class FiberThread : public CXThread {
    public:
        explicit FiberThread(CXFiber* fiber) : CXThread(CXString("CXFiber")), fFiber(fiber) {}
        ~FiberThread() override { StopAndWait(); }
        void Proc() override;

    private:
        CXFiber* fFiber;
    };

    CXThread* fOwner;
    FiberThread* fFiberThread;
    CXEvent fFiberEvent;
    CXEvent fOwnerEvent;
    std::atomic<uint8_t> fRunning{1};
    std::atomic<bool> fExitRequested{false};
    Function fFunction;
    void* fData;
};
