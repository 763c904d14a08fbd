#pragma once

#include "foundation/CXString.h"
#include "streams/CXStream.h"

#include <cstdint>

// The MD5 digest (32 lower-case hexadecimal characters) of the next `length` bytes of the stream,
// read in place and once: a data record inside a large file is checked without copying it. The
// stream is left `length` bytes further on (at its end when it has fewer), whether or not the
// digest succeeded. When the bytes cannot all be read the digest is empty, "fail at %d / %d
// [%d.%d]" is logged (position reached in the span and its padding, padded length, length,
// padding length) and the stream's result records why (-3 when it ended early).
CXString MD5HexDigestOfStream(CXStream& stream, uint64_t length);
