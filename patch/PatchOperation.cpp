#include "patch/PatchOperation.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "datanode/TextConfig.h"
#include "patch/PatchJournal.h"

#include <cstring>
#include <limits>

namespace {

constexpr const char* kCommandTexts[] = {"create-file", "delete-file", "edit-file", "move-file", "create-folder", "delete-folder"};

DNValueRef Child(DNValue* folder, const char* key)
{
    return folder->Find(DNRawData(key))->GetValue();
}

} // namespace

const char* PatchCommandText(int32_t command)
{
    if (command < COMMAND_CREATE_FILE || command > COMMAND_DELETE_FOLDER)
        return nullptr;
    return kCommandTexts[command];
}

int32_t PatchCommandFromText(const CXString& text)
{
    for (int32_t command = COMMAND_CREATE_FILE; command <= COMMAND_DELETE_FOLDER; ++command) {
        if (text == kCommandTexts[command])
            return command;
    }
    return COMMAND_NONE;
}

bool ParsePatchOperations(DNValue* root, std::vector<PatchOperation>& operations, CXString* refusal)
{
    operations.clear();
    DNValueRef list = Child(root, "patch-operations");
    if (list.get() == DNValue::GetNull().get()) {
        if (refusal != nullptr)
            *refusal = "no \"patch-operations\"";
        return false;
    }
    for (DNIteratorRef it = list->First(); !it->AtEnd(); it->Next()) {
        DNValueRef entry = it->GetValue();
        PatchOperation operation;
        DNValueRef command = Child(entry.get(), "command");
        if (command.get() == DNValue::GetNull().get())
            continue;
        operation.command = PatchCommandFromText(command->GetString());
        if (operation.command == COMMAND_NONE)
            continue;
        operation.sourceFilepath = Child(entry.get(), "source-filepath")->GetString();
        operation.sourceChecksum = Child(entry.get(), "source-checksum")->GetString();
        operation.destinationFilepath = Child(entry.get(), "destination-filepath")->GetString();
        operation.destinationPermissions = Child(entry.get(), "destination-permissions")->GetString();
        operation.destinationChecksum = Child(entry.get(), "destination-checksum")->GetString();
        operation.flags = Child(entry.get(), "flags")->GetInt();
        int64_t effort = Child(entry.get(), "estimated-effort")->GetInt64();
        if (effort < 0) {
            if (refusal != nullptr)
                *refusal = CXString::FromFormat("negative \"estimated-effort\" %lld in entry %zu", static_cast<long long>(effort),
                                                operations.size());
            operations.clear();
            return false;
        }
        operation.estimatedEffort = static_cast<uint64_t>(effort);
        operations.push_back(operation);
    }
    return true;
}

bool IsAcceptableTargetPath(const CXString& relative)
{
    if (relative.IsEmpty() || relative.length() > kMaximumTargetPathBytes)
        return false;
    const char* text = relative.c_str();
    size_t length = relative.length();
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        char c = i < length ? text[i] : '/';
        if (c == '\0' || c == '\\' || c == ':')
            return false;
        if (c != '/')
            continue;
        size_t count = i - start;
        if (count == 0 || count > kMaximumTargetNameBytes || (count == 1 && text[start] == '.') ||
            (count == 2 && text[start] == '.' && text[start + 1] == '.'))
            return false;
        if (start == 0 && count == std::strlen(PatchJournal::kTemporaryFolderName) &&
            std::memcmp(text, PatchJournal::kTemporaryFolderName, count) == 0)
            return false;
        start = i + 1;
    }
    return true;
}

bool CheckPatchOperationPaths(const std::vector<PatchOperation>& operations, CXString& refusal)
{
    for (size_t i = 0; i < operations.size(); ++i) {
        const PatchOperation& operation = operations[i];
        bool sourceNeeded = operation.command == COMMAND_EDIT_FILE || operation.command == COMMAND_MOVE_FILE;
        if (!IsAcceptableTargetPath(operation.destinationFilepath)) {
            refusal = CXString::FromFormat("operation %zu: refused destination path '%s'", i, operation.destinationFilepath.c_str());
            return false;
        }
        if ((sourceNeeded || !operation.sourceFilepath.IsEmpty()) && !IsAcceptableTargetPath(operation.sourceFilepath)) {
            refusal = CXString::FromFormat("operation %zu: refused source path '%s'", i, operation.sourceFilepath.c_str());
            return false;
        }
    }
    return true;
}

CXResultCode ParseControlFileText(const CXString& text, std::vector<PatchOperation>& operations, uint64_t& dataFileSize,
                                  CXString& dataFileChecksum, CXString& refusal)
{
    refusal.Clear();
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(root, text.c_str(), text.length());

    int32_t version = Child(root.get(), "mervane-version")->GetInt();
    if (version >= 2) {
        refusal = CXString::FromFormat("format version %d is newer than this program reads", version);
        return kCXConversionFailed;
    }
    if (!ParsePatchOperations(root.get(), operations, &refusal))
        return kCXBadFormat;
    uint64_t total = 0;
    bool good = CheckPatchOperationPaths(operations, refusal);
    if (good && !SumEstimatedEffort(operations, 0, total)) {
        refusal = "the estimated efforts add up to more than 64 bits hold";
        good = false;
    }
    int64_t size = Child(root.get(), "datafilesize")->GetInt64();
    if (good && size < 0) {
        refusal = CXString::FromFormat("negative \"datafilesize\" %lld", static_cast<long long>(size));
        good = false;
    }
    if (!good) {
        operations.clear();
        return kCXBadFormat;
    }
    dataFileSize = static_cast<uint64_t>(size);
    dataFileChecksum = Child(root.get(), "datafilechecksum")->GetString();
    return kCXOK;
}

bool SumEstimatedEffort(const std::vector<PatchOperation>& operations, uint64_t perOperation, uint64_t& total)
{
    constexpr uint64_t kMaximum = std::numeric_limits<uint64_t>::max();
    uint64_t sum = 0;
    for (const PatchOperation& operation : operations) {
        if (operation.estimatedEffort > kMaximum - sum)
            return false;
        sum += operation.estimatedEffort;
        if (perOperation > kMaximum - sum)
            return false;
        sum += perOperation;
    }
    total = sum;
    return true;
}
