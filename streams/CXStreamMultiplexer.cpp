#include "streams/CXStreamMultiplexer.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamCopy.h"

namespace {

enum : uint8_t { kCommandOpen = 1, kCommandClose = 2, kCommandData = 3 };

void PutUInt32BE(uint8_t* bytes, uint32_t value)
{
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

// Writes a command and an id, flushed.
void SendCommand(CXStream& transport, uint8_t command, uint32_t id)
{
    uint8_t frame[5] = {command};
    PutUInt32BE(frame + 1, id);
    (void)transport.Write(frame, sizeof frame);
    (void)transport.Flush(1);
}

void DeleteAll(std::vector<CXStreamMultiplexerStream*>& doomed)
{
    for (CXStreamMultiplexerStream* channel : doomed)
        delete channel;
    doomed.clear();
}

} // namespace

CXStreamMultiplexer::CXStreamMultiplexer(CXStream* transport)
    : CXThread("CXStreamMultiplexer")
    , fTransport(transport)
    , fLock(std::make_shared<CXMutex>())
{
}

CXStreamMultiplexer::~CXStreamMultiplexer()
{
    Stop();
}

void CXStreamMultiplexer::Detach(const Entry& entry, std::vector<CXStreamMultiplexerStream*>& doomed)
{
    CXStreamMultiplexerStream* channel = entry.channel;
    channel->fMultiplexer = nullptr;
    (void)channel->fInbound.Close();
    channel->fCaps &= ~CXStream::kCapsOpen;
    if (!entry.handedOut)
        doomed.push_back(channel);
}

void CXStreamMultiplexer::DetachAll(std::vector<CXStreamMultiplexerStream*>& doomed)
{
    for (auto& [id, entry] : fChannels)
        Detach(entry, doomed);
    fChannels.clear();
}

void CXStreamMultiplexer::Stop()
{
    if (IsRunning()) {
        RequestStop();
        // Not under the lock: the thread may hold it while it waits for a frame's bytes.
        if (fTransport != nullptr)
            (void)fTransport->Close();
    }
    CXThread::Stop();
    std::vector<CXStreamMultiplexerStream*> doomed;
    {
        CXMutexLocker lock(fLock.get());
        DetachAll(doomed);
        fTransport = nullptr;
    }
    DeleteAll(doomed);
}

std::unique_ptr<CXStreamMultiplexerStream> CXStreamMultiplexer::OpenChannel(uint32_t id)
{
    std::vector<CXStreamMultiplexerStream*> doomed;
    std::unique_ptr<CXStreamMultiplexerStream> channel;
    {
        CXMutexLocker lock(fLock.get());
        if (fTransport == nullptr)
            return nullptr;
        auto found = fChannels.find(id);
        if (found != fChannels.end()) {
            Detach(found->second, doomed);
            fChannels.erase(found);
        }
        SendCommand(*fTransport, kCommandOpen, id);
        channel.reset(new CXStreamMultiplexerStream(this, id, fLock));
        fChannels[id] = Entry{channel.get(), true};
    }
    DeleteAll(doomed);
    return channel;
}

std::unique_ptr<CXStreamMultiplexerStream> CXStreamMultiplexer::TakeChannel(uint32_t id)
{
    CXMutexLocker lock(fLock.get());
    auto found = fChannels.find(id);
    if (found == fChannels.end() || found->second.handedOut)
        return nullptr;
    found->second.handedOut = true;
    return std::unique_ptr<CXStreamMultiplexerStream>(found->second.channel);
}

void CXStreamMultiplexer::Proc()
{
    CXStream& transport = *fTransport;
    std::vector<CXStreamMultiplexerStream*> doomed;
    while (!IsStopRequested()) {
        uint8_t command = transport.ReadByte();
        if (transport.Failed())
            break;
        if (command != kCommandOpen && command != kCommandClose && command != kCommandData) {
            CXDebugLog("CXStreamMultiplexer::Proc> unknown command %d", command);
            continue;
        }
        uint32_t id = ReadUInt32BEFromStream(transport);
        uint32_t length = command == kCommandData ? ReadUInt32BEFromStream(transport) : 0;
        if (transport.Failed())
            break;
        {
            CXMutexLocker lock(fLock.get());
            auto found = fChannels.find(id);
            if (command == kCommandOpen) {
                // A second open of an id replaces the channel; its reader sees end of data.
                if (found != fChannels.end())
                    Detach(found->second, doomed);
                fChannels[id] = Entry{new CXStreamMultiplexerStream(this, id, fLock), false};
            } else if (command == kCommandClose) {
                if (found != fChannels.end())
                    (void)found->second.channel->fInbound.Close();
            } else if (found != fChannels.end()) {
                (void)CopyStreamBytes(found->second.channel->fInbound, transport, length, CXStreamProgressCallback());
            } else {
                (void)transport.Skip(length);
            }
        }
        DeleteAll(doomed);
        if (transport.Failed())
            break;
    }
    {
        CXMutexLocker lock(fLock.get());
        DetachAll(doomed);
    }
    DeleteAll(doomed);
}

CXStreamMultiplexerStream::CXStreamMultiplexerStream(CXStreamMultiplexer* multiplexer, uint32_t id,
                                                     std::shared_ptr<CXMutex> lock)
    : CXStream(kCapsRead | kCapsWrite | kCapsSizeKnown | kCapsAvailableKnown | kCapsOpen)
    , fLock(std::move(lock))
    , fMultiplexer(multiplexer)
    , fChannelId(id)
{
}

CXStreamMultiplexerStream::~CXStreamMultiplexerStream()
{
    CXMutexLocker lock(fLock.get());
    if (fMultiplexer != nullptr) {
        if (!fClosed)
            SendClose();
        auto found = fMultiplexer->fChannels.find(fChannelId);
        if (found != fMultiplexer->fChannels.end() && found->second.channel == this)
            fMultiplexer->fChannels.erase(found);
        fMultiplexer = nullptr;
    }
}

void CXStreamMultiplexerStream::SendClose()
{
    if (fMultiplexer->fTransport != nullptr)
        SendCommand(*fMultiplexer->fTransport, kCommandClose, fChannelId);
}

uint64_t CXStreamMultiplexerStream::GetSize()
{
    return fInbound.GetSize();
}

void CXStreamMultiplexerStream::SetCaps(uint32_t value, uint32_t mask)
{
    fInbound.SetCaps(value, mask);
}

CXResultCode CXStreamMultiplexerStream::Close()
{
    CXMutexLocker lock(fLock.get());
    if (fMultiplexer != nullptr && !fClosed) {
        fClosed = true;
        SendClose();
    }
    fCaps &= ~kCapsOpen;
    (void)fInbound.Close();
    return kCXOK;
}

uint64_t CXStreamMultiplexerStream::VirtualWrite(const void* data, uint64_t size)
{
    CXMutexLocker lock(fLock.get());
    if (fMultiplexer == nullptr || fClosed || fMultiplexer->fTransport == nullptr) {
        SetResult(kCXAlreadyOpen);
        return 0;
    }
    if (size > 0xFFFFFFFFull) {
        SetResult(kCXBadParameter);
        return 0;
    }
    CXStream& transport = *fMultiplexer->fTransport;
    uint8_t header[9] = {kCommandData};
    PutUInt32BE(header + 1, fChannelId);
    PutUInt32BE(header + 5, static_cast<uint32_t>(size));
    (void)transport.Write(header, sizeof header);
    uint64_t written = transport.Write(data, size);
    (void)transport.Flush(1);
    return written;
}

uint64_t CXStreamMultiplexerStream::VirtualRead(void* buffer, uint64_t size)
{
    if (size == 0)
        return 0;
    uint64_t got = fInbound.Read(buffer, size);
    if (got < size && fInbound.GetResult() == kCXEndOfData) {
        CXMutexLocker lock(fLock.get());
        MarkEndOfData();
    }
    return got;
}
