#pragma once

#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstdint>

// An address: scheme, host, port, credentials, path and query, as read from text by one
// left-to-right scan.
//
// Grammar: [scheme "://"] [user ["!" password] "@"] host [":" port] ["/" path ["?" query]].
// Credentials separate user and password with '!', not ':'. A ':' before any scheme is the scheme
// separator unless a run of at most five digits ending the text or followed by '/' comes after
// it ("host:8080/x"); a scheme written before "://" is lower-cased, one written before a single
// ':' ("Mail:x") is kept as written. Once there is a scheme, a ':' always starts the port.
// A port is at most five digits and at most 65535; ':' with no digits leaves the port 0.
//
// A malformed address (a '!' with no '@' after it, a second '@' before the path, a port out of
// range or followed by anything but '/') is logged as "CXURI> bad URI format '...'" and leaves
// every part empty. The end of the text or a NUL byte ends the text. Parts are kept as written,
// still percent-encoded.
class CXURI {
public:
    CXURI() = default;
    explicit CXURI(const CXStringArgument& text);
    explicit CXURI(const CXString& text);
    explicit CXURI(const char* text) : CXURI(CXStringArgument(text)) {}

    // The text form "scheme://user!password@host:port/path?query", leaving out the empty parts
    // (the password too when the user is empty). Nothing is encoded; the password is written
    // out. An empty record gives the null string.
    CXString ToString() const;
    // The same for texts that reach a log or a message: a password is shown as "***", and so is
    // the value of every "p=" parameter of the query (the web service takes the account password
    // there).
    CXString ToLogString() const;
    // "/" + path, then "?" + query when there is a query: the target of an HTTP request line.
    CXString GetRequestTarget() const;
    // The local path named by a "file" address (scheme compared ignoring ASCII case), percent-
    // decoded with '+' kept: "//host/path" when there is a host; otherwise a drive path
    // ("C:/x", also written "C|/x") or a network path ("//srv/share"), or a host path
    // ("file:///home/u/x") converted to its program form by CXFileSystem::FromNativePath. Any
    // other scheme, an empty path, a relative drive path ("C:x"), a host-less path with one '/'
    // too many ("file:////srv/share"), a path that decodes to a NUL byte or a host path under no
    // mapped root gives the empty string.
    CXString GetLocalFilePath() const;

    // Percent-encoding: letters, digits, '-', '.', '_', '~' and the bytes in keep are copied,
    // every other byte becomes "%xx" (lower-case hexadecimal). Stops at a NUL byte.
    static CXString Encode(const CXStringArgument& text, const CXStringArgument& keep);
    // Percent-decoding: "%xx" (either case) becomes that byte; a '%' without two hexadecimal
    // digits after it is copied; '+' is kept (a caller that reads form-encoded text, where '+'
    // stands for a space, asks CXPercentDecode for that). Stops at a NUL byte.
    static CXString Decode(const CXStringArgument& text);

    CXString scheme;
    CXString host;
    uint16_t port = 0; // 0: no port given
    CXString user;
    CXString password;
    CXString path; // without its leading '/'
    CXString query; // without the '?'

private:
    CXString Format(bool maskPassword) const;
    // The query with the value of every "p" parameter replaced by "***".
    CXString MaskedQuery() const;
    bool Parse(const char* text, size_t length);
    bool ParseAfterCredentials(const char* text, size_t length, size_t pos);
    bool ParsePort(const char* text, size_t length, size_t pos);
    void ParsePath(const char* text, size_t length, size_t pos);
};
