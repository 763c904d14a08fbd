#include "datanode/CXApplicationSettings.h"

#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "streams/CXStreamFile.h"

void CXApplicationSettings::SetSettingsByLabel(const CXString& label, const DNValueRef& tree)
{
    if (!fRoot) {
        CXDebugLog("CXApplicationSettings::SetSettingsByLabel> can't save settings '%s' while settings are not open",
                   label.c_str());
        return;
    }
    fRoot->SetChild(DNRawData::FromString(label), tree);
    if (fPath.IsEmpty())
        return;

    // The new text goes to a file beside the old one, which is replaced only once the new one is
    // complete and on disk: a failed write never costs the settings saved before.
    CXString temporary = fPath;
    temporary.Append(".tmp");
    CXStreamFile file;
    if (!file.Open(temporary, CXStreamFile::kModeWrite | CXStreamFile::kModeCreate | CXStreamFile::kModeTruncate)) {
        CXDebugLog("CXApplicationSettings::SetSettingsByLabel> can't open '%s' (%d)", fPath.c_str(),
                   static_cast<int>(file.GetResult()));
        return;
    }
    CXResultCode result = TextConfig::Write(fRoot.get(), file, 0);
    if (result == kCXOK)
        result = file.Flush(1);
    CXResultCode closed = file.Close();
    if (result == kCXOK)
        result = closed;
    if (result == kCXOK)
        result = CXFileSystem::SafeReplaceFile(fPath, temporary);
    else
        (void)CXFileSystem::Delete(temporary);
    if (result != kCXOK)
        CXDebugLog("CXApplicationSettings::SetSettingsByLabel> can't write '%s' (%d)", fPath.c_str(), static_cast<int>(result));
}
