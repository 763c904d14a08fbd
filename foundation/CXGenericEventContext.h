#pragma once

#include "foundation/CXArray.h"
#include "foundation/CXGenericEvent.h"
#include "foundation/CXMutex.h"
#include "foundation/CXTask.h"

#include <functional>

struct CXGenericEventHandler;

// A handler's answer is a result code; 1 keeps it registered, anything else removes it.
using CXGenericEventHandlerFunction = int (*)(void* owner, void* data, CXGenericEventHandler* record);
using CXGenericEventHandlerCallable = std::function<int()>;

struct CXGenericEventHandler {
    CXGenericEventRef ref;
    void* owner = nullptr;
    CXGenericEventHandlerFunction function = nullptr;
    CXGenericEventHandlerCallable callable;
    void* data = nullptr;
};

// Runs registered handlers when their events are set.
class CXGenericEventContext {
public:
    virtual ~CXGenericEventContext() = default;
    virtual void AddHandler(const CXGenericEventRef& ref, void* owner, CXGenericEventHandlerCallable callable) = 0;
    virtual void AddHandler(const CXGenericEventRef& ref, void* owner, CXGenericEventHandlerFunction function, void* data) = 0;
    virtual void RemoveHandler(const CXGenericEventRef& ref, void* owner) = 0;
    virtual void RemoveHandlers(void* owner, CXGenericEventHandlerFunction function, void* data) = 0;
    virtual void RemoveHandlers(void* owner) = 0;
};

// The context that is a task: each idle pass calls the handler of every set event, on the thread
// of the host it was added to, with its lock held (a handler may add and remove handlers). A
// removed handler is freed only after the pass, so a handler may remove itself while it runs.
class CXGenericEventContextManual : public CXGenericEventContext, public CXTask {
public:
    // Adds itself to the calling thread's task host.
    CXGenericEventContextManual();
    ~CXGenericEventContextManual() override;

    // The process-wide context, made on first use (on the calling thread's host).
    static CXGenericEventContextManual* GetSingleton();
    // Deletes the process-wide context (program end).
    static void DeleteSingleton();

    void AddHandler(const CXGenericEventRef& ref, void* owner, CXGenericEventHandlerCallable callable) override;
    // Does nothing when the same event, owner, function and data are registered already.
    void AddHandler(const CXGenericEventRef& ref, void* owner, CXGenericEventHandlerFunction function, void* data) override;
    void RemoveHandler(const CXGenericEventRef& ref, void* owner) override;
    void RemoveHandlers(void* owner, CXGenericEventHandlerFunction function, void* data) override;
    void RemoveHandlers(void* owner) override;

    uint64_t GetHandlerCount();

    void Idle() override;

private:
    template <class Match>
    void RemoveMatching(Match match);
    void RemoveAt(uint64_t index);

    CXRecursiveMutex fLock;
    Array<CXGenericEventHandler*> fHandlers;
    uint64_t fPassIndex = 0;
    bool fCurrentRemoved = false;
    bool fInPass = false;
    std::vector<CXGenericEventHandler*> fRetired;
    uint64_t fLastPassStamp = 0;
};
