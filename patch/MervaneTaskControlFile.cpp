// Reading the patch control file into the operations list.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/TextConfig.h"
#include "streams/CXStreamFile.h"

#include <vector>

namespace {

constexpr const char* kPrefix = "MervaneTask_ApplyFilePatches::ReadControlFile> ";

bool SchemeIs(const CXString& scheme, const char* name)
{
    return CXStringArgument(scheme).CompareNoCase(name) == 0;
}

DNValueRef Child(DNValue* folder, const char* key)
{
    return folder->Find(DNRawData(key))->GetValue();
}

} // namespace

CXResultCode MervaneTask_ApplyFilePatches::FetchControlFileText(CXString& text)
{
    text.Clear();
    const CXString& scheme = fControlSource.scheme;
    if (SchemeIs(scheme, "http") || SchemeIs(scheme, "https")) {
        AppendLogFormat("%scannot download '%s': no HTTP client", kPrefix, fControlSource.ToLogString().c_str());
        return kCXNotSupported;
    }
    if (!SchemeIs(scheme, "file"))
        return kCXBadParameter;

    CXString path = fControlSource.GetLocalFilePath();
    CXStreamFile stream;
    if (path.IsEmpty() || !stream.Open(path, CXStreamFile::kModeRead)) {
        AppendLogFormat("%scannot open '%s' (result %d)", kPrefix, path.c_str(), static_cast<int32_t>(stream.GetResult()));
        return kCXBadFormat;
    }
    uint64_t size = stream.GetSize();
    if (size > kMaximumControlFileSize) {
        AppendLogFormat("%s'%s' is too large (%llu bytes)", kPrefix, path.c_str(), static_cast<unsigned long long>(size));
        return kCXNoResources;
    }
    std::vector<char> bytes(static_cast<size_t>(size));
    if (stream.Read(bytes.data(), size) != size) {
        AppendLogFormat("%scannot read '%s' (result %d)", kPrefix, path.c_str(), static_cast<int32_t>(stream.GetResult()));
        return kCXBadFormat;
    }
    text = CXString(bytes.data(), bytes.size());
    return kCXOK;
}

CXResultCode MervaneTask_ApplyFilePatches::ReadControlFile()
{
    CXString text;
    CXResultCode result = FetchControlFileText(text);
    if (result != kCXOK)
        return result;
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(root, text.c_str(), text.length());
    text.Clear();

    int32_t version = Child(root.get(), "mervane-version")->GetInt();
    if (version >= 2) {
        AppendLogFormat("%sformat version %d is newer than this program reads", kPrefix, version);
        return kCXConversionFailed;
    }
    CXString refusal;
    if (!ParsePatchOperations(root.get(), fOperations, &refusal)) {
        AppendLogFormat("%s%s", kPrefix, refusal.c_str());
        return kCXBadFormat;
    }
    uint64_t total = 0;
    if (!CheckPatchOperationPaths(fOperations, refusal)) {
        AppendLogFormat("%s%s", kPrefix, refusal.c_str());
        fOperations.clear();
        return kCXBadFormat;
    }
    if (!SumEstimatedEffort(fOperations, 0, total)) {
        AppendLogFormat("%sthe estimated efforts add up to more than 64 bits hold", kPrefix);
        fOperations.clear();
        return kCXBadFormat;
    }
    int64_t dataFileSize = Child(root.get(), "datafilesize")->GetInt64();
    if (dataFileSize < 0) {
        AppendLogFormat("%snegative \"datafilesize\" %lld", kPrefix, static_cast<long long>(dataFileSize));
        fOperations.clear();
        return kCXBadFormat;
    }
    fDataFileSize = static_cast<uint64_t>(dataFileSize);
    fDataFileChecksum = Child(root.get(), "datafilechecksum")->GetString();
    return kCXOK;
}
