// Reading the patch control file into the operations list.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "foundation/CXMD5.h"
#include "streams/CXHTTPConnection.h"
#include "streams/CXStreamFile.h"

#include <vector>

namespace {

constexpr const char* kPrefix = "MervaneTask_ApplyFilePatches::ReadControlFile> ";

bool SchemeIs(const CXString& scheme, const char* name)
{
    return CXStringArgument(scheme).CompareNoCase(name) == 0;
}

} // namespace

CXResultCode MervaneTask_ApplyFilePatches::FetchControlFileText(CXString& text)
{
    text.Clear();
    const CXString& scheme = fControlSource.scheme;
    if (SchemeIs(scheme, "http") || SchemeIs(scheme, "https")) {
        // The text is parsed into a tree many times its size: the client refuses a longer body
        // (-6) before it is all in memory.
        CXHTTPConnection connection;
        connection.SetMemoryBodyLimit(kMaximumControlFileSize);
        connection.SetCancelCheck([this] { return IsStopRequested(); });
        CXResultCode result = connection.GetString(fControlSource, text, [this](const CXStreamProgressCallbackData&) {
            return !IsStopRequested();
        });
        if (result != kCXOK)
            AppendLogFormat("%scannot download '%s' (result %d)", kPrefix, fControlSource.ToLogString().c_str(),
                            static_cast<int32_t>(result));
        return result;
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
    fPatchId.Clear();
    CXResultCode result = FetchControlFileText(text);
    if (result != kCXOK)
        return result;
    CXString refusal;
    result = ParseControlFileText(text, fOperations, fDataFileSize, fDataFileChecksum, refusal);
    if (result != kCXOK) {
        AppendLogFormat("%s%s", kPrefix, refusal.c_str());
        return result;
    }
    fPatchId = MD5HexDigest(CXStringArgument(text));
    return kCXOK;
}
