// Feeds arbitrary bytes to the diff applier as the engine meets them: a source file, then one edit
// record (its length, a window of that length onto the rest, the checksum after it). Nothing may
// crash or hang; the output can only hold source bytes (each at most once, the source being read
// forward) and diff bytes; a failure always comes with its text and a success never with one.
//
// Input: 2 bytes big-endian source length (cut to what follows), the source, then the record.
#include "foundation/CXDebug.h"
#include "patch/PatchDataRecord.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamSubfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet; // the applier logs its progress; keep the fuzzer's output readable
    if (size < 2)
        return 0;
    size_t sourceLength = (size_t(data[0]) << 8) | data[1];
    if (sourceLength > size - 2)
        sourceLength = size - 2;
    const uint8_t* sourceBytes = data + 2;
    const uint8_t* recordBytes = sourceBytes + sourceLength;
    size_t recordLength = size - 2 - sourceLength;

    CXStreamStaticBuffer source;
    CXStreamStaticBuffer record;
    if (!source.OpenReadOnly(sourceBytes, sourceLength) || !record.OpenReadOnly(recordBytes, recordLength))
        std::abort();
    uint64_t length = 0;
    (void)ReadUInt64BEFromStream(record, length);
    if (record.Failed())
        return 0;
    // A block one byte larger than the output can ever be: a growable buffer would reserve room
    // for each count a diff claims. Whatever runs over shows in the size.
    size_t bound = sourceLength + recordLength;
    std::vector<uint8_t> block(bound + 1);
    CXStreamStaticBuffer output;
    if (!output.Open(block.data(), block.size(), 0))
        std::abort();
    CXString error;
    CXResultCode result;
    {
        CXStreamSubfile diff;
        diff.Open(&record, length);
        result = ApplyDiffFromStream(source, output, diff, error);
    }
    if ((result == kCXOK) != error.IsEmpty())
        std::abort();
    if (output.GetSize() > bound)
        std::abort();
    CXString checksum;
    if (ReadRecordChecksum(record, checksum) == kCXOK && checksum.length() > kRecordChecksumMaximum)
        std::abort();
    return 0;
}
