#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXThread.h"
#include "streams/CXStreamFIFO.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class CXStreamMultiplexerStream;

// Carries numbered channels over one transport stream, on a thread of its own that reads the
// transport. The frames (integers big-endian): 1 and a 32-bit id opens a channel, 2 and an id
// closes it, 3, an id, a 32-bit length and that many bytes carries data to it; any other command
// byte is logged and passed over. Data for a channel that is not open is skipped.
//
// The transport is borrowed and must lock internally: its writes come from the channels' threads
// while this thread reads it, and stopping closes it from the stopping thread to end a read that
// is blocked (a FIFO, a pipe or a TCP stream does this).
class CXStreamMultiplexer : public CXThread {
public:
    explicit CXStreamMultiplexer(CXStream* transport);
    // Stops.
    ~CXStreamMultiplexer() override;

    // Ends the thread: closes the transport, waits, then closes every channel handed out (its
    // reader sees end of data), deletes the others, and forgets the transport.
    void Stop() override;

    // Opens a channel from this side (sends the open frame) and hands it to the caller; an open
    // channel of that id is replaced. Null once stopped.
    std::unique_ptr<CXStreamMultiplexerStream> OpenChannel(uint32_t id);
    // Hands the caller a channel that the peer opened and nobody took yet; null when there is
    // none of that id.
    std::unique_ptr<CXStreamMultiplexerStream> TakeChannel(uint32_t id);

    void Proc() override;

private:
    friend class CXStreamMultiplexerStream;
    struct Entry {
        CXStreamMultiplexerStream* channel;
        bool handedOut; // the application owns it: only closed here, never deleted
    };

    // Under the lock: detaches the channel from this multiplexer and closes it; a channel not
    // handed out goes into doomed, to be deleted once the lock is released.
    void Detach(const Entry& entry, std::vector<CXStreamMultiplexerStream*>& doomed);
    void DetachAll(std::vector<CXStreamMultiplexerStream*>& doomed);

    CXStream* fTransport;
    // Shared with the channels, which may outlive this object.
    std::shared_ptr<CXMutex> fLock;
    std::map<uint32_t, Entry> fChannels;
};

// One channel of a multiplexer. Reads come from what the peer sent on the channel; a write sends
// one data frame. Once the multiplexer stops or goes away, reads end and writes fail (-11).
class CXStreamMultiplexerStream : public CXStream {
public:
    // Sends the close frame when still open and attached, and leaves the multiplexer.
    ~CXStreamMultiplexerStream() override;

    uint32_t GetChannelId() const { return fChannelId; }

    uint64_t GetSize() override;
    // Takes kCapsNonBlocking only.
    void SetCaps(uint32_t value, uint32_t mask) override;
    // Sends the close frame (once) and ends reading.
    CXResultCode Close() override;

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    uint64_t VirtualRead(void* buffer, uint64_t size) override;

private:
    friend class CXStreamMultiplexer;
    CXStreamMultiplexerStream(CXStreamMultiplexer* multiplexer, uint32_t id, std::shared_ptr<CXMutex> lock);
    // Under the lock: the close frame.
    void SendClose();

    std::shared_ptr<CXMutex> fLock;
    CXStreamMultiplexer* fMultiplexer; // null once detached
    uint32_t fChannelId;
    CXStreamFIFO fInbound;
    bool fClosed = false;
};
