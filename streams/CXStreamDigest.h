#pragma once

#include "foundation/CXString.h"
#include "streams/CXStream.h"

#include <cstdint>

// The MD5 digest (32 lower-case hexadecimal characters) of the next `length` bytes of the stream,
// read in place and once: a data record inside a large file is checked without copying it. The
// stream is left `length` bytes further on whether or not the digest succeeded (a memory stream
// stops at its end; a file may be left past its end, where reads give nothing). When the bytes
// cannot all be read the digest is empty, "fail at %d / %d [%d.%d]" is logged (position reached
// in the span and its padding, padded length, length, padding length) and the stream's result
// records why (-3 when it ended early).
CXString MD5HexDigestOfStream(CXStream& stream, uint64_t length);
