// The TLS connection on the system's OpenSSL 3: one SSL object over two memory BIOs. The error
// queue is cleared before every handshake, read and write step, so the error that the step
// reports is its own.
#include "streams/CXStreamSSL.h"

#include "foundation/CXDebug.h"
#include "streams/CXSSLContext.h"

#include <algorithm>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

// One library call moves at most this much.
constexpr uint64_t kLibraryPiece = 0x40000000;

std::string_view StringView(const ASN1_STRING* text)
{
    if (text == nullptr)
        return {};
    int length = ASN1_STRING_length(text);
    const unsigned char* data = ASN1_STRING_get0_data(text);
    if (data == nullptr || length <= 0)
        return {};
    return std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
}

// Whether the host is an address literal rather than a name (no server name is sent for one).
bool IsAddressLiteral(std::string_view host)
{
    if (host.find(':') != std::string_view::npos)
        return true;
    return std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

} // namespace

bool CXStreamSSL::HostCreate(CXSSLContext* context)
{
    ERR_clear_error();
    SSL_CTX* native = context->GetNativeContext();
    SSL* ssl = native != nullptr ? SSL_new(native) : nullptr;
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (ssl == nullptr || in == nullptr || out == nullptr) {
        CXDebugLog("CXStreamSSL::Connect> no TLS connection object");
        CXLogOpenSSLError();
        BIO_free(in);
        BIO_free(out);
        SSL_free(ssl);
        return false;
    }
    SSL_set_bio(ssl, in, out);
    SSL_set_connect_state(ssl);
    fSSL = ssl;
    fNetworkIn = in;
    fNetworkOut = out;
    std::string name(fHost.c_str(), fHost.length());
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    if (!name.empty() && !IsAddressLiteral(name) && SSL_set_tlsext_host_name(ssl, name.c_str()) != 1) {
        CXDebugLog("CXStreamSSL::Connect> server name '%s' refused", name.c_str());
        CXLogOpenSSLError();
        return false;
    }
    return true;
}

void CXStreamSSL::HostFree()
{
    // The SSL object owns both BIOs.
    SSL_free(fSSL);
    fSSL = nullptr;
    fNetworkIn = nullptr;
    fNetworkOut = nullptr;
}

namespace {

// SSL_ERROR_NONE for a call that succeeded, else the library's reason.
int StepError(SSL* ssl, int returned)
{
    return returned > 0 ? SSL_ERROR_NONE : SSL_get_error(ssl, returned);
}

} // namespace

CXStreamSSL::HostStep CXStreamSSL::HostStepOf(int libraryError)
{
    switch (libraryError) {
    case SSL_ERROR_NONE:
        return HostStep::kDone;
    case SSL_ERROR_WANT_READ:
        return HostStep::kWantRead;
    case SSL_ERROR_WANT_WRITE:
        return HostStep::kWantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return HostStep::kClosed;
    default:
        return HostStep::kFailed;
    }
}

CXStreamSSL::HostStep CXStreamSSL::HostHandshake()
{
    ERR_clear_error();
    HostStep step = HostStepOf(StepError(fSSL, SSL_do_handshake(fSSL)));
    // A peer that closes during the handshake has failed it.
    return step == HostStep::kClosed ? HostStep::kFailed : step;
}

CXStreamSSL::HostStep CXStreamSSL::HostRead(void* buffer, uint64_t size, uint64_t& count)
{
    ERR_clear_error();
    int returned = SSL_read(fSSL, buffer, static_cast<int>(std::min(size, kLibraryPiece)));
    count = returned > 0 ? static_cast<uint64_t>(returned) : 0;
    return HostStepOf(StepError(fSSL, returned));
}

CXStreamSSL::HostStep CXStreamSSL::HostWrite(const void* data, uint64_t size, uint64_t& count)
{
    ERR_clear_error();
    int returned = SSL_write(fSSL, data, static_cast<int>(std::min(size, kLibraryPiece)));
    count = returned > 0 ? static_cast<uint64_t>(returned) : 0;
    HostStep step = HostStepOf(StepError(fSSL, returned));
    return step == HostStep::kClosed ? HostStep::kFailed : step;
}

uint64_t CXStreamSSL::HostPendingOutput()
{
    return fNetworkOut != nullptr ? BIO_ctrl_pending(fNetworkOut) : 0;
}

uint64_t CXStreamSSL::HostTakeOutput(void* buffer, uint64_t size)
{
    int count = BIO_read(fNetworkOut, buffer, static_cast<int>(std::min(size, kLibraryPiece)));
    return count > 0 ? static_cast<uint64_t>(count) : 0;
}

void CXStreamSSL::HostGiveInput(const void* data, uint64_t size)
{
    // A memory BIO takes everything it is given.
    (void)BIO_write(fNetworkIn, data, static_cast<int>(std::min(size, kLibraryPiece)));
}

CXStreamSSL::NameCheck CXStreamSSL::HostMatchPeerNames(std::string_view host)
{
    X509* certificate = SSL_get1_peer_certificate(fSSL);
    if (certificate == nullptr)
        return NameCheck::kNoCertificate;
    bool hasDNSName = false;
    bool matched = false;
    auto* names = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    if (names != nullptr) {
        for (int i = 0; i < sk_GENERAL_NAME_num(names) && !matched; ++i) {
            const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, i);
            if (name->type != GEN_DNS)
                continue;
            hasDNSName = true;
            matched = HostNameMatches(StringView(name->d.dNSName), host);
        }
        GENERAL_NAMES_free(names);
    }
    if (!hasDNSName) {
        const X509_NAME* subject = X509_get_subject_name(certificate);
        for (int i = X509_NAME_get_index_by_NID(subject, NID_commonName, -1); i >= 0 && !matched;
             i = X509_NAME_get_index_by_NID(subject, NID_commonName, i)) {
            const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
            matched = HostNameMatches(StringView(X509_NAME_ENTRY_get_data(entry)), host);
        }
    }
    X509_free(certificate);
    return matched ? NameCheck::kMatch : NameCheck::kNoMatch;
}

long CXStreamSSL::HostVerifyResult()
{
    return fSSL != nullptr ? SSL_get_verify_result(fSSL) : 0;
}
