#include "streams/DNSResolverCore.h"

#include "foundation/CXDebug.h"
#include "streams/IPv4Address.h"

DNSResolverThread::DNSResolverThread(DNSResolverCore& core) : CXThread("DNSResolver"), fCore(core)
{
    fLink.owner = this;
}

DNSResolverThread::~DNSResolverThread()
{
    StopAndWait();
}

void DNSResolverThread::Proc()
{
    while (!IsStopRequested()) {
        DNSResolverRequest* request = nullptr;
        {
            CXMutexLocker locker(&fCore.fLock);
            if (fCore.fRequests.count() == 0)
                break;
            request = fCore.fRequests[0];
            fCore.fRequests.Remove(uint64_t(0));
        }
        CXString address;
        fCore.Resolver(request->fHostName, address);
        request->Complete(address);
        delete request;
    }
    CXMutexLocker locker(&fCore.fLock);
    fCore.fWorkers.Remove(fLink);
    fCore.fEndedWorkers.InsertLast(fLink);
    --fCore.fWorkerCount;
}

DNSResolverCore::DNSResolverCore() = default;

DNSResolverCore::~DNSResolverCore()
{
    for (;;) {
        {
            CXMutexLocker locker(&fLock);
            if (fWorkerCount == 0)
                break;
        }
        CXThread::Sleep(100);
    }
    // An ended worker is off the lists before its thread has quite finished: wait for that.
    for (;;) {
        CXMutexLocker locker(&fLock);
        FreeEndedWorkers();
        if (fEndedWorkers.IsEmpty())
            break;
        CXThread::Sleep(1);
    }
    for (uint64_t i = 0; i < fRequests.count(); ++i)
        delete fRequests[i];
}

void DNSResolverCore::FreeEndedWorkers()
{
    for (CXLinkedListNode* node = fEndedWorkers.first(); node != nullptr;) {
        CXLinkedListNode* next = node->next();
        DNSResolverThread* worker = static_cast<DNSResolverThread::Link*>(node)->owner;
        if (!worker->IsRunning()) {
            fEndedWorkers.Remove(*node);
            delete worker;
        }
        node = next;
    }
}

void DNSResolverCore::QueueRequest(DNSResolverRequest* request)
{
    CXMutexLocker locker(&fLock);
    FreeEndedWorkers();
    fRequests.Append(request);
    if (fWorkerCount < kMaximumWorkers) {
        auto* worker = new DNSResolverThread(*this);
        fWorkers.InsertLast(worker->fLink);
        ++fWorkerCount;
        worker->Start();
    }
}

int32_t DNSResolverCore::GetWorkerCount()
{
    CXMutexLocker locker(&fLock);
    return fWorkerCount;
}

void DNSResolverCore::Resolver(const CXString& name, CXString& address)
{
    CXString canonical = IPv4AddressToText(IPv4AddressFromText(name, 0));
    if (canonical == name) {
        address = name;
        return;
    }
    if (name.EqualsNoCase("localhost")) {
        address = "127.0.0.1";
        return;
    }
    uint8_t bytes[4] = {0, 0, 0, 0};
    bool isIPv4 = false;
    int error = DNSResolverHostLookup(name.c_str(), bytes, isIPv4);
    if (error != 0) {
        address.Clear();
        CXDebugLog("DNSResolverCore::Resolver> domain='%s' err=%d", name.c_str(), error);
        return;
    }
    if (!isIPv4) {
        address.Clear();
        return;
    }
    address = CXString::FromFormat("%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
}
