#include "streams/CXTCPServerDaemon.h"

#include "foundation/CXDebug.h"

#include <algorithm>

CXTCPServerDaemon::CXTCPServerDaemon(HandlerFactory factory)
    : CXThread("CXTCPServerDaemon"), CXTask("CXTCPServerDaemon"), fListener(std::make_unique<CXStreamTCP>()), fFactory(std::move(factory))
{
}

CXTCPServerDaemon::~CXTCPServerDaemon()
{
    DetachFromHost();
    RequestStop();
    (void)fListener->Close(); // wakes the blocked accept
    StopAndWait();
    fListener.reset();
    CXMutexLocker locker(&fHandlersLock);
    for (auto& handler : fHandlers)
        handler->RequestStop();
    for (auto& handler : fHandlers)
        while (!handler->IsFinished())
            CXThread::Sleep(1);
    fHandlers.clear();
}

CXResultCode CXTCPServerDaemon::Listen(const IPv4Address& address)
{
    CXResultCode result = fListener->Listen(address);
    if (result == kCXOK)
        fPort = IPv4AddressPort(fListener->GetLocalAddress());
    return result;
}

void CXTCPServerDaemon::Proc()
{
    while (!IsStopRequested()) {
        std::unique_ptr<CXStreamTCP> stream = fListener->AcceptNew();
        if (stream == nullptr) {
            if (IsStopRequested())
                break;
            CXDebugLog("CXTCPServerDaemon::Proc> AcceptNew() on port %d failed. Retrying.", int(fPort));
            CXThread::Sleep(500);
            continue;
        }
        std::unique_ptr<CXTCPConnectionHandler> handler = fFactory(*this, std::move(stream));
        if (handler != nullptr) {
            CXMutexLocker locker(&fHandlersLock);
            fHandlers.push_back(std::move(handler));
        }
    }
}

void CXTCPServerDaemon::Idle()
{
    CXMutexLocker locker(&fHandlersLock);
    fHandlers.erase(std::remove_if(fHandlers.begin(), fHandlers.end(), [](const auto& handler) { return handler->IsFinished(); }),
                    fHandlers.end());
}

size_t CXTCPServerDaemon::GetHandlerCount()
{
    CXMutexLocker locker(&fHandlersLock);
    return fHandlers.size();
}
