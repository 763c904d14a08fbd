// The data records of a file-patch run: new files, diffs and records passed over.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "patch/PatchDataRecord.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamProcessorWrapper.h"
#include "streams/CXStreamSubfile.h"

namespace {

// Reads the length that begins every record: -11 (nothing attached) when no data file is being read,
// else the data stream's failure or OK.
CXResultCode ReadRecordLength(CXStream* data, uint64_t& length)
{
    length = 0;
    if (data == nullptr)
        return kCXAlreadyOpen;
    (void)ReadUInt64BEFromStream(*data, length);
    return data->Failed() ? data->GetResult() : kCXOK;
}

} // namespace

bool MervaneTask_ApplyFilePatches::CopyPatchFileData(CXStream& output, CXString& error)
{
    error.Clear();
    uint64_t length = 0;
    CXResultCode read = ReadRecordLength(fDataReader.get(), length);
    if (read != kCXOK) {
        error = LocaliseFormat("$mervane_task_failed_read_datastreamsize", static_cast<int32_t>(read));
        return false;
    }
    CXStream& data = *fDataReader;
    {
        CXStreamSubfile window;
        window.Open(&data, length);
        CXResultCode copied = CopyStreamBytes(output, window, length, {});
        if (copied != kCXOK) {
            error = LocaliseFormat("$mervane_task_copy_failed", static_cast<int32_t>(copied));
            return false;
        }
        if (data.Failed()) {
            error = LocaliseFormat("$mervane_task_error_on_stream", static_cast<int32_t>(data.GetResult()));
            return false;
        }
    }
    CXString recorded;
    CXResultCode result = ReadRecordChecksum(data, recorded);
    if (result != kCXOK) {
        error = LocaliseFormat("$mervane_task_failed_read_checksum", static_cast<int32_t>(result));
        return false;
    }
    (void)output.Seek(0, CXStream::kSeekSet);
    CXString computed = MD5HexDigestOfStream(output, length);
    if (!RecordChecksumMatches(recorded, computed)) {
        error = LocaliseFormat("$mervane_task_result_checksum_mismatch", recorded, computed);
        return false;
    }
    if (data.Failed()) {
        error = LocaliseFormat("$mervane_task_error_on_stream", static_cast<int32_t>(data.GetResult()));
        return false;
    }
    return true;
}

bool MervaneTask_ApplyFilePatches::PerformBinaryDiff(CXStream& source, CXStream& output)
{
    uint64_t length = 0;
    CXResultCode read = ReadRecordLength(fDataReader.get(), length);
    if (read != kCXOK) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to read dataStreamSize. result %d", static_cast<int32_t>(read));
        return false;
    }
    CXStream& data = *fDataReader;
    {
        CXStreamSubfile window;
        window.Open(&data, length);
        CXString error;
        CXResultCode result = ApplyDiffFromStream(source, output, window, error);
        if (result != kCXOK) {
            AppendLogFormat("%s", error.c_str());
            AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to apply diff. result %d", static_cast<int32_t>(result));
            return false;
        }
    }
    CXString recorded;
    CXResultCode result = ReadRecordChecksum(data, recorded);
    if (result != kCXOK) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to read checksum. result %d", static_cast<int32_t>(result));
        return false;
    }
    (void)output.Seek(0, CXStream::kSeekSet);
    CXString computed = MD5HexDigestOfStream(output, output.GetSize());
    if (!RecordChecksumMatches(recorded, computed)) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> result file checksum mismatch [%s, %s]", recorded.c_str(),
                        computed.c_str());
        return false;
    }
    if (data.Failed()) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::PerformBinaryDiff> data stream failed. result %d", static_cast<int32_t>(data.GetResult()));
        return false;
    }
    return true;
}

bool MervaneTask_ApplyFilePatches::SkipBinaryDiff()
{
    uint64_t length = 0;
    CXResultCode read = ReadRecordLength(fDataReader.get(), length);
    if (read != kCXOK) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::SkipBinaryDiff> failed to read dataStreamSize. result %d", static_cast<int32_t>(read));
        return false;
    }
    CXStream& data = *fDataReader;
    if (data.Skip(length) < length) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::SkipBinaryDiff> failed to skip. result %d", static_cast<int32_t>(data.GetResult()));
        return false;
    }
    CXString recorded;
    CXResultCode result = ReadRecordChecksum(data, recorded);
    if (result == kCXOK && data.Failed())
        result = data.GetResult();
    if (result != kCXOK) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::SkipBinaryDiff> failed to read checksum. result %d", static_cast<int32_t>(result));
        return false;
    }
    return true;
}
