// Feeds arbitrary bytes to the control-file reader as the text of a control file. Nothing may
// crash or hang, and what it accepts must be safe to act on: every operation has a known command,
// every path it uses stays inside the target, and the efforts add up within 64 bits.
#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"
#include "patch/PatchOperation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    DNInitBuiltInTranslators();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet; // the reader logs malformed input; keep the fuzzer's output readable

    std::vector<PatchOperation> operations;
    uint64_t dataFileSize = 0;
    CXString dataFileChecksum;
    CXString refusal;
    CXString text(reinterpret_cast<const char*>(data), size);
    CXResultCode result = ParseControlFileText(text, operations, dataFileSize, dataFileChecksum, refusal);
    if (result != kCXOK) {
        if (refusal.IsEmpty())
            std::abort();
        return 0;
    }
    uint64_t total = 0;
    if (!SumEstimatedEffort(operations, 0, total))
        std::abort();
    for (const PatchOperation& operation : operations) {
        if (operation.command < COMMAND_CREATE_FILE || operation.command > COMMAND_DELETE_FOLDER)
            std::abort();
        if (!IsAcceptableTargetPath(operation.destinationFilepath))
            std::abort();
        bool sourceUsed = operation.command == COMMAND_EDIT_FILE || operation.command == COMMAND_MOVE_FILE ||
                          !operation.sourceFilepath.IsEmpty();
        if (sourceUsed && !IsAcceptableTargetPath(operation.sourceFilepath))
            std::abort();
    }
    return 0;
}
