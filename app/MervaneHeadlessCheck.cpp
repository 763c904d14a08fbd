#include "app/MervaneHeadlessCheck.h"

#include "app/MervaneOptions.h"
#include "app/MervaneWebService.h"
#include "foundation/CXDebug.h"
#include "foundation/CXPath.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamFile.h"

CXString ComputeBuildId(const CXString& targetPath, const CXString& anchorFile)
{
    CXString path = targetPath;
    AppendPathComponent(path, anchorFile);
    CXStreamFile file;
    if (!file.Open(path, CXStreamFile::kModeRead))
        return CXString();
    CXString digest = MD5HexDigestOfStream(file, file.GetSize());
    (void)file.Close();
    return digest;
}

int CheckForPatch(const CXString& serviceURL, const CXString& anchorFile, const CXString& bundleId, PatchSettings& settings)
{
    CXString build = ComputeBuildId(TargetPath, anchorFile);
    if (build.IsEmpty()) {
        CXDebugLog("CheckForPatch> cannot read the anchor file '%s' in '%s'", anchorFile.c_str(), TargetPath.c_str());
        return kCheckFailed;
    }
    if (serviceURL.IsEmpty())
        return kCheckFailed;

    if (settings.streamId.IsEmpty()) {
        CXString body;
        CXResultCode result = FetchWebReply(
            MakeStreamCheckURL(serviceURL, settings.userName, settings.password, LocaleCode, bundleId), body);
        if (result != kCXOK)
            return kCheckFailed;
        DNValueRef reply = ParseWebReply(body);
        CXString error = ReplyError(reply.get());
        if (!error.IsEmpty()) {
            CXDebugLog("CheckForPatch> account check: %s", error.c_str());
            if (error == "invalid-myqorvel-details" || error == "no-patch-streams" || error == "no-products-owned")
                return kCheckAccountProblem;
            return kCheckFailed;
        }
        if (ReplyGood(reply.get()) != 1)
            return kCheckFailed;
        settings.streamId = reply->Find(DNRawData("default-stream"))->GetValue()->GetString();
        if (settings.streamId.IsEmpty())
            return kCheckAccountProblem;
    }

    CXString body;
    CXResultCode result = FetchWebReply(
        MakeStreamFileURL(serviceURL, settings.userName, settings.password, settings.streamId, build, LocaleCode), body);
    if (result != kCXOK)
        return kCheckFailed;
    DNValueRef reply = ParseWebReply(body);
    CXString error = ReplyError(reply.get());
    if (!error.IsEmpty()) {
        if (error == "no-patches-available")
            return kCheckNoPatch;
        CXDebugLog("CheckForPatch> patch query: %s", error.c_str());
        return kCheckFailed;
    }
    return ReplyGood(reply.get()) == 1 ? kCheckPatchAvailable : kCheckFailed;
}
