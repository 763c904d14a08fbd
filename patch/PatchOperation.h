#pragma once

#include "datanode/DNValue.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <cstdint>
#include <vector>

// The command of one operation of a patch.
enum PatchCommand : int32_t {
    COMMAND_CREATE_FILE = 0,
    COMMAND_DELETE_FILE = 1,
    COMMAND_EDIT_FILE = 2,
    COMMAND_MOVE_FILE = 3,
    COMMAND_CREATE_FOLDER = 4,
    COMMAND_DELETE_FOLDER = 5,
    COMMAND_NONE = 6, // an entry being read; never reaches an operations list
};

// Flag bits of an operation.
inline constexpr int32_t kPatchFlagIgnoreFailure = 1;      // a failure is logged and passed over, no question asked
inline constexpr int32_t kPatchFlagReplaceDestination = 2; // a taken destination is replaced when finalising

// One entry of a patch's operations list. Paths are relative to the target folder, '/'
// separated; checksums are MD5 texts (32 lower-case hex digits) or empty for no check. Create and
// edit operations each own one data record of the patch data file, in list order.
struct PatchOperation {
    CXString sourceFilepath;         // "source-filepath": the file an edit or move reads
    CXString sourceChecksum;         // "source-checksum"
    CXString destinationFilepath;    // "destination-filepath": what is created, edited into, moved to or deleted
    CXString destinationPermissions; // "destination-permissions": applied to a created file or folder
    CXString destinationChecksum;    // "destination-checksum": the finished destination
    int32_t command = COMMAND_NONE;  // "command", as text
    uint64_t estimatedEffort = 0;    // "estimated-effort": work weight in bytes
    int32_t flags = 0;               // "flags"
};

// The command's text in a control file ("create-file", ...); null for a code outside 0-5.
const char* PatchCommandText(int32_t command);
// The code of a command text (compared exactly); COMMAND_NONE for any other text.
int32_t PatchCommandFromText(const CXString& text);

// Rebuilds the operations list from a control file's root, in the stored order of the entries
// under "patch-operations". An entry whose command is missing or unknown is left out. False,
// with the list emptied, when the root has no "patch-operations", or when an entry gives a
// negative "estimated-effort" (the whole file is refused: leaving the entry out would pair every
// later operation with the wrong data record). The reason goes to refusal when given.
bool ParsePatchOperations(DNValue* root, std::vector<PatchOperation>& operations, CXString* refusal = nullptr);

// The longest path below the target, and the longest name in it, that a control file may give:
// the host can name nothing longer, and every file call resolves a path from the target down, so
// a longer one would only cost time before it failed.
inline constexpr size_t kMaximumTargetPathBytes = 4095;
inline constexpr size_t kMaximumTargetNameBytes = 255;

// A path as a control file (or a run's journal) may name a file of the target: relative, '/'
// separated, with no drive colon, back-slash, NUL, empty, "." or ".." component, no longer than
// kMaximumTargetPathBytes with no component longer than kMaximumTargetNameBytes, and not inside
// the target's temporary folder "patcher-temp". Joined to the target folder, such a path always
// stays inside it.
bool IsAcceptableTargetPath(const CXString& relative);

// Checks the paths each operation uses: the destination always, the source of an edit or move,
// and a source any other command names (the target check reads it when it has a checksum). False
// with the reason in refusal for the first path that IsAcceptableTargetPath refuses.
bool CheckPatchOperationPaths(const std::vector<PatchOperation>& operations, CXString& refusal);

// Parses the text of a control file: the format version ("mervane-version", below 2), the
// operations list, the data file's size and checksum. OK; -15 for a version of 2 or more (the
// list is left as it was); -12 when there is no operations list, or an operation has a negative
// effort or names a path CheckPatchOperationPaths refuses, or the efforts add up beyond 64 bits,
// or "datafilesize" is negative (the list is then empty). refusal says why it was refused.
CXResultCode ParseControlFileText(const CXString& text, std::vector<PatchOperation>& operations, uint64_t& dataFileSize,
                                  CXString& dataFileChecksum, CXString& refusal);

// The sum over the operations of estimatedEffort + perOperation; false when it does not fit in 64
// bits (total is then unchanged).
bool SumEstimatedEffort(const std::vector<PatchOperation>& operations, uint64_t perOperation, uint64_t& total);
