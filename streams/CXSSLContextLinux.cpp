// The TLS client configuration on the system's OpenSSL 3.
#include "streams/CXSSLContext.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMutex.h"
#include "foundation/CXPath.h"

#include <cstdlib>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace {

CXMutex& InitialisationMutex()
{
    static CXMutex mutex;
    return mutex;
}

bool gLibraryInitialised = false;

void InitialiseLibraryOnce()
{
    CXMutexLocker locker(&InitialisationMutex());
    if (gLibraryInitialised)
        return;
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    if (CXSSLContext::IsVulnerableLibraryVersion(OpenSSL_version_num())) {
        CXDebugError("CXSSLContext> local system has OpenSSL heartbleed exploit");
        std::abort();
    }
    gLibraryInitialised = true;
}

} // namespace

void CXLogOpenSSLError()
{
    char text[256];
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    text[sizeof text - 1] = '\0';
    CXDebugLog("OpenSSL error: \"%s\"", text);
}

CXSSLContext::CXSSLContext()
{
    InitialiseLibraryOnce();
    ERR_clear_error();
    fContext = SSL_CTX_new(TLS_method());
    if (fContext == nullptr) {
        CXDebugLog("CXSSLContext> no TLS context");
        CXLogOpenSSLError();
        return;
    }
    SSL_CTX_set_min_proto_version(fContext, TLS1_2_VERSION);
    // No context ever runs without verifying its peer, loaded certificates or not.
    SSL_CTX_set_verify(fContext, SSL_VERIFY_PEER, nullptr);
}

CXSSLContext::~CXSSLContext()
{
    SSL_CTX_free(fContext);
}

CXResultCode CXSSLContext::LoadDefaultVerifyPaths()
{
    if (fContext == nullptr)
        return kCXNotFound;
    CXString path = GetDataFolderFilepath("openssl.crt");
    CXString nativePath = CXFileSystem::ToNativePath(path);
    CXResultCode result = kCXOK;
    ERR_clear_error();
    if (nativePath.IsEmpty() || SSL_CTX_load_verify_locations(fContext, nativePath.c_str(), nullptr) != 1) {
        CXDebugLog("CXSSLContext::LoadDefaultVerifyPaths> failed to load certificate at '%s'", path.c_str());
        CXLogOpenSSLError();
        result = kCXNotFound;
    }
    SSL_CTX_set_verify(fContext, SSL_VERIFY_PEER, nullptr);
    return result;
}
