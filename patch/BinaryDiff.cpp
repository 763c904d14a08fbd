#include "patch/BinaryDiff.h"

#include "foundation/CXDebug.h"
#include "patch/PatchDataRecord.h"
#include "streams/CXStreamCopy.h"

#include <algorithm>

namespace {

constexpr uint64_t kLargestOperand = 0xFFFFFFFFu;

} // namespace

uint64_t BinaryDiffCommandWriter::copy(uint64_t a, uint64_t b)
{
    uint64_t length = b > a ? b - a : 0;
    for (uint64_t left = length; left > 0;) {
        uint64_t piece = std::min(left, kLargestOperand);
        uint8_t command = kDiffCommandCopy;
        (void)fOutput->Write(&command, 1);
        (void)WriteUInt32BEToStream(*fOutput, static_cast<uint32_t>(piece));
        left -= piece;
    }
    return length;
}

void BinaryDiffCommandWriter::replace(uint64_t a, uint64_t b, CXStream& newFile, uint64_t c, uint64_t d)
{
    uint64_t skip = b > a ? b - a : 0;
    uint64_t count = d > c ? d - c : 0;
    if (count > 0)
        (void)newFile.Seek(static_cast<int64_t>(c), CXStream::kSeekSet);
    do {
        uint64_t skipPiece = std::min(skip, kLargestOperand);
        uint64_t countPiece = std::min(count, kLargestOperand);
        uint8_t command = kDiffCommandReplace;
        (void)fOutput->Write(&command, 1);
        (void)WriteUInt32BEToStream(*fOutput, static_cast<uint32_t>(skipPiece));
        (void)WriteUInt32BEToStream(*fOutput, static_cast<uint32_t>(countPiece));
        if (countPiece > 0) {
            CXResultCode result = CopyStreamBytes(*fOutput, newFile, countPiece, {});
            if (result != kCXOK && fResult == kCXOK)
                fResult = result;
        }
        skip -= skipPiece;
        count -= countPiece;
    } while (skip > 0 || count > 0);
}

uint64_t BinaryDiffTrace::copy(uint64_t a, uint64_t b)
{
    uint64_t length = b > a ? b - a : 0;
    fPosition += length;
    return length;
}

void BinaryDiffTrace::replace(uint64_t a, uint64_t b, CXStream& newFile, uint64_t c, uint64_t d)
{
    (void)a;
    (void)b;
    (void)newFile;
    uint64_t count = d > c ? d - c : 0;
    CXDebugLog("diff> replace %llu bytes at %llu", static_cast<unsigned long long>(count), static_cast<unsigned long long>(fPosition));
    fPosition += count;
}
