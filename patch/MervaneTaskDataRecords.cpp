// The data records of a file-patch run: new files, diffs and records passed over.
//
// Every routine consumes exactly one record whatever happens to the file it writes: a failure
// part-way through the payload still passes over the rest of the payload and reads the checksum,
// so the next operation reads its own record. Only a failure of the data stream itself (the
// decompressor's bad data, a short file) leaves the stream out of step (IsDataStreamInStep).
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "patch/PatchDataRecord.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamProcessorWrapper.h"
#include "streams/CXStreamSubfile.h"

namespace {

// A record's checksum against the operation's destination checksum, when it names one.
bool AgreesWithOperation(const CXString& recorded, const CXString& expected)
{
    return expected.IsEmpty() || recorded == expected;
}

} // namespace

bool MervaneTask_ApplyFilePatches::ReadRecordLength(uint64_t& length, CXResultCode& failure)
{
    fDataStreamInStep = false;
    failure = kCXOK;
    if (!fDataReader) {
        failure = kCXAlreadyOpen;
        return false;
    }
    length = 0;
    (void)ReadUInt64BEFromStream(*fDataReader, length);
    if (fDataReader->Failed()) {
        failure = fDataReader->GetResult();
        return false;
    }
    return true;
}

CXResultCode MervaneTask_ApplyFilePatches::FinishRecord(CXString& recorded)
{
    CXStream& data = *fDataReader;
    CXResultCode result = ReadRecordChecksum(data, recorded);
    if (result == kCXOK && data.Failed())
        result = data.GetResult();
    fDataStreamInStep = result == kCXOK;
    return result;
}

bool MervaneTask_ApplyFilePatches::CopyPatchFileData(CXStream& output, CXString& error, const CXString& expected)
{
    error.Clear();
    uint64_t length = 0;
    CXResultCode failure;
    if (!ReadRecordLength(length, failure)) {
        error = LocaliseFormat("$mervane_task_failed_read_datastreamsize", static_cast<int32_t>(failure));
        return false;
    }
    CXStream& data = *fDataReader;
    CXResultCode copied;
    {
        // Closing the window passes over whatever the copy left of the payload.
        CXStreamSubfile window;
        window.Open(&data, length);
        copied = CopyStreamBytes(output, window, length, {});
    }
    CXString recorded;
    CXResultCode result = FinishRecord(recorded);
    if (copied != kCXOK) {
        error = LocaliseFormat("$mervane_task_copy_failed", static_cast<int32_t>(copied));
        return false;
    }
    // A stream that simply ended lacks the checksum; any other failure is the stream's own.
    if (result != kCXOK && (!data.Failed() || data.GetResult() == kCXEndOfData)) {
        error = LocaliseFormat("$mervane_task_failed_read_checksum", static_cast<int32_t>(result));
        return false;
    }
    if (data.Failed()) {
        error = LocaliseFormat("$mervane_task_error_on_stream", static_cast<int32_t>(data.GetResult()));
        return false;
    }
    (void)output.Seek(0, CXStream::kSeekSet);
    CXString computed = MD5HexDigestOfStream(output, length);
    if (!RecordChecksumMatches(recorded, computed) || !AgreesWithOperation(recorded, expected)) {
        error = LocaliseFormat("$mervane_task_result_checksum_mismatch", expected.IsEmpty() ? recorded : expected, computed);
        return false;
    }
    return true;
}

bool MervaneTask_ApplyFilePatches::PerformBinaryDiff(CXStream& source, CXStream& output, const CXString& expected)
{
    uint64_t length = 0;
    CXResultCode failure;
    if (!ReadRecordLength(length, failure)) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to read dataStreamSize. result %d",
                        static_cast<int32_t>(failure));
        return false;
    }
    CXStream& data = *fDataReader;
    CXResultCode applied;
    {
        CXStreamSubfile window;
        window.Open(&data, length);
        CXString error;
        applied = ApplyDiffFromStream(source, output, window, error);
        if (applied != kCXOK)
            AppendLogFormat("%s", error.c_str());
    }
    CXString recorded;
    CXResultCode result = FinishRecord(recorded);
    if (applied != kCXOK) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to apply diff. result %d", static_cast<int32_t>(applied));
        return false;
    }
    if (data.Failed()) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> data stream failed. result %d", static_cast<int32_t>(data.GetResult()));
        return false;
    }
    if (result != kCXOK) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to read checksum. result %d", static_cast<int32_t>(result));
        return false;
    }
    (void)output.Seek(0, CXStream::kSeekSet);
    CXString computed = MD5HexDigestOfStream(output, output.GetSize());
    if (!RecordChecksumMatches(recorded, computed) || !AgreesWithOperation(recorded, expected)) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> result file checksum mismatch [%s, %s]",
                        (expected.IsEmpty() ? recorded : expected).c_str(), computed.c_str());
        return false;
    }
    return true;
}

bool MervaneTask_ApplyFilePatches::SkipBinaryDiff()
{
    uint64_t length = 0;
    CXResultCode failure;
    if (!ReadRecordLength(length, failure)) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::SkipBinaryDiff> failed to read dataStreamSize. result %d",
                        static_cast<int32_t>(failure));
        return false;
    }
    CXStream& data = *fDataReader;
    if (data.Skip(length) < length) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::SkipBinaryDiff> failed to skip. result %d", static_cast<int32_t>(data.GetResult()));
        return false;
    }
    CXString recorded;
    CXResultCode result = FinishRecord(recorded);
    if (result != kCXOK) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::SkipBinaryDiff> failed to read checksum. result %d", static_cast<int32_t>(result));
        return false;
    }
    return true;
}
