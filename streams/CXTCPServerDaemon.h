#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "streams/CXStreamTCP.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// What serves one accepted connection of a CXTCPServerDaemon; it runs however it likes (usually
// on a thread of its own) and says when it is done.
class CXTCPConnectionHandler {
public:
    virtual ~CXTCPConnectionHandler() = default;
    // True once the handler has ended its work and may be deleted.
    virtual bool IsFinished() = 0;
    // Asks the handler to end soon (closing its stream wakes a blocked read).
    virtual void RequestStop() = 0;
};

// An accept loop on a thread of its own. Each new connection goes to the factory, and a handler it
// returns is kept until, on a pass of the task host the daemon is added to, it reports finished.
// The destructor stops everything: the loop, then every handler still alive.
class CXTCPServerDaemon : public CXThread, public CXTask {
public:
    // May return null (the connection is then dropped with its stream).
    using HandlerFactory = std::function<std::unique_ptr<CXTCPConnectionHandler>(CXTCPServerDaemon&, std::unique_ptr<CXStreamTCP>)>;

    explicit CXTCPServerDaemon(HandlerFactory factory);
    ~CXTCPServerDaemon() override;

    // Binds and listens (port 0 picks a free one); Start then runs the loop. Returns the
    // listener's result.
    CXResultCode Listen(const IPv4Address& address);
    uint16_t GetPort() const { return fPort; }

    void Proc() override;
    // Deletes the handlers that report finished.
    void Idle() override;
    size_t GetHandlerCount();

private:
    std::unique_ptr<CXStreamTCP> fListener;
    HandlerFactory fFactory;
    CXMutex fHandlersLock;
    std::vector<std::unique_ptr<CXTCPConnectionHandler>> fHandlers;
    uint16_t fPort = 0;
};
