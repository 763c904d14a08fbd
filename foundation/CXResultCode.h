#pragma once

#include <cstdint>

// The outcome of every fallible operation: 0 for success, a small negative number for each kind
// of failure. The type converts to and from a plain int32_t, so codes are compared with == or
// tested with < 0. Functions that return it are [[nodiscard]] through the class attribute.
class [[nodiscard]] CXResultCode {
public:
    constexpr CXResultCode() = default;
    constexpr CXResultCode(int32_t value) : fValue(value) {}
    constexpr operator int32_t() const { return fValue; }

    // Maps a Win32 error number. An unknown number is logged and gives kCXSystemError.
    static CXResultCode FromWindowsErr(uint32_t code);
    // Maps an errno value of this platform's C library, by name. An unknown value is logged and
    // gives kCXSystemError.
    static CXResultCode FromPosixErr(int32_t code);

private:
    int32_t fValue = 0;
};

inline constexpr CXResultCode kCXOK{0};
inline constexpr CXResultCode kCXFailed{-1};            // general failure: not open, socket send or receive failed
inline constexpr CXResultCode kCXNotSupported{-2};      // not implemented by this object; message not handled
inline constexpr CXResultCode kCXEndOfData{-3};         // end of stream or file
inline constexpr CXResultCode kCXBrokenPipe{-4};        // the other end went away
inline constexpr CXResultCode kCXBadParameter{-5};      // invalid argument or handle
inline constexpr CXResultCode kCXNoResources{-6};       // out of memory, handles or disk space; I/O fault
inline constexpr CXResultCode kCXNotFound{-7};          // file, folder, path, drive or item not found
inline constexpr CXResultCode kCXBusy{-9};              // resource busy or in use
inline constexpr CXResultCode kCXAccessDenied{-10};     // access denied, write-protected, refused, certificate failed
inline constexpr CXResultCode kCXAlreadyOpen{-11};      // already open, or a stream with nothing attached
inline constexpr CXResultCode kCXBadFormat{-12};        // unsupported type or layout, size mismatch
inline constexpr CXResultCode kCXAlreadyExists{-13};    // the target already exists
inline constexpr CXResultCode kCXTimedOut{-14};         // timed out, or try again
inline constexpr CXResultCode kCXConversionFailed{-15}; // conversion, decoding or compression failed; newer format
inline constexpr CXResultCode kCXCancelled{-16};        // cancelled by the user or a progress callback
inline constexpr CXResultCode kCXSystemError{-17};      // operating-system error without a mapping
