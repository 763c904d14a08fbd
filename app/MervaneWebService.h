#pragma once

#include "datanode/DNValue.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstdint>
#include <utility>
#include <vector>

// The two requests to the web service, HTTPS GETs whose replies are data-node text:
// the account check (which streams may this account use) and the patch query (which patch
// files bring this build of a stream up to date).
//
// The service's address is the configuration's "web-service-url": an https address, to which
// the request paths are appended (a trailing '/' of the address is dropped first). TLS trusts
// the certificates in "openssl.crt" of the data folder.

inline constexpr const char* kWebServiceURLKey = "web-service-url";

// A reply's data-node tree takes several dozen times its text, so a reply longer than this is
// refused like a failed transfer.
inline constexpr uint64_t kWebReplyMaximumSize = 1024 * 1024;

// The configuration's service address without trailing '/'; empty (logged) when the key is
// missing or the address is not a well-formed https address.
CXString WebServiceBaseURL(DNValue* configuration);

// The request addresses, every value percent-encoded (only A-Z a-z 0-9 - . _ ~ are kept).
CXString MakeStreamCheckURL(const CXString& base, const CXStringArgument& userName, const CXStringArgument& password,
                            const CXStringArgument& localeCode, const CXStringArgument& applicationId);
CXString MakeStreamFileURL(const CXString& base, const CXStringArgument& userName, const CXStringArgument& password,
                           const CXStringArgument& streamId, const CXStringArgument& build,
                           const CXStringArgument& localeCode);

// Fetches an address (synchronously, on the calling thread) and gives the reply's body. OK only
// for a whole reply of status 200; any failure of the connection, TLS, the HTTP status or a body
// above kWebReplyMaximumSize gives its negative code and an empty body. Logs failures with the
// address's log form (the password masked).
CXResultCode FetchWebReply(const CXString& address, CXString& body);

// The reply body parsed into a new folder (never null).
DNValueRef ParseWebReply(const CXString& body);
// "error" (empty when absent) and "good" (0 when absent or not a number) of a reply.
CXString ReplyError(DNValue* reply);
int32_t ReplyGood(DNValue* reply);
// The "stream" entries of an account check reply in order, each split at its first space into
// id and name (without a space the whole text is the id).
std::vector<std::pair<CXString, CXString>> ReplyStreams(DNValue* reply);
