#include "streams/CXStreamSSL.h"

#include "foundation/CXDebug.h"
#include "streams/CXSSLContext.h"

namespace {

// Encrypted bytes go to the transport in pieces of at most this size.
constexpr uint64_t kTransportPiece = 1024;
// One read of the transport takes up to this much: several full records, so a bulk download
// costs one transport read per 64 KiB rather than one per KiB.
constexpr uint64_t kReceivePiece = 65536;

// The library's verification results for a self-signed certificate, alone or in the chain.
constexpr long kVerifySelfSigned = 18;
constexpr long kVerifySelfSignedInChain = 19;

bool EqualsNoCaseASCII(std::string_view a, std::string_view b)
{
    return CXStringArgument(a.data(), a.size()).CompareNoCase(CXStringArgument(b.data(), b.size()), true) == 0;
}

} // namespace

CXStreamSSL::CXStreamSSL() : CXStream(kCapsRead | kCapsWrite | kCapsAvailableKnown) {}

CXStreamSSL::~CXStreamSSL()
{
    Detach();
}

void CXStreamSSL::SetHost(const CXString& name)
{
    fHost = name;
}

bool CXStreamSSL::HostNameMatches(std::string_view pattern, std::string_view host)
{
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    if (pattern.empty() || host.empty())
        return false;
    if (pattern.find('\0') != std::string_view::npos || host.find('\0') != std::string_view::npos ||
        host.find('*') != std::string_view::npos)
        return false;
    if (pattern.size() > 2 && pattern[0] == '*' && pattern[1] == '.') {
        // The labels after the wildcard: at least two, none of them empty at the ends.
        std::string_view rest = pattern.substr(2);
        size_t restDot = rest.find('.');
        if (restDot == std::string_view::npos || restDot == 0 || rest.back() == '.')
            return false;
        size_t hostDot = host.find('.');
        if (hostDot == std::string_view::npos || hostDot == 0)
            return false;
        return EqualsNoCaseASCII(host.substr(hostDot + 1), rest);
    }
    if (pattern.find('*') != std::string_view::npos)
        return false;
    return EqualsNoCaseASCII(pattern, host);
}

bool CXStreamSSL::Connect(CXSSLContext* context, CXStream* transport)
{
    fIOLock.LockForWrite();
    fSSLLock.LockMutex();
    if (fTransport != nullptr) {
        (void)Pump(false);
        (void)fTransport->Close();
        DetachLocked();
    }
    bool connected = false;
    if (transport == nullptr || context == nullptr) {
        SetResult(kCXBadParameter);
    } else {
        ResetResult();
        fContext = context;
        fTransport = transport;
        fWantRead = false;
        transport->SetCaps(kCapsNonBlocking, kCapsNonBlocking);
        fCaps |= kCapsOpen;
        fCaps &= ~(kCapsEndOfData | kCapsNonBlocking);
        connected = HostCreate(context);
        // Set when the transport, not the peer's TLS, ended the handshake.
        CXResultCode transportFailure = kCXOK;
        while (connected) {
            HostStep step = HostHandshake();
            if (step == HostStep::kDone)
                break;
            if (step == HostStep::kWantRead) {
                fWantRead = true;
                (void)Pump(true);
            } else if (step == HostStep::kWantWrite) {
                (void)Pump(false);
            } else {
                CXLogOpenSSLError();
                (void)LogVerifyFailure(HostVerifyResult());
                SetResult(kCXEndOfData);
                fCaps |= kCapsEndOfData;
                connected = false;
                break;
            }
            if (Failed()) {
                transportFailure = GetResult();
                connected = false;
            }
        }
        // The handshake's last flight (the client's Finished) may still be buffered.
        if (connected) {
            (void)Pump(false);
            connected = !Failed();
            if (!connected)
                transportFailure = GetResult();
        }
        if (connected && !fHost.IsEmpty())
            connected = CheckHost();
        if (!connected) {
            (void)Pump(false);
            (void)fTransport->Close();
            DetachLocked();
            // A server that stops answering, or a wait the owner ended, is no refusal.
            if (transportFailure != kCXOK)
                CXDebugLog("CXStreamSSL::Connect> the transport failed during the handshake (%d)", static_cast<int>(transportFailure));
            SetResult(transportFailure != kCXOK ? transportFailure : kCXAccessDenied);
        }
    }
    fSSLLock.UnlockMutex();
    fIOLock.UnlockForWrite();
    return connected;
}

bool CXStreamSSL::CheckHost()
{
    switch (HostMatchPeerNames(std::string_view(fHost.c_str(), fHost.length()))) {
    case NameCheck::kNoCertificate:
        CXDebugLog("OpenSSL certificate missing.");
        return false;
    case NameCheck::kNoMatch:
        CXDebugLog("OpenSSL certificate does not match domain.");
        return false;
    case NameCheck::kMatch:
        break;
    }
    return !LogVerifyFailure(HostVerifyResult());
}

bool CXStreamSSL::LogVerifyFailure(long verifyResult)
{
    if (verifyResult == 0)
        return false;
    if (verifyResult == kVerifySelfSigned || verifyResult == kVerifySelfSignedInChain)
        CXDebugLog("OpenSSL rejected self-signed certificate.");
    else
        CXDebugLog("OpenSSL failed to verify certificate: %ld", verifyResult);
    return true;
}

bool CXStreamSSL::Pump(bool readAlso)
{
    uint8_t piece[kTransportPiece];
    while (HostPendingOutput() > 0) {
        uint64_t count = HostTakeOutput(piece, sizeof piece);
        if (count == 0)
            break;
        // The piece is taken out and the send lock taken under the library lock, so pieces reach
        // the transport in the order the library produced them.
        fSendLock.LockMutex();
        fSSLLock.UnlockMutex();
        uint64_t written = fTransport->Write(piece, count);
        CXResultCode transportResult = fTransport->GetResult();
        fSendLock.UnlockMutex();
        fSSLLock.LockMutex();
        if (written != count) {
            SetResult(transportResult != kCXOK ? transportResult : kCXEndOfData);
            return false;
        }
    }
    if (!readAlso || !fWantRead)
        return false;
    fSSLLock.UnlockMutex();
    fReceiveLock.LockMutex();
    if (!fReceiveBuffer)
        fReceiveBuffer = std::make_unique<uint8_t[]>(kReceivePiece);
    uint64_t count = fTransport->Read(fReceiveBuffer.get(), kReceivePiece);
    CXResultCode transportResult = fTransport->GetResult();
    fSSLLock.LockMutex();
    fWantRead = false;
    if (count == 0) {
        fReceiveLock.UnlockMutex();
        // A transport that delivers nothing without recording why would otherwise be asked again
        // and again.
        SetResult(transportResult != kCXOK ? transportResult : kCXEndOfData);
        return false;
    }
    HostGiveInput(fReceiveBuffer.get(), count);
    fReceiveLock.UnlockMutex();
    return true;
}

uint64_t CXStreamSSL::VirtualRead(void* buffer, uint64_t size)
{
    fIOLock.LockForRead();
    fSSLLock.LockMutex();
    uint64_t done = 0;
    if (fTransport == nullptr || fSSL == nullptr) {
        SetResult(kCXAlreadyOpen);
    } else {
        uint8_t* bytes = static_cast<uint8_t*>(buffer);
        while (done < size && !Failed()) {
            uint64_t count = 0;
            HostStep step = HostRead(bytes + done, size - done, count);
            if (step == HostStep::kDone) {
                done += count;
                if ((fCaps & kCapsNonBlocking) && done > 0)
                    break;
            } else if (step == HostStep::kWantRead) {
                fWantRead = true;
                (void)Pump(true);
            } else if (step == HostStep::kWantWrite) {
                (void)Pump(false);
            } else if (step == HostStep::kClosed) {
                // The peer's close-notify: the one orderly end, which sets the end-of-data bit.
                MarkEndOfData();
            } else {
                CXLogOpenSSLError();
                SetResult(kCXEndOfData);
            }
        }
    }
    fSSLLock.UnlockMutex();
    fIOLock.UnlockForRead();
    return done;
}

uint64_t CXStreamSSL::VirtualWrite(const void* data, uint64_t size)
{
    fIOLock.LockForRead();
    fSSLLock.LockMutex();
    uint64_t done = 0;
    if (fTransport == nullptr || fSSL == nullptr) {
        SetResult(kCXAlreadyOpen);
    } else {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        while (done < size && !Failed()) {
            uint64_t count = 0;
            HostStep step = HostWrite(bytes + done, size - done, count);
            if (step == HostStep::kDone) {
                done += count;
            } else if (step == HostStep::kWantRead) {
                fWantRead = true;
                (void)Pump(true);
            } else if (step == HostStep::kWantWrite) {
                (void)Pump(false);
            } else {
                CXLogOpenSSLError();
                SetResult(kCXEndOfData);
            }
        }
    }
    fSSLLock.UnlockMutex();
    fIOLock.UnlockForRead();
    return done;
}

CXResultCode CXStreamSSL::Flush(uint32_t hard)
{
    (void)hard;
    fIOLock.LockForRead();
    fSSLLock.LockMutex();
    CXResultCode result = kCXOK;
    if (fTransport == nullptr) {
        result = kCXAlreadyOpen;
        SetResult(result);
    } else {
        (void)Pump(false);
        result = fResult;
    }
    fSSLLock.UnlockMutex();
    fIOLock.UnlockForRead();
    return result;
}

void CXStreamSSL::SetCaps(uint32_t value, uint32_t mask)
{
    mask &= kCapsNonBlocking;
    fCaps = (fCaps & ~mask) | (value & mask);
}

CXResultCode CXStreamSSL::Close()
{
    fIOLock.LockForRead();
    fSSLLock.LockMutex();
    bool attached = fTransport != nullptr;
    CXResultCode result = kCXOK;
    if (attached) {
        CXResultCode before = fResult;
        (void)Pump(false);
        if (fResult != before)
            result = fResult;
        CXResultCode closed = fTransport->Close();
        if (result == kCXOK)
            result = closed;
    }
    fSSLLock.UnlockMutex();
    fIOLock.UnlockForRead();
    if (attached)
        Detach();
    return result;
}

void CXStreamSSL::Detach()
{
    fIOLock.LockForWrite();
    fSSLLock.LockMutex();
    DetachLocked();
    fSSLLock.UnlockMutex();
    fIOLock.UnlockForWrite();
}

void CXStreamSSL::DetachLocked()
{
    if (fTransport == nullptr)
        return;
    (void)Pump(false);
    fCaps &= ~kCapsOpen;
    HostFree();
    fTransport->SetCaps(0, kCapsNonBlocking);
    fContext = nullptr;
    fTransport = nullptr;
    fWantRead = false;
}
