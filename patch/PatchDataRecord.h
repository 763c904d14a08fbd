#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "streams/CXStream.h"

#include <cstdint>

// The records of a patch data file (after decompression), one per create or edit operation in
// list order: the payload length L (8 bytes, big-endian), L payload bytes (the new file, or a
// diff command stream), then the MD5 text of the finished file as a stream string.
//
// A diff command stream is a run of commands, each a byte and big-endian 32-bit operands:
//   0x01 COPY n            copy the next n source bytes to the output
//   0x00 REPLACE skip n    pass over skip source bytes, then copy the next n diff bytes
// The source is read strictly forward; source bytes after the last command are dropped.

inline constexpr uint8_t kDiffCommandReplace = 0x00;
inline constexpr uint8_t kDiffCommandCopy = 0x01;

// A record's checksum text is 32 characters; anything longer than this is not a checksum.
inline constexpr uint64_t kRecordChecksumMaximum = 64;

// Reads a record's checksum string. OK; -12 for a length above kRecordChecksumMaximum (only the
// length is consumed); a short read gives the stream's failure (-3 when it recorded none). A
// stream that already holds a failure gives it without reading.
CXResultCode ReadRecordChecksum(CXStream& stream, CXString& checksum);

// A record's checksum against the one computed: equal and not empty. (An empty text on either
// side is a failure to read or to compute, never a match.)
bool RecordChecksumMatches(const CXString& recorded, const CXString& computed);

// Applies the diff command stream (read from its position until its position reaches its
// size) to source, writing output. Every operand is checked before it is used: an operand cut
// short, a COPY or skip beyond what the source has left (when the source knows its size) or a
// REPLACE count beyond what the diff has left gives -12, as does an unknown command byte. A copy
// that fails gives its result; a failure the diff stream records gives that failure. error is
// cleared first and describes any failure.
CXResultCode ApplyDiffFromStream(CXStream& source, CXStream& output, CXStream& diff, CXString& error);
