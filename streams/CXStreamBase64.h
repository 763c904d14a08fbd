#pragma once

#include "foundation/CXResultCode.h"
#include "streams/CXStream.h"

// Base64 between streams (the alphabet of foundation/CXBase64.h). Both take the source's
// remaining bytes (CXStream::BytesRemaining) as the input; a source that knows neither its size
// nor what it has available gives -2 and nothing is done.

// Encodes the source's remaining bytes into the destination, without line breaks. Returns OK;
// the source's result when a read came up short (-3 when it recorded none); the destination's
// when a write did (-1 when it recorded none).
CXResultCode Base64EncodeStream(CXStream& destination, CXStream& source);

// Decodes the source's remaining characters into the destination. Tab, line feed, carriage
// return and space are skipped. Returns OK; -12 for a character outside the alphabet, an "=" in
// the first or second place of a group, or anything but "=" after an "="; -3 when the text ends
// inside a group; the source's or destination's failure as Base64EncodeStream does. The bytes of
// the groups completed before a failure have been written.
CXResultCode Base64DecodeStream(CXStream& destination, CXStream& source);
