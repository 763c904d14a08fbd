#pragma once

#include "foundation/CXArray.h"
#include "foundation/CXLinkedList.h"
#include "foundation/CXMutex.h"
#include "foundation/CXString.h"
#include "foundation/CXThread.h"

#include <cstdint>

class DNSResolverCore;

// A name to resolve in the background. Owned by the queue once queued: a worker resolves the
// host name, calls Complete with the dotted-quad text (empty on failure) and deletes the request.
class DNSResolverRequest {
public:
    explicit DNSResolverRequest(const CXString& hostName) : fHostName(hostName) {}
    virtual ~DNSResolverRequest() = default;
    // Called on a worker thread, outside the core's lock.
    virtual void Complete(const CXString& address) = 0;

    CXString fHostName;
};

// A worker serving the core's queue until it finds the queue empty. It never deletes itself (the
// thread machinery still touches the object after Proc returns): the core frees ended workers.
class DNSResolverThread : public CXThread {
public:
    explicit DNSResolverThread(DNSResolverCore& core);
    ~DNSResolverThread() override;
    void Proc() override;

    // The worker's link in its core's lists (the thread's own node belongs to the thread registry).
    struct Link : CXLinkedListNode {
        DNSResolverThread* owner = nullptr;
    };
    Link fLink;

private:
    DNSResolverCore& fCore;
};

// Turns host names into IPv4 dotted-quad text, synchronously (Resolver, safe on any number of
// threads at once) or through a queue served by at most 8 worker threads.
class DNSResolverCore {
public:
    static constexpr int32_t kMaximumWorkers = 8;

    DNSResolverCore();
    // Waits until every worker has ended, frees them, and deletes requests never served.
    virtual ~DNSResolverCore();
    DNSResolverCore(const DNSResolverCore&) = delete;
    DNSResolverCore& operator=(const DNSResolverCore&) = delete;

    // The dotted-quad text for the name, or empty on failure. A canonical dotted quad is its own
    // answer and "localhost" (any case) is 127.0.0.1; other names are looked up, a failure logged
    // as "DNSResolverCore::Resolver> domain='%s' err=%d".
    virtual void Resolver(const CXString& name, CXString& address);
    // Takes ownership of the request and returns at once; starts a worker when fewer than 8 run.
    // Frees workers that have ended.
    virtual void QueueRequest(DNSResolverRequest* request);

    // Workers running now.
    int32_t GetWorkerCount();

private:
    friend class DNSResolverThread;
    // Under fLock: deletes ended workers whose threads are gone.
    void FreeEndedWorkers();

    CXMutex fLock;
    Array<DNSResolverRequest*> fRequests{128};
    CXLinkedListHead fWorkers;
    CXLinkedListHead fEndedWorkers;
    int32_t fWorkerCount = 0;
};

// Host side (DNSResolverCoreLinux.cpp): the first IPv4 address of the name, network order, in
// bytes. Returns 0, or the lookup's error code (nothing is logged).
int DNSResolverHostLookup(const char* name, uint8_t (&address)[4], bool& isIPv4);
