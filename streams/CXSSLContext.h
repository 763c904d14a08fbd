#pragma once

#include "foundation/CXResultCode.h"

#include <cstdint>

struct ssl_ctx_st;

// Registers its owner as a user of the TLS library for the object's life and remembers the thread
// that made it. The library is thread-safe by itself, so no locking is installed; the count and
// the owner check remain as diagnostics.
class CXOpenSSLThreadContext {
public:
    CXOpenSSLThreadContext();
    // Checks that the owning thread destroys it (reported otherwise).
    ~CXOpenSSLThreadContext();
    CXOpenSSLThreadContext(const CXOpenSSLThreadContext&) = delete;
    CXOpenSSLThreadContext& operator=(const CXOpenSSLThreadContext&) = delete;

    // Reports "invalid access from non-owner thread" when the caller is not the creating thread.
    void DebugAssertCorrectThread() const;

    // Registered users in the process.
    static int32_t GetUserCount();

private:
    uint32_t fOwnerThread;
};

// The client configuration of every TLS connection: trusted certificates from "openssl.crt" in the
// application's data folder, peer verification always on, TLS 1.2 at least. Belongs to the thread
// that made it. The first context of the process initialises the library and refuses (ends the
// process) a library version open to the heartbeat over-read.
class CXSSLContext : public CXOpenSSLThreadContext {
public:
    CXSSLContext();
    ~CXSSLContext();

    // Loads the trusted certificates from the data folder's "openssl.crt". -7 (logged with the
    // library's error) when the file is missing or unreadable; peer verification is switched on
    // in every case, so without trusted certificates every handshake fails verification.
    [[nodiscard]] CXResultCode LoadDefaultVerifyPaths();

    // The library's context; null when the library could not make one.
    ssl_ctx_st* GetNativeContext() const { return fContext; }

    // True for the library versions 1.0.1 to 1.0.1f (0x10001000 to 0x1000106F).
    static bool IsVulnerableLibraryVersion(uint64_t version);

private:
    ssl_ctx_st* fContext = nullptr;
};

// Logs the first queued error of the TLS library as "OpenSSL error: "%s"" (nothing queued gives
// the library's text for error 0).
void CXLogOpenSSLError();
